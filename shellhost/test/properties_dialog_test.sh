#!/usr/bin/env bash
# End to end, as a user meets Digestry: registered with regsvr32 in the build's prefix, in the
# Properties dialog that the shell builds, driven by the shell host.
#
#   properties_dialog_test.sh <build folder> <digestry_shellhost.exe> <digestry.dll>
#
# Needs a display (scripts/test.sh runs the tests in a virtual one).
set -eEuo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../../test/testlib.sh" "$1"
host=$2
dll=$3

class_id='{5E1A9C3B-7D24-4F8E-A6B1-0C93D2E4F517}'
folder_handler="HKCR\\Folder\\shellex\\PropertySheetHandlers\\$class_id"

work=$(mktemp -d "${TMPDIR:-/tmp}/digestry-shell.XXXXXX")
cleanup() {
    "$wine" reg delete "$folder_handler" /f >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT

run_host() {
    "$wine" "$host" "$@" 2>"$work/stderr"
}

# A fresh registration, as an administrator makes it.
"$wine" regsvr32 /u /s "$(windows_path "$dll")" || true
status=0
"$wine" regsvr32 /s "$(windows_path "$dll")" || status=$?
check "regsvr32 registers digestry.dll" 0 "$status"

: >"$work/empty"
printf abc >"$work/abc"
seq 1 5000 >"$work/block-and-a-byte"
truncate -s 16385 "$work/block-and-a-byte"
printf 'Grüße\n' >"$work/Prüfsumme – ü€.txt"
longest=$(path_of_windows_length "$work" 259)
printf 'the longest path the shell opens' >"$longest"
mkdir "$work/folder"
files=("$work/empty" "$work/abc" "$work/block-and-a-byte" "$work/Prüfsumme – ü€.txt" "$longest")

# Every file's five digests as the page shows them, and two values compared on "abc": a mismatch
# among the verdicts makes the exit code 1.
abc_sha256=$(sha256sum <"$work/abc" | cut -d' ' -f1)
wrong_sha256=$(printf abd | sha256sum | cut -d' ' -f1)
windows_files=()
for file in "${files[@]}"; do
    windows_files+=("$(windows_path "$file")")
done
status=0
report=$(run_host --expect "${abc_sha256^^}" --expect "$wrong_sha256" "${windows_files[@]}") || status=$?
check "the host shows every file and exits 1 for the mismatch" 1 "$status"
for file in "${files[@]}"; do
    check "the digests of ${file##*/}" "$(expected_digests "$file")" "$(report_digests "$report" "$(windows_path "$file")")"
done
check "the SHA-256 of abc in upper case" "Checksum match" "$(field "$report" "$(windows_path "$work/abc")" "Compare (SHA-256)")"
check "a wrong SHA-256 of abc" "Checksum mismatch" \
    "$(awk '/^Compare \(SHA-256\):/ { n++ } n == 2 { sub(/^[^:]*: */, ""); print; exit }' <<<"$report")"

# The screenshot shows what the report says, run after run: the dialog looks the same for each
# kind of comparison and different between kinds (a picture copied before the dialog repainted
# shows the compare box half typed, or an earlier verdict).
declare -A pictures
for round in 1 2 3; do
    for kind in none:0: match:0:$abc_sha256 mismatch:1:$wrong_sha256; do
        IFS=: read -r name code value <<<"$kind"
        rm -f "$work/$name.png"
        status=0
        run_host ${value:+--expect "$value"} --screenshot "$(windows_path "$work/$name.png")" \
            "$(windows_path "$work/abc")" >/dev/null || status=$?
        check "the host exits $code with $name compared (round $round)" "$code" "$status"
        pictures[$name]+=" $({ md5sum <"$work/$name.png" || echo "(none)"; } 2>/dev/null | cut -d' ' -f1)"
    done
done
firsts=()
for kind in none match mismatch; do
    read -r -a sums <<<"${pictures[$kind]}"
    check "the screenshots with $kind compared are alike" "${sums[0]} ${sums[0]} ${sums[0]}" "${sums[*]}"
    firsts+=("${sums[0]}")
done
check "the screenshots of different comparisons differ" 3 "$(printf '%s\n' "${firsts[@]}" | sort -u | wc -l)"

# A file that another program holds open without sharing.
status=0
report=$(run_host --lock "$(windows_path "$work/abc")") || status=$?
check "the host fails on a locked file" 2 "$status"
for algorithm in MD5 SHA-1 SHA-256 SHA-384 SHA-512; do
    shown=$(field "$report" "" "$algorithm")
    check "$algorithm of a locked file shows the error text" "An error occurred while computing the checksum." \
        "${shown:0:47}"
done

# Whether the page is among the pages of a report (and the report has pages at all).
has_page() {
    local pages
    pages=$(field "$1" "" Pages)
    if [[ $pages == *Digestry* ]]; then
        echo yes
    else
        echo "no (${pages:-no dialog})"
    fi
}

# Windows applies the handlers of all files to files only; folders have a list of their own.
# (Wine applies both lists to a folder, which then shows the page twice.)
"$wine" reg add "$folder_handler" /ve /d "Digestry shell property sheet extension" /f >/dev/null
check "a folder listed for the extension gets the page" yes \
    "$(has_page "$(run_host --pages "$(windows_path "$work/folder")")")"
check "two selected files get no Digestry page" "no (General)" \
    "$(has_page "$(run_host --pages "$(windows_path "$work/abc")" "$(windows_path "$work/empty")")")"

# A digest that takes longer than the host's time limit fails the host, which says what it saw.
truncate -s 1G "$work/large"
status=0
run_host --timeout 0.2 "$(windows_path "$work/large")" >/dev/null || status=$?
check "the host fails on a digest that does not come in time" 2 "$status"
check "the host says what the page showed instead" 'no digest within 0.2 s; the page still shows "Computing..."' \
    "$(grep -o 'no digest within.*' "$work/stderr" || true)"

# Unregistered, the dialog opens without the page, and the host says so.
"$wine" regsvr32 /u /s "$(windows_path "$dll")"
status=0
run_host "$(windows_path "$work/abc")" >/dev/null || status=$?
check "the host fails on a dialog without the page" 2 "$status"
check "the host names the missing page" "has no Digestry page (it shows: General)" \
    "$(grep -o 'has no Digestry page.*' "$work/stderr" || true)"


# The shell opens no path of 260 characters or more; the host says so rather than "not found".
too_long=$(path_of_windows_length "$work" 260)
: >"$too_long"
status=0
run_host "$(windows_path "$too_long")" >/dev/null || status=$?
check "the host fails on a path too long for the shell" 2 "$status"
check "the host gives the limit" "too long for Windows' shell (260 characters; it opens at most 259)" \
    "$(grep -o "too long for Windows' shell.*" "$work/stderr" || true)"

finish
