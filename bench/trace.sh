#!/bin/sh
# bench/trace.sh
#
# Where the time of one whole installation of the product goes: one fresh
# installation of the small payload by the 32-bit setup.exe under WoW64,
# with Wine's relay trace of the calls that carry its work, each with a
# millisecond time stamp. The trace lands in $BENCH_DIR/trace.txt, and
# bench/trace_report.py sums it up by kind of work. Builds and stages as
# bench/run.sh does (see bench/staging.sh); not a test.
set -u
. "$(dirname "$0")/staging.sh"
: >"$log"
"$top/cmake/install-deps.sh" python3 || die "cannot install what the trace needs"
build_and_boot
stage_payloads
use "$win32"
wine_run "$T\\acpi-sim.exe" /RegServer >>"$log" 2>&1 || die "cannot register acpi-sim"

# A fresh installation: no service, no record, no folder.
wine_run "$W\\small\\fansvc.exe" /Unregister >/dev/null 2>&1
wine_run 'C:\windows\syswow64\reg.exe' delete 'HKLM\SOFTWARE\VentaroBench' /f >/dev/null 2>&1
rm -rf "$prefix/drive_c/Program Files (x86)/VentaroBench"
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
SETUP_WINEDEBUG=+timestamp,+pid,+relay wine_run "$W\\small\\setup.exe" >/dev/null 2>"$dir/trace.txt"
status=$?
ended=$(date +%s.%N)
wine_run reg delete 'HKCU\Software\Wine\Debug' /v RelayInclude /f >/dev/null 2>&1
echo "setup.exe ended with $status; $(wc -l <"$dir/trace.txt") trace lines in $dir/trace.txt"
python3 "$top/bench/trace_report.py" "$dir/trace.txt" "$started" "$ended"
