#!/usr/bin/env bash
# Installs what is missing, builds everything with GCC and with Clang, runs clang-tidy over the
# product code and shellcheck over the scripts, then every test under Wine by its label (the unit
# tests of both builds), and last the main job as users run it.
set -eEuo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# A step's heading, with the time the run has taken so far.
step() {
    printf '%s (at %dm%02ds)\n' "$1" $((SECONDS / 60)) $((SECONDS % 60))
}

# Runs ctest with the arguments given over the build in the folder given, in a virtual display and
# the build's own Wine prefix, which stays up for all its tests.
ctest_in_display() {
    local folder=$1
    shift
    WINEPREFIX=$folder/wineprefix run_in_display with_wine \
        ctest --test-dir "$folder" --output-on-failure --timeout 900 "$@" {build_lock}>&-
}

# Runs shellcheck over every script of the repository: the *.sh files and the programs without an
# extension that a shell runs (.ci/run). Prints the findings and the number of scripts checked;
# returns non-zero on a finding. Its settings are in .shellcheckrc, whose directives name sourced
# files from the top of the repository.
check_scripts() {
    local scripts=() file
    while IFS= read -r -d '' file; do
        if [[ $file == *.sh ]] || head -n 1 "$repo_root/$file" | grep -qE '^#!.*\b(ba)?sh\b'; then
            scripts+=("$file")
        fi
    done < <(git -C "$repo_root" ls-files -z)
    (cd "$repo_root" && shellcheck --external-sources "${scripts[@]}") || return
    echo "shellcheck checked ${#scripts[@]} scripts"
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
step "shellcheck over the scripts"
check_scripts || status=$?
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
