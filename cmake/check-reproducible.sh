#!/bin/sh
# check-reproducible.sh [WORK_DIR [PRESET...]]
#
# Builds the setup target of each PRESET (default: win32) twice from scratch,
# in two build folders of different names below WORK_DIR (default:
# build/reproducible), and requires the two unsigned setup.exe to be the same
# bytes. Also requires what would hide from that comparison to be absent:
# link time stamps (the PE header's and the export table's must be 0) and
# the source or build folders' paths anywhere in the image. The build
# folders are removed when their pair matches and kept for a look otherwise.
# JOBS sets the build's parallelism.
set -u
cd "$(dirname "$0")/.." || exit 2
source_dir=$PWD
work=${1:-build/reproducible}
[ $# -gt 0 ] && shift
[ $# -gt 0 ] || set -- win32
mkdir -p "$work"
work=$(cd "$work" && pwd)

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok:   $*"; }

# A build meant to be compared must not change its sources midway.
sources_digest() {
    if command -v git >/dev/null && git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        git ls-files -z --cached --others --exclude-standard | xargs -0 cat 2>/dev/null | sha256sum
    fi
}

build() {  # build PRESET DIR
    rm -rf "$2"
    # No signing, whatever the environment: the comparison is of unsigned images.
    if cmake --preset "$1" -B "$2" -DSETUP_SIGN_PFX= -DSETUP_SIGN_CERT= -DSETUP_SIGN_KEY= >"$2.log" 2>&1 &&
       cmake --build "$2" --target setup --parallel "${JOBS:-2}" >>"$2.log" 2>&1; then
        return 0
    fi
    tail -n 30 "$2.log"
    return 1
}

# The 32-bit value at a file offset, little-endian, as a decimal number.
u32_at() {  # u32_at FILE OFFSET
    od -An -tu4 -j "$2" -N 4 "$1" | tr -d ' '
}

# For a differing file offset, the section that holds it.
section_of() {  # section_of OBJDUMP FILE OFFSET
    "$1" -h "$2" | while read -r index name size _ _ offset _; do
        # Only sections with contents in the file (.bss has none).
        case $index in [0-9]*) ;; *) continue ;; esac
        [ $((0x$offset)) -gt 0 ] || continue
        if [ "$3" -ge $((0x$offset)) ] && [ "$3" -lt $((0x$offset + 0x$size)) ]; then
            echo "$name"
            return
        fi
    done
}

before=$(sources_digest)
for preset in "$@"; do
    case $preset in
    win32) objdump=i686-w64-mingw32-objdump ;;
    win64) objdump=x86_64-w64-mingw32-objdump ;;
    *) echo "no reproducibility check for preset $preset"; exit 2 ;;
    esac
    # Different names and lengths, so that a path in the image would show.
    first=$work/$preset-a
    second=$work/$preset-second-build
    started=$(date +%s)
    if ! build "$preset" "$first" || ! build "$preset" "$second"; then
        fail "$preset: a build failed"
        continue
    fi
    echo "$preset: two builds in $(($(date +%s) - started)) s"
    a=$first/setup.exe b=$second/setup.exe
    matched=1

    if cmp -s "$a" "$b"; then
        pass "$preset: the two setup.exe are identical ($(wc -c < "$a") bytes, sha256 $(sha256sum < "$a" | cut -c1-16)...)"
    else
        matched=0
        differing=$(cmp -l "$a" "$b" 2>/dev/null | wc -l)
        fail "$preset: the two setup.exe differ: $(wc -c < "$a") and $(wc -c < "$b") bytes, $differing differing byte(s) in their common length; the first:"
        cmp -l "$a" "$b" 2>/dev/null | head -n 5 | while read -r at _ _; do
            section=$(section_of "$objdump" "$a" $((at - 1)))
            echo "      offset $((at - 1)) in ${section:-the headers}"
        done
    fi

    # The COFF header's TimeDateStamp, 8 bytes past the PE signature.
    pe=$(u32_at "$a" 60)
    stamp=$(u32_at "$a" $((pe + 8)))
    [ "$stamp" = 0 ] && pass "$preset: PE header TimeDateStamp 0" \
        || { matched=0; fail "$preset: PE header TimeDateStamp is $stamp, not 0"; }
    export_stamp=$("$objdump" -p "$a" | sed -n 's/^Time\/Date stamp[[:space:]]*\([0-9a-fA-F]*\)$/\1/p')
    [ "$export_stamp" = 0 ] && pass "$preset: export table time stamp 0" \
        || { matched=0; fail "$preset: export table time stamp is '$export_stamp', not 0"; }

    # The source folder by the project's own folders: the runtime libraries
    # carry paths of their own, which may share its start.
    leaks=0
    for path in "$source_dir/setup/" "$source_dir/config/" "$source_dir/deploy/" "$source_dir/service/" \
                "$source_dir/acpi/" "$source_dir/base/" "$first" "$second"; do
        if grep -a -q -F "$path" "$a" "$b"; then
            leaks=1
            fail "$preset: the image holds the path $path"
        fi
    done
    [ $leaks -eq 1 ] && matched=0 || pass "$preset: no source or build folder path in the image"

    [ $matched -eq 0 ] || rm -rf "$first" "$second" "$first.log" "$second.log"
done

if [ -n "$before" ] && [ "$(sources_digest)" != "$before" ]; then
    echo "The sources changed during the check; its result says nothing. Run it again."
    exit 3
fi
[ $failures -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
