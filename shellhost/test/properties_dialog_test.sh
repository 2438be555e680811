#!/usr/bin/env bash
# End to end, as a user meets Digestry: registered with regsvr32 in the build's prefix, in the
# Properties dialog that the shell builds, driven by the shell host.
#
#   properties_dialog_test.sh <build folder> <digestry_shellhost.exe> <digestry.dll>
#
# Needs a display (scripts/test.sh runs the tests in a virtual one).
set -euo pipefail

build_dir=$1
host=$2
dll=$3

export WINEPREFIX=$build_dir/wineprefix
export WINEDEBUG=-all
if [ "$(locale charmap 2>/dev/null)" != UTF-8 ]; then
    export LC_ALL=C.UTF-8
fi
wine=/usr/lib/wine/wine64
class_id='{5E1A9C3B-7D24-4F8E-A6B1-0C93D2E4F517}'
folder_handler="HKCR\\Folder\\shellex\\PropertySheetHandlers\\$class_id"

work=$(mktemp -d "${TMPDIR:-/tmp}/digestry-shell.XXXXXX")
cleanup() {
    "$wine" reg delete "$folder_handler" /f >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT

windows_path() {
    local path=$1
    printf 'Z:%s' "${path//\//\\}"
}

passed=0
failed=0
check() {
    local what=$1 expected=$2 actual=$3
    if [ "$expected" = "$actual" ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        printf 'FAIL: %s\n  expected: %s\n  actual:   %s\n' "$what" "$expected" "$actual"
    fi
}

# The value of a report field in the block of one file (or the only block).
field() {
    local report=$1 file=$2 key=$3
    file=$file key=$key awk '
        /^File:/ { current = substr($0, 11) }
        (ENVIRON["file"] == "" || current == ENVIRON["file"]) && index($0, ENVIRON["key"] ":") == 1 {
            sub(/^[^:]*: */, ""); print; exit
        }' <<<"$report"
}

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
seq 1 5000 | head -c 16385 >"$work/block-and-a-byte"
printf 'Grüße\n' >"$work/Prüfsumme – ü€.txt"
mkdir "$work/folder"
files=("$work/empty" "$work/abc" "$work/block-and-a-byte" "$work/Prüfsumme – ü€.txt")

# Every file's five digests as the page shows them, and two values compared on "abc".
abc_sha256=$(sha256sum <"$work/abc" | cut -d' ' -f1)
wrong_sha256=$(printf abd | sha256sum | cut -d' ' -f1)
windows_files=()
for file in "${files[@]}"; do
    windows_files+=("$(windows_path "$file")")
done
status=0
report=$(run_host --expect "${abc_sha256^^}" --expect "$wrong_sha256" "${windows_files[@]}") || status=$?
check "the host shows every file" 0 "$status"
for file in "${files[@]}"; do
    for algorithm in MD5:md5sum SHA-1:sha1sum SHA-256:sha256sum SHA-384:sha384sum SHA-512:sha512sum; do
        expected=$(${algorithm#*:} <"$file" | cut -d' ' -f1)
        check "${algorithm%%:*} of ${file##*/}" "$expected" "$(field "$report" "$(windows_path "$file")" "${algorithm%%:*}")"
    done
done
check "the SHA-256 of abc in upper case" "Checksum match" "$(field "$report" "$(windows_path "$work/abc")" "Compare (SHA-256)")"
check "a wrong SHA-256 of abc" "Checksum mismatch" \
    "$(awk '/^Compare \(SHA-256\):/ { n++ } n == 2 { sub(/^[^:]*: */, ""); print; exit }' <<<"$report")"

# A file that another program holds open without sharing.
report=$(run_host --lock "$(windows_path "$work/abc")") || true
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
check "the host fails on a digest that does not come in time" 1 "$status"
check "the host says what the page showed instead" 'no digest within 0.2 s; the page still shows "Computing..."' \
    "$(grep -o 'no digest within.*' "$work/stderr")"

# Unregistered, the dialog opens without the page, and the host says so.
"$wine" regsvr32 /u /s "$(windows_path "$dll")"
status=0
run_host "$(windows_path "$work/abc")" >/dev/null || status=$?
check "the host fails on a dialog without the page" 1 "$status"
check "the host names the missing page" "has no Digestry page (it shows: General)" \
    "$(grep -o 'has no Digestry page.*' "$work/stderr")"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
