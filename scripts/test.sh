#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test executable under Wine.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

install_missing_packages
build_all
echo "Building the foundation (shared/cpplibs/tarn and crypto) in a project of its own"
cmake -S "$repo_root/shared/cpplibs/tarn/test/standalone" -B "$build_dir/standalone" \
    -DCMAKE_TOOLCHAIN_FILE="$repo_root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$build_dir/standalone" --parallel "$(nproc)" >/dev/null
# Windows that need a display (dialogs, property sheets) get a virtual one. The prefix's services
# start inside it too: a desktop started without a display cannot show top-level windows.
xvfb-run --auto-servernum --server-args='-screen 0 1280x1024x24' \
    bash -c 'set -euo pipefail; source "$1"; start_wine; ctest --test-dir "$build_dir" --output-on-failure --timeout 900' \
    test.sh "$(dirname "${BASH_SOURCE[0]}")/common.sh"
