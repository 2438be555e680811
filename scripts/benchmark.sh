#!/usr/bin/env bash
# Installs what is missing, builds, and runs the two benchmarks under Wine: the hashing engine on
# its own, then the page in the shell's real Properties dialog (with digestry.dll registered in the
# build's prefix).
# Usage: scripts/benchmark.sh [size of the generated file in MiB, default 1024] [repetitions, default 5]
#                             [dialog cycles, default 200: pairs of openings with and without the
#                              extension, and open, compute, close cycles]
set -eEuo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

hold_build_lock benchmark.sh
install_missing_packages
build_all digestry_extension digestry_benchmark digestry_shellbenchmark

# Both programs in the prefix with the extension registered, in the virtual display.
run_benchmarks() {
    local size=$1 runs=$2 cycles=$3
    if ! register_extension; then
        echo "benchmark.sh: regsvr32 could not register digestry.dll in $WINEPREFIX" >&2
        return 2
    fi
    echo "== The hashing engine"
    "$wine" "$build_dir/source/benchmark/digestry_benchmark.exe" "$size" "$runs" || return
    echo
    echo "== The page in the Properties dialog"
    "$wine" "$build_dir/source/benchmark/digestry_shellbenchmark.exe" "$size" "$runs" "$cycles"
}

run_in_display with_wine run_benchmarks "${1:-1024}" "${2:-5}" "${3:-200}" {build_lock}>&-
