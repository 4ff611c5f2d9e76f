#!/usr/bin/env bash
# Installs everything the build, the tests, the benchmarks and the demo need on
# Debian 12. Safe to run again: packages already present are left as they are.
set -euo pipefail

packages=(
    cmake ninja-build g++ googletest libbenchmark-dev
    libpng-dev libpixman-1-dev
    clang libclang-rt-14-dev lld llvm zip unzip
    g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64
    netpbm imagemagick jq
    libavcodec-dev libavformat-dev libavutil-dev
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -ne 0 ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
