#!/bin/sh
# bench/run.sh [--trace]
#
# Builds what the benchmarks need, runs them under Wine and prints a table:
# each figure, the baseline measured in the same run, their ratio and the
# budget. Exit code 1 when a budget is missed (2 when something could not
# be built or run). Not a test: timing says nothing about correctness.
#
#   BENCH_DIR   where it builds and keeps its Wine prefix (default build/bench)
#   BENCH_RUNS  timed runs per measurement, after one untimed (default 5)
#   JOBS        build parallelism (default 2)
#
# The headline table is the product's: the 32-bit setup.exe on 64-bit
# Windows (WoW64), as customers run it; a second table gives the x64 twin's.
# Both run in one 64-bit prefix of their own with a persistent wineserver, so
# that Wine's start-up does not swamp the figures. The times are taken inside
# Wine by bench-timer (QueryPerformanceCounter around CreateProcess and the
# wait); the export calls are timed by their client, per call. Each figure
# is a median.
#
# --trace runs one whole installation of the small payload with Wine's relay
# trace of the calls that carry its work, and prints where the time went.
set -u
cd "$(dirname "$0")/.." || exit 2
top=$PWD
dir=${BENCH_DIR:-build/bench}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
runs=${BENCH_RUNS:-5}
trace=0
[ "${1:-}" = "--trace" ] && trace=1

win64=$dir/win64
win32=$dir/win32
prefix=$dir/wineprefix
log=$dir/bench.log
: >"$log"

die() { echo "bench: $*" >&2; exit 2; }
wine_run() { "$top/cmake/wine-run.sh" "$prefix" "$@"; }

"$top/cmake/runs-32bit.sh" >/dev/null || die "$("$top/cmake/runs-32bit.sh"): the product cannot be measured"
echo "Building (log: $log)..."
{ cmake --preset win64 -B "$win64" && cmake --build "$win64" --target bench --parallel "${JOBS:-2}" &&
  cmake --preset win32 -B "$win32" && cmake --build "$win32" --target bench --parallel "${JOBS:-2}"; } \
    >>"$log" 2>&1 || die "the build failed; see $log"

# A wineserver left from an interrupted run would keep --boot waiting.
wine_run --stop
wine_run --boot || die "cannot boot the Wine prefix $prefix"
stop() { "$top/cmake/wine-run.sh" "$prefix" --stop; }
trap stop EXIT
trap 'exit 2' INT TERM HUP

# The staged machine: C:\bench\tools holds the drivers and the simulator;
# C:\bench\small and C:\bench\large are payload folders as they reach a
# customer: setup.exe, setup.ini, the service executable and the payload.
# use BUILD stages the programs of that build tree.
drive=$prefix/drive_c/bench
W='C:\bench'
T='C:\bench\tools'
use() {
    build=$1
    wine_run "$T\\acpi-sim.exe" /UnregServer >>"$log" 2>&1
    rm -rf "$drive/tools"
    mkdir -p "$drive/tools"
    cp "$build"/bench/*.exe "$build/setup.exe" "$build/tools/acpi-sim/acpi-sim.exe" "$drive/tools/"
    for folder in small large; do
        cp "$build/setup.exe" "$drive/$folder/setup.exe"
        cp "$build/tools/sample-service/sample-service.exe" "$drive/$folder/fansvc.exe"
    done
}

stage() {  # stage NAME COUNT BYTES
    folder=$drive/$1
    if [ "$(find "$folder" -name 'file*' 2>/dev/null | wc -l)" -ne "$2" ]; then
        echo "Generating the $1 payload: $2 files of $3 bytes..."
        rm -rf "$folder"
        mkdir -p "$folder"
        head -c $(($2 * $3)) /dev/urandom | (cd "$folder" && split -b "$3" -a 4 -d - file)
    fi
    printf '[Common]\r\nServiceName=VentaroBench\r\nInstallPath=VentaroBench\r\nRegistryKey=SOFTWARE\\VentaroBench\r\nExecution=fansvc.exe\r\nversion=1.0.0.0\r\n' \
        >"$folder/setup.ini"
}
stage small 1000 4096
stage large 8 33554432
use "$win32"

# timer [bench-timer options]: runs the cases in turns; each case's median
# in seconds lands in the variable of its name. Before every timed run of
# any case the machine's dirty pages are written back (Linux's sync): a
# copy's write-back then never falls on a later run, whichever side it is.
timer() {
    # Once more when Wine's COM hung a run (see acpi-sim's README).
    out=$(wine_run "$T\\bench-timer.exe" --runs "$runs" --sync "$@" 2>>"$log") ||
        out=$(wine_run "$T\\bench-timer.exe" --runs "$runs" --sync "$@" 2>>"$log") ||
        die "bench-timer failed: $(tail -n 3 "$log")"
    echo "$out" >>"$log"
    eval "$(echo "$out" | tr -d '\r' | sed -n 's/^\([a-z_]*\) median \([0-9.]*\).*/\1=\2/p')"
}
# exports NAME METHOD WARMUP CALLS: the median seconds of one call through
# the export and of one bare call, in NAME_bridge and NAME_bare.
exports() {
    name=$1
    shift
    # Once more when Wine's COM hung or lost an activation (see acpi-sim's README).
    out=$(wine_run "$T\\bench-exports.exe" "$@" "$T\\setup.exe" 2>>"$log") ||
        out=$(wine_run "$T\\bench-exports.exe" "$@" "$T\\setup.exe" 2>>"$log") ||
        die "$name failed: $(tail -n 3 "$log")"
    echo "$name: $out" | tr -d '\r' >>"$log"
    eval "$(echo "$out" | tr -d '\r' | sed -n "s/^\([a-z]*\) median \([0-9.]*\).*/${name}_\1=\2/p")"
}

unregister_service='C:\bench\small\fansvc.exe /Unregister'
# Started by a driver of the build measured: a 32-bit one gets the 32-bit
# reg.exe, which deletes in the view the product wrote to.
forget_version='C:\windows\system32\reg.exe delete HKLM\SOFTWARE\VentaroBench /f'

wine_run "$T\\acpi-sim.exe" /RegServer >>"$log" 2>&1 || die "cannot register acpi-sim"

if [ $trace -eq 1 ]; then
    # One fresh installation, traced: each traced call's Call and Ret lines
    # carry a millisecond time stamp, so a call's time is their difference.
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
    # The process is the one that called CopyFileA; its own thread's calls.
    # Each traced call's time goes to its kind; the time after a server call
    # returns (IDispatch calls through the proxy are not traced) to the
    # server work too, and the rest to the program's own work.
    awk -v started="$started" -v ended="$ended" '
        function kind(f) {
            if (f ~ /CoInitialize/) return "COM start (CoInitialize)"
            if (f ~ /CLSIDFromProgID|CoCreateInstance|SafeArrayCreate|VariantClear/) return "server activations and calls"
            if (f ~ /CopyFileA|FindFirstFileA|FindNextFileA/) return "copy (CopyData)"
            if (f ~ /CreateProcessA|WaitForSingleObject/) return "service executable (/Service)"
            if (f ~ /PrivateProfileString/) return "settings reads (setup.ini)"
            if (f ~ /fsopen|fopen|fwrite|fflush|fclose|SHGetFolderPathA$|CreateFileA|GetFileInformationByHandle|GetFileAttributesA|CreateThread/) return "log (open, checks, writes)"
            if (f ~ /SCManager|OpenService|CloseServiceHandle/) return "service manager queries"
            if (f ~ /RegOpenKey|RegQueryValue|RegCreateKey|RegSetValue/) return "registry"
            if (f ~ /SHGetFolderPathAndSubDirA/) return "target folder"
            return "other"
        }
        {
            # 1234.567:0024:0028:Call KERNEL32.CopyFileA(...) ret=...
            split($1, head, ":")
            stamp = head[1] + 0; tid = head[3]
            if (!(tid in first)) first[tid] = stamp
            if ($0 ~ /:Call [A-Za-z0-9_]+\.[A-Za-z0-9_]+\(/) {
                f = $0; sub(/.*:Call [A-Za-z0-9_]+\./, "", f); sub(/\(.*/, "", f)
                if (depth[tid] == 0 && (tid in back)) spent[tid, after[tid]] += stamp - back[tid]
                depth[tid]++; open[tid, depth[tid]] = stamp; name[tid, depth[tid]] = f
                if (f == "CopyFileA") main = tid
                if (f == "ExitProcess") { end[tid] = stamp; delete back[tid] }
            } else if ($0 ~ /:Ret  / && depth[tid] > 0) {
                d = depth[tid]--
                if (d == 1) {
                    k = kind(name[tid, d]); spent[tid, k] += stamp - open[tid, d]
                    back[tid] = stamp; after[tid] = k == "server activations and calls" ? k : "own work between traced calls"
                }
            }
        }
        END {
            total = end[main] - first[main]
            printf "One installation of the small payload, traced (Wine relay, ms time stamps): %.3f s from the\n", total
            printf "image load to ExitProcess; %.2f s with the start and end of Wine around it.\n", ended - started
            n = split("server activations and calls;copy (CopyData);service executable (/Service);settings reads (setup.ini);log (open, checks, writes);service manager queries;registry;target folder;COM start (CoInitialize);other;own work between traced calls", order, ";")
            for (i = 1; i <= n; i++) {
                c = order[i]; s = spent[main, c] + 0; rest += s
                printf "  %-38s %7.3f s  %5.1f %%\n", c, s, (total > 0 ? 100 * s / total : 0)
            }
            printf "  %-38s %7.3f s  %5.1f %%\n", "process start (before any traced call)", total - rest, (total > 0 ? 100 * (total - rest) / total : 0)
        }' "$dir/trace.txt"
    exit 0
fi

# measure TITLE PROGRAMFILES: every measurement with the staged build, and its
# table; PROGRAMFILES is where that build's installation lands. Adds the
# table's missed budgets to $missed.
missed=0
measure() {
    title=$1
    installed="C:\\$2\\VentaroBench"
    installed_unix="$prefix/drive_c/$2/VentaroBench"
    echo "Measuring $title ($runs runs after one untimed run each)..."
    # Start-up: a run that ends at the feature gate, no server registered.
    wine_run "$T\\acpi-sim.exe" /UnregServer >>"$log" 2>&1 || die "cannot unregister acpi-sim"
    # Short runs: six times as many. A program that only enters and leaves a
    # COM apartment shows what the platform charges for that alone; one that
    # makes only the calls the path to the gate cannot do without shows what
    # the installer adds.
    timer --runs $((runs * 6)) --case empty --run "$T\\bench-empty.exe" \
        --case com_start --run "$T\\bench-com-start.exe" \
        --case gate_path --run "$T\\bench-gate-path.exe" \
        --case gate --expect -1 --run "$W\\small\\setup.exe"
    wine_run "$T\\acpi-sim.exe" /RegServer >>"$log" 2>&1 || die "cannot register acpi-sim"

    # Whole installations and their unavoidable parts, each alone. Every copy
    # goes to a folder of its own, which only its own next run empties: a run
    # never pays for the removal of another case's files.
    timer --case activations --run "$T\\bench-activate.exe" \
        --case service --before "$unregister_service" --run "$W\\small\\fansvc.exe /Service" \
        --case loop_small --fresh "$W\\out_loop_small" --run "$T\\bench-copy-loop.exe $W\\small $W\\out_loop_small" \
        --case install_small --before "$unregister_service" --before "$forget_version" --remove "$installed" \
            --run "$W\\small\\setup.exe" \
        --case loop_large --fresh "$W\\out_loop_large" --run "$T\\bench-copy-loop.exe $W\\large $W\\out_loop_large" \
        --case install_large --before "$unregister_service" --before "$forget_version" --remove "$installed" \
            --run "$W\\large\\setup.exe"

    # The installer's copy against the platform's: short and noisy runs, so
    # more of them.
    xcopy='C:\windows\system32\xcopy.exe /Q /Y'
    timer --runs $((runs * 3)) \
        --case copydata_small --fresh "$W\\out_copydata_small" \
            --run "$T\\bench-copy-data.exe $W\\small $W\\out_copydata_small" \
        --case xcopy_small --fresh "$W\\out_xcopy_small" --run "$xcopy $W\\small\\* $W\\out_xcopy_small\\"
    timer --runs $((runs * 9)) \
        --case copydata_large --fresh "$W\\out_copydata_large" \
            --run "$T\\bench-copy-data.exe $W\\large $W\\out_copydata_large" \
        --case xcopy_large --fresh "$W\\out_xcopy_large" --run "$xcopy $W\\large\\* $W\\out_xcopy_large\\"
    rm -rf "$drive"/out_*
    wine_run "$W\\small\\fansvc.exe" /Unregister >>"$log" 2>&1
    rm -rf "$installed_unix"

    # Export calls: one fresh server per call (single-use, as the real
    # server), then with the simulator kept resident between activations.
    exports item get-item 1 "$runs"
    exports buffer get-item-buffer 1 "$runs"
    printf '[Server]\r\nResident=3000\r\n' >"$drive/tools/acpi-sim.ini"
    exports resident_item get-item 20 $((runs * 40))
    exports resident_buffer get-item-buffer 20 $((runs * 40))
    rm -f "$drive/tools/acpi-sim.ini"
    # Ends the resident server.
    wine_run "$T\\acpi-sim.exe" /UnregServer >>"$log" 2>&1

    # The parts are whole processes: an empty program's start is in each,
    # and counted once.
    echo
    echo "## $title"
    awk -v empty="$empty" -v com="$com_start" -v gpath="$gate_path" -v gate="$gate" -v runs="$runs" \
        -v load="$(cut -d' ' -f1-3 /proc/loadavg)" -v act="$activations" -v svc="$service" \
        -v ls="$loop_small" -v ll="$loop_large" -v xs="$xcopy_small" -v xl="$xcopy_large" \
        -v cs="$copydata_small" -v cl="$copydata_large" -v is="$install_small" -v il="$install_large" \
        -v bi="$item_bridge" -v ai="$item_bare" -v bb="$buffer_bridge" -v ab="$buffer_bare" \
        -v rbi="$resident_item_bridge" -v rai="$resident_item_bare" \
        -v rbb="$resident_buffer_bridge" -v rab="$resident_buffer_bare" -v size="${3:-}" '
        function row(measure, figure, baseline, budget, unit,   ratio, verdict) {
            ratio = figure / baseline
            verdict = ratio <= budget ? "ok" : "MISSED"
            if (verdict == "MISSED") missed++
            printf "| %-52s | %10.4f %s | %10.4f %s | %5.2fx | <= %4.2fx | %-6s |\n", measure, figure, unit, baseline, unit, ratio, budget, verdict
        }
        function info(measure, figure, baseline, unit) {
            printf "| %-52s | %10.4f %s | %10.4f %s | %5.2fx | %-8s | %-6s |\n", measure, figure, unit, baseline, unit, figure / baseline, "-", "info"
        }
        BEGIN {
            print  "Medians of " runs " runs after one untimed run (start-up: " 6 * runs ", copy: " 3 * runs " and " 9 * runs "; export calls: " runs " and " 40 * runs " calls); load average " load
            print  "Parts of an installation, each alone (median s): empty program " empty ", two bare activations with their calls " act ","
            print  "  service executable /Service " svc ", bare CopyFileA loop " ls " (1,000 x 4 KiB) and " ll " (8 x 32 MiB)"
            print  ""
            print  "| measure                                              |     figure   |   baseline   | ratio | budget   | result |"
            print  "|------------------------------------------------------|--------------|--------------|-------|----------|--------|"
            row("Installation, 1,000 x 4 KiB (vs sum of its parts)", is, act + ls + svc - empty, 1.15, "s")
            row("Installation, 8 x 32 MiB (vs sum of its parts)", il, act + ll + svc - empty, 1.15, "s")
            row("CopyData, 1,000 x 4 KiB (vs xcopy /Q /Y)", cs, xs, 1.00, "s")
            row("CopyData, 8 x 32 MiB (vs xcopy /Q /Y)", cl, xl, 1.00, "s")
            row("AcpiGetItem per call (vs bare COM call)", bi, ai, 1.10, "s")
            row("AcpiGetItemBuffer 1 KiB per call (vs bare COM call)", bb, ab, 1.10, "s")
            row("AcpiGetItem per call, resident acpi-sim", rbi, rai, 1.10, "s")
            row("AcpiGetItemBuffer 1 KiB per call, resident acpi-sim", rbb, rab, 1.10, "s")
            # Against an empty program the start-up mostly shows what Wine charges
            # for a COM apartment; against the calls the path cannot do without,
            # what the installer adds.
            row("Start-up to the gate (vs its unavoidable calls)", gate, gpath, 1.10, "s")
            info("  start-up to the gate vs empty program", gate, empty, "s")
            info("  the unavoidable calls alone vs empty program", gpath, empty, "s")
            info("  CoInitialize alone vs empty program", com, empty, "s")
            if (size != "") row("Size of the 32-bit setup.exe (vs 1.25 MiB)", size / 1048576, 1.25, 1.00, "MiB")
            exit missed
        }' || missed=$((missed + $?))
    echo
}

size=$(wc -c <"$win32/setup.exe")
measure "The product: 32-bit setup.exe on 64-bit Windows (WoW64)" "Program Files (x86)" "$size"
use "$win64"
measure "The x64 twin on 64-bit Windows" "Program Files"

if [ $missed -gt 0 ]; then
    echo "$missed budget(s) missed"
    exit 1
fi
echo "Every budget met."
