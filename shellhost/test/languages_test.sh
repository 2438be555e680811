#!/usr/bin/env bash
# The page in every language it speaks, end to end: for each interface language, the shell's real
# Properties dialog of a process started in that language, driven by the shell host, which checks
# the page against digestry.dll's resources of that language (labels, link, "Computing...", the
# verdicts), that every label fits its control in the page's font at 96, 144 and 192 DPI (one prefix
# restart for each), that Alt and each label's access key reach its input with no key taken twice,
# that digests read left to right in a mirrored page, and that the digest box shows every line of a
# failure's text at each scale, with a scroll bar only where the text runs longer.
#
#   languages_test.sh <build folder> <digestry_shellhost.exe> <digestry.dll>
#
# Needs a display and the languages' locales (the set-up commands generate them). The screenshots
# stay in <build folder>/languages/, and failure-texts.txt there with the lines and room of the
# failure's text in each language and scale.
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
rm -f "$pictures/failure-texts.txt"

# Runs the host in the language on the file, with the arguments given before it, into
# $work/<language>.report, .stderr and .status.
run_host() {
    local language=$1 file=$2 status=0
    shift 2
    LANG=${language/-/_}.UTF-8 "$wine" "$host" --language "$language" "$@" "$(windows_path "$file")" \
        >"$work/$language.report" 2>"$work/$language.stderr" || status=$?
    echo "$status" >"$work/$language.status"
}

# What the host found for the language: the exit code, the language and the page's layout.
check_language() {
    local language=$1 scale=$2 expected_status=$3 layout="left to right" report
    [[ $language != ar-* && $language != he-* ]] || layout="right to left"
    report=$(cat "$work/$language.report")
    check "$language at $scale DPI: the page speaks it and fits it$(sed 's/^/; /' "$work/$language.stderr")" \
        "$expected_status $language $layout" \
        "$(cat "$work/$language.status") $(field "$report" "" Language) $(field "$report" "" Layout)"
}

# That, then the digests, which must be those of coreutils.
check_run() {
    local language=$1 scale=$2 file=$3 expected_status=$4
    check_language "$language" "$scale" "$expected_status"
    check "$language at $scale DPI: the digests" "$(expected_digests "$file")" \
        "$(report_digests "$(cat "$work/$language.report")" "$(windows_path "$file")")"
}

# A locked file: the host finds the failure's text in the language for every algorithm, readable in
# the digest box (the host checks the box's scroll bar against the lines it holds), and fails only
# for want of digests. What it measured goes to the log and to failure-texts.txt.
check_locked_run() {
    local language=$1 scale=$2 report
    check_language "$language" "$scale" 2
    check "$language at $scale DPI: only the digests are missing" 1 \
        "$(grep -c "shows an error instead of a digest for MD5, SHA-1, SHA-256, SHA-384, SHA-512$" \
            "$work/$language.stderr")"
    report=$(cat "$work/$language.report")
    echo "$language at $scale DPI, the failure in the digest box: $(field "$report" "" "Box (MD5)");" \
        "as a sharing violation on Windows: $(field "$report" "" "Box (sharing violation)");" \
        "as a virus found: $(field "$report" "" "Box (virus found)");" \
        "as an unverified signature: $(field "$report" "" "Box (unverified signature)")" |
        tee -a "$pictures/failure-texts.txt"
}

# Every language at the prefix's scale on the file, four at a time; with --lock each on a copy of its
# own, which its host holds without sharing.
run_languages() {
    local file=$1 first language
    shift
    for ((first = 0; first < ${#languages[@]}; first += 4)); do
        for language in "${languages[@]:first:4}"; do
            if [ "${1:-}" = --lock ]; then
                cp "$file" "$work/locked-$language"
                run_host "$language" "$work/locked-$language" "$@" &
            else
                run_host "$language" "$file" "$@" &
            fi
        done
        wait
    done
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

# At every scale the failure's text, and at the larger scales the texts and their fit on a short file.
for scale in 96 144 192; do
    if [ "$scale" != 96 ]; then
        set_scale "$scale"
        run_languages "$work/abc"
        for language in "${languages[@]}"; do
            check_run "$language" "$scale" "$work/abc" 0
        done
    fi
    run_languages "$work/abc" --lock
    for language in "${languages[@]}"; do
        check_locked_run "$language" "$scale"
    done
    check "at $scale DPI the digest box scrolls a failure's text where it runs longer" yes \
        "$(grep -q "^[^ ]* at $scale DPI.*scroll bar" "$pictures/failure-texts.txt" && echo yes)"
done

finish
