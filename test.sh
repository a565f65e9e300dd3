#!/bin/sh
# Installs what is missing, builds the three presets and runs every test:
# native unit tests, the Windows tests under Wine, the checks of the 32-bit
# product. Ends with CTest's summary of all of them.
set -e
cd "$(dirname "$0")"
cmake/install-deps.sh
for preset in host win32 win64; do
    cmake --preset "$preset"
    cmake --build --preset "$preset"
done
# One CTest run over the three build trees, hence one summary.
printf 'subdirs("host" "win32" "win64")\n' > build/CTestTestfile.cmake
ctest --test-dir build --output-on-failure -j 2
