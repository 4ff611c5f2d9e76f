#!/usr/bin/env bash
# Installs everything the build, the tests, the benchmarks and the demo need on
# Debian 12. Safe to run again: packages already present are left as they are.
set -euo pipefail

packages=(
    cmake ninja-build g++ googletest libbenchmark-dev
    libpng-dev libpixman-1-dev
    clang libclang-rt-14-dev lld llvm zip unzip
    g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64
    g++-aarch64-linux-gnu libc6-dev-arm64-cross qemu-user
    netpbm imagemagick jq
    libgdk-pixbuf-2.0-dev pkgconf dpkg-dev lintian shared-mime-info
    python3-gi gir1.2-gdkpixbuf-2.0 gir1.2-gnomedesktop-3.0 bubblewrap
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
