#!/usr/bin/env bash
# Cross-builds the portable library (iff/, decode/) and its core, oracle,
# damage and fuzz replay suites for AArch64 Linux with g++-aarch64-linux-gnu
# in build/aarch64, and runs them under qemu-user. The tests that call netpbm
# and ImageMagick run those host programs natively. The damage suite checks a
# sample: every 4th case of the kinds that allow it, and every header field
# rewrite, which the suite itself proves still reaches every kernel choice of
# the undamaged pictures (VANTREL_DAMAGE_SAMPLE=1 checks every case).
# VANTREL_AARCH64_BUILD_DIR names another build folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=${VANTREL_AARCH64_BUILD_DIR:-build/aarch64}
sysroot=/usr/aarch64-linux-gnu

for tool in aarch64-linux-gnu-g++ qemu-aarch64; do
    if ! command -v "$tool" >/dev/null; then
        echo "test-aarch64.sh: $tool not found (scripts/setup-debian.sh installs it)" >&2
        exit 1
    fi
done

started=$(date +%s)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/aarch64-linux-gnu.cmake"
cmake --build "$build" -j "$(nproc)"
VANTREL_DAMAGE_SAMPLE=${VANTREL_DAMAGE_SAMPLE:-4} \
    ctest --test-dir "$build" --output-on-failure -j "$(nproc)"

# Name the tiers of row kernels the suites held to the reference decoder here.
qemu-aarch64 -L "$sysroot" "$build/tests/core/vantrel_core_tests" \
    --gtest_filter=SimdLevel.EveryTierHereCanBeChosen | grep '^tiers run'
echo "AArch64 build and tests under qemu: $(($(date +%s) - started)) s"
