#!/usr/bin/env bash
# The main job: shows a file's Digestry page in the shell's real Properties dialog, under Wine.
#
#   bash scripts/run.sh [FILE] [--expect VALUE]... [--language NAME]
#
# Installs what is missing, builds the extension and the shell host, registers digestry.dll with
# regsvr32 in the build folder's private Wine prefix, and opens the Properties dialog of FILE (a
# generated sample when none is given) through the shell. It prints the file, its size, the five
# digests exactly as the page shows them, the page's verdict on each VALUE typed into "Compare to:"
# (for the algorithm whose digests are that long), and the path of a screenshot of the dialog.
# Windows runs in the interface language NAME (such as de-DE), where the page is checked to speak
# it and the report says so; without --language, in the environment's locale's (English for C).
#
# Exit code 0 when the page showed all five digests and "Checksum match" for every VALUE, 1 when it
# showed them and "Checksum mismatch" for a VALUE, 2 on any error (with one line on standard error).
# Runs on one build folder take turns: a second run waits for the first.
set -eEuo pipefail
# The user's own locale, before the set-up replaces one that is not UTF-8.
user_locale=${LC_ALL:-${LC_MESSAGES:-${LANG:-}}}
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

fail() {
    echo "run.sh: $*" >&2
    exit 2
}

usage() {
    fail "usage: bash scripts/run.sh [FILE] [--expect VALUE]... [--language NAME]"
}

# The text as it is, or quoted with its control characters escaped, so that an error stays one line.
printable() {
    if [[ $1 == *[[:cntrl:]]* ]]; then
        printf '%s' "${1@Q}"
    else
        printf '%s' "$1"
    fi
}

# What Linux can tell before Wine starts: whether the file is there, a regular file, and readable.
check_file() {
    local given=$1
    local shown
    shown=$(printable "$given")
    if [ ! -e "$given" ]; then
        fail "$shown: not found"
    elif [ -d "$given" ]; then
        fail "$shown: a folder, not a file"
    elif [ -p "$given" ]; then
        fail "$shown: a FIFO, not a regular file"
    elif [ -c "$given" ] || [ -b "$given" ]; then
        fail "$shown: a device, not a regular file"
    elif [ ! -f "$given" ]; then
        fail "$shown: not a regular file"
    elif ! { : <"$given"; } 2>/dev/null; then
        fail "$shown: not readable (permission denied)"
    fi
}

# What Windows' rules decide about names, which Wine would change rather than refuse: no name with a
# character Windows reserves or with a trailing dot or space, and a device for a file named after one
# (CON, NUL, COM1 and the like, with any extension). The shell host checks what the shell itself
# refuses, such as a path too long for it, and the expected values.
check_windows_path() {
    local path=$1 shown=$2
    local name character
    local names reserved='[<>:"|?*\[:cntrl:]]'
    IFS=/ read -r -d '' -a names < <(printf %s "${path#/}") || true
    for name in "${names[@]}"; do
        if [[ $name =~ $reserved ]]; then
            character=\"${BASH_REMATCH[0]}\"
            if [[ ${BASH_REMATCH[0]} == [[:cntrl:]] ]]; then
                character=$(printf 'the control character 0x%02X' "'${BASH_REMATCH[0]}")
                fail "$shown: Windows cannot hold the name ${name@Q}: it contains $character"
            fi
            fail "$shown: Windows cannot hold the name \"$name\": it contains $character"
        elif [[ $name == *. ]]; then
            fail "$shown: Windows cannot hold the name \"$name\": it ends with a dot"
        elif [[ $name == *' ' ]]; then
            fail "$shown: Windows cannot hold the name \"$name\": it ends with a space"
        fi
    done
    local device=${path##*/}
    device=${device%%.*}
    if [[ ${device^^} =~ ^(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9])$ ]]; then
        fail "$shown: Windows cannot hold the name \"${path##*/}\": ${device^^} is the name of a device"
    fi
}

file=
language=
expect=()
compares=()
while [ $# -gt 0 ]; do
    case $1 in
        --expect)
            [ $# -ge 2 ] || usage
            expect+=(--expect "$2")
            compares+=(Compare)
            shift 2
            ;;
        --language)
            [ $# -ge 2 ] || usage
            [[ $2 =~ ^[a-z]{2,3}-[A-Z]{2}$ ]] || fail "--language $(printable "$2"): a language name such as de-DE"
            language=$2
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

interface_language=$language
if [ -z "$language" ] && [[ $user_locale =~ ^([a-z]{2,3})_([A-Z]{2}) ]]; then
    interface_language=${BASH_REMATCH[1]}-${BASH_REMATCH[2]}
fi

target=
if [ -n "$file" ]; then
    check_file "$file"
    given=$file
    file=$(realpath --no-symlinks -- "$given")
    check_windows_path "$file" "$(printable "$given")"
    [ ! -L "$file" ] || target=$(realpath -- "$file")
fi

hold_build_lock run.sh

# The report alone goes to standard output; the set-up says what it does on standard error, less
# the build's lines for what was already up to date (targets built, the steps that the extension's
# nested build runs every time).
install_missing_packages >&2 || fail "the packages it needs could not be installed"
build_all digestry_extension digestry_shellhost |
    sed -E "/Built target|Performing (build|install) step for 'digestry_extension'|Completed 'digestry_extension'/d" >&2 ||
    fail "the build failed"
# Wine uses an interface language only when its locale is generated; the environment's is taken
# when it is, a language asked for must be.
host_locale=
if [ -n "$interface_language" ] && locale -a | grep -qix "${interface_language/-/_}.utf8"; then
    host_locale=${interface_language/-/_}.UTF-8
elif [ -n "$language" ]; then
    fail "--language $language: its locale ${language/-/_}.UTF-8 is not generated"
fi
if [ -z "$file" ]; then
    file=$build_dir/sample/digestry-sample.txt
    mkdir -p "$(dirname "$file")"
    seq -f 'Digestry sample line %g' 1 20000 >"$file"
fi
screenshot=$build_dir/digestry-properties.png
rm -f "$screenshot"

# Prints the host's report, with the target of a link after the file, and returns 0 when the report
# is whole, 1 when it is whole and a verdict is a mismatch, and 2 when a line is missing.
print_report() {
    local line field fields=() mismatch=0
    while IFS= read -r line; do
        printf '%s\n' "$line"
        [[ $line != File:* || -z $target ]] || printf 'Target:   %s\n' "$target"
        [[ $line != Compare*': Checksum mismatch' ]] || mismatch=1
        field=${line%%:*}
        fields+=("${field%% (*}")
    done
    local whole=(File Size Pages ${language:+Language Layout} MD5 SHA-1 SHA-256 SHA-384 SHA-512 "${compares[@]}" Screenshot)
    [ "${fields[*]}" = "${whole[*]}" ] || return 2
    return $mismatch
}

# The prefix's services, the registration, then the dialog, all in the virtual display. The host is
# given the Unix names, which it reports as given, and its errors carry this script's name. Wine
# takes the current drive from the folder it starts in: from the root, that is Z:, which holds them.
show_page() {
    if ! register_extension; then
        echo "run.sh: regsvr32 could not register digestry.dll in $WINEPREFIX" >&2
        return 2
    fi
    cd /
    [ -z "$host_locale" ] || export LC_ALL=$host_locale
    "$wine" "$build_dir/shellhost/digestry_shellhost.exe" --as run.sh "$@"
}

set +e
run_in_display with_wine show_page "${expect[@]}" ${language:+--language "$language" --access-keys} \
    --screenshot "$screenshot" "$file" {build_lock}>&- | print_report
statuses=("${PIPESTATUS[@]}")
set -e

# The host and the report must agree; a host that fails says why itself.
case ${statuses[0]}/${statuses[1]} in
    0/0) exit 0 ;;
    1/1) exit 1 ;;
    2/*) exit 2 ;;
    */2) fail "the report of $file ended early (the shell host's exit status was ${statuses[0]})" ;;
    *) fail "the shell host's exit status ${statuses[0]} contradicts its report of $file" ;;
esac
