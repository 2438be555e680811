#!/usr/bin/env bash
# The main job as a user or a script meets it: scripts/run.sh on real files, its report, its exit
# code and its one line for each error.
#
#   main_job_test.sh <build folder>
#
# Each run takes the build folder's lock and starts its own display and Wine, as a user's run does:
# scripts/test.sh runs this test after the others, once they have released the lock.
set -eEuo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../../test/testlib.sh" "$1"
export DIGESTRY_BUILD_DIR=$build_dir
run=$repo_root/scripts/run.sh
lock=$build_dir/run.lock

work=$(mktemp -d "${TMPDIR:-/tmp}/digestry-main.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Waits until a line of the file matches the pattern or the process has ended.
wait_for_line() {
    local pattern=$1 file=$2 process=$3
    until grep -qs -- "$pattern" "$file" || ! kill -0 "$process" 2>/dev/null; do
        sleep 0.1
    done
}

# Errors that Linux and Windows' rules decide before Wine starts: exit code 2, exactly one line on
# standard error that names the file as given and what is wrong, and no report.
printf abc >"$work/abc"
mkdir "$work/folder"
mkfifo "$work/fifo"
printf secret >"$work/secret"
chmod 000 "$work/secret"
too_long=$(path_of_windows_length "$work" 260)
: >"$too_long"
: >"$work/why?.txt"
: >"$work/trailing."
: >"$work/nul.txt"
while IFS='|' read -r what runner arguments message; do
    read -r -a arguments <<<"$arguments"
    status=0
    $runner bash "$run" "${arguments[@]}" >"$work/error.out" 2>"$work/error.err" || status=$?
    check "$what: exit code, error lines and report" "2 1 0" \
        "$status $(wc -l <"$work/error.err") $(wc -c <"$work/error.out")"
    check "$what: the error says" "run.sh: $message" "$(head -n 1 "$work/error.err")"
done <<EOF
a missing file||$work/missing.txt|$work/missing.txt: not found
a folder||$work/folder|$work/folder: a folder, not a file
a FIFO||$work/fifo|$work/fifo: a FIFO, not a regular file
a device||/dev/null|/dev/null: a device, not a regular file
an unreadable file|setpriv --bounding-set=-dac_override,-dac_read_search --|$work/secret|$work/secret: not readable (permission denied)
a path too long for the shell||$too_long|$too_long: the path is too long for Windows' shell (Z: and the path make 260 characters; it opens at most 259)
a name with a reserved character||$work/why?.txt|$work/why?.txt: Windows cannot hold the name "why?.txt": it contains "?"
a name with a trailing dot||$work/trailing.|$work/trailing.: Windows cannot hold the name "trailing.": it ends with a dot
a device's name||$work/nul.txt|$work/nul.txt: Windows cannot hold the name "nul.txt": NUL is the name of a device
an expected value of no digest's length||$work/abc --expect abc123|--expect abc123: a digest has 32, 40, 64, 96 or 128 hexadecimal digits
EOF

# Two runs started while another run (this test) holds the build folder: each says once that it
# waits, then they take turns and both report in full. One is given a relative link, which the
# report names as given, with its target.
head -c 3000000 /dev/urandom >"$work/first.bin"
seq 1 100000 >"$work/second.txt"
ln -s second.txt "$work/link"
exec {holder}>>"$lock"
flock "$holder"
bash "$run" "$work/first.bin" --expect "$(sha256sum <"$work/first.bin" | cut -d' ' -f1)" \
    >"$work/first.out" 2>"$work/first.err" {holder}>&- &
first=$!
(cd "$work" && exec bash "$run" link --expect "$(md5sum <second.txt | cut -d' ' -f1 | tr a-f A-F)") \
    >"$work/second.out" 2>"$work/second.err" {holder}>&- &
second=$!
wait_for_line waiting "$work/first.err" "$first"
wait_for_line waiting "$work/second.err" "$second"
exec {holder}>&-
status=0
wait "$first" || status=$?
check "the first of two queued runs exits 0" 0 "$status"
status=0
wait "$second" || status=$?
check "the second of two queued runs exits 0" 0 "$status"
for name in first second; do
    check "the $name run says once that it waits" \
        "run.sh: another run is using $build_dir; waiting for it to finish" "$(grep waiting "$work/$name.err")"
done
first_report=$(<"$work/first.out")
second_report=$(<"$work/second.out")
check "the first run's digests" "$(expected_digests "$work/first.bin")" "$(report_digests "$first_report" "")"
check "the first run's verdict" "Checksum match" "$(field "$first_report" "" "Compare (SHA-256)")"
check "the second run names the link as given, made absolute, and its target" \
    "File:     $work/link
Target:   $(realpath "$work/second.txt")" "$(head -n 2 <<<"$second_report")"
check "the second run's digests" "$(expected_digests "$work/second.txt")" "$(report_digests "$second_report" "")"
check "the second run's verdict on an upper-case MD5" "Checksum match" "$(field "$second_report" "" "Compare (MD5)")"

# A mismatch is a whole report with exit code 1.
status=0
bash "$run" "$work/abc" --expect "$(printf abd | sha1sum | cut -d' ' -f1)" >"$work/mismatch.out" || status=$?
check "a mismatch exits 1" 1 "$status"
check "a mismatch has the verdict and the screenshot" "Checksum mismatch $build_dir/digestry-properties.png" \
    "$(field "$(<"$work/mismatch.out")" "" "Compare (SHA-1)") $(field "$(<"$work/mismatch.out")" "" Screenshot)"

# A run whose Wine is ended under it, as another run's set-up once did, cuts its report short: it
# exits 2 and says so, never 0.
truncate -s 4G "$work/large"
bash "$run" "$work/large" >"$work/ended.out" 2>"$work/ended.err" &
ended=$!
wait_for_line '^Pages:' "$work/ended.out" "$ended"
wineserver -k >/dev/null 2>&1 || true
status=0
wait "$ended" || status=$?
check "a run whose Wine ended under it exits 2" 2 "$status"
check "it says that its report ended early" "run.sh: the report of $work/large ended early" \
    "$(grep -o 'run.sh: the report of .* ended early' "$work/ended.err" || true)"

finish
