#!/usr/bin/env bash
# The release as a Windows user receives it: packaged twice from the same commit (in two folders, at
# two times), installed and removed with the MSI and with the zip's scripts in a fresh Wine prefix of
# the test's own, an upgrade and a refused downgrade, and a signed packaging.
#
#   packaging_test.sh <build folder> <digestry.dll> <digestry_shellhost.exe> <digestry_unelevated.exe>
#
# The DLL is the everyday build's, which every other test ran against: the release must be that DLL,
# stripped. Needs a display (scripts/test.sh runs the tests in a virtual one).
set -euo pipefail

build_dir=$1
tested_dll=$2
host=$3
unelevated=$4

work=$build_dir/packaging-test
source "$(dirname "${BASH_SOURCE[0]}")/../../shellhost/test/testlib.sh" "$build_dir"
# A prefix of the test's own, created afresh by every run.
export WINEPREFIX=$work/wineprefix
install_dir=$WINEPREFIX/drive_c/Program\ Files/Digestry
wine=/usr/lib/wine/wine64
objdump=x86_64-w64-mingw32-objdump
class_id='{5E1A9C3B-7D24-4F8E-A6B1-0C93D2E4F517}'

rm -rf "$work"
mkdir -p "$work"

# Packages into the folder <dist> of the work folder, building in <build>, from the sources in <source>;
# the output is kept in <dist>.log.
package() {
    local dist=$1 build=$2 source=$3
    shift 3
    DIGESTRY_RELEASE_DIR=$work/$build DIGESTRY_DIST_DIR=$work/$dist bash "$source/scripts/package.sh" "$@" \
        >"$work/$dist.log" 2>&1
}

# The digest line of one file in a SHA256SUMS.
sum_line() {
    grep -E "  $2\$" "$1/SHA256SUMS" || echo "no line for $2"
}

# What the loader sees of a DLL: its exports and every imported function, one a line.
loader_tables() {
    "$objdump" -p "$1" | awk '
        /^\[Ordinal\/Name Pointer\] Table/ { exports = 1; next }
        exports && /^\t\[/ { print "export", $NF; next }
        { exports = 0 }
        /DLL Name:/ { dll = tolower($NF); next }
        dll && /^\t[0-9a-f]+ +[0-9]+ +[^ ]+$/ { print "import", dll, $NF }'
}

resources() {
    x86_64-w64-mingw32-windres -i "$1" -O rc
}

# The digests of the sections that hold code and data, which stripping leaves as they are.
section_digests() {
    local section
    for section in .text .rdata .data .pdata .xdata .rsrc; do
        x86_64-w64-mingw32-objcopy --dump-section "$section=$work/section" "$1" "$work/discarded"
        echo "$section $(sha256sum <"$work/section")"
    done
}

# The PDB's name, GUID and age as the DLL's debug directory names them, and as the PDB itself holds them.
pdb_reference() {
    "$objdump" -p "$1" | sed -n 's/^(format RSDS signature \([0-9a-f]*\) age \([0-9]*\) pdb \(.*\))$/\3 \1 \2/p'
}
pdb_signature() {
    llvm-pdbutil dump -summary "$1" | awk -v name="$(basename "$1")" '
        $1 == "GUID:" { guid = tolower($2); gsub(/[{}-]/, "", guid) }
        $1 == "Age:" { age = $2 }
        END { print name, guid, age }'
}

# The file name and CRC-32 that a DLL's debug link holds, and those of a file, as a debugger compares
# them; gzip's trailer starts with the CRC-32 of its input, in the same byte order.
debug_link() {
    x86_64-w64-mingw32-objcopy --dump-section .gnu_debuglink="$work/debuglink" "$1" "$work/discarded"
    printf '%s %s\n' "$(head -c -4 "$work/debuglink" | tr -d '\0')" "$(tail -c 4 "$work/debuglink" | od -An -tx1)"
}
debug_file_link() {
    printf '%s %s\n' "$(basename "$1")" "$(gzip -c "$1" | tail -c 8 | head -c 4 | od -An -tx1)"
}

# ---- Packaging: twice from the same commit, in two folders, the second from a copy of the sources.

status=0
package dist-a release-a "$repo_root" || status=$?
check "package.sh succeeds" 0 "$status"
check "package.sh says the packages are not signed" 1 "$(grep -c '^Not signed' "$work/dist-a.log")"
dist=$work/dist-a
check "dist/ holds the DLL, its debug information and PDB, the installer, the zip and the digests" \
    "SHA256SUMS digestry-1.0.2-x64.msi digestry-1.0.2-x64.zip digestry.dll digestry.dll.debug digestry.pdb" \
    "$(cd "$dist" && echo *)"
check "sha256sum -c SHA256SUMS passes in dist/" 0 "$(cd "$dist" && sha256sum --quiet -c SHA256SUMS >/dev/null; echo $?)"
dll_size=$(stat -c %s "$dist/digestry.dll")
echo "The shipped digestry.dll has $dll_size bytes ($((dll_size / 1024)) KiB)."
check "the shipped DLL is at most 512 KiB" yes "$([ "$dll_size" -le $((512 * 1024)) ] && echo yes || echo no)"
check "the shipped DLL has neither debug sections nor symbols" "0 0" \
    "$("$objdump" -h "$dist/digestry.dll" | grep -c ' \.debug_') $("$objdump" -t "$dist/digestry.dll" | grep -c '^\[')"
check "the DLL links to its debug information" "$(debug_file_link "$dist/digestry.dll.debug")" \
    "$(debug_link "$dist/digestry.dll")"
check "the release exports and imports what the everyday build does" "$(loader_tables "$tested_dll")" \
    "$(loader_tables "$dist/digestry.dll")"
check "the release carries the everyday build's resources, the version among them" "$(resources "$tested_dll")" \
    "$(resources "$dist/digestry.dll")"
check "the release has the tested DLL's code and data" "$(section_digests "$tested_dll")" \
    "$(section_digests "$dist/digestry.dll")"
status=0
cmake -DOBJDUMP="$objdump" -DDLL="$dist/digestry.dll" -DSYMBOLS="$dist/digestry.dll.debug" \
    -P "$repo_root/source/test/dlltables/checkdlltables.cmake" >"$work/dlltables.log" 2>&1 || status=$?
check "the shipped DLL passes the loader-table check (see $work/dlltables.log)" 0 "$status"
check "the PDB is the one the DLL names" "$(pdb_signature "$dist/digestry.pdb")" "$(pdb_reference "$dist/digestry.dll")"
check "the PDB names the extension's functions" 1 \
    "$(llvm-pdbutil dump -publics "$dist/digestry.pdb" | grep -cw DllGetClassObject)"

mkdir "$work/source-b"
(cd "$repo_root" && git ls-files -z --cached --others --exclude-standard | tar -c --null -T - -f -) |
    tar -x -C "$work/source-b"
status=0
SOURCE_DATE_EPOCH=$(git -C "$repo_root" log -1 --format=%ct) package dist-b release-b "$work/source-b" || status=$?
check "package.sh succeeds in a second folder" 0 "$status"
for file in digestry.dll digestry.dll.debug digestry-1.0.2-x64.zip; do
    check "a second packaging gives the same $file" "$(sum_line "$dist" $file)" "$(sum_line "$work/dist-b" $file)"
done

# The next version, from the second folder's build.
status=0
DIGESTRY_VERSION=1.0.3.0 SOURCE_DATE_EPOCH=$(git -C "$repo_root" log -1 --format=%ct) \
    package dist-c release-b "$work/source-b" || status=$?
check "package.sh builds another version when told to" 0 "$status"
check "the version reaches the file names" "digestry-1.0.3-x64.msi digestry-1.0.3-x64.zip" \
    "$(cd "$work/dist-c" && echo *.msi *.zip)"
check "the version reaches the version resource" " FILEVERSION 1, 0, 3, 0" \
    "$(resources "$work/dist-c/digestry.dll" | grep '^ FILEVERSION')"

# ---- Signing, with a throwaway certificate.

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Digestry test signing" \
    -addext extendedKeyUsage=codeSigning -keyout "$work/key.pem" -out "$work/certificate.pem" 2>/dev/null
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Somebody else" \
    -keyout "$work/other-key.pem" -out "$work/other-certificate.pem" 2>/dev/null
status=0
package dist-signed release-a "$repo_root" --sign "$work/certificate.pem" "$work/key.pem" || status=$?
check "package.sh signs with a certificate and its key" 0 "$status"
for file in digestry.dll digestry-1.0.2-x64.msi; do
    status=0
    osslsigncode verify -CAfile "$work/certificate.pem" -in "$work/dist-signed/$file" >"$work/verify.log" 2>&1 ||
        status=$?
    check "osslsigncode accepts the signature of $file" 0 "$status"
done
check "the zip holds the signed DLL" "$(sha256sum <"$work/dist-signed/digestry.dll")" \
    "$(unzip -p "$work/dist-signed/digestry-1.0.2-x64.zip" digestry.dll | sha256sum)"

cp -r "$work/dist-signed" "$work/dist-signed.before"
for pair in "missing:$work/none.pem $work/key.pem" "mismatched:$work/certificate.pem $work/other-key.pem" \
    "not a certificate:$work/key.pem $work/key.pem"; do
    status=0
    # shellcheck disable=SC2086 # the pair is two paths without blanks
    package dist-signed release-a "$repo_root" --sign ${pair#*:} || status=$?
    check "a ${pair%%:*} certificate fails the packaging" 1 "$status"
    check "a ${pair%%:*} certificate gets one clear line" 1 \
        "$(grep -c '^package.sh: cannot sign: ' "$work/dist-signed.log")"
    check "a ${pair%%:*} certificate leaves dist/ as it was" "" \
        "$(diff -r "$work/dist-signed.before" "$work/dist-signed")"
done

# ---- A fresh prefix, as every Windows is: a list of property-sheet handlers for all files, with the
# system's own pages in it (Windows Installer removes a key its removal leaves empty), and Windows
# Installer's own keys, which the first package ever installed creates.

start_wine
"$wine" reg add 'HKCR\*\shellex\PropertySheetHandlers\{00000000-0000-0000-0000-00000000D1E5}' /ve \
    /d "Stand-in for the system's own pages" /f >/dev/null
wixl -a x64 -o "$work/warm-up.msi" "$(dirname "${BASH_SOURCE[0]}")/warm-up.wxs"
"$wine" msiexec /i "$(windows_path "$work/warm-up.msi")" /qn
"$wine" msiexec /x "$(windows_path "$work/warm-up.msi")" /qn

# The whole registry and the whole of Program Files, as text. Left out are the keys that Wine rewrites
# by itself while it runs (the devices and displays it finds, the services it starts, the session's
# parameters), which no package touches.
snapshot() {
    local name=$1
    "$wine" regedit /E "$(windows_path "$work/$name.reg")"
    iconv -f UTF-16 -t UTF-8 "$work/$name.reg" | tr -d '\r' | awk '
        /^\[/ {
            key = substr($0, 2, length($0) - 2)
            skip = key ~ /^HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\(Enum|Control\\(Class|DeviceClasses|Video))(\\|$)/ ||
                key ~ /\\(ServiceCurrent|NetworkCards|Software\\Wine\\Temporary System Parameters)(\\|$)/
        }
        !skip' >"$work/$name.registry"
    (cd "$WINEPREFIX/drive_c" && find "Program Files" -type f -exec sha256sum {} + && find "Program Files") |
        sort >"$work/$name.files"
}
# What changed since the snapshot of that name; nothing when nothing did.
unchanged_since() {
    local name=$1
    snapshot now
    diff "$work/$name.registry" "$work/now.registry" | head -20
    diff "$work/$name.files" "$work/now.files" | head -20
}
# The extension's keys, as regedit exports them.
registration() {
    local key
    for key in "CLSID\\$class_id" "*\\shellex\\PropertySheetHandlers\\$class_id"; do
        rm -f "$work/key.reg"
        "$wine" regedit /E "$(windows_path "$work/key.reg")" "HKEY_CLASSES_ROOT\\$key" 2>/dev/null || true
        [ -f "$work/key.reg" ] || continue
        iconv -f UTF-16 -t UTF-8 "$work/key.reg" | tr -d '\r' | grep -v -e '^Windows Registry' -e '^$'
    done
}
expected_registration=$(cat <<EOF
[HKEY_CLASSES_ROOT\\CLSID\\$class_id]
@="Digestry shell property sheet extension"
[HKEY_CLASSES_ROOT\\CLSID\\$class_id\\InProcServer32]
@="C:\\\\Program Files\\\\Digestry\\\\digestry.dll"
"ThreadingModel"="Apartment"
[HKEY_CLASSES_ROOT\\*\\shellex\\PropertySheetHandlers\\$class_id]
@="Digestry shell property sheet extension"
EOF
)

# Version, publisher and help link of each entry named Digestry in the installed-programs list.
installed_products() {
    "$wine" regedit /E "$(windows_path "$work/uninstall.reg")" \
        'HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall'
    iconv -f UTF-16 -t UTF-8 "$work/uninstall.reg" | tr -d '\r' | awk '
        function entry() {
            if (value["DisplayName"] == "Digestry")
                print value["DisplayVersion"] "|" value["Publisher"] "|" value["HelpLink"]
            delete value
        }
        /^\[/ { entry() }
        /^"[A-Za-z]+"="/ {
            split($0, pair, "\"=\"")
            value[substr(pair[1], 2)] = substr(pair[2], 1, length(pair[2]) - 1)
        }
        END { entry() }'
}

run_msiexec() {
    "$wine" msiexec "$1" "$(windows_path "$2")" /qn /l*v "$(windows_path "$work/msiexec.log")"
}

snapshot before

# ---- The installer: install, the page in the real Properties dialog, upgrade, refused downgrade, removal.

status=0
run_msiexec /i "$dist/digestry-1.0.2-x64.msi" || status=$?
check "msiexec installs the package" 0 "$status"
check "the DLL is in Program Files\\Digestry" "$(sha256sum <"$dist/digestry.dll")" \
    "$(sha256sum <"$install_dir/digestry.dll")"
check "the installer writes the registration DllRegisterServer writes" "$expected_registration" "$(registration)"
check "the installed-programs list holds Digestry once, with its publisher and help link" \
    "1.0.2.0|The Digestry developers|https://digestry.example/" "$(installed_products)"

printf abc >"$work/abc"
head -c 100000 /dev/urandom >"$work/random"
report=$("$wine" "$host" "$(windows_path "$work/abc")" "$(windows_path "$work/random")" 2>"$work/host.log") || true
for file in abc random; do
    for algorithm in MD5:md5sum SHA-1:sha1sum SHA-256:sha256sum SHA-384:sha384sum SHA-512:sha512sum; do
        expected=$(${algorithm#*:} <"$work/$file" | cut -d' ' -f1)
        shown=$(file=$(windows_path "$work/$file") key=${algorithm%%:*}: awk '
            /^File:/ { current = substr($0, 11) }
            current == ENVIRON["file"] && $1 == ENVIRON["key"] { print $2 }' <<<"$report")
        check "the installed page shows the ${algorithm%%:*} of $file" "$expected" "$shown"
    done
done

status=0
run_msiexec /i "$work/dist-c/digestry-1.0.3-x64.msi" || status=$?
check "msiexec installs the next version over it" 0 "$status"
check "the upgrade leaves one product, the new one" "1.0.3.0|The Digestry developers|https://digestry.example/" \
    "$(installed_products)"
check "the upgrade installs the new DLL" "$(sha256sum <"$work/dist-c/digestry.dll")" \
    "$(sha256sum <"$install_dir/digestry.dll")"
check "the upgrade keeps the registration" "$expected_registration" "$(registration)"

snapshot upgraded
status=0
run_msiexec /i "$dist/digestry-1.0.2-x64.msi" || status=$?
check "msiexec refuses the older version" yes "$([ "$status" -ne 0 ] && echo yes || echo "no, exit code $status")"
# Wine's msiexec logs no launch condition's text: the package's own table shows it.
check "the refusal says why" \
    "NOT WIX_DOWNGRADE_DETECTED	A newer version of Digestry is already installed. Remove it first to install this one." \
    "$(msiinfo export "$dist/digestry-1.0.2-x64.msi" LaunchCondition | tr -d '\r' | tail -1)"
check "the refused downgrade changes nothing" "" "$(unchanged_since upgraded)"

status=0
run_msiexec /x "$work/dist-c/digestry-1.0.3-x64.msi" || status=$?
check "msiexec removes the package" 0 "$status"
check "the removal leaves the registry and Program Files as they were" "" "$(unchanged_since before)"

# ---- The zip's scripts, with the signed DLL: refused without elevation, then as the installer does.

mkdir -p "$install_dir"
unzip -q "$work/dist-signed/digestry-1.0.2-x64.zip" -d "$install_dir"
check "the zip holds the DLL, the two scripts, README.txt and LICENSE" \
    "LICENSE README.txt digestry.dll install.cmd uninstall.cmd" "$(cd "$install_dir" && echo *)"
snapshot unpacked

# Run without elevation, the script fails with one line of its own and changes nothing. (Wine answers
# the script's administrator check alike for both tokens: there, the extension's own refusal to
# register without elevation is what the script reports.)
refused_without_elevation() {
    local script=$1 state=$2
    local status=0 output
    output=$("$wine" "$unelevated" cmd /c "C:\\Program Files\\Digestry\\$script") || status=$?
    check "$script without elevation fails" yes "$([ "$status" -ne 0 ] && echo yes || echo "no, exit code $status")"
    check "$script without elevation says so in one line" "1 1 1" \
        "$(wc -l <<<"$output") $(grep -c "^$script: " <<<"$output") $(grep -ci 'administrator\|elevated' <<<"$output")"
    check "$script without elevation changes nothing" "" "$(unchanged_since "$state")"
}
# Run as administrator, the script succeeds and says what it did.
succeeds_as_administrator() {
    local script=$1 message=$2
    local status=0 output
    output=$("$wine" cmd /c "C:\\Program Files\\Digestry\\$script") || status=$?
    check "$script as administrator succeeds" 0 "$status"
    check "$script reports the result" "$message" "$(tr -d '\r' <<<"$output")"
}

refused_without_elevation install.cmd unpacked
succeeds_as_administrator install.cmd \
    "Digestry is installed: open the Properties of any file and choose the Digestry tab."
check "install.cmd registers the signed DLL as the installer does" "$expected_registration" "$(registration)"
snapshot registered
refused_without_elevation uninstall.cmd registered
succeeds_as_administrator uninstall.cmd "Digestry is removed: the Properties dialog no longer shows its page."
rm -rf "$install_dir"
check "the scripts leave the registry and Program Files as they were" "" "$(unchanged_since before)"

finish
