#!/bin/sh
# check_setup_exe.sh OBJDUMP OBJCOPY SETUP_EXE ARCH
#
# Checks the built setup.exe without running it: machine and PE kind, console
# subsystem, the manifest's execution level and the DLLs it imports (its
# export table has a check of its own). ARCH is i686 or x86_64.
set -u
objdump=$1 objcopy=$2 exe=$3 arch=$4
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok:   $*"; }

headers=$("$objdump" -p "$exe") || { echo "cannot read $exe"; exit 1; }

case $arch in
i686)   format=pei-i386;   magic=010b ;;
x86_64) format=pei-x86-64; magic=020b ;;
*)      echo "unknown arch $arch"; exit 2 ;;
esac

echo "$headers" | grep -q "file format $format\$" && pass "file format $format" || fail "file format is not $format"
echo "$headers" | grep -Eq "^Magic[[:space:]]+$magic" && pass "optional header magic $magic" || fail "optional header magic is not $magic"
echo "$headers" | grep -Eq '^Subsystem[[:space:]]+00000003' && pass "console subsystem" || fail "subsystem is not the console (3)"

# The manifest is stored as text in the resource section.
rsrc=$(mktemp)
trap 'rm -f "$rsrc"' EXIT
"$objcopy" -O binary --only-section=.rsrc "$exe" "$rsrc" 2>/dev/null
if grep -aq '<requestedExecutionLevel level="requireAdministrator"' "$rsrc"; then
    pass "manifest asks for requireAdministrator"
else
    fail "no manifest with requireAdministrator"
fi

# Imports: Windows system DLLs only.
allowed="KERNEL32.dll ADVAPI32.dll USER32.dll SHELL32.dll ole32.dll OLEAUT32.dll msvcrt.dll"
imports=$(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: \(.*\)$/\1/p' | sort -u)
[ -n "$imports" ] || fail "no import table found"
for dll in $imports; do
    case " $(echo "$allowed" | tr 'A-Z' 'a-z') " in
    *" $(echo "$dll" | tr 'A-Z' 'a-z') "*) pass "imports $dll" ;;
    *) fail "imports $dll, which is not a Windows system DLL on the allow-list" ;;
    esac
done

[ $failures -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
