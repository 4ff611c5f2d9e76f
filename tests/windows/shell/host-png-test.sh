#!/usr/bin/env bash
# vantrel-thumb.exe end to end under Wine: pictures made by netpbm go through
# the registered Vantrel.dll, and the PNG files that come out must hold the
# pictures netpbm predicts, alpha included. Also its failures: an unreadable
# picture, a usage error, an unregistered handler.
#
#   host-png-test.sh WINE_RUN VANTREL_DLL SETUP_EXE THUMB_EXE WORK_DIR
set -euo pipefail
wine_run=$1 dll=$2 setup_exe=$3 thumb_exe=$4 work=$5
root=$(cd "$(dirname "$0")/../../.." && pwd)

for tool in convert ppmtoilbm pngtopam pamarith pamsumm pamchannel; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

rm -rf "$work"
mkdir -p "$work/bin"
cp "$dll" "$setup_exe" "$thumb_exe" "$work/bin/"
"$root/host/make-samples.sh" "$work/samples"
"$wine_run" "$work/bin/vantrel-setup.exe" install >/dev/null
trap '"$wine_run" "$work/bin/vantrel-setup.exe" uninstall >/dev/null 2>&1 || true' EXIT

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Largest difference of any sample between two RGBA pictures.
maxDifference() {
    pamchannel -tupletype=RGB_ALPHA -infile "$1" 0 1 2 3 2>/dev/null >"$work/a.pam"
    pamchannel -tupletype=RGB_ALPHA -infile "$2" 0 1 2 3 2>/dev/null >"$work/b.pam"
    pamarith -difference "$work/a.pam" "$work/b.pam" 2>/dev/null | pamsumm -max -brief 2>/dev/null
}

for picture in "$work"/samples/*.iff; do
    name=$(basename "$picture" .iff)
    png="$work/$name.png"
    "$wine_run" "$work/bin/vantrel-thumb.exe" "$picture" "$png" >/dev/null || { fail "$name: not rendered"; continue; }
    [ -f "$work/samples/$name.pam" ] || continue
    pngtopam -alphapam "$png" >"$work/$name.out.pam" 2>/dev/null || { fail "$name: PNG not readable"; continue; }
    # Straight alpha comes back from premultiplied pixels: where alpha is as
    # low as 64, a colour level may be off by up to 255 / 64.
    tolerance=0
    [[ $name == rgba-* ]] && tolerance=4
    difference=$(maxDifference "$work/$name.out.pam" "$work/samples/$name.pam")
    [ "${difference%.*}" -le "$tolerance" ] || fail "$name: differs by $difference (allowed $tolerance)"
done

status=0
"$wine_run" "$work/bin/vantrel-thumb.exe" "$work/missing.iff" "$work/missing.png" 2>"$work/err.txt" || status=$?
[ "$status" -eq 1 ] || fail "a missing picture gives status $status, not 1"
[ ! -e "$work/missing.png" ] || fail "a missing picture still wrote a PNG"
grep -q "missing.iff" "$work/err.txt" || fail "the error does not name the picture: $(cat "$work/err.txt")"

status=0
"$wine_run" "$work/bin/vantrel-thumb.exe" "$work/samples/rose-24bit.iff" 2>/dev/null || status=$?
[ "$status" -eq 2 ] || fail "a missing output argument gives status $status, not 2"

"$wine_run" "$work/bin/vantrel-setup.exe" uninstall >/dev/null
status=0
"$wine_run" "$work/bin/vantrel-thumb.exe" "$work/samples/rose-24bit.iff" "$work/late.png" 2>"$work/err.txt" || status=$?
[ "$status" -eq 1 ] && grep -q "not registered" "$work/err.txt" ||
    fail "an unregistered handler gives status $status and: $(cat "$work/err.txt")"

[ "$failures" -eq 0 ] || exit 1
echo "all samples rendered as expected"
