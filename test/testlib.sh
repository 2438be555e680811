# Shared by the end-to-end tests, sourced by a script that stops on errors (`set -euo pipefail`):
# the set-up commands' settings for the build folder given, checks that count and say what failed,
# and the report's fields.
#
#   source testlib.sh <build folder>

DIGESTRY_BUILD_DIR=$1
# shellcheck source=scripts/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"

# A command that fails outside a check ends the test: it says which one rather than ending silently.
trap 'echo "FAIL: line $LINENO: \"$BASH_COMMAND\" exited with status $?"' ERR
# A test that starts the Wine of a prefix of its own (start_wine) ends it as it ends. A test that runs
# in the Wine of the command that started it sets an EXIT trap of its own, which leaves that running.
trap stop_wine EXIT

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

# The closing line; ends the test with a non-zero status when a check failed.
finish() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ] || exit 1
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

# The five digests of a file as the report shows them, one "name value" line each.
report_digests() {
    local report=$1 file=$2 algorithm
    for algorithm in MD5 SHA-1 SHA-256 SHA-384 SHA-512; do
        echo "$algorithm $(field "$report" "$file" "$algorithm")"
    done
}

# The five digests of a file as coreutils computes them, in the same form.
expected_digests() {
    local file=$1 algorithm
    for algorithm in MD5:md5sum SHA-1:sha1sum SHA-256:sha256sum SHA-384:sha384sum SHA-512:sha512sum; do
        echo "${algorithm%%:*} $(${algorithm#*:} <"$file" | cut -d' ' -f1)"
    done
}

# A path under the folder whose Windows name (Z: and the path) is exactly that many characters long;
# the folders on the way are made, the file is not.
path_of_windows_length() {
    local path=$1 length=$2 name
    printf -v name '%99s' ''
    while [ $((length - 3 - ${#path})) -gt 100 ]; do
        path+=/${name// /d}
        mkdir -p "$path"
    done
    printf -v name '%*s' $((length - 3 - ${#path})) ''
    printf '%s/%s' "$path" "${name// /f}"
}
