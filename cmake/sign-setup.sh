#!/bin/sh
# sign-setup.sh (--pfx PFX | --cert CERT --key KEY) [--password-file FILE]
#               [--timestamp URL] IN OUT
#
# Signs the Windows executable IN with Authenticode (SHA-256) and writes the
# signed file to OUT, which may be IN itself. OUT is replaced only by a
# complete signed file: on any failure it is left as it was and the script
# ends with a non-zero status. The password is read from a file so that it
# never shows in a command line. OSSLSIGNCODE names the tool when it is not
# on the PATH.
set -eu
usage() {
    echo "usage: $0 (--pfx PFX | --cert CERT --key KEY) [--password-file FILE] [--timestamp URL] IN OUT" >&2
    exit 2
}
pfx="" cert="" key="" password_file="" timestamp=""
while [ $# -gt 2 ]; do
    [ $# -ge 4 ] || usage
    case $1 in
    --pfx)           pfx=$2 ;;
    --cert)          cert=$2 ;;
    --key)           key=$2 ;;
    --password-file) password_file=$2 ;;
    --timestamp)     timestamp=$2 ;;
    *)               usage ;;
    esac
    shift 2
done
[ $# -eq 2 ] || usage
in=$1 out=$2

set -- sign -h sha256 -n "Ventaro Setup"
if [ -n "$pfx" ]; then
    [ -z "$cert$key" ] || usage
    set -- "$@" -pkcs12 "$pfx"
elif [ -n "$cert" ] && [ -n "$key" ]; then
    set -- "$@" -certs "$cert" -key "$key"
else
    usage
fi
[ -z "$password_file" ] || set -- "$@" -readpass "$password_file"
# A release signature must outlive the certificate: without the timestamp
# the signing fails rather than quietly leaving it out.
[ -z "$timestamp" ] || set -- "$@" -ts "$timestamp"

# Signed beside the destination, then moved over it in one step.
partial=$(mktemp "$out.signing.XXXXXX")
trap 'rm -f "$partial" "$partial.log"' EXIT
trap 'exit 1' INT TERM
# osslsigncode will not write over an existing file.
rm -f "$partial"
if ! "${OSSLSIGNCODE:-osslsigncode}" "$@" -in "$in" -out "$partial" >"$partial.log" 2>&1; then
    cat "$partial.log" >&2
    echo "$0: signing $in failed" >&2
    exit 1
fi
chmod --reference="$in" "$partial"
mv -f "$partial" "$out"
