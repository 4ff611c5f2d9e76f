#!/usr/bin/env bash
# The main job: renders sample Amiga IFF pictures through Vantrel.dll exactly
# as Explorer asks for thumbnails (COM finds the handler through the registry,
# gives it the file, takes its bitmap), under Wine, and saves each as PNG.
#
# On a fresh Debian 12 machine it installs the packages, cross-builds the
# Windows configuration in build/windows, makes the sample pictures with
# netpbm, registers the DLL with vantrel-setup.exe in a private Wine prefix
# (build/demo/wineprefix) and renders every sample with vantrel-thumb.exe.
# Last it writes the packages into dist/ with scripts/package.sh.
# VANTREL_WINDOWS_BUILD and VANTREL_DEMO_DIR, relative to the repository,
# choose other folders.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=${VANTREL_WINDOWS_BUILD:-build/windows}
demo=${VANTREL_DEMO_DIR:-build/demo}

step() { printf '\n==== %s\n' "$*"; }

step "Installing packages"
scripts/setup-debian.sh

step "Building Vantrel.dll, vantrel-setup.exe and vantrel-thumb.exe in $build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$build" -j "$(nproc)" --target vantrel_dll vantrel-setup vantrel-thumb

step "Making sample pictures in $demo/samples"
rm -rf "$demo/bin" "$demo/samples" "$demo/thumbnails"
mkdir -p "$demo/bin" "$demo/thumbnails"
# vantrel-setup.exe registers the Vantrel.dll that sits next to it.
cp "$build/module/Vantrel.dll" "$build/setup/vantrel-setup.exe" "$build/host/vantrel-thumb.exe" "$demo/bin/"
host/make-samples.sh "$demo/samples"
ls "$demo/samples"/*.iff | sed 's|^|  |'

step "Registering the handler in the Wine prefix $demo/wineprefix"
export WINEPREFIX="$root/$demo/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "  creating the prefix (once; takes a while)"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w
fi
setsid wineserver -p60
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
# Per machine: Wine's COM looks up classes only in HKEY_LOCAL_MACHINE (a
# per-user --user registration is not seen there), and Wine's user may write it.
wine "$demo/bin/vantrel-setup.exe" install | tr -d '\r' >"$demo/setup.log"
echo "  vantrel-setup.exe install: $(grep -c '^wrote' "$demo/setup.log") keys written (see $demo/setup.log)"

step "Rendering each sample through the handler"
for picture in "$demo"/samples/*.iff; do
    name=$(basename "$picture" .iff)
    wine "$demo/bin/vantrel-thumb.exe" "$picture" "$demo/thumbnails/$name.png" >/dev/null
    printf '  %-18s -> %s (%s)\n' "$name.iff" "$demo/thumbnails/$name.png" \
        "$(identify -format '%wx%h' "$demo/thumbnails/$name.png")"
done
montage -background '#808080' -geometry +4+4 "$demo"/thumbnails/*.png "$demo/contact-sheet.png" 2>/dev/null || true

step "Rendering the same samples with the Linux command line"
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF >/dev/null
cmake --build build/release -j "$(nproc)" --target vantrel
rm -rf "$demo/linux"
mkdir -p "$demo/linux"
build/release/cli/vantrel convert -d "$demo/linux" "$demo"/samples/*.iff
build/release/cli/vantrel info "$demo/samples/rose-ham6.iff" 2>/dev/null || true

step "Writing the packages into dist/"
scripts/package.sh | sed -n '/^==== Packages/,$p' | tail -n +2 | sed 's|^|  |'

step "Done"
echo "Thumbnails (PNG, straight alpha): $root/$demo/thumbnails/"
[ -f "$demo/contact-sheet.png" ] && echo "All of them on one grey sheet:   $root/$demo/contact-sheet.png"
echo "The command line's PNGs:          $root/$demo/linux/"
echo "Packages to download (Windows x64 and ARM64 zips, SHA256SUMS): $root/dist/"
echo "Render another picture:  WINEPREFIX=$WINEPREFIX wine $demo/bin/vantrel-thumb.exe PICTURE OUT.png"
