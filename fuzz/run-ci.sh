#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer on) in build/fuzz and runs each for a bounded
# time, seeded from the committed regression corpus, the generated seed
# pictures and ../shared/corpus when present. Any finding fails the run.
#
#   FUZZ_SECONDS  seconds per target (default 60)
#   FUZZ_BUILD    build directory (default build/fuzz)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${FUZZ_SECONDS:-60}
build=${FUZZ_BUILD:-build/fuzz}
targets=(picture layout)

CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVANTREL_FUZZ=ON -DVANTREL_SANITIZE=ON -DVANTREL_TESTS=OFF >/dev/null
cmake --build "$build" --target vantrel_fuzz_seeds "${targets[@]/#/vantrel_fuzz_}"

seeds="$build/fuzz-seeds"
rm -rf "$seeds"
"$build/fuzz/vantrel_fuzz_seeds" "$seeds"
inputs=(fuzz/regression "$seeds")
[ -d ../shared/corpus ] && inputs+=(../shared/corpus)

status=0
for target in "${targets[@]}"; do
    corpus="$build/fuzz-corpus/$target"
    artifacts="$build/fuzz-artifacts/$target/"
    log="$build/fuzz-$target.log"
    mkdir -p "$corpus" "$artifacts"
    echo "fuzzing $target for ${seconds}s (log: $log)"
    if ! "$build/fuzz/vantrel_fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -dict=fuzz/iff.dict -print_final_stats=1 -artifact_prefix="$artifacts" \
        "$corpus" "${inputs[@]}" >"$log" 2>&1; then
        echo "FINDING in $target: see $log and $artifacts"
        tail -n 40 "$log"
        status=1
    fi
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "$target: ${execs:-?} executions, corpus of $(find "$corpus" -type f | wc -l) inputs"
done
exit $status
