#!/usr/bin/env bash
# Installs what is missing, builds, and runs the two benchmarks under Wine: the hashing engine on
# its own, then the page in the shell's real Properties dialog (with digestry.dll registered in the
# build's prefix).
# Usage: scripts/benchmark.sh [size of the generated file in MiB, default 1024] [repetitions, default 5]
#                             [dialog cycles, default 200: pairs of openings with and without the
#                              extension, and open, compute, close cycles]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

hold_build_lock benchmark.sh
install_missing_packages
build_all digestry digestry_benchmark digestry_shellbenchmark
xvfb-run --auto-servernum --server-args='-screen 0 1280x1024x24' bash -c '
    set -euo pipefail
    source "$1"
    start_wine
    register_extension
    echo "== The hashing engine"
    /usr/lib/wine/wine64 "$build_dir/source/benchmark/digestry_benchmark.exe" "$2" "$3"
    echo
    echo "== The page in the Properties dialog"
    /usr/lib/wine/wine64 "$build_dir/source/benchmark/digestry_shellbenchmark.exe" "$2" "$3" "$4"' \
    benchmark.sh "$(dirname "${BASH_SOURCE[0]}")/common.sh" "${1:-1024}" "${2:-5}" "${3:-200}"
