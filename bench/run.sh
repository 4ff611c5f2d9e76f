#!/usr/bin/env bash
# Builds the decode benchmarks (Release, in build/bench) and prints one table:
# Vantrel's parse + decode + premultiply against ffmpeg's IFF decoder and a
# memset of the output, per picture.
#   bench/run.sh [--update] [Google Benchmark options]
# --update also rewrites BENCHMARKS.md with the table, this machine and the command.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
update=no
if [ "${1:-}" = "--update" ]; then
    update=yes
    shift
fi

build="$root/build/bench"
{
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF
    cmake --build "$build" --target vantrel_bench
} >&2
table=$("$build/bench/vantrel_bench" "$@")
echo "$table"

if [ "$update" = yes ]; then
    model=$(lscpu | sed -n 's/^Model name: *//p' | head -1)
    cores=$(nproc)
    cat > "$root/BENCHMARKS.md" <<MD
# Benchmarks

Time to turn one picture file in memory into premultiplied 32-bit pixels
(parse + decode + premultiply), against ffmpeg's IFF decoder on the same file
(libavformat's demuxer once, then the codec timed on its packet) and against a
memset of the output. Pictures are made in memory by \`bench/BenchPictures.cpp\`.
"ffmpeg / Vantrel" above 1 means Vantrel is faster.

Machine: $model, $cores cores, $(uname -sm). Command: \`bench/run.sh\`

$table
MD
    echo "BENCHMARKS.md updated" >&2
fi
