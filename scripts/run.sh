#!/usr/bin/env bash
# The main job: shows a file's Digestry page in the shell's real Properties dialog, under Wine.
#
#   bash scripts/run.sh [FILE] [--expect VALUE]
#
# Installs what is missing, builds the extension and the shell host, registers digestry.dll with
# regsvr32 in the build folder's private Wine prefix, and opens the Properties dialog of FILE (a
# generated sample when none is given) through the shell. It prints the file, its size, the five
# digests exactly as the page shows them, the page's verdict on VALUE typed into "Compare to:" (for
# the algorithm whose digests are that long), and the path of a screenshot of the dialog.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

usage() {
    echo "usage: bash scripts/run.sh [FILE] [--expect VALUE]" >&2
    exit 2
}

file=
expect=()
while [ $# -gt 0 ]; do
    case $1 in
        --expect)
            [ $# -ge 2 ] || usage
            expect+=(--expect "$2")
            shift 2
            ;;
        -h | --help) usage ;;
        *)
            [ -z "$file" ] || usage
            file=$1
            shift
            ;;
    esac
done

if [ -n "$file" ]; then
    if [ -d "$file" ]; then
        echo "run.sh: $file is a folder; give a file" >&2
        exit 1
    elif [ ! -f "$file" ]; then
        echo "run.sh: $file: no such file" >&2
        exit 1
    elif ! : <"$file" 2>/dev/null; then
        echo "run.sh: $file: cannot be read (permission denied)" >&2
        exit 1
    fi
    file=$(realpath -- "$file")
fi

# The report alone goes to standard output; the set-up says what it does on standard error, less
# the build's lines for targets that were already up to date.
{
    install_missing_packages
    build_all digestry digestry_shellhost | sed '/Built target/d'
} >&2
if [ -z "$file" ]; then
    file=$build_dir/sample/digestry-sample.txt
    mkdir -p "$(dirname "$file")"
    seq -f 'Digestry sample line %g' 1 20000 >"$file"
fi
screenshot=$build_dir/digestry-properties.png
rm -f "$screenshot"

# In a virtual display: the prefix's services, the registration, then the dialog. The host names
# the files as Windows sees them; the report gives them back their Unix names.
xvfb-run --auto-servernum --server-args='-screen 0 1280x1024x24' bash -c '
    set -euo pipefail
    source "$1"
    shift
    start_wine >&2
    if ! register_extension; then
        echo "run.sh: regsvr32 could not register digestry.dll in $WINEPREFIX" >&2
        exit 1
    fi
    /usr/lib/wine/wine64 "$build_dir/shellhost/digestry_shellhost.exe" "$@"' \
    run.sh "$(dirname "${BASH_SOURCE[0]}")/common.sh" "${expect[@]}" \
    --screenshot "$(windows_path "$screenshot")" "$(windows_path "$file")" |
    while IFS= read -r line; do
        case $line in
            File:*) printf 'File:     %s\n' "$file" ;;
            Screenshot:*) printf 'Screenshot: %s\n' "$screenshot" ;;
            *) printf '%s\n' "$line" ;;
        esac
    done
