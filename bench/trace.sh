#!/bin/sh
# bench/trace.sh [--resident] [small|large|mixed]
#
# Where the time of one whole installation of the product goes: one fresh
# installation of a payload (default small) by the 32-bit setup.exe under
# WoW64, with Wine's relay trace of the calls that carry its work, each with
# a millisecond time stamp. With --resident the ACPI server is already
# running, as on a machine whose server stays up; else each activation
# starts one. The trace lands in $BENCH_DIR/trace.txt, and
# bench/trace_report.py sums it up by kind of work. Builds and stages as
# bench/run.sh does (see bench/staging.sh); not a test.
set -u
resident=
[ "${1:-}" = --resident ] && resident=yes && shift
payload=${1:-small}
case $payload in
small | large | mixed) ;;
*) echo "usage: bench/trace.sh [--resident] [small|large|mixed]" >&2 && exit 2 ;;
esac
. "$(dirname "$0")/staging.sh"
: >"$log"
"$top/cmake/install-deps.sh" python3 || die "cannot install what the trace needs"
build_and_boot
stage_payloads
use "$win32"
wine_run "$T\\acpi-sim.exe" /RegServer >>"$log" 2>&1 || die "cannot register acpi-sim"

# A fresh installation: no service, no record, no folder.
wine_run "$W\\$payload\\fansvc.exe" /Unregister >/dev/null 2>&1
wine_run 'C:\windows\syswow64\reg.exe' delete 'HKLM\SOFTWARE\VentaroBench' /f >/dev/null 2>&1
rm -rf "$prefix/drive_c/Program Files (x86)/VentaroBench" "$prefix/drive_c/Program Files (x86)/Korven"
if [ -n "$resident" ]; then
    # acpi-sim reads Resident when its server starts: this activation starts
    # the one that serves setup.exe's.
    printf '[Server]\r\nResident=60000\r\n' >"$drive/tools/acpi-sim.ini"
    wine_run "$T\\bench-activate.exe" >>"$log" 2>&1 || die "cannot start a resident acpi-sim"
fi
# Names without a module match in any module (Wine forwards some).
relay="CoInitialize;CLSIDFromProgID;CoCreateInstance;SafeArrayCreate;VariantClear"
relay="$relay;CopyFileA;FindFirstFileA;FindNextFileA;CreateProcessA;WaitForSingleObject"
relay="$relay;GetPrivateProfileStringA;WritePrivateProfileStringA;SHGetFolderPathAndSubDirA"
relay="$relay;SHGetFolderPathA;_wfsopen;_fsopen;fopen;fwrite;fflush;fclose;CreateFileA"
relay="$relay;GetFileInformationByHandle;GetFileAttributesA;CreateThread"
relay="$relay;OpenSCManagerA;OpenServiceA;CloseServiceHandle"
relay="$relay;RegOpenKeyExA;RegQueryValueExA;RegCreateKeyExA;RegSetValueExA;CreateMutexA;ExitProcess"
wine_run reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /d "$relay" /f >/dev/null 2>&1
started=$(date +%s.%N)
SETUP_WINEDEBUG=+timestamp,+pid,+relay wine_run "$W\\$payload\\setup.exe" >/dev/null 2>"$dir/trace.txt"
status=$?
ended=$(date +%s.%N)
wine_run reg delete 'HKCU\Software\Wine\Debug' /v RelayInclude /f >/dev/null 2>&1
rm -f "$drive/tools/acpi-sim.ini"
echo "setup.exe ended with $status; $(wc -l <"$dir/trace.txt") trace lines in $dir/trace.txt"
what="the $payload payload"
[ -n "$resident" ] && what="$what, acpi-sim resident"
python3 "$top/bench/trace_report.py" "$dir/trace.txt" "$started" "$ended" "$what"
