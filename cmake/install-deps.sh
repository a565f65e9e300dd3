#!/bin/sh
# Installs, from Debian's packages, whatever the builds and tests need and
# this machine lacks. Needs root when something is missing.
#
# Wine's 32-bit half (wine32:i386) only where the machine can execute 32-bit
# programs: it runs the product as 64-bit Windows does (WoW64) and makes the
# 32-bit Windows machine. Elsewhere it would break every wine call, so it is
# left out and the tests of those machines are reported as skipped.
set -e
here=$(dirname "$0")
packages="cmake ninja-build clang libclang-rt-14-dev g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
          wine64 wine libspdlog-dev libfmt-dev googletest osslsigncode openssl $*"
if why=$("$here/runs-32bit.sh"); then
    packages="$packages wine32:i386"
else
    echo "Not installing wine32: $why; the 32-bit Windows tests will be skipped."
fi
missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
export DEBIAN_FRONTEND=noninteractive
case "$missing" in
*:i386*) dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386 ;;
esac
apt-get update
apt-get install -y --no-install-recommends $missing
