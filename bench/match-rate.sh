#!/bin/sh
# match-rate.sh BUILD [ROBOTS] [STEPS] [RUNS] [OUT]: steps per second of touchline-match playing
# the sample against itself, ROBOTS a side, no recording (with OUT: the replay recorded into the
# folder OUT). Start-up is taken out by timing a 1-step match the same way; prints each run's
# figures and the load average around them.
build=${1:-build}
robots=${2:-5}
steps=${3:-20000}
runs=${4:-3}
out=${5:-}
sample="$build/src/libtouchline_sample.so"
match="$build/bin/touchline-match"
now() { date +%s.%N; }
play() {
    "$match" --steps "$1" --home "$sample" --robots "$robots" --away "$sample" \
        ${out:+--out "$out"} >/dev/null
}
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
i=0
while [ "$i" -lt "$runs" ]; do
    a=$(now); play 1; b=$(now); play "$steps"; c=$(now)
    awk -v a="$a" -v b="$b" -v c="$c" -v n="$steps" 'BEGIN {
        start = b - a; run = c - b;
        printf "start-up %.2f s, %d steps in %.2f s: %.0f steps/s\n", start, n, run, n / (run - start) }'
    i=$((i + 1))
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
