#!/bin/sh
# match-memory.sh BUILD STEPS [LIBRARY]: peak resident size (sum over the match process and
# its robot processes, sampled every 0.2 s) of a 5 v 5 match of LIBRARY (default: the test
# strategy that prints every step) with its replay recorded into a temporary folder.
build=${1:-build}
steps=${2:-10000}
library=${3:-$build/tests/jvm/libjvm_strategy_reporter.so}
out=$(mktemp -d)
"$build/bin/touchline-match" --steps "$steps" --home "$library" --robots 5 --away "$library" \
    --out "$out" >/dev/null &
launcher=$!
peak=0
while kill -0 "$launcher" 2>/dev/null; do
    total=0
    for pid in $launcher $(pgrep -P "$launcher"); do
        rss=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status" 2>/dev/null)
        total=$((total + ${rss:-0}))
    done
    [ "$total" -gt "$peak" ] && peak=$total
    sleep 0.2
done
wait "$launcher"
echo "$steps steps: peak resident size $((peak / 1024)) MB (all processes), replay $(du -m "$out/replay.jsonl" | cut -f1) MB"
rm -rf "$out"
