#!/bin/sh
# bench/run.sh
#
# Builds what the benchmarks need, measures under Wine, and writes every
# figure to the results file, $BENCH_DIR/results.tsv: one case a line,
# tab-separated: MACHINE.CASE, its median (seconds; bytes for a size), then
# each timed run; lines starting with # say when and where. bench/report.py
# reads it with the budgets of bench/budgets.tsv and prints the tables.
# Exit code 0 when every figure was measured (and every timed installation
# was checked complete), 2 when something could not be built, run or checked;
# then there is no results file. Not a test: timing says nothing about
# correctness.
#
#   BENCH_RUNS  timed runs per measurement, after one untimed (default 5)
#   BENCH_DIR, JOBS: see bench/staging.sh
#
# Two machines in one 64-bit prefix: wow64, the product (the 32-bit
# setup.exe and its 32-bit drivers under WoW64, as customers run it), and
# x64, the twin. The times are taken inside Wine by bench-timer
# (QueryPerformanceCounter around CreateProcess and the wait); the export
# calls are timed by their client, per call. On the product's machine the
# peers run too: an NSIS installer and an MSI doing setup.exe's installation
# (bench/peers).
set -u
. "$(dirname "$0")/staging.sh"
runs=${BENCH_RUNS:-5}
results=$dir/results.tsv
new=$results.new
rm -f "$results"
: >"$log"
: >"$new"

# The peers' tools, and the report's Python; none of the other commands
# needs them.
"$top/cmake/install-deps.sh" nsis wixl python3 || die "cannot install what the benchmarks need"
build_and_boot
stage_payloads
use "$win32"
wine_run "$T\\acpi-sim.exe" /RegServer >>"$log" 2>&1 || die "cannot register acpi-sim"

# row CASE FIGURE [RUN...]: one line of the results, for the machine being
# measured.
row() {
    printf '%s.%s' "$machine" "$1" >>"$new"
    shift
    printf '\t%s' "$@" >>"$new"
    printf '\n' >>"$new"
}

# record PREFIX: a driver's lines "NAME median S [runs S S ...]" as rows
# PREFIX+NAME; any other line is an error, never an empty figure.
record() {
    prefix=$1
    tr -d '\r' | while read -r name word median rest; do
        [ "$word" = median ] && [ -n "$median" ] || die "a driver printed '$name $word $median $rest', not a median"
        set -- $rest
        [ "${1:-}" = runs ] && shift
        row "$prefix$name" "$median" "$@"
    done
}

# timer [bench-timer options]: runs the cases in turns and records each
# case's median. Before every timed run of any case the machine's dirty
# pages are written back (Linux's sync): a copy's write-back then never
# falls on a later run, whichever side it is.
timer() {
    cases=$(printf '%s\n' "$@" | sed -n '/^--case$/{n;p;}' | tr '\n' ' ')
    out=$(retry "bench-timer ($cases)" wine_run "$T\\bench-timer.exe" --runs "$runs" --sync "$@") || exit 2
    printf '%s\n' "$out" >>"$log"
    printf '%s\n' "$out" | record "" || exit 2
}

# exports NAME METHOD WARMUP CALLS: the median seconds of one call through
# the export and of one bare call, as NAME_bridge and NAME_bare.
exports() {
    name=$1
    shift
    out=$(retry "bench-exports $name" wine_run "$T\\bench-exports.exe" "$@" "$T\\setup.exe") || exit 2
    printf '%s: %s\n' "$name" "$out" >>"$log"
    printf '%s\n' "$out" | record "${name}_" || exit 2
}

# begin MACHINE TITLE: the results' rows that follow are that machine's.
begin() {
    machine=$1
    printf '# machine\t%s\t%s\t%s\n' "$1" "$(cut -d' ' -f1-3 /proc/loadavg)" "$2" >>"$new"
    echo "Measuring $2 ($runs runs after one untimed run each)..."
}

# Started by a driver of the build measured: a 32-bit one gets the 32-bit
# reg.exe, which deletes in the view the product wrote to.
forget_version='C:\windows\system32\reg.exe delete HKLM\SOFTWARE\VentaroBench /f'
msiexec='C:\windows\system32\msiexec.exe'

# floors PROGRAMFILES: every measurement of the installer against what its
# work cannot do without, with the staged build; PROGRAMFILES is where that
# build's installation lands.
floors() {
    programs=$1
    installed="C:\\$programs\\VentaroBench"
    target="$installed\\1.0.0.0"
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
    # never pays for the removal of another case's files. Each installation
    # starts with nothing of it there, and is checked complete after its run.
    set -- --case activations --run "$T\\bench-activate.exe" \
        --case service --before "$W\\small\\fansvc.exe /Unregister" --run "$W\\small\\fansvc.exe /Service"
    for payload in small large; do
        set -- "$@" --case "loop_$payload" --fresh "$W\\out_loop_$payload" \
            --run "$T\\bench-copy-loop.exe $W\\$payload $W\\out_loop_$payload"
        set -- "$@" --case "install_$payload" --before "$W\\$payload\\fansvc.exe /Unregister" \
            --before "$forget_version" --remove "$installed" \
            --ready "$T\\bench-installed.exe --absent $W\\$payload \"$target\"" \
            --run "$W\\$payload\\setup.exe" --check "$T\\bench-installed.exe $W\\$payload \"$target\""
    done
    timer "$@"

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
    rm -rf "$prefix/drive_c/$programs/VentaroBench"

    # Export calls: one fresh server per call (single-use, as the real
    # server), then with the simulator kept resident between activations.
    exports item get-item 1 "$runs"
    exports buffer get-item-buffer 1 "$runs"
    printf '[Server]\r\nResident=3000\r\n' >"$drive/tools/acpi-sim.ini"
    exports resident_item get-item 20 $((runs * 40))
    exports resident_buffer get-item-buffer 20 $((runs * 40))
    rm -f "$drive/tools/acpi-sim.ini"
    # Ends the resident server.
    wine_run "$T\\acpi-sim.exe" /RegServer >>"$log" 2>&1 || die "cannot register acpi-sim"
}

# peers: setup.exe against an NSIS installer and an MSI doing the same
# installation of the mixed payload, on the product's machine. setup.exe
# twice: with the ACPI server already running (resident), as on a machine
# whose server stays up, and with a server process started for each of its
# two activations (single-use, as the maker's server). Every run starts
# from a clean machine (no target folder, no record, no service, the MSI
# uninstalled; checked) and is checked complete after it.
peers() {
    echo "Building the peers (bench/peers)..."
    "$top/bench/peers/build.sh" "$drive/mixed" "$drive/peers" >>"$log" 2>&1 || die "cannot build the peers; see $log"
    row mixed_size "$(cat "$drive/mixed"/* | wc -c)"
    row nsis_size "$(wc -c <"$drive/peers/ventaro-setup.exe")"
    row msi_size "$(wc -c <"$drive/peers/ventaro.msi")"
    root='C:\Program Files (x86)\Korven'
    target="$root\\VentaroBench\\1.0.0.0"
    msi="$W\\peers\\ventaro.msi"
    printf '[Server]\r\nResident=600000\r\n' >"$drive/tools/resident.ini"
    # acpi-sim reads Resident when its server starts: the resident case
    # starts one with the profile in place, the single-use case ends it.
    resident_on="C:\\windows\\system32\\cmd.exe /c copy /y $T\\resident.ini $T\\acpi-sim.ini"
    resident_off="C:\\windows\\system32\\cmd.exe /c del $T\\acpi-sim.ini"
    set --
    for c in setup_resident setup_single nsis msi; do
        set -- "$@" --case "$c" --before "$msiexec /x $msi /qn" --before "$W\\mixed\\fansvc.exe /Unregister" \
            --before "$forget_version" --remove "$root"
        case $c in
        setup_resident)
            set -- "$@" --before "$resident_on" --before "$T\\bench-activate.exe" --run "$W\\mixed\\setup.exe" ;;
        setup_single)
            set -- "$@" --before "$resident_off" --before "$T\\acpi-sim.exe /RegServer" --run "$W\\mixed\\setup.exe" ;;
        nsis) set -- "$@" --run "$W\\peers\\ventaro-setup.exe /S" ;;
        msi) set -- "$@" --run "$msiexec /i $msi /qn" ;;
        esac
        set -- "$@" --ready "$T\\bench-installed.exe --absent $W\\mixed \"$target\"" \
            --check "$T\\bench-installed.exe $W\\mixed \"$target\""
    done
    timer "$@"
    rm -f "$drive/tools/acpi-sim.ini"
    wine_run "$T\\acpi-sim.exe" /RegServer >>"$log" 2>&1 || die "cannot register acpi-sim"
    wine_run "$msiexec" /x "$msi" /qn >>"$log" 2>&1
    wine_run "$W\\mixed\\fansvc.exe" /Unregister >>"$log" 2>&1
    wine_run 'C:\windows\syswow64\reg.exe' delete 'HKLM\SOFTWARE\VentaroBench' /f >>"$log" 2>&1
    rm -rf "$prefix/drive_c/Program Files (x86)/Korven"
}

printf '# date\t%s\n# runs\t%s\n' "$(date -u +%Y-%m-%dT%H:%MZ)" "$runs" >>"$new"
begin wow64 "The product: 32-bit setup.exe on 64-bit Windows (WoW64)"
row setup_size "$(wc -c <"$win32/setup.exe")"
floors "Program Files (x86)"
peers
use "$win64"
begin x64 "The x64 twin on 64-bit Windows"
floors "Program Files"

mv "$new" "$results"
echo "Every figure measured: $results. bench/report.py prints the tables and checks the budgets."
