#!/bin/sh
# Installs what is missing, builds the three presets and runs every test:
# native unit tests and fuzz targets, the checks of the built binaries, the
# Windows and end-to-end tests under Wine on the three simulated machines
# (the product on 64-bit and on 32-bit Windows, the twin on 64-bit Windows),
# that two clean builds of setup.exe are the same bytes, and that the sources
# keep .clang-format. Ends with CTest's summary of all of them; a test's name
# starts with its machine.
set -e
cd "$(dirname "$0")"
cmake/install-deps.sh clang-format
formatted=0
cmake/check-format.sh || formatted=$?
for preset in host win32 win64; do
    cmake --preset "$preset"
    cmake --build --preset "$preset"
done
# Two clean builds of setup.exe must give the same bytes, for the product
# and its twin. Four more builds (about a minute and a half): kept out of
# CTest so that a preset's tests stay quick.
reproducible=0
cmake/check-reproducible.sh build/reproducible win32 win64 || reproducible=$?
# One CTest run over the three build trees, hence one summary. A failed test
# runs once more before it counts: with two machines and the fuzzers on two
# cores, Wine has been seen to lose a process start (CreateProcess error
# 1359, a loader crash) about once a run. A real fault fails both times; the
# first failure stays in the output, and every test that passed only on its
# second try is named after the summary, so that a new flake is seen.
printf 'subdirs("host" "win32" "win64")\n' > build/CTestTestfile.cmake
{ ctest --test-dir build --output-on-failure -j 2 --repeat until-pass:2; echo $? > build/ctest-status; } |
    tee build/ctest-output.txt
tested=$(cat build/ctest-status)
# A second try prints its result line without the "n/N" counter.
retried=$(sed -n 's/^ *Test *#[0-9]*: \([^ ]*\) .* Passed .*/\1/p' build/ctest-output.txt)
echo
if [ -n "$retried" ]; then
    echo "Passed only on the second try (machine.test):"
    printf '  %s\n' $retried
else
    echo "No test needed a second try."
fi
[ "$tested" -eq 0 ] || exit "$tested"
[ "$reproducible" -eq 0 ] || { echo "setup.exe is not reproducible: see the check before the tests"; exit 1; }
[ "$formatted" -eq 0 ] || { echo "the sources differ from .clang-format: see the check before the builds"; exit 1; }
