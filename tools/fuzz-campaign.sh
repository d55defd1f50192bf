#!/usr/bin/env bash
# A fuzzing campaign off CI: each target runs for SECONDS (default 1800) from its committed
# corpus on one core at low priority, then what it found is merged back into the committed
# corpus (only inputs that add coverage are kept). Crashes land in the campaign folder.
#   tools/fuzz-campaign.sh [SECONDS]      # the README's figures: tools/fuzz-campaign.sh 1800
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-1800}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTO_FUZZ=ON \
      -DVELTO_TESTS=OFF -DVELTO_EXAMPLES=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target fuzz_api fuzz_data >/dev/null
out=${VELTO_CAMPAIGN_DIR:-$(mktemp -d /tmp/velto-campaign.XXXXXX)}
mkdir -p "$out"
for target in api data; do
  corpus=tests/fuzz/corpus
  [ "$target" = data ] && corpus=tests/fuzz/corpus_data
  mkdir -p "$out/$target"
  before=$(ls "$corpus" | wc -l)
  nice -n 10 build-fuzz/tests/fuzz/fuzz_$target -seed=1 -max_total_time="$seconds" \
      -close_fd_mask=1 -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$out/$target-" \
      "$out/$target" "$corpus" >"$out/$target.log" 2>&1 || echo "fuzz_$target FAILED: see $out/$target.log"
  build-fuzz/tests/fuzz/fuzz_$target -merge=1 -close_fd_mask=1 "$corpus" "$out/$target" \
      >"$out/$target-merge.log" 2>&1
  echo "fuzz_$target: $(grep -E '^stat::number_of_executed_units' "$out/$target.log")," \
       "corpus $before -> $(ls "$corpus" | wc -l) inputs"
  grep -E '^#[0-9]+.*DONE' "$out/$target.log" || true
done
echo "campaign logs in $out"
