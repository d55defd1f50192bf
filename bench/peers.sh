#!/usr/bin/env bash
# Runs W1 (512 sine oscillators) and W2 (256 band-limited saws, each through a biquad
# low-pass), each voice summed into one output at 44100 frames per second, in Velto (grouped
# and ungrouped) and in the peers used as yardsticks: STK, Csound (ksmps 8 and 64) and scsynth
# in non-real-time mode (blocks of 8 and 64; the SynthDefs and the score are written by
# bench/peers/sc_score.py), all in the same run, and prints the side-by-side table in ns per
# voice per frame (CPU time; lower is better) with each peer's ratio to Velto (above 1: Velto
# is faster). The "2 threads" column is Velto with two render threads, in elapsed time, with
# its ratio to one thread's elapsed time in the same run (below 1: two threads are faster).
#
# Installs the peers from Debian's packages (csound, libstk-dev, supercollider-server) when
# they are missing.
# Usage: bash bench/peers.sh [build-dir]      (default build dir: build-bench)
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${1:-$ROOT/build-bench}"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

need=()
command -v csound > /dev/null || need+=(csound)
[ -f /usr/include/stk/BlitSaw.h ] || need+=(libstk-dev)
command -v scsynth > /dev/null || need+=(supercollider-server)
if [ ${#need[@]} -gt 0 ]; then
    echo "installing ${need[*]} ..." >&2
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq > /dev/null
    apt-get install -y -qq --no-install-recommends "${need[@]}" > /dev/null
fi

# ---- Velto -------------------------------------------------------------------------------
if [ ! -x "$BUILD/bench/velto_bench" ]; then
    cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTO_BENCH=ON \
        -DVELTO_TESTS=OFF -DVELTO_EXAMPLES=OFF > /dev/null
fi
cmake --build "$BUILD" --target velto_bench -j2 > /dev/null
"$BUILD/bench/velto_bench" --machine --only W1,W2,limit,grouping,threads --no-four | tee "$WORK/velto.txt" >&2

# ---- STK -----------------------------------------------------------------------------------
g++ -O2 -std=c++17 -o "$WORK/stk_bench" "$ROOT/bench/peers/stk_bench.cpp" -lstk
"$WORK/stk_bench" 88200 | tee "$WORK/stk.txt" >&2

# ---- Csound ------------------------------------------------------------------------------
# CPU seconds of a csound run that renders $2 seconds of workload $1 with ksmps $3 and no
# sound output (csound runs its instruments on one thread).
csound_cpu() {
    local workload=$1 seconds=$2 ksmps=$3 voices instr csd="$WORK/w.csd"
    if [ "$workload" = W1 ]; then voices=512; instr=1; else voices=256; instr=2; fi
    {
        printf '%s\n' "<CsoundSynthesizer>" "<CsOptions>" "-n -d -m0" "</CsOptions>" \
            "<CsInstruments>"
        echo "sr = 44100"
        echo "ksmps = $ksmps"
        echo "nchnls = 1"
        echo "0dbfs = 1"
        echo "instr 1"
        echo "  a1 oscili 1/$voices, p4"
        echo "  out a1"
        echo "endin"
        echo "instr 2"
        echo "  a1 vco2 1/$voices, p4"
        echo "  a2 butlp a1, p5"
        echo "  out a2"
        echo "endin"
        printf '%s\n' "</CsInstruments>" "<CsScore>"
        awk -v n="$voices" -v d="$seconds" -v w="$instr" 'BEGIN {
            for (i = 0; i < n; i++)
                if (w == 1) printf "i1 0 %s %.4f\n", d, 110 + 3.7 * i
                else printf "i2 0 %s %.4f %.4f\n", d, 55 + 7.3 * i, 1500 + 11 * i }'
        printf '%s\n' "</CsScore>" "</CsoundSynthesizer>"
    } > "$csd"
    cpu_seconds csound "$csd"
}

# User plus system CPU seconds of a command.
cpu_seconds() {
    local TIMEFORMAT='%3U %3S'
    { time "$@" > /dev/null 2>&1; } 2>&1 | awk '{ print $1 + $2 }'
}

# ns per voice per frame from the difference of a 2 s and a 12 s render (start-up cancels).
csound_ns() {
    local workload=$1 ksmps=$2 voices a b
    if [ "$workload" = W1 ]; then voices=512; else voices=256; fi
    a=$(csound_cpu "$workload" 2 "$ksmps")
    b=$(csound_cpu "$workload" 12 "$ksmps")
    awk -v a="$a" -v b="$b" -v n="$voices" \
        'BEGIN { printf "%.4f\n", (b - a) * 1e9 / (10 * 44100 * n) }'
}

for w in W1 W2; do
    for k in 8 64; do
        n=512
        [ "$w" = W2 ] && n=256
        echo "RESULT csound${k}_$w $n $(csound_ns "$w" "$k")"
    done
done | tee "$WORK/csound.txt" >&2

# ---- scsynth (non-real-time) --------------------------------------------------------------
# CPU seconds of a scsynth NRT render of $2 seconds of workload $1 with blocks of $3 frames.
scsynth_cpu() {
    local workload=$1 seconds=$2 block=$3
    python3 "$ROOT/bench/peers/sc_score.py" "$workload" "$seconds" "$WORK/score.osc"
    cpu_seconds scsynth -N "$WORK/score.osc" _ "$WORK/sc.wav" 44100 WAV int16 -o 1 -z "$block" \
        -m 65536
}

scsynth_ns() {
    local workload=$1 block=$2 voices a b
    if [ "$workload" = W1 ]; then voices=512; else voices=256; fi
    a=$(scsynth_cpu "$workload" 2 "$block")
    b=$(scsynth_cpu "$workload" 12 "$block")
    awk -v a="$a" -v b="$b" -v n="$voices" \
        'BEGIN { printf "%.4f\n", (b - a) * 1e9 / (10 * 44100 * n) }'
}

for w in W1 W2; do
    for k in 8 64; do
        n=512
        [ "$w" = W2 ] && n=256
        echo "RESULT scsynth${k}_$w $n $(scsynth_ns "$w" "$k")"
    done
done | tee "$WORK/scsynth.txt" >&2

# ---- Table ---------------------------------------------------------------------------------
cat "$WORK/velto.txt" "$WORK/stk.txt" "$WORK/csound.txt" "$WORK/scsynth.txt" | awk '
    $1 == "RESULT" { v[$2 "_" $3] = $4 }
    function cell(x, base) { return x == "" ? "     -" : sprintf("%6.2f (%4.2fx)", x, x / base) }
    END {
        printf "%-30s %8s %9s %15s %15s %15s %15s %15s %15s %15s\n", "ns/voice/frame (x: peer/Velto)",
               "Velto", "ungrouped", "2 threads", "STK 4.6", "Csound k8", "Csound k64", "scsynth b8",
               "scsynth b64", "limit loop"
        w1 = v["W1_grouped_512"]; w2 = v["W2_grouped_256"]
        printf "%-30s %8.2f %9.2f %15s %15s %15s %15s %15s %15s %15s\n", "W1: 512 sine oscillators",
               w1, v["W1_ungrouped_512"], cell(v["W1_T2_512"], v["W1_T1_512"]),
               cell(v["stk_W1_512"], w1),
               cell(v["csound8_W1_512"], w1), cell(v["csound64_W1_512"], w1),
               cell(v["scsynth8_W1_512"], w1), cell(v["scsynth64_W1_512"], w1),
               cell(v["limit_512"], w1)
        printf "%-30s %8.2f %9.2f %15s %15s %15s %15s %15s %15s %15s\n", "W2: 256 BL saws -> low-pass",
               w2, v["W2_ungrouped_256"], cell(v["W2_T2_256"], v["W2_T1_256"]),
               cell(v["stk_W2_256"], w2),
               cell(v["csound8_W2_256"], w2), cell(v["csound64_W2_256"], w2),
               cell(v["scsynth8_W2_256"], w2), cell(v["scsynth64_W2_256"], w2), "     -"
    }'
echo
echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(nproc) cores;" \
    "load average $(cut -d' ' -f1-3 /proc/loadavg); $(date -u '+%Y-%m-%d %H:%M UTC')"
