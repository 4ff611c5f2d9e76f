#!/usr/bin/env bash
# Builds the Debian package, checks it with lintian, installs it with apt-get
# as a user would, makes thumbnails through GNOME's own thumbnail factory and
# loads pictures through GdkPixbuf (tests/package/desktop_test.py), then purges
# it and checks that nothing of it is left. Needs root (or sudo) and the
# packages of scripts/setup-debian.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
deb="dist/vantrel_24.5.11_amd64.deb"
build="$root/build/package-test"
loaders_cache=/usr/lib/x86_64-linux-gnu/gdk-pixbuf-2.0/2.10.0/loaders.cache
files=(
    /usr/bin/vantrel
    /usr/share/man/man1/vantrel.1.gz
    /usr/share/thumbnailers/vantrel.thumbnailer
    /usr/share/mime/packages/vantrel.xml
    /usr/lib/x86_64-linux-gnu/gdk-pixbuf-2.0/2.10.0/loaders/libpixbufloader-vantrel.so
    /usr/share/doc/vantrel/copyright
)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

step() { printf '\n==== %s\n' "$*"; }
fail() { echo "FAIL: $*" >&2; exit 1; }

step "Man page (groff warnings)"
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z cli/vantrel.1 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "groff: $warnings"

scripts/package.sh

step "lintian"
tags=$(lintian --info --pedantic "$deb" 2>&1 | grep -v 'running with root privileges' || true)
echo "${tags:-no errors, warnings or notes (lintian --info --pedantic)}"
lintian --fail-on error "$deb" >/dev/null 2>&1 || fail "lintian reports errors"

step "Test pictures (the generated set and the corpus)"
rm -rf "$build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target vantrel_fuzz_seeds >/dev/null
"$build/fuzz/vantrel_fuzz_seeds" "$build/pictures"
rm -f "$build"/pictures/layout-*
# The real pictures beside the repository too, where the checkout has them.
for picture in "$root"/../shared/corpus/*.iff "$root"/../shared/corpus/*.ilbm; do
    [ -f "$picture" ] && cp "$picture" "$build/pictures/"
done

purge() { DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -q vantrel >/dev/null 2>&1 || true; }
trap purge EXIT

step "apt-get install ./$deb"
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "./$deb" | tail -n 3
for f in "${files[@]}"; do [ -f "$f" ] || fail "not installed: $f"; done
man -w vantrel >/dev/null || fail "man vantrel finds no page"
grep -q libpixbufloader-vantrel.so "$loaders_cache" || fail "the loader is not in $loaders_cache"
grep -qx image/x-acbm /usr/share/mime/types || fail "image/x-acbm is not in the MIME database"

step "GNOME thumbnail factory, GdkPixbuf and MIME types"
/usr/bin/python3 tests/package/desktop_test.py installed "$build/pictures" "$build/work"

step "apt-get purge vantrel"
trap - EXIT
DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -q vantrel | tail -n 3
! dpkg-query -W vantrel >/dev/null 2>&1 || fail "dpkg still knows vantrel"
for f in "${files[@]}" /usr/share/doc/vantrel; do [ ! -e "$f" ] || fail "left behind: $f"; done
! man -w vantrel >/dev/null 2>&1 || fail "man still finds vantrel"
! grep -q vantrel "$loaders_cache" || fail "the loader is still in $loaders_cache"
! grep -qx image/x-acbm /usr/share/mime/types || fail "image/x-acbm is still in the MIME database"
/usr/bin/python3 tests/package/desktop_test.py removed "$build/pictures" "$build/work-removed"

step "Debian package tests passed"
