#!/usr/bin/env bash
# Checks the Windows packages that scripts/package.sh wrote into DIST: each
# zip unpacks to its one folder holding exactly Vantrel.dll, vantrel-setup.exe
# and README.txt; README.txt has CRLF line ends; each program is built for the
# zip's processor; each DLL passes the table test; SHA256SUMS matches.
#   tests/package/check-packages.sh [DIST]   (default dist/)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
dist=$(cd "${1:-$root/dist}" && pwd)
version=24.5.11
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# The machine field of a PE file's header, as four hex digits (8664, AA64).
pe_machine() {
    local offset
    offset=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    [ "$(head -c2 "$1")" = MZ ] || { echo "not-PE"; return; }
    [ "$(od -An -c -j"$offset" -N4 "$1" | tr -d ' ')" = 'PE\0\0' ] || { echo "not-PE"; return; }
    od -An -tx2 -j$((offset + 4)) -N2 "$1" | tr -d ' ' | tr a-f A-F
}

check_zip() {
    local arch=$1 machine=$2 readobj_machine=$3
    local name="Vantrel-$version-windows-$arch"
    local zip="$dist/$name.zip"
    [ -f "$zip" ] || { fail "$zip is missing"; return; }
    mkdir -p "$work/$arch"
    unzip -q "$zip" -d "$work/$arch" || { fail "$zip does not unzip"; return; }
    local listed expected
    listed=$(cd "$work/$arch" && find . -mindepth 1 | LC_ALL=C sort | tr '\n' ' ')
    expected="./$name ./$name/README.txt ./$name/Vantrel.dll ./$name/vantrel-setup.exe "
    [ "$listed" = "$expected" ] || fail "$zip holds [$listed], expected [$expected]"
    local folder="$work/$arch/$name"
    for program in Vantrel.dll vantrel-setup.exe; do
        [ -f "$folder/$program" ] || continue
        local got
        got=$(pe_machine "$folder/$program")
        [ "$got" = "$machine" ] || fail "$name/$program is for machine $got, expected $machine"
    done
    local readme="$folder/README.txt"
    if [ -f "$readme" ]; then
        [ "$(grep -c $'\r$' "$readme")" = "$(wc -l <"$readme")" ] || fail "$name/README.txt has lines without CRLF"
        [ "$(tail -c1 "$readme" | od -An -c | tr -d ' ')" = '\n' ] || fail "$name/README.txt lacks a final line end"
        for topic in "install --user" "uninstall" "Settings > Apps" "Restart Explorer" "thumbcache_"; do
            grep -qF "$topic" "$readme" || fail "$name/README.txt does not mention '$topic'"
        done
    fi
    cmake -DDUMPER="$(command -v llvm-readobj || command -v llvm-readobj-14)" -DDLL="$folder/Vantrel.dll" \
        -DMACHINE="$readobj_machine" -P "$root/tests/windows/CheckDllTables.cmake" >/dev/null ||
        fail "$name/Vantrel.dll fails the table test"
    echo "checked $name.zip"
}

check_zip x64 8664 x64
check_zip arm64 AA64 ARM64
(cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match $dist"
for file in "$dist"/*; do
    [ "$(basename "$file")" = SHA256SUMS ] && continue
    grep -qF "  $(basename "$file")" "$dist/SHA256SUMS" || fail "SHA256SUMS does not list $(basename "$file")"
done

if [ "$failures" -ne 0 ]; then
    echo "$failures package check(s) failed" >&2
    exit 1
fi
echo "all package checks passed"
