#!/usr/bin/env bash
# Makes the pictures of the documentation from the engine's own output:
#   docs/images/oscillators.png    spectrogram (sox) of the plain and band-limited sawtooth and
#                                  square oscillators, each swept from 100 Hz to 10 kHz
#   docs/images/filtersweep.png    spectrogram of the filtersweep example
#   docs/images/biquads.png        magnitude responses of the seven biquad designs, measured
#                                  from their impulse responses through the engine (gnuplot)
#   docs/images/envelope.png       an EnvelopeLinear region at Rate 1 and Rate 2 (gnuplot)
# Usage: bash docs/make-pictures.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
for tool in sox gnuplot cmake; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: run tools/setup.sh" >&2; exit 1; }
done
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target pictures filtersweep
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
OUT=docs/images
mkdir -p "$OUT"

"$BUILD/examples/pictures" oscillators "$WORK/oscillators.wav"
sox "$WORK/oscillators.wav" -n spectrogram -x 1200 -y 400 -z 100 \
    -t "SawtoothOscillator | SawtoothOscillatorBL | SquareOscillator | SquareOscillatorBL, each 100 Hz -> 10 kHz" \
    -c "Velto, rendered offline at 44100 Hz" -o "$OUT/oscillators.png"

"$BUILD/examples/filtersweep" --wav "$WORK/filtersweep.wav" >/dev/null 2>&1
sox "$WORK/filtersweep.wav" -n remix 1 spectrogram -x 1200 -y 400 -z 100 \
    -t "filtersweep: SawtoothOscillator, then SawtoothOscillatorBL, through FilterLowPass (Q 8) swept 150 Hz - 6 kHz" \
    -c "Velto, rendered offline at 44100 Hz" -o "$OUT/filtersweep.png"

"$BUILD/examples/pictures" biquads "$WORK/biquads.dat"
gnuplot <<GNUPLOT
set terminal pngcairo size 1100,720 font "sans,10"
set output "$OUT/biquads.png"
set multiplot layout 2,1 title "The seven biquad designs at 1 kHz, measured through the engine (impulse response, 44100 Hz)"
set logscale x
set xrange [20:20000]
set grid xtics mxtics ytics
set xlabel "frequency (Hz)"
set ylabel "gain (dB)"
set key outside right
set title "Q 2"
set yrange [-60:12]
plot "$WORK/biquads.dat" using 1:2 with lines lw 2 title "FilterLowPass", \
     "" using 1:3 with lines lw 2 title "FilterHighPass", \
     "" using 1:4 with lines lw 2 title "FilterBandPass", \
     "" using 1:5 with lines lw 2 title "FilterBandStop"
set title "Gain 4 (+12 dB); PeakingEQ Q 2, shelves Slope 1"
set yrange [-2:14]
plot "$WORK/biquads.dat" using 1:6 with lines lw 2 title "FilterPeakingEQ", \
     "" using 1:7 with lines lw 2 title "FilterLowShelf", \
     "" using 1:8 with lines lw 2 title "FilterHighShelf"
unset multiplot
GNUPLOT

"$BUILD/examples/pictures" envelope "$WORK/envelope.dat"
gnuplot <<GNUPLOT
set terminal pngcairo size 1000,420 font "sans,10"
set output "$OUT/envelope.png"
set title "EnvelopeLinear: frames (0.05 s, 1.0) (0.15 s, 0.55) (0.3 s, 0.5) (0.1 s, 0.8) (0.35 s, 0.0), queued at 0.05 s"
set xlabel "time (s)"
set ylabel "Output"
set grid
set key top right
set yrange [-0.05:1.1]
plot "$WORK/envelope.dat" using 1:2 with lines lw 2 title "Rate 1", \
     "" using 1:3 with lines lw 2 dt 2 title "Rate 2 (twice as fast)"
GNUPLOT

ls -l "$OUT"
