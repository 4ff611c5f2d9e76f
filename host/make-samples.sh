#!/usr/bin/env bash
# Makes sample Amiga IFF pictures in OUTDIR: netpbm's ppmtoilbm encodes
# ImageMagick's built-in "rose" and "wizard" in several modes, and two "PBM "
# (chunky) pictures are put together here chunk by chunk. Next to each
# picture whose thumbnail netpbm can predict exactly, NAME.pam holds it
# (RGBA, straight alpha).
#
#   host/make-samples.sh OUTDIR
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 OUTDIR" >&2; exit 2; }
out=$1
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

quiet() { "$@" 2>/dev/null; }
# RGB picture and grey alpha into one RGBA PAM.
expect() { quiet pamstack -tupletype=RGB_ALPHA "$2" "$3" >"$out/$1.pam"; }

convert rose: -depth 8 ppm:"$tmp/rose.ppm"
read -r width height < <(quiet pamfile -size "$tmp/rose.ppm")
quiet pgmmake 1.0 "$width" "$height" >"$tmp/opaque.pgm"
quiet pnmquant 256 "$tmp/rose.ppm" >"$tmp/rose256.ppm"

# True colour, 24 bit planes, ByteRun1.
quiet ppmtoilbm -24force "$tmp/rose.ppm" >"$out/rose-24bit.iff"
expect rose-24bit "$tmp/rose.ppm" "$tmp/opaque.pgm"

# 256 colours through a colour map, 8 planes, ByteRun1.
quiet ppmtoilbm -maxplanes 8 "$tmp/rose256.ppm" >"$out/rose-8plane.iff"
expect rose-8plane "$tmp/rose256.ppm" "$tmp/opaque.pgm"

# The same, stored plainly, with a mask plane that shows an ellipse only
# (netpbm's mask files show black pixels).
convert -size "${width}x${height}" xc:black +antialias -fill white \
    -draw "ellipse $((width / 2)),$((height / 2)) $((width / 2 - 2)),$((height / 2 - 2)) 0,360" \
    -depth 8 pgm:"$tmp/ellipse.pgm"
convert "$tmp/ellipse.pgm" -negate pbm:"$tmp/mask.pbm"
quiet ppmtoilbm -maxplanes 8 -nocompress -maskfile "$tmp/mask.pbm" "$tmp/rose256.ppm" >"$out/rose-masked.iff"
quiet pamarith -multiply "$tmp/rose256.ppm" "$tmp/ellipse.pgm" >"$tmp/rose-masked.ppm"
expect rose-masked "$tmp/rose-masked.ppm" "$tmp/ellipse.pgm"

# Extra Half-Brite: 32 colours and their halves, 6 planes.
quiet pnmcolormap 32 "$tmp/rose.ppm" >"$tmp/map32.ppm"
quiet pamfunc -shiftright 1 "$tmp/map32.ppm" >"$tmp/half.ppm"
quiet pamcat -leftright "$tmp/map32.ppm" "$tmp/half.ppm" >"$tmp/map64.ppm"
quiet pnmremap -mapfile="$tmp/map64.ppm" -nofloyd "$tmp/rose.ppm" >"$tmp/rose-ehb.ppm"
quiet ppmtoilbm -mapfile "$tmp/map64.ppm" -camg 0x80 -fixplanes 6 "$tmp/rose-ehb.ppm" >"$out/rose-ehb.iff"
expect rose-ehb "$tmp/rose-ehb.ppm" "$tmp/opaque.pgm"

# Hold-and-modify with 6 and with 8 planes (no exact prediction: encoders
# and decoders differ in how they widen the modified levels).
quiet ppmtoilbm -ham6 "$tmp/rose.ppm" >"$out/rose-ham6.iff"
quiet ppmtoilbm -ham8 "$tmp/rose.ppm" >"$out/rose-ham8.iff"

# A larger picture: ImageMagick's wizard in 256 colours and in 8-plane
# hold-and-modify.
convert wizard: -depth 8 ppm:"$tmp/wizard.ppm"
quiet pnmquant 256 "$tmp/wizard.ppm" >"$tmp/wizard256.ppm"
quiet ppmtoilbm -maxplanes 8 "$tmp/wizard256.ppm" >"$out/wizard-8plane.iff"
quiet pgmmake 1.0 $(quiet pamfile -size "$tmp/wizard.ppm") >"$tmp/wizard-opaque.pgm"
expect wizard-8plane "$tmp/wizard256.ppm" "$tmp/wizard-opaque.pgm"
quiet ppmtoilbm -ham8 "$tmp/wizard.ppm" >"$out/wizard-ham8.iff"

# "PBM " files: a 20-byte BMHD, then the BODY of chunky pixel bytes.
be16() { printf "\\x$(printf %02x $(($1 >> 8 & 255)))\\x$(printf %02x $(($1 & 255)))"; }
be32() { be16 $(($1 >> 16)); be16 $(($1 & 65535)); }
chunkyPicture() {  # planes masking transparentColor body
    local size body_size
    body_size=$(stat -c %s "$4")
    size=$((4 + 8 + 20 + 8 + body_size + body_size % 2))
    {
        printf FORM; be32 "$size"; printf 'PBM BMHD'; be32 20
        be16 "$width"; be16 "$height"; be32 0
        printf "\\x$(printf %02x "$1")\\x$(printf %02x "$2")\\x00\\x00"; be16 "$3"
        printf '\x0a\x0b'; be16 "$width"; be16 "$height"
        printf BODY; be32 "$body_size"; cat "$4"
        if [ $((body_size % 2)) -eq 1 ]; then printf '\x00'; fi
    } 
}
# Rows of an even pixel count need no pad byte in a "PBM " body.
[ $((width % 2)) -eq 0 ] || { echo "$0: the source picture must have an even width" >&2; exit 1; }

# 8-plane grey without a colour map.
quiet ppmtopgm "$tmp/rose.ppm" >"$tmp/grey.pgm"
tail -c $((width * height)) "$tmp/grey.pgm" >"$tmp/grey.body"
chunkyPicture 8 0 0 "$tmp/grey.body" >"$out/grey-chunky.iff"
quiet pgmtoppm white "$tmp/grey.pgm" >"$tmp/grey.ppm"
expect grey-chunky "$tmp/grey.ppm" "$tmp/opaque.pgm"

# 32-plane true colour with an alpha that fades from 255 in the middle to 64
# at the corners; the pixel bytes are alpha, blue, green, red.
convert -size "${width}x${height}" radial-gradient:white-black -depth 8 pgm:- |
    quiet pamfunc -multiplier 0.75 | quiet pamfunc -adder 64 >"$tmp/fade.pgm"
for channel in 2 1 0; do quiet pamchannel -infile "$tmp/rose.ppm" "$channel" >"$tmp/channel$channel.pam"; done
quiet pamstack "$tmp/fade.pgm" "$tmp/channel2.pam" "$tmp/channel1.pam" "$tmp/channel0.pam" >"$tmp/abgr.pam"
tail -c $((width * height * 4)) "$tmp/abgr.pam" >"$tmp/abgr.body"
chunkyPicture 32 0 0 "$tmp/abgr.body" >"$out/rgba-chunky.iff"
expect rgba-chunky "$tmp/rose.ppm" "$tmp/fade.pgm"
