#!/usr/bin/env bash
# Builds some targets into a build folder of its own and runs the matching tests:
#   bash scripts/dev_test.sh BUILD_DIR CTEST_REGEX TARGET...
# Lets several people work in one tree without building each other's half-written tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1; regex=$2; shift 2
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
          -DCMAKE_BUILD_TYPE=Release >/dev/null
else
    cmake "$build" >/dev/null   # picks up newly added sources and test files
fi
for target in "$@"; do
    log="$build/build-$target.log"
    if ! cmake --build "$build" --target "$target" -- --no-print-directory -j2 > "$log" 2>&1; then
        { grep -E -A3 'error|Error' "$log" || tail -n 20 "$log"; } | head -n 80 >&2
        echo "dev_test: building $target failed (see $log)" >&2
        exit 1
    fi
    grep -E -A3 'warning' "$log" | head -n 40 || true
done
. "$root/scripts/wine_env.sh"
trap wine_env_teardown EXIT
wine_env_setup "$build/test-env"
wine_numbered_volumes
xvfb_start
wine_unmanaged_windows
cd "$build"
ctest --output-on-failure --timeout 600 -R "$regex"
