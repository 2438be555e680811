# Shared by the set-up commands: packages, configuration, build and the Wine prefix.

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${DIGESTRY_BUILD_DIR:-$repo_root/build}
# The second compiler's build, inside the first's folder so that the build folder's lock covers it.
clang_build_dir=$build_dir/clang
required_packages=(cmake make g++-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-win32 clang lld llvm clang-tidy wine wine64
    xvfb xauth googletest wixl msitools osslsigncode zip unzip openssl shellcheck locales fonts-wqy-microhei
    socat)
# The interface languages the page is translated into, as Linux names them; Wine takes a process's
# interface language from LANG, and only from a locale that is generated.
page_locales=(en_US de_DE fr_FR es_ES it_IT pt_BR nl_NL pl_PL ru_RU tr_TR ja_JP ko_KR zh_CN zh_TW ar_SA he_IL)

export WINEPREFIX=$build_dir/wineprefix
# The 64-bit Wine loader: every Windows program of the project runs through it.
wine=/usr/lib/wine/wine64
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
    generate_page_locales
}

# Generates the UTF-8 locales of the page's languages that are missing.
generate_page_locales() {
    local available missing=() name
    available=$(locale -a 2>/dev/null | tr '[:upper:]' '[:lower:]')
    for name in "${page_locales[@]}"; do
        grep -qx "${name,,}.utf8" <<<"$available" || missing+=("$name.UTF-8 UTF-8")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Generating the locales: ${missing[*]%% *}"
        printf '%s\n' "${missing[@]}" >>/etc/locale.gen
        locale-gen >/dev/null
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
    "$wine" regsvr32 /s "$(windows_path "$build_dir/source/digestry.dll")"
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

# A private prefix inside the build folder, created once. Its wineserver stays up until stop_wine,
# so that each Windows program does not pay for a server start: the caller stops it as its run ends
# (the build folder's lock makes the run its only user). Returns non-zero when Wine cannot start.
start_wine() {
    mkdir -p "$WINEPREFIX"
    wineserver -p >/dev/null 2>&1 </dev/null || true  # already running for this prefix is fine
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
    # Japanese, Chinese and Korean interface fonts come from the installed font with those glyphs.
    "$wine" reg import "$repo_root/scripts/prefix.reg" >/dev/null 2>&1
}

# Ends every Windows program of the prefix, and its wineserver.
stop_wine() {
    wineserver -k >/dev/null 2>&1 || true
}

# Runs the command (a program or a function of the script) with the prefix's Wine up, and ends it
# after; returns the command's status, or 2 (with one line on standard error) when Wine cannot start.
with_wine() {
    local status=0
    if ! start_wine >&2; then
        stop_wine
        echo "${0##*/}: Wine could not start in $WINEPREFIX" >&2
        return 2
    fi
    "$@" || status=$?
    stop_wine
    return "$status"
}

# Runs the command (a program or a function of the script) with a virtual display of its own, and
# ends the display after it; returns the command's status. Windows that need a display (dialogs,
# property sheets) get it, and so must the prefix's services (with_wine inside it): a desktop
# started without a display cannot show top-level windows. The X server picks a free
# display number, so that runs side by side get one each. The command runs in a subshell, so that
# an exit in it still ends the display; errexit does not stop it there, so it checks its own steps.
run_in_display() {
    local numbers server display status=0
    numbers=$(mktemp -u "${TMPDIR:-/tmp}/digestry-display.XXXXXX")
    mkfifo "$numbers"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$numbers" >/dev/null 2>&1 </dev/null &
    server=$!
    read -r display <"$numbers" || display=
    rm -f "$numbers"
    if [ -z "$display" ]; then
        echo "The virtual display (Xvfb) could not start" >&2
        return 2
    fi
    (
        export DISPLAY=:$display
        "$@"
    ) || status=$?
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
    return "$status"
}
