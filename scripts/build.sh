#!/usr/bin/env bash
# Configures and builds DormiGuard.exe and the tests into build/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${DORMIGUARD_BUILD_DIR:-$root/build}
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
          -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
fi
mkdir -p "$build"
if ! cmake --build "$build" -j "$(nproc)" > "$build/build.log" 2>&1; then
    grep -E -A3 'error|Error' "$build/build.log" | head -n 60 >&2
    echo "build: failed (full output in $build/build.log)" >&2
    exit 1
fi
grep -E 'warning' "$build/build.log" | head -n 20 || true
