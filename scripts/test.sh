#!/usr/bin/env bash
# Installs what is missing, builds everything with GCC and with Clang, runs clang-tidy over the
# product code and every test executable under Wine (the unit tests of both builds), then the main
# job as users run it.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# A step's heading, with the time the run has taken so far.
step() {
    printf '%s (at %dm%02ds)\n' "$1" $((SECONDS / 60)) $((SECONDS % 60))
}

# Runs ctest with the arguments given over the build in the folder given. Windows that need a
# display (dialogs, property sheets) get a virtual one. The prefix's services start inside it too:
# a desktop started without a display cannot show top-level windows. Each build folder has a Wine
# prefix of its own.
ctest_in_display() {
    local folder=$1
    shift
    DIGESTRY_BUILD_DIR=$folder xvfb-run --auto-servernum --server-args='-screen 0 1280x1024x24' \
        bash -c 'set -euo pipefail; source "$1"; shift; start_wine; ctest --test-dir "$build_dir" --output-on-failure --timeout 900 "$@"' \
        test.sh "$(dirname "${BASH_SOURCE[0]}")/common.sh" "$@" {build_lock}>&-
}

hold_build_lock test.sh
install_missing_packages
step "Building with GCC"
build_all
step "Building the foundation (shared/cpplibs/tarn and crypto) in a project of its own"
cmake -S "$repo_root/shared/cpplibs/tarn/test/standalone" -B "$build_dir/standalone" \
    -DCMAKE_TOOLCHAIN_FILE="$repo_root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$build_dir/standalone" --parallel "$(nproc)" >/dev/null
step "Building with Clang"
build_all_with_clang
status=0
step "clang-tidy over the product code"
tidy_product_code || status=$?
step "Tests, GCC build: unit, end-to-end and packaging"
ctest_in_display "$build_dir" -LE runs_alone || status=$?
step "Tests, Clang build: unit"
ctest_in_display "$clang_build_dir" -L unit || status=$?
# The other tests see the same product through the same scripts: one build is enough for them.
echo "Left out of the Clang build: $(ctest --test-dir "$clang_build_dir" -N -LE unit | sed -n 's/^ *Test *#[0-9]*: //p' | paste -sd ' ')"
# Each run of the main job takes the lock for itself.
release_build_lock
step "Tests that run alone, GCC build: the main job as users run it"
ctest --test-dir "$build_dir" --output-on-failure --timeout 900 -L runs_alone || status=$?
step "Done"
exit "$status"
