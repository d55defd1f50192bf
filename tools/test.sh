#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test: the normal build, the stress
# tests under ThreadSanitizer, a bounded run of both fuzzers, then the AddressSanitizer/
# UndefinedBehaviorSanitizer build. Device tests run against a JACK server
# with its dummy driver, which this script starts and stops itself.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
JOBS=$(nproc)

run_suite() { # build-dir, extra cmake args...
  local dir=$1; shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j"$JOBS"
  # The device tests must really run here: with VELTO_REQUIRE_DEVICE set they fail instead of
  # skipping when no audio server can be reached.
  VELTO_REQUIRE_DEVICE=1 tools/with-jackd.sh ctest --test-dir "$dir" --output-on-failure -j"$JOBS"
}

# ThreadSanitizer: only the concurrency stress tests, the flood and server death tests, the
# render threads' tests and equivalence test, and the regression tests of the races they
# found (no sanitizer report allowed: a report makes the test fail with exit code 66).
run_stress_tsan() {
  cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTO_SANITIZE=thread \
        -DVELTO_EXAMPLES=OFF >/dev/null
  cmake --build build-tsan -j"$JOBS" --target test_stress test_device_stress test_regressions \
      test_device_misuse test_device_flood test_device_server_death test_grouping \
      test_render_threads
  VELTO_REQUIRE_DEVICE=1 tools/with-jackd.sh ctest --test-dir build-tsan --output-on-failure \
      --no-tests=error \
      -R '^(Stress|DeviceStress|DeviceMisuse|DeviceFlood|Signals/ServerDeath|Regression|RegressionEngineTest|PeerLockTest)\.|^Grouping\.RenderThreads|^RenderThreads\.'
}

# The fuzzers (clang, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer) for a bounded
# time each from their committed corpora (tests/fuzz/corpus, tests/fuzz/corpus_data); new inputs
# go to a scratch folder. tools/fuzz-campaign.sh runs the long campaigns off CI.
run_fuzzer() { # target, corpus, seconds
  local target=$1 corpus=$2 seconds=$3 work log
  work=$(mktemp -d /tmp/velto-fuzz.XXXXXX)
  log="$work/fuzz.log"
  if build-fuzz/tests/fuzz/"$target" -seed=1 -max_total_time="$seconds" \
       -close_fd_mask=1 -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$work/" \
       "$work" "$corpus" >"$log" 2>&1; then
    grep -E '^(stat::number_of_executed_units|stat::new_units_added|stat::peak_rss_mb)' "$log"
    echo "$target: no failure in $seconds s"
    rm -rf "$work"
  else
    grep -v '^ALSA\|^#[0-9]' "$log" | tail -60
    echo "$target FAILED; the input is in $work"
    return 1
  fi
}

run_fuzzers() {
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTO_FUZZ=ON \
        -DVELTO_TESTS=OFF -DVELTO_EXAMPLES=OFF >/dev/null
  cmake --build build-fuzz -j"$JOBS" --target fuzz_api fuzz_data
  run_fuzzer fuzz_api tests/fuzz/corpus "${VELTO_FUZZ_SECONDS:-60}"
  run_fuzzer fuzz_data tests/fuzz/corpus_data "${VELTO_FUZZ_DATA_SECONDS:-30}"
}

run_suite build
run_stress_tsan
run_fuzzers
run_suite build-asan -DVELTO_SANITIZE=address -DVELTO_EXAMPLES=OFF
