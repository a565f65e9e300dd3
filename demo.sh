#!/bin/sh
# A demonstration installation under Wine, on a simulated fan-control
# machine: what the ACPI exports of setup.exe read, a first run that
# installs, a second that finds nothing to do, and a machine without the
# feature that is refused. Installs what is missing and builds first.
#
#   ./demo.sh          the product, 32-bit setup.exe, on 64-bit Windows (WoW64),
#                      as customers run it
#   ./demo.sh --twin   the x64 twin on 64-bit Windows
set -e
cd "$(dirname "$0")"
top=$(pwd)

say() { printf '\n== %s\n' "$*"; }
show() { printf '   $ %s\n' "$*"; }

preset=win32
[ "$1" = --twin ] && preset=win64
cmake/install-deps.sh
if [ $preset = win32 ] && ! why=$(cmake/runs-32bit.sh); then
    echo "The product cannot be shown here: $why. ./demo.sh --twin shows the x64 twin."
    exit 1
fi
if [ $preset = win32 ]; then
    say "Building the product, the 32-bit setup.exe (build/win32)"
    # Under WoW64 a 32-bit program's files and HKLM\SOFTWARE go elsewhere.
    programs='Program Files (x86)'
    record='HKLM\SOFTWARE\WOW6432Node\Korven\Ventaro'
else
    say "Building the x64 twin (build/win64)"
    programs='Program Files'
    record='HKLM\SOFTWARE\Korven\Ventaro'
fi
cmake --preset $preset >/dev/null
cmake --build --preset $preset --target setup acpi-sim acpi-probe sample-service
build=build/$preset

prefix=$top/build/demo/wineprefix
run() { "$top/cmake/wine-run.sh" "$prefix" "$@"; }
drive=$prefix/drive_c

say "A fresh Wine prefix, 64-bit Windows, for the demo: $prefix"
"$top/cmake/wine-run.sh" "$prefix" --stop
rm -rf "$top/build/demo"
run --boot
run cmd /c ver | tr -d '\r' | sed '/^$/d'

say "The simulated machine: acpi-sim registered as the ACPI server (tavriCom.axdata)"
mkdir -p "$drive/acpi-sim"
cp $build/tools/acpi-sim/acpi-sim.exe "$drive/acpi-sim/"
show 'C:\acpi-sim\acpi-sim.exe /RegServer'
run 'C:\acpi-sim\acpi-sim.exe' /RegServer
echo "   (no profile: a fan-control machine with the feature word 0x00000302)"

say "What another program reads through the exports of the freshly built setup.exe"
cp $build/tools/acpi-probe/acpi-probe.exe "$drive/acpi-sim/"
cp $build/setup.exe "$drive/acpi-sim/"
show 'acpi-probe setup.exe mbif'
run 'C:\acpi-sim\acpi-probe.exe' 'C:\acpi-sim\setup.exe' mbif | tr -d '\r' | sed 's/^/   /'
show 'acpi-probe setup.exe get-item-buffer 1 2 a0 a1 a2 a3'
run 'C:\acpi-sim\acpi-probe.exe' 'C:\acpi-sim\setup.exe' get-item-buffer 1 2 a0 a1 a2 a3 | tr -d '\r' | sed 's/^/   /'
echo "   The simulator's journal of those calls:"
# The 4096-byte request of iAcpiMbif makes a long line: its start will do.
tr -d '\r' < "$drive/acpi-sim/acpi-sim.journal" |
    awk '{ print "     " (length($0) > 100 ? substr($0, 1, 96) " ..." : $0) }'

say 'The payload, as it comes to a customer: C:\Downloads\Ventaro'
payload=$drive/Downloads/Ventaro
mkdir -p "$payload/docs"
cp $build/setup.exe "$payload/"
cp $build/tools/sample-service/sample-service.exe "$payload/fansvc.exe"
printf 'fan curves\r\n' > "$payload/fancurves.dat"
printf 'not installed: sub-folders stay behind\r\n' > "$payload/docs/manual.txt"
printf '[Common]\r\nServiceName=VentaroFanControl\r\nInstallPath=Korven\\Ventaro\r\nRegistryKey=SOFTWARE\\Korven\\Ventaro\r\nExecution=fansvc.exe\r\nversion=1.2.0.8\r\n' > "$payload/setup.ini"
(cd "$payload" && find . -type f | sort | sed 's|^\./|   |')
echo "   setup.ini:"
tr -d '\r' < "$payload/setup.ini" | sed 's/^/     /'

log=$drive/ProgramData/Korven/Ventaro/setup.exe.log
setup_run() {
    show 'C:\Downloads\Ventaro\setup.exe'
    lines=0
    [ -f "$log" ] && lines=$(wc -l < "$log")
    status=0
    run 'C:\Downloads\Ventaro\setup.exe' || status=$?
    # Wine hands the exit code -1 on as 255.
    [ $status -eq 255 ] && status=-1
    echo "   exit code: $status"
    printf '   its lines in %s:\n' 'C:\ProgramData\Korven\Ventaro\setup.exe.log'
    [ -f "$log" ] && tail -n +$((lines + 1)) "$log" | tr -d '\r' | sed 's/^/     /'
}

say "First run: nothing installed yet, so it installs"
setup_run

say "What it left behind"
echo "   The record, as a 64-bit program (reg.exe of 64-bit Windows) sees it:"
show "reg query $record"
run reg query "$record" | tr -d '\r' | sed '/^$/d; s/^/   /'
printf '   %s\n' "C:\\$programs\\Korven\\Ventaro\\1.2.0.8:"
ls -1 "$drive/$programs/Korven/Ventaro/1.2.0.8" | sed 's/^/     /'
echo "   The service, as the service control manager keeps it:"
show 'reg query HKLM\System\CurrentControlSet\Services\VentaroFanControl'
run reg query 'HKLM\System\CurrentControlSet\Services\VentaroFanControl' | tr -d '\r' | sed '/^$/d; s/^/   /'
show 'sc start VentaroFanControl  (then sc query, sc stop)'
run sc start VentaroFanControl >/dev/null
run sc query VentaroFanControl | tr -d '\r' | grep -E 'SERVICE_NAME|STATE' | sed 's/^/   /'
run sc stop VentaroFanControl >/dev/null

say "Second run: the same version is installed and the service exists, nothing to do"
setup_run

say "A machine without the fan-control feature (feature word 0x000001ff)"
printf '[Mbif]\r\nFeatureWord=0x000001ff\r\n' > "$drive/acpi-sim/acpi-sim.ini"
setup_run

"$top/cmake/wine-run.sh" "$prefix" --stop
say "Done. The demo's Wine prefix stays in build/demo for a closer look."
