#!/bin/sh
# Checks every C++ source of the tree against .clang-format with Debian's
# clang-format; prints the files that differ and how to fix them.
cd "$(dirname "$0")/.."
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    files=$(git ls-files '*.cpp' '*.h')
else
    files=$(find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print)
fi
bad=""
for f in $files; do
    clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || bad="$bad $f"
done
[ -z "$bad" ] && { echo "format: every C++ file matches .clang-format"; exit 0; }
echo "format: these files differ from .clang-format (clang-format -i <file> fixes them):"
for f in $bad; do echo "  $f"; done
exit 1
