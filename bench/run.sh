#!/usr/bin/env bash
# Builds the decode benchmarks (Release, in build/bench or
# $VANTREL_BENCH_BUILD_DIR) and prints one table: Vantrel's parse + decode
# (premultiplied) against ffmpeg's IFF decoder and a memset of the output, per
# picture.
#   bench/run.sh [--level baseline|avx2|avx2-gfni|avx512|neon|best] [--update] [Google Benchmark options]
# --level caps the decoder's row kernels at that tier (--baseline is
# --level baseline); a tier this processor lacks prints
# "LEVEL: not supported on this processor". --update runs every tier this
# processor has (each picture fifteen times, the least time kept, unless other
# Google Benchmark options are given) and writes this machine's section of
# BENCHMARKS.md: one table per tier, the processor, its flags and the commit,
# and the tiers it could not measure. Other machines' sections are kept.
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

# The processor's family and model, with the AMD core they name where known:
# ", AMD Zen 3 (family 25, model 1)".
processorFamily() {
    local vendor family model core=""
    vendor=$(sed -n 's/^vendor_id[[:space:]]*: *//p' /proc/cpuinfo | head -1)
    family=$(sed -n 's/^cpu family[[:space:]]*: *//p' /proc/cpuinfo | head -1)
    model=$(sed -n 's/^model[[:space:]]*: *//p' /proc/cpuinfo | head -1)
    [ -n "$family" ] && [ -n "$model" ] || return 0
    if [ "$vendor" = AuthenticAMD ]; then
        case "$family" in
            23) core="AMD Zen, Zen+ or Zen 2" ;;
            25) if [ "$model" -ge 160 ] || { [ "$model" -ge 16 ] && [ "$model" -le 31 ]; } ||
                   { [ "$model" -ge 96 ] && [ "$model" -le 127 ]; }; then
                    core="AMD Zen 4"
                else
                    core="AMD Zen 3"
                fi ;;
            26) core="AMD Zen 5" ;;
        esac
    fi
    printf ', %s(family %s, model %s)' "${core:+$core }" "$family" "$model"
}

model=$(lscpu | sed -n 's/^Model name: *//p' | head -1)
flags=$(grep -o -w -E 'sse2|avx2|bmi2|avx512f|avx512bw|avx512vl|avx512vbmi|gfni|asimd' /proc/cpuinfo | sort -u | tr '\n' ' ' | sed 's/ $//')
machine="$model$(processorFamily), $(nproc) cores, $(uname -sm)"
tables=""
missing=()
# Each picture fifteen times over, the least time kept, the runs of all pictures
# shuffled together: this machine may be shared, and work beside it that lasts
# a few seconds then slows one run of many pictures rather than every run of one.
runs="the least of 15 runs of each picture"
if [ ${#args[@]} -eq 0 ]; then
    args=(--benchmark_repetitions=15 --benchmark_min_time=0.05 --benchmark_enable_random_interleaving=true)
else
    runs="run with the Google Benchmark options ${args[*]}"
fi
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
commit=$(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo unknown)
[ -z "$(git -C "$root" status --porcelain --untracked-files=no -- . ":!BENCHMARKS.md" 2>/dev/null)" ] || commit="$commit with uncommitted changes"

# The sections of other machines already in BENCHMARKS.md stay; this
# machine's own section, if there is one, is replaced.
heading="## Machine: $machine"
others=""
if [ -f "$root/BENCHMARKS.md" ]; then
    others=$(awk -v mine="$heading" '
        /^## Machine: / { keep = ($0 != mine) }
        keep { print }' "$root/BENCHMARKS.md")
fi

{
cat <<MD
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
  adjusted CPU time), the least of the runs each section names, so that other work on a shared
  machine counts as little as it can. The runs of all pictures of a tier are
  shuffled together (\`--benchmark_enable_random_interleaving\`), so that a
  burst of other work slows one run of several pictures, not every run of one.
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
  (Intel Core 12th to 14th generation, Core Ultra). A tier capped on a
  processor that has more is that processor's vector units, not those of the
  processors that stop at that tier.
- One section per machine, each with the commit it measured:
  \`bench/run.sh --update\` replaces the section of the machine it runs on and
  keeps the others. Figures of different machines, or of different commits,
  are not comparable row by row.

Command: \`bench/run.sh --update\` (\`bench/run.sh --level TIER\` prints one
table; Google Benchmark options such as \`--benchmark_filter=4096\` pass
through).

$heading

Measured on $(date -u +%Y-%m-%d) at commit $commit, $runs; flags: $flags.
Tiers $notMeasured

$tables
MD
[ -z "$others" ] || printf '%s\n' "$others"
} > "$root/BENCHMARKS.md.new"
mv "$root/BENCHMARKS.md.new" "$root/BENCHMARKS.md"
echo "BENCHMARKS.md updated" >&2
