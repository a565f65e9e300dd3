#!/bin/sh
# Installs, from Debian's packages, whatever the builds and tests need and
# this machine lacks. Needs root when something is missing.
set -e
packages="cmake ninja-build clang libclang-rt-14-dev g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
          wine64 wine libspdlog-dev libfmt-dev googletest osslsigncode openssl $*"
missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends $missing
