#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test under Wine on a private display.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${DORMIGUARD_BUILD_DIR:-$root/build}
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"

. "$root/scripts/wine_env.sh"
trap wine_env_teardown EXIT
wine_env_setup "$build/test-env"
wine_numbered_volumes
xvfb_start
wine_unmanaged_windows

cd "$build"
ctest --output-on-failure --timeout 600 "$@"
