#!/usr/bin/env bash
# Builds the release into dist/: the installer (per user, or per machine with /ALLUSERS), the
# portable zip, the policy templates, SHA256SUMS and the winget manifests. Signs the executable and the installer when DORMIGUARD_SIGN_PKCS12 names a
# PKCS#12 certificate (password in DORMIGUARD_SIGN_PASSWORD, optional RFC 3161 time-stamp server
# in DORMIGUARD_SIGN_TIMESTAMP_URL); DORMIGUARD_DOWNLOAD_URL is the manifests' download folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${DORMIGUARD_BUILD_DIR:-$root/build}
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"
bash "$root/packaging/make_release.sh" "$build" "$root/dist"
