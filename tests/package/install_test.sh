#!/usr/bin/env bash
# Runs the signed release installer (made by release_artifacts_test.sh) in a fresh Wine prefix
# of its own and checks it from inside with package_install_checks.exe.
#   bash tests/package/install_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
work="$build/package-test"
[ -f "$work/dist/DormiGuard-1.0.5-setup.exe" ] || { echo "no installer: run package_release_artifacts first" >&2; exit 1; }

. "$root/scripts/wine_env.sh"
# Ends this prefix's wineserver, and the display if this script started one.
trap wine_env_teardown EXIT
rm -rf "$build/package-env"
wine_env_setup "$build/package-env"
[ -n "${DISPLAY:-}" ] || xvfb_start
wine_unmanaged_windows
# There is no network here: a proxy on a closed local port lets the program's update check fail
# at once instead of waiting for the name lookup to give up.
wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings' /v ProxyEnable /t REG_DWORD /d 1 /f >/dev/null
wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings' /v ProxyServer /d 127.0.0.1:9 /f >/dev/null

windows_path() { echo "Z:$1" | tr / '\\'; }
export DG_INSTALLER DG_STAGE DG_UNINSTALLER_COPY
DG_INSTALLER=$(windows_path "$work/dist/DormiGuard-1.0.5-setup.exe")
DG_STAGE=$(windows_path "$work/dist/DormiGuard")
DG_UNINSTALLER_COPY=$(windows_path "$work/uninstall-copy.exe")
rm -f "$work/uninstall-copy.exe"
# The pages follow the system's language: English where it is not Japanese. Wine takes a
# process's locale from its LANG.
LANG=C.UTF-8 LC_ALL=C.UTF-8 wine "$work/dist/DormiGuard-1.0.5-setup.exe" &
english=$!
window=
for _ in $(seq 1 150); do
    window=$(xdotool search --onlyvisible --name '^DormiGuard 1\.0\.5 Setup$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.2
done
if [ -n "$window" ]; then
    mkdir -p "$build/screenshots"
    import -window "$window" "$build/screenshots/installer_0_english_welcome.png"
fi
kill "$english" 2>/dev/null || true
wait "$english" 2>/dev/null || true
[ -n "$window" ] || { echo "FAILED: no English installer window on a C.UTF-8 system"; exit 1; }
# Gone before the checks look for the installer's window.
for _ in $(seq 1 100); do
    xdotool search --onlyvisible --name '^DormiGuard 1\.0\.5 Setup$' >/dev/null 2>&1 || break
    sleep 0.2
done
if xdotool search --onlyvisible --name '^DormiGuard 1\.0\.5 Setup$' >/dev/null 2>&1; then
    echo "FAILED: the English installer did not end"; exit 1
fi
echo "ok: English installer pages on a C.UTF-8 system"

cd "$build"
wine "$build/package_install_checks.exe"
# The uninstaller the installer wrote out carries the signature it got before it went in.
osslsigncode verify -CAfile "$work/cert/signer.pem" -in "$work/uninstall-copy.exe" > "$work/uninstaller-verify.log" \
    || { cat "$work/uninstaller-verify.log"; echo "FAILED: the installed uninstall.exe is not signed"; exit 1; }
echo "ok: the installed uninstall.exe verifies against the signing certificate"
