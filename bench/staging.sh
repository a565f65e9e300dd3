# Sourced by bench/run.sh and bench/trace.sh: the benchmarks' machine. It
# builds what they need, boots a 64-bit Wine prefix of their own with a
# persistent wineserver (so that Wine's start-up does not swamp the figures)
# and stages the payload folders in it.
#
#   BENCH_DIR   where it builds and keeps its Wine prefix (default build/bench)
#   JOBS        build parallelism (default 2)
#
# The staged machine: C:\bench\tools holds the drivers and the simulator;
# C:\bench\small, C:\bench\large and C:\bench\mixed are payload folders as
# they reach a customer: setup.exe, setup.ini, the service executable as
# fansvc.exe, and the payload.

cd "$(dirname "$0")/.." || exit 2
top=$PWD
dir=${BENCH_DIR:-build/bench}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
win64=$dir/win64
win32=$dir/win32
prefix=$dir/wineprefix
log=$dir/bench.log
drive=$prefix/drive_c/bench
W='C:\bench'
T='C:\bench\tools'

die() {
    echo "bench: $*" >&2
    exit 2
}
wine_run() { "$top/cmake/wine-run.sh" "$prefix" "$@"; }

# retry WHAT COMMAND...: COMMAND's output, or, when it fails, the output of
# a second try. Wine's COM has been seen to hang or lose an activation now
# and then (see acpi-sim's README); a second failure is a real one. Standard
# error goes to the log, and a second try is said on ours, so that one is
# seen. Called in $(...), where die ends only the subshell: add || exit 2.
retry() {
    what=$1
    shift
    if out=$("$@" 2>>"$log"); then
        printf '%s\n' "$out"
        return 0
    fi
    echo "bench: $what failed; once more (the failure is in $log)" >&2
    out=$("$@" 2>>"$log") || die "$what failed twice: $(tail -n 5 "$log")"
    printf '%s\n' "$out"
}

# Builds both trees and boots the prefix; the wineserver stops when the
# script ends. Standard output and error go to the log.
build_and_boot() {
    "$top/cmake/runs-32bit.sh" >/dev/null || die "$("$top/cmake/runs-32bit.sh"): the product cannot be measured"
    echo "Building (log: $log)..."
    {
        cmake --preset win64 -B "$win64" && cmake --build "$win64" --target bench --parallel "${JOBS:-2}" &&
            cmake --preset win32 -B "$win32" && cmake --build "$win32" --target bench --parallel "${JOBS:-2}"
    } >>"$log" 2>&1 || die "the build failed; see $log"
    # A wineserver left from an interrupted run would keep --boot waiting.
    wine_run --stop
    wine_run --boot || die "cannot boot the Wine prefix $prefix"
    trap '"$top/cmake/wine-run.sh" "$prefix" --stop' EXIT
    trap 'exit 2' INT TERM HUP
}

# stage NAME INSTALL_PATH COUNTxBYTES...: the payload folder C:\bench\NAME,
# with COUNT random files of BYTES bytes for each group (generated once,
# kept between runs) and its setup.ini. Every payload installs the same
# service under the same key, from its own folder's copy.
stage() {
    name=$1
    folder=$drive/$1
    install_path=$2
    shift 2
    for group in "$@"; do
        count=${group%x*}
        bytes=${group#*x}
        [ "$(find "$folder" -name "f${bytes}_*" 2>/dev/null | wc -l)" -eq "$count" ] && continue
        echo "Generating the $name payload: $count files of $bytes bytes..."
        mkdir -p "$folder"
        rm -f "$folder/f${bytes}_"*
        head -c $((count * bytes)) /dev/urandom | (cd "$folder" && split -b "$bytes" -a 4 -d - "f${bytes}_")
    done
    printf '[Common]\r\nServiceName=VentaroBench\r\nInstallPath=%s\r\nRegistryKey=%s\r\nExecution=fansvc.exe\r\n' \
        "$install_path" 'SOFTWARE\VentaroBench' >"$folder/setup.ini"
    printf 'version=1.0.0.0\r\n' >>"$folder/setup.ini"
}

stage_payloads() {
    stage small 'VentaroBench' 1000x4096
    stage large 'VentaroBench' 8x33554432
    # What a fan-control service might ship: a few hundred small files and a
    # larger one. Its install path has two levels (an MSI needs a folder
    # element for each).
    stage mixed 'Korven\VentaroBench' 200x4096 1x8388608
}

# use BUILD: stages the programs of that build tree: the drivers and the
# simulator in C:\bench\tools, setup.exe and the sample service in every
# payload folder.
use() {
    build=$1
    wine_run "$T\\acpi-sim.exe" /UnregServer >>"$log" 2>&1
    rm -rf "$drive/tools"
    mkdir -p "$drive/tools"
    cp "$build"/bench/*.exe "$build/setup.exe" "$build/tools/acpi-sim/acpi-sim.exe" "$drive/tools/"
    for folder in small large mixed; do
        cp "$build/setup.exe" "$drive/$folder/setup.exe"
        cp "$build/tools/sample-service/sample-service.exe" "$drive/$folder/fansvc.exe"
    done
}
