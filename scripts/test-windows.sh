#!/usr/bin/env bash
# Cross-builds Vantrel.dll and its tests with mingw-w64 in build/windows and
# runs the tests under Wine, in a private prefix inside the build tree with one
# wineserver kept running for the whole run (each test then starts quickly).
# VANTREL_WINDOWS_BUILD_DIR names another build folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=${VANTREL_WINDOWS_BUILD_DIR:-build/windows}
mkdir -p "$build"
build=$(cd "$build" && pwd)

export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# A new prefix takes a while to set up: do it while the build runs.
boot=""
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix $WINEPREFIX in the background"
    mkdir -p "$WINEPREFIX"
    ( wineboot -i >/dev/null 2>&1; wineserver -w ) &
    boot=$!
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake"
cmake --build "$build" -j "$(nproc)"

if [ -n "$boot" ]; then
    wait "$boot" || { echo "Setting up the Wine prefix failed" >&2; exit 1; }
fi

# The server detaches once it listens; it also ends by itself 60 s after its
# last client, should this script be killed before it can stop it.
setsid wineserver -p60
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
# The first program under a new server starts Wine's own services: let that
# happen before the tests, whose discovery and run have time limits.
wine cmd /c exit >/dev/null 2>&1 || true

ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 300

# ARM64: the same targets through the clang and lld toolchain in their own
# build folder. Nothing built for ARM64 runs here: its ctest checks the DLL's
# header and tables from this machine, and the x64 test program reads the ARM64
# DLL's version block under Wine (the file is only read, never loaded as code).
arm64=${VANTREL_WINDOWS_ARM64_BUILD_DIR:-build/windows-arm64}
mkdir -p "$arm64"
arm64=$(cd "$arm64" && pwd)
cmake -S . -B "$arm64" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/clang-aarch64-w64-windows.cmake"
cmake --build "$arm64" -j "$(nproc)"
ctest --test-dir "$arm64" --output-on-failure
VANTREL_VERSION_DLL="Z:$arm64/module/Vantrel.dll" \
    "$build/wine-run" "$build/tests/windows/vantrel_dll_tests.exe" --gtest_filter='VersionBlock.*'
