#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test executable under Wine, then the
# main job as users run it.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

hold_build_lock test.sh
install_missing_packages
build_all
echo "Building the foundation (shared/cpplibs/tarn and crypto) in a project of its own"
cmake -S "$repo_root/shared/cpplibs/tarn/test/standalone" -B "$build_dir/standalone" \
    -DCMAKE_TOOLCHAIN_FILE="$repo_root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$build_dir/standalone" --parallel "$(nproc)" >/dev/null
# Windows that need a display (dialogs, property sheets) get a virtual one. The prefix's services
# start inside it too: a desktop started without a display cannot show top-level windows.
status=0
xvfb-run --auto-servernum --server-args='-screen 0 1280x1024x24' \
    bash -c 'set -euo pipefail; source "$1"; start_wine; ctest --test-dir "$build_dir" --output-on-failure --timeout 900 -LE main_job' \
    test.sh "$(dirname "${BASH_SOURCE[0]}")/common.sh" {build_lock}>&- || status=$?
# Each run of the main job takes the lock for itself.
release_build_lock
ctest --test-dir "$build_dir" --output-on-failure --timeout 900 -L main_job || status=$?
exit "$status"
