#!/usr/bin/env bash
# Builds the release of digestry.dll and writes what is published into dist/: the DLL, its debug
# information (digestry.dll.debug, for gdb) and PDB (digestry.pdb, which names its functions for
# WinDbg and Windows Error Reporting), the Windows installer, the zip for people who do not use
# installers, and SHA256SUMS over all of them.
#
#   bash scripts/package.sh [--sign CERT.pem KEY.pem [--timestamp URL]]
#
# With --sign, the DLL (before it goes into the installer and the zip) and the installer are signed
# with Authenticode; with --timestamp as well, the RFC 3161 time-stamp server at URL countersigns
# both signatures, which then stay valid after the certificate has expired. A version whose fourth
# part is not 0 is refused: Windows Installer ignores that part. The same commit gives a
# byte-identical DLL and zip wherever and whenever it is built: time stamps come from the commit
# (SOURCE_DATE_EPOCH, unless already set). dist/ is replaced only when everything succeeded.
#
# DIGESTRY_WEBSITE sets the maker's web address in the release build's cache, which keeps it for the
# next packagings. The packaging tests set DIGESTRY_RELEASE_DIR (the release build folder),
# DIGESTRY_DIST_DIR and DIGESTRY_VERSION (another version than the project's).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

release_dir=${DIGESTRY_RELEASE_DIR:-$repo_root/build-release}
dist_dir=${DIGESTRY_DIST_DIR:-$repo_root/dist}
objcopy=x86_64-w64-mingw32-objcopy

fail() {
    echo "package.sh: $*" >&2
    exit 1
}

usage="usage: package.sh [--sign CERT.pem KEY.pem [--timestamp URL]]"
certificate=
key=
timestamp_url=
while [ $# -gt 0 ]; do
    case $1 in
    --sign)
        [ $# -ge 3 ] || fail "$usage"
        certificate=$2
        key=$3
        shift 3
        ;;
    --timestamp)
        [ $# -ge 2 ] || fail "$usage"
        timestamp_url=$2
        shift 2
        ;;
    *) fail "unknown option $1 ($usage)" ;;
    esac
done
[ -n "$certificate" ] || [ -z "$timestamp_url" ] || fail "--timestamp needs --sign ($usage)"

# Refuses a certificate and key that cannot sign before anything is built.
check_signing_pair() {
    [ -r "$certificate" ] || fail "cannot sign: no readable certificate at $certificate"
    [ -r "$key" ] || fail "cannot sign: no readable private key at $key"
    local certificate_key private_key
    certificate_key=$(openssl x509 -in "$certificate" -noout -pubkey 2>/dev/null) ||
        fail "cannot sign: $certificate is not a PEM certificate"
    private_key=$(openssl pkey -in "$key" -pubout -passin pass: 2>/dev/null) ||
        fail "cannot sign: $key is not an unencrypted PEM private key"
    [ "$certificate_key" = "$private_key" ] || fail "cannot sign: $key is not the private key of $certificate"
    openssl x509 -in "$certificate" -noout -checkend 0 >/dev/null ||
        fail "cannot sign: the certificate $certificate has expired"
}

sign() {
    local file=$1
    local timestamp=()
    [ -z "$timestamp_url" ] || timestamp=(-ts "$timestamp_url")
    osslsigncode sign -certs "$certificate" -key "$key" -h sha256 -n Digestry -i "$website" "${timestamp[@]}" \
        -in "$file" -out "$file.signed" >/dev/null ||
        fail "signing $(basename "$file") failed${timestamp_url:+ (does the time-stamp server $timestamp_url answer?)}"
    mv "$file.signed" "$file"
}

# A value of the generated version header.
generated_define() {
    sed -n "s/^#define $1 \"\(.*\)\"\$/\1/p" "$release_dir/generated/digestryversion.h"
}

# Windows Installer compares only the first three parts of a version, each within its limits: a
# release that differed from the one before only in the fourth would install beside it as a second
# entry rather than replace it.
check_installer_version() {
    local major minor build revision
    IFS=. read -r major minor build revision <<<"$version"
    [ "$revision" -eq 0 ] || fail "version $version: Windows Installer ignores the fourth part, so this" \
        "release would install beside $major.$minor.$build.0 instead of replacing it; release it as" \
        "$major.$minor.$((build + 1)).0"
    if [ "$major" -gt 255 ] || [ "$minor" -gt 255 ] || [ "$build" -gt 65535 ]; then
        fail "version $version: Windows Installer's versions go up to 255.255.65535.0"
    fi
}

# Writes the DLL's version and language into the installer's File table, which wixl leaves empty:
# without them Windows Installer takes the DLL for an unversioned file in repairs and upgrades.
set_file_version() {
    local msi=$1 language
    language=$(x86_64-w64-mingw32-windres -i "$staging/digestry.dll" -O rc |
        sed -n 's/.*VALUE "Translation", *\(0x[0-9a-fA-F]*\).*/\1/p')
    [ -n "$language" ] || fail "digestry.dll has no language in its version resource"
    msibuild "$msi" -q "UPDATE \`File\` SET \`Version\` = '$version', \`Language\` = '$((language))' WHERE \`File\` = 'digestry.dll'"
}

# A GUID that depends only on the text, in the form Windows Installer wants.
text_guid() {
    local hash
    hash=$(printf '%s' "$1" | sha256sum)
    hash=${hash^^}
    printf '{%s-%s-%s-%s-%s}' "${hash:0:8}" "${hash:8:4}" "${hash:12:4}" "${hash:16:4}" "${hash:20:12}"
}

# Text files in the zip have Windows line ends.
copy_as_windows_text() {
    sed 's/\r$//; s/$/\r/' "$1" >"$2"
}

install_missing_packages
[ -z "$certificate" ] || check_signing_pair

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$repo_root" log -1 --format=%ct 2>/dev/null) ||
        fail "not a git checkout: set SOURCE_DATE_EPOCH to the commit's time"
fi
export SOURCE_DATE_EPOCH
if [ -n "$(git -C "$repo_root" status --porcelain 2>/dev/null)" ]; then
    echo "package.sh: the working tree has uncommitted changes: these packages are not those of commit" \
        "$(git -C "$repo_root" rev-parse --short HEAD)" >&2
fi

version_option=-UDIGESTRY_VERSION
[ -z "${DIGESTRY_VERSION:-}" ] || version_option=-DDIGESTRY_VERSION=$DIGESTRY_VERSION
website_option=()
[ -z "${DIGESTRY_WEBSITE:-}" ] || website_option=(-DDIGESTRY_WEBSITE="$DIGESTRY_WEBSITE")
# The configuration and toolchain that the everyday build's tests ran against (source/CMakeLists.txt).
cmake -S "$repo_root" -B "$release_dir" -DCMAKE_TOOLCHAIN_FILE="$repo_root/cmake/mingw-w64-x86_64-win32.cmake" \
    -DCMAKE_BUILD_TYPE=Release "$version_option" "${website_option[@]}" >/dev/null
version=$(generated_define DIGESTRY_VERSION_TEXT)
website=$(generated_define DIGESTRY_WEBSITE)
check_installer_version
cmake --build "$release_dir" --parallel "$(nproc)" --target digestry

name=digestry-${version%.*}-x64

staging=$release_dir/dist.partial
rm -rf "$staging"
mkdir -p "$staging"
trap 'rm -rf "$staging"' EXIT

# The shipped DLL carries neither debug information nor symbols, only the name and checksum of the
# file that holds them and the name and signature of its PDB.
cp "$release_dir/source/digestry.dll" "$release_dir/source/digestry.pdb" "$staging/"
(
    cd "$staging"
    "$objcopy" --only-keep-debug digestry.dll digestry.dll.debug
    "$objcopy" --strip-all --add-gnu-debuglink=digestry.dll.debug digestry.dll
)
[ -z "$certificate" ] || sign "$staging/digestry.dll"

# wixl finds the files of the package relative to the descriptor's folder.
wixl -a x64 -D Version="$version" -D ProductCode="$(text_guid "Digestry $version")" -D Website="$website" \
    -D Dll="$(realpath --relative-to="$repo_root/packaging" "$staging/digestry.dll")" \
    -o "$staging/$name.msi" "$repo_root/packaging/digestry.wxs"
set_file_version "$staging/$name.msi"
[ -z "$certificate" ] || sign "$staging/$name.msi"

# Fixed names, order, modes and times (the commit's, in UTC) and no extra fields: the same zip on
# every machine.
zip_files=(digestry.dll install.cmd uninstall.cmd README.txt LICENSE)
zip_dir=$staging/zip
mkdir "$zip_dir"
cp "$staging/digestry.dll" "$zip_dir/"
for text in install.cmd uninstall.cmd README.txt; do
    copy_as_windows_text "$repo_root/packaging/$text" "$zip_dir/$text"
done
copy_as_windows_text "$repo_root/LICENSE" "$zip_dir/LICENSE"
chmod 644 "${zip_files[@]/#/$zip_dir/}"
touch -d "@$SOURCE_DATE_EPOCH" "${zip_files[@]/#/$zip_dir/}"
(cd "$zip_dir" && TZ=UTC zip -q -X -D -9 "../$name.zip" "${zip_files[@]}")
rm -rf "$zip_dir"

(cd "$staging" && sha256sum digestry.dll digestry.dll.debug digestry.pdb "$name.msi" "$name.zip" >SHA256SUMS)

rm -rf "$dist_dir"
mv "$staging" "$dist_dir"
trap - EXIT

echo "Digestry $version in $dist_dir:"
(cd "$dist_dir" && stat -c '  %-28n %9s bytes' digestry.dll digestry.dll.debug digestry.pdb "$name.msi" "$name.zip" SHA256SUMS)
if [ -n "$certificate" ]; then
    echo "Signed with $certificate: digestry.dll and $name.msi${timestamp_url:+, time-stamped by $timestamp_url}."
else
    echo "Not signed: give --sign CERT.pem KEY.pem to sign the DLL and the installer."
fi
