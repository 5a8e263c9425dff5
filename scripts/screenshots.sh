#!/usr/bin/env bash
# Takes the user guide's pictures (docs/*.png) from the real program and installer under Wine,
# on a private display, with a prefix and home of their own inside build/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${DORMIGUARD_BUILD_DIR:-$root/build}
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"
cmake --build "$build" --target guide_screenshots -- --no-print-directory > "$build/build-guide.log" 2>&1 \
    || { tail -n 30 "$build/build-guide.log" >&2; exit 1; }

. "$root/scripts/wine_env.sh"
trap wine_env_teardown EXIT
wine_env_setup "$build/docs-env"
xvfb_start
wine_unmanaged_windows
# The selection dialog lists the running programs with their paths: the program and this driver
# run from C:\DormiGuard inside the prefix, not from the build folder.
stage="$WINEPREFIX/drive_c/DormiGuard"
rm -rf "$stage"
mkdir -p "$stage"
cp "$build/DormiGuard.exe" "$build/guide_screenshots.exe" "$root"/assets/* "$stage/"
wine 'C:\DormiGuard\guide_screenshots.exe'
# The English guide's pictures: the same program on an English system (Wine takes the user's
# UI language from the Unix locale).
LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8 wine 'C:\DormiGuard\guide_screenshots.exe'
mkdir -p "$root/docs"
for shot in "$stage"/screenshots/guide_*.png; do
    cp "$shot" "$root/docs/$(basename "$shot" | sed 's/^guide_//')"
done
echo "screenshots: $(ls "$stage"/screenshots/guide_*.png | wc -l) pictures copied to docs/"

# The installer's pages come from the release test, which runs the real installer under Wine.
bash "$root/scripts/test.sh" -R package_install > "$build/screenshots-package.log" 2>&1 \
    || { tail -n 40 "$build/screenshots-package.log" >&2; exit 1; }
for shot in installer_0_english_welcome installer_3_components installer_4_finish uninstaller_2_finish; do
    cp "$build/screenshots/$shot.png" "$root/docs/$shot.png"
done
echo "screenshots: installer pages copied to docs/"
