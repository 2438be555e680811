#!/usr/bin/env bash
# The page in every language it speaks, end to end: for each interface language, the shell's real
# Properties dialog of a process started in that language, driven by the shell host, which checks
# the page against digestry.dll's resources of that language (labels, link, "Computing...", the
# verdicts), that every label fits its control in the page's font at 96, 144 and 192 DPI (one prefix
# restart for each), that Alt and each label's access key reach its input with no key taken twice,
# and that digests read left to right in a mirrored page.
#
#   languages_test.sh <build folder> <digestry_shellhost.exe> <digestry.dll>
#
# Needs a display and the languages' locales (the set-up commands generate them). The screenshots
# stay in <build folder>/languages/.
set -eEuo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../../test/testlib.sh" "$1"
host=$2
dll=$3

pictures=$build_dir/languages
work=$(mktemp -d "${TMPDIR:-/tmp}/digestry-languages.XXXXXX")
desktop='HKCU\Control Panel\Desktop'

# The display scale of the prefix; its wineserver restarts so that every program starts at it.
set_scale() {
    "$wine" reg add "$desktop" /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null
    wineserver -k
    wineboot >/dev/null 2>&1
}

cleanup() {
    set_scale 96 || true
    rm -rf "$work"
}
trap cleanup EXIT

"$wine" regsvr32 /s "$(windows_path "$dll")"
printf abc >"$work/abc"
# Long enough that the page shows "Computing..." before its first digest.
truncate -s 8M "$work/zeros"
match=$(sha256sum <"$work/zeros" | cut -d' ' -f1)
mismatch=$(printf abd | sha256sum | cut -d' ' -f1)
mkdir -p "$pictures"

# Runs the host in the language on the file, with the arguments given before it, into
# $work/<language>.report, .stderr and .status.
run_host() {
    local language=$1 file=$2 status=0
    shift 2
    LANG=${language/-/_}.UTF-8 "$wine" "$host" --language "$language" "$@" "$(windows_path "$file")" \
        >"$work/$language.report" 2>"$work/$language.stderr" || status=$?
    echo "$status" >"$work/$language.status"
}

# What the host found for the language: the exit code, the language and the page's layout, then the
# digests, which must be those of coreutils.
check_run() {
    local language=$1 scale=$2 file=$3 expected_status=$4 layout="left to right" report
    [[ $language != ar-* && $language != he-* ]] || layout="right to left"
    report=$(cat "$work/$language.report")
    check "$language at $scale DPI: the page speaks it and fits it$(sed 's/^/; /' "$work/$language.stderr")" \
        "$expected_status $language $layout" \
        "$(cat "$work/$language.status") $(field "$report" "" Language) $(field "$report" "" Layout)"
    check "$language at $scale DPI: the digests" "$(expected_digests "$file")" \
        "$(report_digests "$report" "$(windows_path "$file")")"
}

languages=("${page_locales[@]/_/-}")

# Everything at the prefix's own scale, one language after the other (the screenshots are taken
# from the screen, and the access keys need the one dialog that takes the keyboard): "Computing..."
# on a long file, the digests, both verdicts, the access keys.
set_scale 96
for language in "${languages[@]}"; do
    run_host "$language" "$work/zeros" --access-keys --expect "$match" --expect "$mismatch" \
        --screenshot "$(windows_path "$pictures/$language.png")"
    check_run "$language" 96 "$work/zeros" 1
done

# At the larger scales the texts and their fit on a short file, four languages at a time.
for scale in 144 192; do
    set_scale "$scale"
    for ((first = 0; first < ${#languages[@]}; first += 4)); do
        for language in "${languages[@]:first:4}"; do
            run_host "$language" "$work/abc" &
        done
        wait
    done
    for language in "${languages[@]}"; do
        check_run "$language" "$scale" "$work/abc" 0
    done
done

finish
