#!/usr/bin/env bash
# Builds the release package: dist/DormiGuard-1.0.5.zip with the executable and its files.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${DORMIGUARD_BUILD_DIR:-$root/build}
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"

stage="$root/dist/DormiGuard"
rm -rf "$stage" "$root/dist/DormiGuard-1.0.5.zip"
mkdir -p "$stage"
cp "$build/DormiGuard.exe" "$stage/"
cp "$root"/assets/* "$stage/"
cp "$root/LICENSE" "$stage/LICENSE.txt"
x86_64-w64-mingw32-strip "$stage/DormiGuard.exe"
(cd "$root/dist" && zip -q -r DormiGuard-1.0.5.zip DormiGuard)
echo "package: $root/dist/DormiGuard-1.0.5.zip"
unzip -l "$root/dist/DormiGuard-1.0.5.zip"
