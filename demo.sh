#!/bin/sh
# A demonstration installation under Wine, on a simulated fan-control
# machine: what the ACPI exports of setup.exe read, a first run that
# installs, a second that finds nothing to do, and a machine without the
# feature that is refused. Installs what is missing and builds first.
set -e
cd "$(dirname "$0")"
top=$(pwd)

say() { printf '\n== %s\n' "$*"; }
show() { printf '   $ %s\n' "$*"; }

say "Installing what is missing and building the x64 twin (build/win64)"
cmake/install-deps.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target setup acpi-sim acpi-probe sample-service

prefix=$top/build/demo/wineprefix
run() { "$top/cmake/wine-run.sh" "$prefix" "$@"; }
drive=$prefix/drive_c

say "A fresh Wine prefix for the demo: $prefix"
"$top/cmake/wine-run.sh" "$prefix" --stop
rm -rf "$top/build/demo"
run --boot
run cmd /c ver | tr -d '\r' | sed '/^$/d'

say "The simulated machine: acpi-sim registered as the ACPI server (tavriCom.axdata)"
mkdir -p "$drive/acpi-sim"
cp build/win64/tools/acpi-sim/acpi-sim.exe "$drive/acpi-sim/"
show 'C:\acpi-sim\acpi-sim.exe /RegServer'
run 'C:\acpi-sim\acpi-sim.exe' /RegServer
echo "   (no profile: a fan-control machine with the feature word 0x00000302)"

say "What another program reads through the exports of the freshly built setup.exe"
cp build/win64/tools/acpi-probe/acpi-probe.exe "$drive/acpi-sim/"
cp build/win64/setup.exe "$drive/acpi-sim/"
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
cp build/win64/setup.exe "$payload/"
cp build/win64/tools/sample-service/sample-service.exe "$payload/fansvc.exe"
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
show 'reg query HKLM\SOFTWARE\Korven\Ventaro'
run reg query 'HKLM\SOFTWARE\Korven\Ventaro' | tr -d '\r' | sed '/^$/d; s/^/   /'
printf '   %s\n' 'C:\Program Files\Korven\Ventaro\1.2.0.8:'
ls -1 "$drive/Program Files/Korven/Ventaro/1.2.0.8" | sed 's/^/     /'
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
