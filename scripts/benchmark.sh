#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the hashing engine's benchmark under Wine.
# Usage: scripts/benchmark.sh [size of the generated file in MiB, default 1024] [repetitions, default 5]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

install_missing_packages
build_all
start_wine
/usr/lib/wine/wine64 "$build_dir/source/digestry_benchmark.exe" "${1:-1024}" "${2:-5}"
