#!/usr/bin/env bash
# The release as a Windows user receives it: packaged twice from the same commit (in two folders, at
# two times), installed and removed with regsvr32, with the MSI and with the zip's scripts in a fresh
# Wine prefix of the test's own, an upgrade while the page is open, a refused downgrade, and a signed,
# time-stamped packaging.
#
#   packaging_test.sh <build folder> <digestry.dll> <digestry_shellhost.exe> <digestry_unelevated.exe> <version>
#
# The DLL is the everyday build's, which every other test ran against: the release must be that DLL,
# stripped; the version is the build's. Needs a display (scripts/test.sh runs the tests in a virtual
# one).
set -eEuo pipefail

build_dir=$1
tested_dll=$2
host=$3
unelevated=$4
version=$5

work=$build_dir/packaging-test
source "$(dirname "${BASH_SOURCE[0]}")/../../test/testlib.sh" "$build_dir"
# A prefix of the test's own, created afresh by every run.
export WINEPREFIX=$work/wineprefix
install_dir=$WINEPREFIX/drive_c/Program\ Files/Digestry
wine=/usr/lib/wine/wine64
objdump=x86_64-w64-mingw32-objdump
class_id='{5E1A9C3B-7D24-4F8E-A6B1-0C93D2E4F517}'
friendly_name='Digestry shell property sheet extension'
approved_key='HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved'

# The build's packages, those of the next version, and a version that Windows Installer cannot tell
# from the build's.
IFS=. read -r major minor patch _ <<<"$version"
release=digestry-$major.$minor.$patch-x64
next_version=$major.$minor.$((patch + 1)).0
next=digestry-$major.$minor.$((patch + 1))-x64
default_website=https://digestry.example/
next_website=https://maker.example/

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

# The number of lines that match, 0 included (grep fails on none, which would end the test).
count() {
    grep -c "$@" || true
}

# A table of an MSI, tab-separated, without its three header lines.
msi_table() {
    msiinfo export "$1" "$2" | tr -d '\r' | tail -n +4
}

# ---- Packaging: twice from the same commit, in two folders, the second from a copy of the sources.

package_twice() {
    local status=0 file
    package dist-a release-a "$repo_root" || status=$?
    check "package.sh succeeds" 0 "$status"
    check "package.sh says the packages are not signed" 1 "$(count '^Not signed' "$work/dist-a.log")"
    dist=$work/dist-a
    check "dist/ holds the DLL, its debug information and PDB, the installer, the zip and the digests" \
        "SHA256SUMS $release.msi $release.zip digestry.dll digestry.dll.debug digestry.pdb" "$(cd "$dist" && echo *)"
    check "sha256sum -c SHA256SUMS passes in dist/" 0 "$(cd "$dist" && sha256sum --quiet -c SHA256SUMS >/dev/null; echo $?)"
    local dll_size
    dll_size=$(stat -c %s "$dist/digestry.dll")
    echo "The shipped digestry.dll has $dll_size bytes ($((dll_size / 1024)) KiB)."
    check "the shipped DLL is at most 512 KiB" yes "$([ "$dll_size" -le $((512 * 1024)) ] && echo yes || echo no)"
    check "the shipped DLL has neither debug sections nor symbols" "0 0" \
        "$("$objdump" -h "$dist/digestry.dll" | count ' \.debug_') $("$objdump" -t "$dist/digestry.dll" | count '^\[')"
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
    check "the PDB is the one the DLL names" "$(pdb_signature "$dist/digestry.pdb")" \
        "$(pdb_reference "$dist/digestry.dll")"
    check "the PDB names the extension's functions" 1 \
        "$(llvm-pdbutil dump -publics "$dist/digestry.pdb" | count -w DllGetClassObject)"
    # Without them Windows Installer takes the DLL for an unversioned file in repairs and upgrades.
    check "the installer's File table holds the DLL's version and language" "digestry.dll $version 1033" \
        "$(msi_table "$dist/$release.msi" File | awk -F'\t' '{ print $1, $5, $6 }')"
    check "the installer's Registry table approves the extension for machines that load only approved ones" \
        "2|${approved_key#*\\}|$class_id|$friendly_name" \
        "$(msi_table "$dist/$release.msi" Registry | awk -F'\t' '$3 ~ /Approved$/ { print $2 "|" $3 "|" $4 "|" $5 }')"

    mkdir "$work/source-b"
    (cd "$repo_root" && git ls-files -z --cached --others --exclude-standard | tar -c --null -T - -f -) |
        tar -x -C "$work/source-b"
    status=0
    SOURCE_DATE_EPOCH=$(git -C "$repo_root" log -1 --format=%ct) package dist-b release-b "$work/source-b" || status=$?
    check "package.sh succeeds in a second folder" 0 "$status"
    for file in digestry.dll digestry.dll.debug "$release.zip"; do
        check "a second packaging gives the same $file" "$(sum_line "$dist" "$file")" "$(sum_line "$work/dist-b" "$file")"
    done
}

# The next version, from the second folder's build, with the maker's own web address; then a version
# that differs from the build's only in its fourth part, which the packaging refuses.
package_other_versions() {
    local status=0
    DIGESTRY_WEBSITE=$next_website DIGESTRY_VERSION=$next_version SOURCE_DATE_EPOCH=$(git -C "$repo_root" log -1 --format=%ct) \
        package dist-c release-b "$work/source-b" || status=$?
    check "package.sh builds another version when told to" 0 "$status"
    check "the version reaches the file names" "$next.msi $next.zip" "$(cd "$work/dist-c" && echo *.msi *.zip)"
    check "the version reaches the version resource" " FILEVERSION $major, $minor, $((patch + 1)), 0" \
        "$(resources "$work/dist-c/digestry.dll" | grep '^ FILEVERSION')"
    check "the web address reaches the installer's support links" "$next_website $next_website" \
        "$(msi_table "$work/dist-c/$next.msi" Property | awk -F'\t' '/^ARP(HELPLINK|URLINFOABOUT)\t/ { print $2 }' | xargs)"

    status=0
    DIGESTRY_VERSION=$major.$minor.$patch.1 package dist-d release-b "$work/source-b" || status=$?
    check "a version with a fourth part fails the packaging" 1 "$status"
    check "a version with a fourth part gets one line that says why and what to release instead" 1 \
        "$(count "^package.sh: version $major.$minor.$patch.1: Windows Installer ignores the fourth part.*release it as $next_version\$" \
            "$work/dist-d.log")"
    check "a version with a fourth part writes no packages" no "$([ -e "$work/dist-d" ] && echo yes || echo no)"
}

# ---- Signing, with a throwaway certificate, time-stamped by an authority of the test's own.

# An RFC 3161 time-stamp authority on 127.0.0.1: socat hands each HTTP request to a responder that
# answers with "openssl ts". Ends with the test, and after ten minutes in any case.
start_timestamp_authority() {
    mkdir "$work/tsa"
    cat >"$work/tsa/openssl.cnf" <<EOF
[ tsa ]
default_tsa = tsa_config
[ tsa_config ]
serial = $work/tsa/serial
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha1, sha256, sha384, sha512
accuracy = secs:1
ess_cert_id_alg = sha256
[ extensions ]
extendedKeyUsage = critical,timeStamping
EOF
    echo 01 >"$work/tsa/serial"
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Digestry test time stamps" \
        -config "$work/tsa/openssl.cnf" -extensions extensions -keyout "$work/tsa/key.pem" \
        -out "$work/tsa/certificate.pem" 2>/dev/null
    cat >"$work/tsa/respond.sh" <<'EOF'
#!/usr/bin/env bash
# One HTTP request on standard input, its answer on standard output.
set -euo pipefail
tsa=$1
length=0
while IFS=$'\r' read -r line && [ -n "$line" ]; do
    case ${line,,} in content-length:*) length=${line#*:} length=${length// /} ;; esac
done
head -c "$length" >"$tsa/query.$$"
openssl ts -reply -config "$tsa/openssl.cnf" -queryfile "$tsa/query.$$" -inkey "$tsa/key.pem" \
    -signer "$tsa/certificate.pem" -out "$tsa/reply.$$" 2>/dev/null
printf 'HTTP/1.0 200 OK\r\nContent-Type: application/timestamp-reply\r\nContent-Length: %s\r\n\r\n' \
    "$(stat -c %s "$tsa/reply.$$")"
cat "$tsa/reply.$$"
rm -f "$tsa/query.$$" "$tsa/reply.$$"
EOF
    # A free port: socat ends at once when it cannot listen on the one tried.
    local port
    for port in $(shuf -i 20000-60000 -n 20); do
        timeout 300 socat "TCP-LISTEN:$port,bind=127.0.0.1,fork,reuseaddr" \
            SYSTEM:"bash $work/tsa/respond.sh $work/tsa" 2>"$work/tsa/socat.log" &
        timestamp_authority=$!
        sleep 0.5
        ! kill -0 "$timestamp_authority" 2>/dev/null || break
    done
    timestamp_url=http://127.0.0.1:$port/
}

signed_packaging() {
    local status=0 file
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Digestry test signing" \
        -addext extendedKeyUsage=codeSigning -keyout "$work/key.pem" -out "$work/certificate.pem" 2>/dev/null
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Somebody else" \
        -keyout "$work/other-key.pem" -out "$work/other-certificate.pem" 2>/dev/null
    start_timestamp_authority
    package dist-signed release-a "$repo_root" --sign "$work/certificate.pem" "$work/key.pem" \
        --timestamp "$timestamp_url" || status=$?
    kill "$timestamp_authority"
    check "package.sh signs with a certificate and its key, time-stamped" 0 "$status"
    for file in digestry.dll "$release.msi"; do
        status=0
        osslsigncode verify -CAfile "$work/certificate.pem" -TSA-CAfile "$work/tsa/certificate.pem" \
            -in "$work/dist-signed/$file" >"$work/verify.log" 2>&1 || status=$?
        check "osslsigncode accepts the signature of $file" 0 "$status"
        check "the signature of $file carries the local authority's time stamp" 1 \
            "$(count '^Timestamp Server Signature verification: ok' "$work/verify.log")"
        check "the signature of $file names the maker's web address" 1 \
            "$(count "^[[:space:]]*URL description: $default_website\$" "$work/verify.log")"
    done
    check "the zip holds the signed DLL" "$(sha256sum <"$work/dist-signed/digestry.dll")" \
        "$(unzip -p "$work/dist-signed/$release.zip" digestry.dll | sha256sum)"

    cp -r "$work/dist-signed" "$work/dist-signed.before"
    local pair
    for pair in "missing:$work/none.pem $work/key.pem" "mismatched:$work/certificate.pem $work/other-key.pem" \
        "not a certificate:$work/key.pem $work/key.pem"; do
        status=0
        # shellcheck disable=SC2086 # the pair is two paths without blanks
        package dist-signed release-a "$repo_root" --sign ${pair#*:} || status=$?
        check "a ${pair%%:*} certificate fails the packaging" 1 "$status"
        check "a ${pair%%:*} certificate gets one clear line" 1 \
            "$(count '^package.sh: cannot sign: ' "$work/dist-signed.log")"
        check "a ${pair%%:*} certificate leaves dist/ as it was" "" \
            "$(diff -r "$work/dist-signed.before" "$work/dist-signed" || true)"
    done
}

# ---- A fresh prefix, as every Windows is: a list of property-sheet handlers for all files with the
# system's own pages in it, a list of approved shell extensions with the system's own (Windows
# Installer removes a key its removal leaves empty), and Windows Installer's own keys, which the first
# package ever installed creates.

prepare_prefix() {
    start_wine
    "$wine" reg add 'HKCR\*\shellex\PropertySheetHandlers\{00000000-0000-0000-0000-00000000D1E5}' /ve \
        /d "Stand-in for the system's own pages" /f >/dev/null
    "$wine" reg add "$approved_key" /v '{00000000-0000-0000-0000-00000000D1E5}' \
        /d "Stand-in for the system's own pages" /f >/dev/null
    wixl -a x64 -o "$work/warm-up.msi" "$(dirname "${BASH_SOURCE[0]}")/warm-up.wxs"
    "$wine" msiexec /i "$(windows_path "$work/warm-up.msi")" /qn
    "$wine" msiexec /x "$(windows_path "$work/warm-up.msi")" /qn
    snapshot before
}

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
    { diff "$work/$name.registry" "$work/now.registry" || true; } | head -20
    { diff "$work/$name.files" "$work/now.files" || true; } | head -20
}
# The extension's keys, and its entry among the approved shell extensions, as regedit exports them.
registration() {
    local key
    for key in "HKEY_CLASSES_ROOT\\CLSID\\$class_id" "HKEY_CLASSES_ROOT\\*\\shellex\\PropertySheetHandlers\\$class_id" \
        "$approved_key"; do
        rm -f "$work/key.reg"
        "$wine" regedit /E "$(windows_path "$work/key.reg")" "$key" >/dev/null 2>&1 || true
        [ -f "$work/key.reg" ] || continue
        iconv -f UTF-16 -t UTF-8 "$work/key.reg" | tr -d '\r' | grep -v -e '^Windows Registry' -e '^$' -e 'D1E5}"=' || true
    done
}
# The registration of the DLL at that Windows path.
expected_registration() {
    cat <<EOF
[HKEY_CLASSES_ROOT\\CLSID\\$class_id]
@="$friendly_name"
[HKEY_CLASSES_ROOT\\CLSID\\$class_id\\InProcServer32]
@="${1//\\/\\\\}"
"ThreadingModel"="Apartment"
[HKEY_CLASSES_ROOT\\*\\shellex\\PropertySheetHandlers\\$class_id]
@="$friendly_name"
[$approved_key]
"$class_id"="$friendly_name"
EOF
}
installed_registration=$(expected_registration 'C:\Program Files\Digestry\digestry.dll')
# Wine's trace of a process loading the installed DLL.
loaded_line='Loaded L"C:\\Program Files\\Digestry\\digestry.dll"'

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

# The installed page, in the real Properties dialog, shows the digests of a small and a larger file.
page_shows_digests() {
    local how=$1 report file
    report=$("$wine" "$host" "$(windows_path "$work/abc")" "$(windows_path "$work/random")" 2>"$work/host.log") || true
    for file in abc random; do
        check "$how, the page shows the digests of $file" "$(expected_digests "$work/$file")" \
            "$(report_digests "$report" "$(windows_path "$work/$file")")"
    done
}

# ---- regsvr32, as developers register a build.

regsvr32_registration() {
    local dll status=0
    dll=$(windows_path "$dist/digestry.dll")
    "$wine" regsvr32 /s "$dll" || status=$?
    check "regsvr32 registers the DLL" 0 "$status"
    check "regsvr32 writes the class, the handler and the approval" "$(expected_registration "$dll")" "$(registration)"
    status=0
    "$wine" regsvr32 /s /u "$dll" || status=$?
    check "regsvr32 /u unregisters the DLL" 0 "$status"
    check "regsvr32 /u removes every value it wrote" "" "$(unchanged_since before)"
}

# ---- The installer: install, the page in the real Properties dialog, upgrade while the page is open,
# refused downgrade, removal.

msi_installation() {
    local status=0
    run_msiexec /i "$dist/$release.msi" || status=$?
    check "msiexec installs the package" 0 "$status"
    check "the DLL is in Program Files\\Digestry" "$(sha256sum <"$dist/digestry.dll")" \
        "$(sha256sum <"$install_dir/digestry.dll")"
    check "the installer writes the registration DllRegisterServer writes" "$installed_registration" "$(registration)"
    check "the installed-programs list holds Digestry once, with its publisher and help link" \
        "$version|The Digestry developers|$default_website" "$(installed_products)"
    page_shows_digests "installed with msiexec"
}

# A host whose page stays open on a file that takes long to digest, holding the installed DLL loaded
# as Explorer does; it gives up by itself after ten minutes.
open_page_in_background() {
    truncate -s 1T "$work/large"
    # The host's redirection truncates the log only once it runs: an earlier host's log must not
    # answer for this one.
    rm -f "$work/holder.log"
    WINEDEBUG=+loaddll "$wine" "$host" --timeout 600 "$(windows_path "$work/large")" >/dev/null 2>"$work/holder.log" &
    holder=$!
    local waited=0
    until grep -qF "$loaded_line" "$work/holder.log" 2>/dev/null || [ $waited -ge 180 ]; do
        sleep 1
        waited=$((waited + 1))
    done
    check "a host has the installed DLL loaded" yes "$(kill -0 "$holder" && grep -qF "$loaded_line" \
        "$work/holder.log" && echo yes || echo no)"
}

close_page_in_background() {
    kill "$holder" 2>/dev/null || true
    wait "$holder" 2>/dev/null || true
}

msi_upgrade_while_open() {
    local status=0
    open_page_in_background
    run_msiexec /i "$work/dist-c/$next.msi" || status=$?
    # Windows Installer's 3010, of which a Unix exit status keeps the low byte.
    check "msiexec upgrades while a host has the page open, and asks for a restart" $((3010 % 256)) "$status"
    check "the upgrade leaves one product, the new one, with the new web address" \
        "$next_version|The Digestry developers|$next_website" "$(installed_products)"
    check "the upgrade keeps the registration" "$installed_registration" "$(registration)"
    check "until the restart, the DLL in use stays" "$(sha256sum <"$dist/digestry.dll")" \
        "$(sha256sum <"$install_dir/digestry.dll")"
    close_page_in_background

    "$wine" wineboot --restart
    check "the restart puts the new DLL in place" "$(sha256sum <"$work/dist-c/digestry.dll")" \
        "$(sha256sum <"$install_dir/digestry.dll")"
    WINEDEBUG=+loaddll page_shows_digests "after the upgrade and a restart"
    check "a newly opened dialog loads the installed DLL" 1 "$(count -F "$loaded_line" "$work/host.log")"
}

msi_downgrade_and_removal() {
    local status=0
    snapshot upgraded
    run_msiexec /i "$dist/$release.msi" || status=$?
    check "msiexec refuses the older version" yes "$([ "$status" -ne 0 ] && echo yes || echo "no, exit code $status")"
    # Wine's msiexec logs no launch condition's text: the package's own table shows it.
    check "the refusal says why" \
        "NOT WIX_DOWNGRADE_DETECTED	A newer version of Digestry is already installed. Remove it first to install this one." \
        "$(msi_table "$dist/$release.msi" LaunchCondition)"
    check "the refused downgrade changes nothing" "" "$(unchanged_since upgraded)"

    status=0
    run_msiexec /x "$work/dist-c/$next.msi" || status=$?
    check "msiexec removes the package" 0 "$status"
    check "the removal leaves the registry and Program Files as they were" "" "$(unchanged_since before)"
}

# ---- The zip's scripts, with the signed DLL, from a folder in the user's Downloads: refused without
# elevation, then as the installer does, with the system's tools even where the folder has its own.

zip_scripts() {
    local downloads
    folder="$("$wine" cmd /c 'echo %USERPROFILE%' | tr -d '\r')\Downloads\digestry"
    downloads=$("$wine" winepath -u "$folder" | tr -d '\r')
    mkdir -p "$downloads"
    unzip -q "$work/dist-signed/$release.zip" -d "$downloads"
    check "the zip holds the DLL, the two scripts, README.txt and LICENSE" \
        "LICENSE README.txt digestry.dll install.cmd uninstall.cmd" "$(cd "$downloads" && echo *)"
    local tool
    for tool in regsvr32 net fltmc; do
        printf '@echo planted %s ran\r\n' "$tool" >"$downloads/$tool.cmd"
    done
    snapshot unpacked

    refused_without_elevation install.cmd unpacked
    succeeds_as_administrator install.cmd \
        "Digestry is installed: open the Properties of any file and choose the Digestry tab."
    check "install.cmd copies the DLL into Program Files\\Digestry" "$(sha256sum <"$downloads/digestry.dll")" \
        "$(sha256sum <"$install_dir/digestry.dll")"
    check "install.cmd registers the copy as the installer does" "$installed_registration" "$(registration)"
    page_shows_digests "installed with install.cmd"
    snapshot registered
    refused_without_elevation uninstall.cmd registered

    # Explorer still has the DLL loaded: the script unregisters it and says what to do.
    local status=0 output
    open_page_in_background
    output=$("$wine" cmd /c "cd /d $folder && uninstall.cmd" </dev/null) || status=$?
    close_page_in_background
    check "uninstall.cmd while the DLL is in use asks for a restart as Windows Installer does" $((3010 % 256)) "$status"
    check "uninstall.cmd while the DLL is in use says so and what to do" \
        "Digestry is removed from the Properties dialog, but Explorer still has \"C:\\Program Files\\Digestry\\digestry.dll\" loaded: sign out and in again (or restart Explorer), then delete the folder \"C:\\Program Files\\Digestry\"." \
        "$(tr -d '\r' <<<"$output")"
    check "uninstall.cmd while the DLL is in use unregisters it" "[$approved_key]" "$(registration)"

    # Run again once the DLL is free, and started by a double-click, the script removes the copy and
    # waits for a key before its window closes. Wine's cmd does not know the command line it was
    # started with: it is given the one of a double-click.
    status=0
    output=$(cmdcmdline="C:\\Windows\\system32\\cmd.exe /c \"\"$folder\\uninstall.cmd\" \"" \
        "$wine" cmd /c "$folder\\uninstall.cmd" </dev/null) || status=$?
    check "uninstall.cmd as administrator succeeds" 0 "$status"
    check "uninstall.cmd reports the result and, started on its own, waits for a key" \
        "Digestry is removed: the Properties dialog no longer shows its page.|Press any key" \
        "$(tr -d '\r' <<<"$output" | sed '2s/^\(Press any key\).*/\1/' | paste -sd'|')"
    rm -rf "$downloads"
    check "the scripts leave the registry and Program Files as they were" "" "$(unchanged_since before)"
}

# The folder has no blanks: the test's command lines need no quotes inside.
# Run without elevation from a prompt in the folder, the script fails with one line of its own and
# changes nothing. (Wine answers the script's administrator check alike for both tokens: there, the
# extension's own refusal to register without elevation is what the script reports.)
refused_without_elevation() {
    local script=$1 state=$2
    local status=0 output
    output=$("$wine" "$unelevated" cmd /c "cd /d $folder && $script" </dev/null) || status=$?
    check "$script without elevation fails" yes "$([ "$status" -ne 0 ] && echo yes || echo "no, exit code $status")"
    check "$script without elevation says so in one line" "1 1 1" \
        "$(wc -l <<<"$output") $(count "^$script: " <<<"$output") $(count -i 'administrator\|elevated' <<<"$output")"
    check "$script without elevation changes nothing" "" "$(unchanged_since "$state")"
}
# Run as administrator from a prompt in the folder, the script succeeds and says what it did.
succeeds_as_administrator() {
    local script=$1 message=$2
    local status=0 output
    output=$("$wine" cmd /c "cd /d $folder && $script" </dev/null) || status=$?
    check "$script as administrator succeeds" 0 "$status"
    check "$script reports the result" "$message" "$(tr -d '\r' <<<"$output")"
}

package_twice
package_other_versions
signed_packaging
printf abc >"$work/abc"
head -c 100000 /dev/urandom >"$work/random"
prepare_prefix
regsvr32_registration
msi_installation
msi_upgrade_while_open
msi_downgrade_and_removal
zip_scripts
finish
