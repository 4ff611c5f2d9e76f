#!/usr/bin/env bash
# Sets up a Debian 12 machine and runs every test: the native suites, the
# Debian package through the desktop's own machinery, the same suites under
# AddressSanitizer and UndefinedBehaviorSanitizer, the portable library's
# suites cross-built for AArch64 under qemu, the Windows DLL under Wine (and
# the ARM64 build's checks), the packages, and a bounded fuzzing run. Builds
# from scratch in build/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)

step() { printf '\n==== %s\n' "$*"; }

step "Installing packages"
scripts/setup-debian.sh

step "Native build and tests"
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/native -j "$jobs"
ctest --test-dir build/native --output-on-failure -j "$jobs"

step "Debian package: lintian, apt-get install, GNOME's thumbnail factory, GdkPixbuf, purge"
scripts/test-debian-package.sh

step "Sanitizer build and tests (AddressSanitizer, UndefinedBehaviorSanitizer)"
CXX=clang++ cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVANTREL_SANITIZE=ON
cmake --build build/sanitize -j "$jobs"
ctest --test-dir build/sanitize --output-on-failure -j "$jobs"

step "AArch64 build and tests under qemu"
scripts/test-aarch64.sh

if [ -x scripts/test-windows.sh ]; then
    step "Windows DLL under Wine"
    scripts/test-windows.sh
fi

if [ -x scripts/test-packages.sh ]; then
    step "Packages (scripts/package.sh) and their contents"
    scripts/test-packages.sh
fi

if [ -x fuzz/run-ci.sh ]; then
    step "Fuzzing"
    fuzz/run-ci.sh
fi

step "All tests passed"
