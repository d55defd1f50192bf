#!/usr/bin/env bash
# Line coverage that the committed fuzz corpora reach: builds both fuzz targets with llvm-cov
# instrumentation (in build-fuzzcov), runs each once over its corpus and reports the lines of
# engine/, synth/, data/ and units/ that ran.
#   tools/fuzz-coverage.sh            # summary per folder and in all
#   tools/fuzz-coverage.sh --files    # also every file
set -euo pipefail
cd "$(dirname "$0")/.."
CC=clang CXX=clang++ cmake -S . -B build-fuzzcov -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTO_FUZZ=ON \
      -DVELTO_FUZZ_COVERAGE=ON -DVELTO_TESTS=OFF -DVELTO_EXAMPLES=OFF -DVELTO_JNI=OFF >/dev/null
cmake --build build-fuzzcov -j"$(nproc)" --target fuzz_api fuzz_data >/dev/null
work=$(mktemp -d /tmp/velto-fuzzcov.XXXXXX)
LLVM_PROFILE_FILE="$work/api.profraw" build-fuzzcov/tests/fuzz/fuzz_api -runs=0 -close_fd_mask=1 \
    tests/fuzz/corpus >"$work/api.log" 2>&1
LLVM_PROFILE_FILE="$work/data.profraw" build-fuzzcov/tests/fuzz/fuzz_data -runs=0 -close_fd_mask=1 \
    tests/fuzz/corpus_data >"$work/data.log" 2>&1
llvm-profdata merge -o "$work/all.profdata" "$work/api.profraw" "$work/data.profraw"
objects=(build-fuzzcov/tests/fuzz/fuzz_api -object build-fuzzcov/tests/fuzz/fuzz_data)
sources=()
for dir in engine synth data units; do sources+=("$PWD/$dir"); done
report=$(llvm-cov report -instr-profile="$work/all.profdata" "${objects[@]}" "${sources[@]}")
[ "${1:-}" = --files ] && echo "$report"
# Sum the line columns (Lines, Missed Lines) per folder.
echo "$report" | awk -v root="$PWD/" '
  $1 ~ /\.(cpp|h)$/ {
    path = $1; sub(root, "", path); split(path, part, "/"); dir = part[1]
    lines[dir] += $8; missed[dir] += $9; L += $8; M += $9
  }
  END {
    for (d in lines) printf "%-7s %6d lines, %5d missed, %5.1f %% covered\n", d, lines[d], missed[d], 100 * (lines[d] - missed[d]) / lines[d]
    printf "%-7s %6d lines, %5d missed, %5.1f %% covered\n", "all", L, M, 100 * (L - M) / L
  }'
rm -rf "$work"
