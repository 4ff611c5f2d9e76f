#!/usr/bin/env bash
# Builds the decode benchmarks (Release, in build/bench or
# $VANTREL_BENCH_BUILD_DIR) and prints one table:
# Vantrel's parse + decode + premultiply against ffmpeg's IFF decoder and a
# memset of the output, per picture.
#   bench/run.sh [--update] [--baseline] [Google Benchmark options]
# The decoder runs the highest instruction-set level this machine supports;
# --baseline caps it at the baseline kernels (SSE2), as on a machine without
# AVX-512. --update also rewrites BENCHMARKS.md with the table, this machine,
# the command and a second table of Vantrel's times at the baseline level.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
update=no
if [ "${1:-}" = "--update" ]; then
    update=yes
    shift
fi

build=${VANTREL_BENCH_BUILD_DIR:-$root/build/bench}
{
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF
    cmake --build "$build" --target vantrel_bench
} >&2
table=$("$build/bench/vantrel_bench" "$@")
echo "$table"

if [ "$update" = yes ]; then
    # Vantrel alone at the baseline level: picture, mode, time, ns/px.
    baseline=$("$build/bench/vantrel_bench" --baseline --benchmark_filter='^vantrel/' "$@" |
        awk -F'|' '/^\| picture/ { print "| picture | mode | Vantrel ms, baseline | Vantrel ns/px, baseline |"; next }
                   /^\|---/ { print "|---|---|--:|--:|"; next }
                   /^\|/ { print "|" $2 "|" $3 "|" $4 "|" $9 "|" }')
    model=$(lscpu | sed -n 's/^Model name: *//p' | head -1)
    cores=$(nproc)
    cat > "$root/BENCHMARKS.md" <<MD
# Benchmarks

Time to turn one picture file in memory into premultiplied 32-bit pixels
(\`parsePicture\` + \`decodePicture\` + \`premultiplyPicture\`, which skips
the premultiply pass when the record proves every pixel opaque), against ffmpeg's
IFF decoder on the same file (libavformat's demuxer once, then
\`avcodec_send_packet\`/\`avcodec_receive_frame\` timed on its packet) and
against a \`memset\` of the same output size. The pictures are made in memory
by \`bench/BenchPictures.cpp\`: gradients with noisy patches, ByteRun1 unless
the name says otherwise. "ffmpeg / Vantrel" above 1 means Vantrel is faster.

- Times are the benchmark thread's CPU time per picture (Google Benchmark's
  adjusted CPU time), so that other work on a shared machine does not count.
- ffmpeg writes 1 byte per pixel (PAL8 or GRAY8) for palette and grey
  pictures and 4 for hold-and-modify and true colour, ignores "SHAM" and
  "CTBL", and premultiplies nothing; Vantrel writes 4 bytes per pixel and
  premultiplies them unless the picture is provably opaque (only the 32-bit
  picture here is not).
- The 4096x4096 256-colour picture's output (64 MB) is written with streaming
  stores, as glibc's memset does at that size.
- The palette strip has no body, so ffmpeg does not take it.
- The decoder picks its row kernels once per picture from what the processor
  offers (asked once with cpuid). The table below ran the level named above
  it: with AVX-512 (F, BW, VL, VBMI, GFNI), bit planes are turned into chunky
  bytes with byte permutes and one \`gf2p8affineqb\` per 64 pixels, palettes
  are looked up split by byte with \`vpermb\`/\`vpermi2b\`, hold-and-modify
  steps are composed 16 pixels at a time, and ByteRun1 runs are stored 64
  bytes at a time. Machines without AVX-512 run the baseline kernels (SSE2):
  their times, measured here with the level capped (\`bench/run.sh
  --baseline\`), are in the last table.

Machine: $model, $cores cores, $(uname -sm). Command: \`bench/run.sh --update\`
(\`bench/run.sh\` alone prints the table; Google Benchmark options such as
\`--benchmark_filter=4096\` pass through).

$table

Vantrel at the baseline level (SSE2), as on a machine without AVX-512:

$baseline
MD
    echo "BENCHMARKS.md updated" >&2
fi
