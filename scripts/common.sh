# Shared by the set-up commands: packages, configuration, build and the Wine prefix.

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${DIGESTRY_BUILD_DIR:-$repo_root/build}
# The second compiler's build, inside the first's folder so that the build folder's lock covers it.
clang_build_dir=$build_dir/clang
required_packages=(cmake make g++-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-win32 clang lld llvm clang-tidy wine wine64
    xvfb xauth googletest wixl msitools osslsigncode zip unzip openssl)

export WINEPREFIX=$build_dir/wineprefix
# Wine names Unix files in the locale's character set: only UTF-8 reaches every file name.
if [ "$(locale charmap 2>/dev/null)" != UTF-8 ]; then
    export LC_ALL=C.UTF-8
fi
export WINEDEBUG=${WINEDEBUG:--all}
# The prefix needs neither Mono nor Gecko; without this wineboot offers to download them.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

install_missing_packages() {
    local missing=()
    local package
    for package in "${required_packages[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' || missing+=("$package")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    fi
}

# Builds the targets named, or everything when none is, with GCC.
build_all() {
    build_with_toolchain "$build_dir" mingw-w64-x86_64.cmake "$@"
}

# The same with Clang, into its own folder.
build_all_with_clang() {
    build_with_toolchain "$clang_build_dir" clang-mingw-w64-x86_64.cmake "$@"
}

build_with_toolchain() {
    local folder=$1 toolchain=$2
    shift 2
    cmake -S "$repo_root" -B "$folder" -DCMAKE_TOOLCHAIN_FILE="$repo_root/cmake/$toolchain" >/dev/null
    cmake --build "$folder" --parallel "$(nproc)" ${1:+--target "$@"}
}

# clang-tidy (.clang-tidy) over the product code's sources, from the Clang build's compile commands:
# the foundation, the CNG layer, the extension and the shell host, not their tests or the
# benchmarks. Prints the findings and the number of files checked; returns non-zero on a finding.
tidy_product_code() {
    run-clang-tidy -p "$clang_build_dir" -j "$(nproc)" -quiet \
        '/(shared/cpplibs/(tarn|crypto)/src|source|shellhost)/[^/]+\.cpp$' 2>&1 |
        sed -E 's/\x1b\[[0-9;]*m//g' |
        awk '/^clang-tidy[-0-9]* / { files++; next } /^[0-9]+ warnings? generated\.$/ { next } { print }
             END { print "clang-tidy checked " files + 0 " files" }'
    return "${PIPESTATUS[0]}"
}

# Registers the build's digestry.dll in the prefix as an administrator does on Windows.
register_extension() {
    /usr/lib/wine/wine64 regsvr32 /s "$(windows_path "$build_dir/source/digestry.dll")"
}

# The Windows name of a Unix path in the prefix: Z: is its view of the Unix root.
windows_path() {
    local path=$1
    printf 'Z:%s' "${path//\//\\}"
}

# Runs of the set-up commands on one build folder take turns: the build, the Wine prefix and the
# display its services start in serve one run at a time. Takes the build folder's lock (waiting,
# with one line on standard error, while another run holds it) for as long as the script runs.
# Commands that may leave processes behind get it closed ({build_lock}>&-), so that none holds it
# after the script.
hold_build_lock() {
    local script=$1
    mkdir -p "$build_dir"
    exec {build_lock}>>"$build_dir/run.lock"
    if ! flock -n "$build_lock"; then
        echo "$script: another run is using $build_dir; waiting for it to finish" >&2
        flock "$build_lock"
    fi
}

release_build_lock() {
    exec {build_lock}>&-
}

# A private prefix inside the build folder, created once. Its wineserver stays up for the whole
# run, so that each Windows program does not pay for a server start, and ends with the run: the
# build folder's lock makes the run its only user. Returns non-zero when Wine cannot start.
start_wine() {
    mkdir -p "$WINEPREFIX"
    wineserver -p >/dev/null 2>&1 </dev/null || true  # already running for this prefix is fine
    trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
    if [ ! -f "$WINEPREFIX/.prefix-ready" ]; then
        echo "Creating the Wine prefix $WINEPREFIX"
        wineboot --init >/dev/null 2>&1 || return
        touch "$WINEPREFIX/.prefix-ready"
    else
        # Brings up the prefix's services here, so that they do not inherit (and hold open)
        # the output pipe of the first Windows program.
        wineboot >/dev/null 2>&1 || return
    fi
    # Xvfb has no window manager: with managed windows Wine waits for one whenever a window hides.
    # Every Windows has the list of property-sheet handlers for all files; a fresh prefix lacks it.
    wine reg import "$repo_root/scripts/prefix.reg" >/dev/null 2>&1
}
