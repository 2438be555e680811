#!/usr/bin/env bash
# Builds the release of digestry.dll and writes what is published into dist/: the DLL, its debug
# information (digestry.dll.debug, for gdb) and PDB (digestry.pdb, which names its functions for
# WinDbg and Windows Error Reporting), the Windows installer, the zip for people who do not use
# installers, and SHA256SUMS over all of them.
#
#   bash scripts/package.sh [--sign CERT.pem KEY.pem]
#
# With --sign, the DLL (before it goes into the installer and the zip) and the installer are signed
# with Authenticode. The same commit gives a byte-identical DLL and zip wherever and whenever it is
# built: time stamps come from the commit (SOURCE_DATE_EPOCH, unless already set). dist/ is replaced
# only when everything succeeded.
#
# The packaging tests set DIGESTRY_RELEASE_DIR (the release build folder), DIGESTRY_DIST_DIR and
# DIGESTRY_VERSION (another version than the project's).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

release_dir=${DIGESTRY_RELEASE_DIR:-$repo_root/build-release}
dist_dir=${DIGESTRY_DIST_DIR:-$repo_root/dist}
objcopy=x86_64-w64-mingw32-objcopy

fail() {
    echo "package.sh: $*" >&2
    exit 1
}

certificate=
key=
case $# in
0) ;;
3)
    [ "$1" = --sign ] || fail "unknown option $1 (usage: package.sh [--sign CERT.pem KEY.pem])"
    certificate=$2
    key=$3
    ;;
*) fail "usage: package.sh [--sign CERT.pem KEY.pem]" ;;
esac

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
    osslsigncode sign -certs "$certificate" -key "$key" -h sha256 -n Digestry -i https://digestry.example/ \
        -in "$file" -out "$file.signed" >/dev/null || fail "signing $(basename "$file") failed"
    mv "$file.signed" "$file"
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
# The configuration and toolchain that the everyday build's tests ran against (source/CMakeLists.txt).
cmake -S "$repo_root" -B "$release_dir" -DCMAKE_TOOLCHAIN_FILE="$repo_root/cmake/mingw-w64-x86_64-win32.cmake" \
    -DCMAKE_BUILD_TYPE=Release "$version_option" >/dev/null
cmake --build "$release_dir" --parallel "$(nproc)" --target digestry

version=$(sed -n 's/^#define DIGESTRY_VERSION_TEXT "\(.*\)"$/\1/p' "$release_dir/generated/digestryversion.h")
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
wixl -a x64 -D Version="$version" -D ProductCode="$(text_guid "Digestry $version")" \
    -D Dll="$(realpath --relative-to="$repo_root/packaging" "$staging/digestry.dll")" \
    -o "$staging/$name.msi" "$repo_root/packaging/digestry.wxs"
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
    echo "Signed with $certificate: digestry.dll and $name.msi."
else
    echo "Not signed: give --sign CERT.pem KEY.pem to sign the DLL and the installer."
fi
