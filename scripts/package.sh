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

# Debian's hardening flags, as a Debian build would use them.
linux_build_flags() {
    export DEB_BUILD_MAINT_OPTIONS=hardening=+all
    CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
    LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
    export CXXFLAGS LDFLAGS
}

# Installs the release build into the staging folder with the file modes,
# compression and documents Debian wants.
linux_stage() {
    local build=$1 stage=$2
    DESTDIR="$stage" cmake --install "$build" >/dev/null
    strip --remove-section=.comment --remove-section=.note "$stage/usr/bin/vantrel"
    strip --remove-section=.comment --remove-section=.note --strip-unneeded "$stage"/usr/lib/*/gdk-pixbuf-2.0/*/loaders/*.so
    local doc="$stage/usr/share/doc/vantrel"
    mkdir -p "$doc" "$stage/DEBIAN"
    cp packaging/debian/copyright "$doc/copyright"
    gzip -9n < packaging/debian/changelog > "$doc/changelog.gz"
    gzip -9n "$stage/usr/share/man/man1/vantrel.1"
    find "$stage" -type d -exec chmod 0755 {} +
    find "$stage" -type f -exec chmod 0644 {} +
    chmod 0755 "$stage/usr/bin/vantrel"
}

linux_md5sums() {
    local stage=$1
    (cd "$stage" && find usr -type f | LC_ALL=C sort | xargs md5sum) > "$stage/DEBIAN/md5sums"
}

# Depends from the libraries the program and the loader link; dpkg-shlibdeps
# wants the files in debian/PACKAGE below a folder with a debian/control.
linux_depends() {
    local build=$1
    printf 'Source: vantrel\n\nPackage: vantrel\nArchitecture: amd64\n' > "$build/debian/control"
    (cd "$build" && dpkg-shlibdeps -O debian/vantrel/usr/bin/vantrel \
        debian/vantrel/usr/lib/*/gdk-pixbuf-2.0/2.10.0/loaders/libpixbufloader-vantrel.so) |
        sed -n 's/^shlibs:Depends=//p'
}

linux_control() {
    local stage=$1 depends=$2
    {
        echo "Package: vantrel"
        echo "Version: $version"
        echo "Architecture: amd64"
        echo "Maintainer: Vantrel developers <maintainers@users.noreply.c-seed-b7404669.example>"
        echo "Installed-Size: $(du -sk --exclude=DEBIAN "$stage" | cut -f1)"
        echo "Depends: $depends"
        echo "Recommends: shared-mime-info"
        echo "Section: graphics"
        echo "Priority: optional"
        echo "Description: $(cat packaging/debian/description)"
    } > "$stage/DEBIAN/control"
}

# dist/vantrel_VERSION_amd64.deb. The MIME database, the gdk-pixbuf loaders
# cache and the man page index follow the package through the file triggers
# of shared-mime-info, libgdk-pixbuf-2.0-0 and man-db, on install and removal.
package_linux() {
    step "Debian package"
    local build="$root/build/package-linux" stage="$root/build/package-linux/debian/vantrel"
    rm -rf "$build"
    (
        linux_build_flags
        cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
            -DVANTREL_TESTS=OFF >/dev/null
        cmake --build "$build" -j "$jobs" --target vantrel vantrel_pixbuf
    )
    linux_stage "$build" "$stage"
    linux_control "$stage" "$(linux_depends "$build")"
    linux_md5sums "$stage"
    dpkg-deb --root-owner-group -Zxz --build "$stage" "$dist/vantrel_${version}_amd64.deb" >/dev/null
    dpkg-deb --info "$dist/vantrel_${version}_amd64.deb" | sed -n 's/^ \(Depends\|Installed-Size\):/  \1:/p'
    dpkg-deb --contents "$dist/vantrel_${version}_amd64.deb" | awk '{print "  " $6}'
}

# ---- All of them --------------------------------------------------------------

rm -rf "$dist"
mkdir -p "$dist"
package_windows
package_linux
(cd "$dist" && find . -type f ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort | xargs -r sha256sum > SHA256SUMS)
step "Packages in $dist"
cat "$dist/SHA256SUMS"
