#!/usr/bin/env bash
# Builds every package from scratch with scripts/package.sh and checks what it
# wrote into dist/ (tests/package/check-packages.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/package.sh
tests/package/check-packages.sh dist
