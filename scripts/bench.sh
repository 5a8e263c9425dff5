#!/usr/bin/env bash
# Sets up the machine, builds the Release benchmark and runs it under Wine on a private display:
# one table of the sleep check's own work, the whole check against the bare OS snapshot, memory
# over 10,000 checks and the main window's paint. Arguments go to the benchmark (--tiny, --output FILE).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${DORMIGUARD_BUILD_DIR:-$root/build}
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"

. "$root/scripts/wine_env.sh"
trap wine_env_teardown EXIT
wine_env_setup "$build/bench-env"
xvfb_start
wine_unmanaged_windows

cd "$build"
echo "bench: $(grep -m1 'CMAKE_BUILD_TYPE:' CMakeCache.txt | cut -d= -f2) build, $(nproc) cores, $(date -u '+%Y-%m-%d %H:%M UTC')"
wine "$build/check_bench.exe" "$@"
