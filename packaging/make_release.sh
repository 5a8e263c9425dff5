#!/usr/bin/env bash
# Makes the release artefacts from a finished build:
#   bash packaging/make_release.sh BUILD_DIR DIST_DIR
# DIST_DIR then holds the installer, the portable zip, the administrative templates (ADMX and
# ADML for Group Policy and Intune), SHA256SUMS and the winget manifests.
# Settings (environment):
#   DORMIGUARD_DOWNLOAD_URL        folder on the release host that the winget manifests point to
#   DORMIGUARD_SIGN_PKCS12         PKCS#12 code-signing certificate; unsigned without it
#   DORMIGUARD_SIGN_PASSWORD       its password
#   DORMIGUARD_SIGN_TIMESTAMP_URL  optional RFC 3161 time-stamp server
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=$(cd "$1" && pwd)
mkdir -p "$2"
dist=$(cd "$2" && pwd)
# shellcheck source=/dev/null
. "$build/release.env"
placeholder="https://downloads.dormiguard.example/DormiGuard/$DG_VERSION"
url=${DORMIGUARD_DOWNLOAD_URL:-$placeholder}
url=${url%/}

setup_name="DormiGuard-$DG_VERSION-setup.exe"
zip_name="DormiGuard-$DG_VERSION-portable.zip"
policy_name="DormiGuard-$DG_VERSION-policy-templates.zip"
stage="$dist/DormiGuard"
rm -rf "$stage" "$dist/winget" "$dist/$setup_name" "$dist/$zip_name" "$dist/$policy_name" "$dist/SHA256SUMS"
mkdir -p "$stage"
cp "$build/DormiGuard.exe" "$stage/"
# The console front end for scripts; the installer takes every staged file.
cp "$build/DormiGuard.com" "$stage/"
cp "$root"/assets/* "$stage/"
cp "$root/LICENSE" "$stage/LICENSE.txt"
x86_64-w64-mingw32-strip "$stage/DormiGuard.exe" "$stage/DormiGuard.com"

if [ -n "${DORMIGUARD_SIGN_PKCS12:-}" ]; then
    [ -f "$DORMIGUARD_SIGN_PKCS12" ] || { echo "package: no certificate at $DORMIGUARD_SIGN_PKCS12" >&2; exit 1; }
    bash "$here/sign.sh" "$stage/DormiGuard.exe"
    bash "$here/sign.sh" "$stage/DormiGuard.com"
else
    echo "package: no DORMIGUARD_SIGN_PKCS12 given; DormiGuard.exe, DormiGuard.com and the installer stay UNSIGNED"
fi

(cd "$dist" && zip -q -r "$zip_name" DormiGuard)
(cd "$root/packaging/policy" && zip -q -r "$dist/$policy_name" DormiGuard.admx en-US ja-JP)
bash "$here/build_installer.sh" "$build" "$stage" "$dist/$setup_name"
(cd "$dist" && sha256sum "$setup_name" "$zip_name" "$policy_name" > SHA256SUMS)

setup_hash=$(sha256sum "$dist/$setup_name" | cut -d' ' -f1 | tr a-f A-F)
zip_hash=$(sha256sum "$dist/$zip_name" | cut -d' ' -f1 | tr a-f A-F)
DG_SETUP_URL="$url/$setup_name" DG_SETUP_SHA256=$setup_hash \
DG_ZIP_URL="$url/$zip_name" DG_ZIP_SHA256=$zip_hash \
DG_VERSION=$DG_VERSION DG_PUBLISHER=$DG_PUBLISHER \
    bash "$here/winget_manifests.sh" "$dist/winget"

[ "$url" = "$placeholder" ] && echo "package: download URLs use the placeholder $placeholder; set DORMIGUARD_DOWNLOAD_URL for a real release"
echo "package: artefacts in $dist"
(cd "$dist" && ls -1 "$setup_name" "$zip_name" "$policy_name" SHA256SUMS && find winget -type f | sort)
