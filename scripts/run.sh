#!/usr/bin/env bash
# Sets up the machine, builds DormiGuard and starts it under Wine.
# On your display when there is one; otherwise on a private virtual display, where it saves a
# screenshot of the main window and tells you where.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${DORMIGUARD_BUILD_DIR:-$root/build}
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"

. "$root/scripts/wine_env.sh"
# The program's own prefix and home (its Documents\DormiGuard lives there), not yours.
wine_env_setup "$build/run-env"
cd "$build"

if [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ] && xdpyinfo >/dev/null 2>&1; then
    echo "run: starting DormiGuard on $DISPLAY (its data: $HOME/DormiGuard, the Documents folder of Wine being $HOME); quit from its tray menu or File menu"
    wine "$build/DormiGuard.exe" "$@"
    exit 0
fi

trap wine_env_teardown EXIT
xvfb_start
wine_unmanaged_windows
echo "run: no display of yours; starting DormiGuard on the private display $DISPLAY"
wine "$build/DormiGuard.exe" "$@" &
window=
for _ in $(seq 1 300); do
    window=$(xdotool search --onlyvisible --name '^DormiGuard$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.1
done
if [ -z "$window" ]; then
    echo "run: the main window did not appear (started with -startup it stays in the tray)" >&2
    exit 1
fi
sleep 1   # let the first paint land
mkdir -p "$build/screenshots"
shot="$build/screenshots/run_main_window.png"
import -window "$window" "$shot"
echo "run: screenshot of the main window saved to $shot"
if [ -t 0 ]; then
    read -r -p "run: DormiGuard is running on $DISPLAY; press Enter to stop it. " _
fi
