#!/usr/bin/env bash
# Builds the installer from a staged release folder with NSIS (makensis):
#   bash packaging/build_installer.sh BUILD_DIR STAGE_DIR OUT_FILE
# The version and publisher come from BUILD_DIR/release.env, which CMake writes. When
# DORMIGUARD_SIGN_PKCS12 names a certificate, the uninstaller and the installer are signed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
stage=$(cd "$2" && pwd)
out=$3
# shellcheck source=/dev/null
. "$build/release.env"

# The uninstaller removes exactly the files the installer put there.
work="$build/installer"
mkdir -p "$work"
{
    echo '!macro InstallFiles'
    for file in "$stage"/*; do echo "    File \"$file\""; done
    echo '!macroend'
    echo '!macro RemoveFiles'
    for file in "$stage"/*; do echo "    Delete \"\$INSTDIR\\$(basename "$file")\""; done
    echo '!macroend'
} > "$work/files.nsh"

# The licence page wraps the text itself: one line per paragraph, CR LF for the edit control.
awk 'BEGIN { RS = ""; ORS = "\r\n\r\n" } { gsub(/\n/, " "); print }' "$stage/LICENSE.txt" > "$work/license_page.txt"

sign=()
if [ -n "${DORMIGUARD_SIGN_PKCS12:-}" ]; then
    sign=("-DSIGN_COMMAND=bash \"$here/sign.sh\"")
fi
makensis -V2 -INPUTCHARSET UTF8 \
    "-DVERSION=$DG_VERSION" "-DPUBLISHER=$DG_PUBLISHER" "-DSTAGE=$stage" "-DFILES_NSH=$work/files.nsh" \
    "-DLICENSE_PAGE=$work/license_page.txt" \
    "-DICON=$here/../res/DormiGuard.ico" "-DOUTFILE=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")" \
    "${sign[@]}" "$here/installer.nsi"
