#!/usr/bin/env bash
# Runs a command while a JACK server with its dummy driver (44100 frames per second, or
# VELTO_JACK_RATE; 64-frame periods, 2 in / 2 out) is up, and stops the server by its process id afterwards,
# whatever the command's result.
set -uo pipefail
export JACK_DEFAULT_SERVER=velto_$$
export JACK_NO_START_SERVER=1
export JACK_NO_AUDIO_RESERVATION=1
LOG=$(mktemp /tmp/velto-jackd.XXXXXX.log)
jackd -n "$JACK_DEFAULT_SERVER" -R -d dummy -r "${VELTO_JACK_RATE:-44100}" -p 64 -C 2 -P 2 </dev/null >"$LOG" 2>&1 &
JACKD_PID=$!
stop_server() {
  kill -TERM "$JACKD_PID" 2>/dev/null || return 0
  for _ in $(seq 1 80); do kill -0 "$JACKD_PID" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$JACKD_PID" 2>/dev/null || true
  wait "$JACKD_PID" 2>/dev/null || true
}
trap stop_server EXIT
ready=0
for _ in $(seq 1 100); do
  kill -0 "$JACKD_PID" 2>/dev/null || { echo "jackd died at startup:"; cat "$LOG"; break; }
  if jack_lsp >/dev/null 2>&1; then ready=1; break; fi
  sleep 0.1
done
[ "$ready" = 1 ] || echo "warning: no JACK server; device tests will fail"
"$@"
