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
set -euo pipefail
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

# The algorithm whose digests have as many hexadecimal digits as the value; nothing for any other value.
algorithm_of() {
    local value=$1
    [[ $value =~ ^[0-9A-Fa-f]+$ ]] || return 0
    case ${#value} in
        32) echo MD5 ;;
        40) echo SHA-1 ;;
        64) echo SHA-256 ;;
        96) echo SHA-384 ;;
        128) echo SHA-512 ;;
    esac
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

# What Windows' rules decide: the shell parses no path of 260 characters or more, no name with a
# character Windows reserves or with a trailing dot or space, and opens a device for a file named
# after one (CON, NUL, COM1 and the like, with any extension).
check_windows_path() {
    local path=$1 shown=$2
    local windows length name character
    windows=$(windows_path "$path")
    length=$(($(printf %s "$windows" | iconv -f UTF-8 -t UTF-16LE | wc -c) / 2))
    if [ "$length" -ge 260 ]; then
        fail "$shown: the path is too long for Windows' shell (Z: and the path make $length characters; it opens at most 259)"
    fi
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
            algorithm=$(algorithm_of "$2")
            [ -n "$algorithm" ] ||
                fail "--expect $(printable "$2"): a digest has 32, 40, 64, 96 or 128 hexadecimal digits"
            expect+=(--expect "$2")
            compares+=("Compare ($algorithm)")
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
# the build's lines for targets that were already up to date.
install_missing_packages >&2 || fail "the packages it needs could not be installed"
build_all digestry digestry_shellhost | sed '/Built target/d' >&2 || fail "the build failed"
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

# Prints the host's report with the Unix names back, and returns 0 when the report is whole, 1 when
# it is whole and a verdict is a mismatch, and 2 when a line is missing.
print_report() {
    local line fields=() mismatch=0
    while IFS= read -r line; do
        case $line in
            File:*)
                printf 'File:     %s\n' "$file"
                [ -z "$target" ] || printf 'Target:   %s\n' "$target"
                ;;
            Screenshot:*) printf 'Screenshot: %s\n' "$screenshot" ;;
            *) printf '%s\n' "$line" ;;
        esac
        [[ $line != Compare*': Checksum mismatch' ]] || mismatch=1
        fields+=("${line%%:*}")
    done
    local whole=(File Size Pages ${language:+Language Layout} MD5 SHA-1 SHA-256 SHA-384 SHA-512 "${compares[@]}" Screenshot)
    [ "${fields[*]}" = "${whole[*]}" ] || return 2
    return $mismatch
}

# In a virtual display: the prefix's services, the registration, then the dialog. The host names
# the files as Windows sees them; the report gives them back their Unix names.
set +e
export host_locale
xvfb-run --auto-servernum --server-args='-screen 0 1280x1024x24' bash -c '
    set -euo pipefail
    source "$1"
    shift
    start_wine >&2 || { echo "run.sh: Wine could not start in $WINEPREFIX" >&2; exit 2; }
    register_extension || { echo "run.sh: regsvr32 could not register digestry.dll in $WINEPREFIX" >&2; exit 2; }
    [ -z "$host_locale" ] || export LC_ALL=$host_locale
    /usr/lib/wine/wine64 "$build_dir/shellhost/digestry_shellhost.exe" "$@"' \
    run.sh "$(dirname "${BASH_SOURCE[0]}")/common.sh" "${expect[@]}" ${language:+--language "$language" --access-keys} \
    --screenshot "$(windows_path "$screenshot")" "$(windows_path "$file")" {build_lock}>&- |
    print_report
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
