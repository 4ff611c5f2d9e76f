#!/usr/bin/env bash
# Builds the decode benchmarks (Release, in build/bench or
# $VANTREL_BENCH_BUILD_DIR) and prints one table: Vantrel's parse + decode
# (premultiplied) against ffmpeg's IFF decoder and a memset of the output, per
# picture.
#   bench/run.sh [--level baseline|avx2|avx2-gfni|avx512|neon|best] [--update] [Google Benchmark options]
# --level caps the decoder's row kernels at that tier (--baseline is
# --level baseline); a tier this processor lacks prints
# "LEVEL: not supported on this processor". --update runs every tier this
# processor has (each picture five times, the least time kept, unless other
# Google Benchmark options are given) and rewrites BENCHMARKS.md with one
# table per tier, the processor and its flags, and the tiers it could not measure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
update=no
level=best
args=()
while [ $# -gt 0 ]; do
    case "$1" in
        --update) update=yes ;;
        --baseline) level=baseline ;;
        --level) level=${2:?--level needs a tier}; shift ;;
        --level=*) level=${1#--level=} ;;
        *) args+=("$1") ;;
    esac
    shift
done

build=${VANTREL_BENCH_BUILD_DIR:-$root/build/bench}
{
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF
    cmake --build "$build" --target vantrel_bench
} >&2
bench=$build/bench/vantrel_bench

if [ "$update" = no ]; then
    exec "$bench" --level "$level" "${args[@]}"
fi

model=$(lscpu | sed -n 's/^Model name: *//p' | head -1)
flags=$(grep -o -w -E 'sse2|avx2|bmi2|avx512f|avx512bw|avx512vl|avx512vbmi|gfni|asimd' /proc/cpuinfo | sort -u | tr '\n' ' ')
tables=""
missing=()
# Each picture five times over, the least time kept: this machine may be shared.
[ ${#args[@]} -ne 0 ] || args=(--benchmark_repetitions=5 --benchmark_min_time=0.1)
for tier in baseline avx2 avx2-gfni avx512 neon; do
    out=$("$bench" --level "$tier" "${args[@]}")
    if [ "$(echo "$out" | head -1)" = "$tier: not supported on this processor" ]; then
        missing+=("$tier")
        continue
    fi
    tables+="### Tier: $tier"$'\n\n'"$out"$'\n\n'
done
if [ ${#missing[@]} -eq 0 ]; then
    notMeasured="every tier ran here."
else
    notMeasured="not measured here, as this processor lacks them: ${missing[*]}. No figure is given for them."
fi

cat > "$root/BENCHMARKS.md" <<MD
# Benchmarks

Time to turn one picture file in memory into premultiplied 32-bit pixels
(\`parsePicture\` + \`decodePicture\` with \`Alpha::Premultiplied\`, which
premultiplies each row as it is decoded where the record does not prove every
pixel opaque), against ffmpeg's IFF decoder on the same file (libavformat's
demuxer once, then \`avcodec_send_packet\`/\`avcodec_receive_frame\` timed on
its packet) and against a \`memset\` of the same output size. The pictures are
made in memory by \`bench/BenchPictures.cpp\` (gradients with noisy patches,
ByteRun1 unless the name says otherwise; masked rows are the same picture as
the unmasked row above them), and the files of \`../shared/corpus\` are read
from disk when that folder is there. "ffmpeg / Vantrel" above 1 means Vantrel
is faster.

- Times are the benchmark thread's CPU time per picture (Google Benchmark's
  adjusted CPU time), the least of five runs, so that other work on a shared
  machine counts as little as it can.
- ffmpeg writes 1 byte per pixel (PAL8 or GRAY8) for palette and grey
  pictures and 4 for hold-and-modify and true colour, ignores "SHAM" and
  "CTBL", ignores masks, and premultiplies nothing; Vantrel writes 4 bytes per
  pixel with the mask applied. For a plain "PBM " ffmpeg only copies the
  file's bytes, so the floor there is the memset.
- Outputs of 16 MB and more that need no second look at the row are written
  with streaming stores, as glibc's memset does at that size.
- The palette strip has no body, so ffmpeg does not take it.
- The decoder picks its tier of row kernels once per picture from what the
  processor offers; each table below ran with the tier capped
  (\`bench/run.sh --level TIER\`). "avx2" is AVX2 and BMI2 without GFNI (the
  kernels of processors such as AMD Zen 2 and 3 or Intel Core 4th to 10th
  generation), "avx2-gfni" the same with GFNI's plane turn
  (Intel Core 12th to 14th generation, Core Ultra); here both are this
  processor capped, whose vector units differ from theirs.

Machine: $model, $(nproc) cores, $(uname -sm); flags: $flags.
Tiers $notMeasured
Command: \`bench/run.sh --update\` (\`bench/run.sh --level TIER\` prints one
table; Google Benchmark options such as \`--benchmark_filter=4096\` pass
through).

$tables
MD
echo "BENCHMARKS.md updated" >&2
