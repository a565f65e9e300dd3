#!/bin/sh
# check_signature.sh SIGN_SCRIPT OBJDUMP SETUP_EXE WORK_DIR
#
# Signs copies of the built setup.exe the way the build's signing option
# does (SIGN_SCRIPT), with a throwaway self-signed code-signing certificate
# made here, and checks the signatures with osslsigncode: they verify against
# that certificate and against no other, a flipped byte breaks them, and a
# failed signing leaves no half-signed file. The key lives in a folder below
# WORK_DIR that is removed at the end; the build's setup.exe is not touched.
set -u
sign=$1 objdump=$2 exe=$3 work_dir=$4
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok:   $*"; }
for tool in openssl osslsigncode; do
    command -v $tool >/dev/null || { echo "$tool is missing (cmake/install-deps.sh installs it)"; exit 1; }
done

mkdir -p "$work_dir"
work=$(mktemp -d "$work_dir/signature.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
trap 'exit 1' INT TERM
cd "$work" || exit 1
before=$(sha256sum < "$exe")

# A code-signing certificate of its own, and one of a stranger.
new_cert() {  # new_cert NAME COMMON_NAME
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=$2" \
        -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
        -keyout "$1.key" -out "$1.pem" 2>"$1.log" || { cat "$1.log"; exit 1; }
}
new_cert signer "Ventaro Test Signer"
new_cert stranger "Somebody Else"
printf 'pfx-%s\n' "$$" > password
openssl pkcs12 -export -inkey signer.key -in signer.pem -passout file:password -out signer.pfx \
    || { echo "cannot make the PFX"; exit 1; }

verify() {  # verify FILE CA_FILE: osslsigncode's answer, its output in FILE.verify
    osslsigncode verify -CAfile "$2" -in "$1" >"$1.verify" 2>&1
}

# Both ways of naming the signer; the first signs in place, as the build does.
cp "$exe" in-place.exe
cp "$exe" from-pfx.in.exe
while IFS='|' read -r how in out args; do
    # shellcheck disable=SC2086  # the table's arguments split at blanks
    if ! sh "$sign" $args "$in" "$out" >"$out.sign" 2>&1; then
        cat "$out.sign"
        fail "signing with $how failed"
        continue
    fi
    if verify "$out" signer.pem && grep -q "Subject: /CN=Ventaro Test Signer" "$out.verify"; then
        pass "signed with $how: verifies against the test certificate"
    else
        cat "$out.verify"
        fail "signed with $how: does not verify against the test certificate"
    fi
    verify "$out" stranger.pem && fail "signed with $how: verifies against another certificate" \
        || pass "signed with $how: does not verify against another certificate"
done <<TABLE
certificate and key|in-place.exe|in-place.exe|--cert signer.pem --key signer.key
PFX and password file|from-pfx.in.exe|from-pfx.exe|--pfx signer.pfx --password-file password
TABLE
cmp -s "$exe" from-pfx.in.exe && pass "signing into another file leaves its input alone" \
    || fail "signing into another file changed its input"

# One byte flipped inside the code of a signed copy.
if [ -f from-pfx.exe ]; then
    cp from-pfx.exe flipped.exe
    text_offset=$("$objdump" -h flipped.exe | awk '$2 == ".text" { print $6 }')
    at=$((0x$text_offset + 4096))
    byte=$(od -An -tu1 -j "$at" -N 1 flipped.exe | tr -d ' ')
    printf "\\$(printf '%03o' $((byte ^ 0xff)))" | dd of=flipped.exe bs=1 seek="$at" conv=notrunc 2>/dev/null
    if cmp -s from-pfx.exe flipped.exe; then
        fail "the byte at $at did not change"
    elif verify flipped.exe signer.pem; then
        fail "a signed copy with one byte flipped at $at still verifies"
    elif grep -q "MISMATCH" flipped.exe.verify; then
        pass "one byte flipped at $at breaks the signature: the digest differs"
    else
        cat flipped.exe.verify
        fail "a signed copy with one byte flipped at $at fails, but not for its digest"
    fi
fi

# A failed signing leaves no file behind and an existing one as it was.
cp "$exe" kept.exe
while IFS='|' read -r why out args; do
    printf 'wrong\n' > wrong-password
    # shellcheck disable=SC2086
    if sh "$sign" $args "$exe" "$out" >"$why.sign" 2>&1; then
        fail "signing with $why succeeded"
    elif [ "$out" = kept.exe ] && ! cmp -s "$exe" kept.exe; then
        fail "signing with $why failed but changed $out"
    elif [ "$out" != kept.exe ] && [ -e "$out" ]; then
        fail "signing with $why failed but left $out"
    else
        pass "signing with $why fails and leaves $out as it was"
    fi
done <<TABLE
a wrong password|kept.exe|--pfx signer.pfx --password-file wrong-password
an unreachable timestamp server|timestamped.exe|--cert signer.pem --key signer.key --timestamp http://127.0.0.1:9/
TABLE
leftovers=$(find . -name '*.signing.*')
[ -z "$leftovers" ] && pass "no partial files left" || fail "partial files left: $leftovers"

[ "$(sha256sum < "$exe")" = "$before" ] && pass "the build's setup.exe is unchanged" \
    || fail "the build's setup.exe changed"

[ $failures -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
