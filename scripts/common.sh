# Shared by the set-up commands: packages, configuration, build and the Wine prefix.

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${DIGESTRY_BUILD_DIR:-$repo_root/build}
required_packages=(cmake make g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth googletest)

export WINEPREFIX=$build_dir/wineprefix
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

build_all() {
    cmake -S "$repo_root" -B "$build_dir" \
        -DCMAKE_TOOLCHAIN_FILE="$repo_root/cmake/mingw-w64-x86_64.cmake" >/dev/null
    cmake --build "$build_dir" --parallel "$(nproc)"
}

# A private prefix inside the build folder, created once; its wineserver stays up for the whole run
# so that each test executable does not pay for a server start.
start_wine() {
    mkdir -p "$WINEPREFIX"
    wineserver -p >/dev/null 2>&1 </dev/null || true  # already running for this prefix is fine
    trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
    if [ ! -f "$WINEPREFIX/.prefix-ready" ]; then
        echo "Creating the Wine prefix $WINEPREFIX"
        wineboot --init >/dev/null 2>&1
        touch "$WINEPREFIX/.prefix-ready"
    else
        # Brings up the prefix's services here, so that they do not inherit (and hold open)
        # the output pipe of the first test executable.
        wineboot >/dev/null 2>&1
    fi
    # Xvfb has no window manager: with managed windows Wine waits for one whenever a window hides.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
}
