#!/usr/bin/env bash
# Shows that a DLL refuses to load on a Windows older than 7.
#
#   old-windows-refusal.sh <build folder> <tarn_modulehost.exe> <DLL> [<line pattern>...]
#
# The DLL must load in the build's own prefix and must fail to load in a second prefix of the build
# folder whose Windows version is set to Vista (created on first use). Each pattern, a bash extended
# regular expression, must match a debugger line of the refused load, in the order given.
set -eEuo pipefail

build_dir=$1
module_host=$2
dll=$3
shift 3

wine=/usr/lib/wine/wine64
normal_prefix=$build_dir/wineprefix
vista_prefix=$build_dir/wineprefix-vista
export WINEDEBUG=-all
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# Z: is the prefixes' view of the Unix root.
windows_dll="Z:${dll//\//\\}"

if ! WINEPREFIX=$normal_prefix "$wine" "$module_host" load "$windows_dll" >/dev/null; then
    echo "FAIL: $dll does not load in $normal_prefix"
    exit 1
fi

trap 'WINEPREFIX=$vista_prefix wineserver -k >/dev/null 2>&1 || true' EXIT
if [ ! -f "$vista_prefix/.prefix-ready" ]; then
    echo "Creating the Vista prefix $vista_prefix"
    mkdir -p "$vista_prefix"
    WINEPREFIX=$vista_prefix wineboot --init >/dev/null 2>&1
    WINEPREFIX=$vista_prefix "$wine" winecfg -v vista >/dev/null 2>&1
    touch "$vista_prefix/.prefix-ready"
else
    # Brings up the prefix's services here, so that they do not inherit (and hold open) the pipe
    # that captures the load's output.
    WINEPREFIX=$vista_prefix wineboot >/dev/null 2>&1
fi

status=0
output=$(WINEPREFIX=$vista_prefix "$wine" "$module_host" load "$windows_dll") || status=$?
if [ "$status" -eq 0 ]; then
    echo "FAIL: $dll loads in the Vista prefix"
    exit 1
fi
echo "The load failed; it wrote:"
echo "$output"

mapfile -t lines <<<"${output//$'\r'/}"
next=0
for pattern in "$@"; do
    while [ "$next" -lt "${#lines[@]}" ] && ! [[ ${lines[next]} =~ $pattern ]]; do
        next=$((next + 1))
    done
    if [ "$next" -ge "${#lines[@]}" ]; then
        echo "FAIL: no line, after the ones matched before, matches: $pattern"
        exit 1
    fi
    next=$((next + 1))
done
echo "PASS"
