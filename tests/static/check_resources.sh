#!/bin/sh
# check_resources.sh WINDRES SETUP_EXE VERSION
#
# Checks what setup.exe tells about itself, read back from the built image:
# the version resource (company, product, description, file and product
# version equal to VERSION, the project version, and a string table that the
# translation entry points at) and the Windows versions its manifest claims.
set -u
windres=$1 exe=$2 version=$3
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok:   $*"; }

# windres reads the resource section back as a resource script.
script=$("$windres" -J coff -O rc -i "$exe") || { echo "cannot read the resources of $exe"; exit 1; }

# The version in four parts, missing ones being 0.
quad=$(echo "$version.0.0.0" | cut -d. -f1-4)
commas=$(echo "$quad" | sed 's/\./, /g')

count() { printf '%s\n' "$script" | grep -c -x -F -- "$1"; }
once() {  # once LINE DESCRIPTION
    n=$(count "$1")
    [ "$n" -eq 1 ] && pass "$2" || fail "$2: expected the line '$1' once, found it $n times"
}

once "1 VERSIONINFO" "one version resource, VS_VERSION_INFO"
once " FILEVERSION $commas" "fixed file version $quad"
once " PRODUCTVERSION $commas" "fixed product version $quad"
once " FILETYPE 0x1" "file type: application"
while IFS='|' read -r name value; do
    once "      VALUE \"$name\", \"$value\"" "$name is \"$value\""
done <<TABLE
CompanyName|Korven
ProductName|Ventaro
FileDescription|Ventaro Setup
FileVersion|$quad
ProductVersion|$quad
OriginalFilename|setup.exe
TABLE

# Windows looks the strings up under the language and code page that the
# translation entry names.
translation=$(printf '%s\n' "$script" | sed -n 's/^ *VALUE "Translation", \(0x[0-9a-fA-F]*\), \([0-9]*\)$/\1 \2/p')
if [ -n "$translation" ]; then
    block=$(printf '%04x%04x' $translation)
    once "    BLOCK \"$block\"" "the string table sits under the translation $block"
else
    fail "no translation entry"
fi

# The manifest, resource 1 of type 24: elevation, identity and the supported
# Windows versions, 7 to 11.
once "1 24 /* RT_MANIFEST */" "one manifest, resource 1 of type 24"
manifest=$(printf '%s\n' "$script" | sed -n '/^1 24 /,/^END$/p' | sed -n 's/^  "\(.*\)\\n"$/\1/p' | sed 's/""/"/g')
m_once() {
    n=$(printf '%s\n' "$manifest" | grep -c -F -- "$1")
    [ "$n" -eq 1 ] && pass "$2" || fail "$2: expected '$1' once in the manifest, found it $n times"
}
m_once '<requestedExecutionLevel level="requireAdministrator" uiAccess="false"/>' "manifest asks for requireAdministrator"
m_once '<activeCodePage xmlns="http://schemas.microsoft.com/SMI/2019/WindowsSettings">UTF-8</activeCodePage>' "manifest makes UTF-8 the active code page"
m_once "<assemblyIdentity type=\"win32\" name=\"Korven.Ventaro.Setup\" version=\"$quad\"/>" "manifest identity version $quad"
while IFS='|' read -r windows guid; do
    m_once "<supportedOS Id=\"{$guid}\"/>" "manifest supports $windows"
done <<TABLE
Windows 7|35138b9a-5d96-4fbd-8e2d-a2440225f93a
Windows 8|4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38
Windows 8.1|1f676c76-80e1-4239-95bb-83d0f6d0da78
Windows 10 and 11|8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a
TABLE
n=$(printf '%s\n' "$manifest" | grep -c '<supportedOS ')
[ "$n" -eq 4 ] && pass "no other supportedOS entry" || fail "$n supportedOS entries, expected 4"

[ $failures -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
