#!/bin/sh
# host-bench.sh BUILD [RUNS] [FILE]: the match host's figures, printed, and with FILE written
# between the "host-match" markers of FILE (docs/benchmarks.md):
#   - start-up: from the command to the first step sent to the robots, 1 v 1 and 5 v 5;
#   - steps per second of the sample against itself, 1 v 1, 3 v 3 and 5 v 5, no recording, and
#     5 v 5 with the replay recorded, timed from the first step to the last (the match reports
#     both times through TOUCHLINE_TIMING_FILE), with the ratio to the floor: the steps per
#     second the machine's cores would give if every robot's step cost only the floor's host
#     calls of FILE's real-JVM table (N a side, 5 events, commands queued);
#   - peak resident size of a 5 v 5 match whose robots print every step, 10 000 and 100 000
#     steps, without and with recording: the sum of the peaks (VmHWM) of the match's process
#     and its robot processes.
# Each figure is the median of RUNS runs (default 3), with [min, max].
set -u
build=${1:?usage: host-bench.sh BUILD [RUNS] [FILE]}
runs=${2:-3}
file=${3:-}
match="$build/bin/touchline-match"
sample="$build/src/libtouchline_sample.so"
printer="$build/tests/jvm/libjvm_strategy_reporter.so"
cores=$(nproc)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
timing="$work/timing"

. "$(dirname "$0")/stats.sh"

# play ROBOTS STEPS [OUT] [LIBRARY]: one match; prints "startup steps_per_second"
play() {
    rm -f "$timing"
    start=$(now)
    TOUCHLINE_TIMING_FILE="$timing" "$match" --steps "$2" --robots "$1" \
        --home "${4:-$sample}" --away "${4:-$sample}" ${3:+--out "$3"} >/dev/null 2>&1
    awk -v start="$start" -v steps="$2" '
        $1 == "first" { first = $2 } $1 == "last" { last = $2 }
        END { rate = last > first ? (steps - 1) / (last - first) : 0
              printf "%.3f %.0f\n", first - start, rate }
    ' "$timing"
}

# peak ROBOTS STEPS LIBRARY [OUT]: the summed peak resident size in MB of one match's processes
peak() {
    "$match" --steps "$2" --robots "$1" --home "$3" --away "$3" ${4:+--out "$4"} \
        >/dev/null 2>&1 &
    launcher=$!
    : >"$work/hwm"
    while kill -0 "$launcher" 2>/dev/null; do
        for pid in $launcher $(pgrep -P "$launcher"); do
            hwm=$(awk '/^VmHWM/ { print $2 }' "/proc/$pid/status" 2>/dev/null)
            [ -n "$hwm" ] && echo "$pid $hwm" >>"$work/hwm"
        done
        sleep 0.5
    done
    wait "$launcher"
    awk '{ if ($2 > p[$1]) p[$1] = $2 } END { for (i in p) t += p[i]; printf "%.0f\n", t / 1024 }' \
        "$work/hwm"
}

# The floor's nanoseconds per cycle at N a side, 5 events, commands, from FILE's table.
floor_ns() {
    [ -n "$file" ] && [ -f "$file" ] || return 0
    awk -v n="$1" -F'|' '/real-jvm-cycle: begin/ { on = 1 } /real-jvm-cycle: end/ { on = 0 }
        on && $2 + 0 == n && $3 + 0 == 5 && $4 ~ /yes/ { split($6, f, " "); print f[1]; exit }' \
        "$file"
}

before=$(cut -d' ' -f1-3 /proc/loadavg)
echo "host benchmark: $runs runs per figure, load average before: $before" >&2
: >"$work/results"
# Start-up and rates, the cases interleaved run by run so that all meet the same load.
i=0
while [ "$i" -lt "$runs" ]; do
    for n in 1 5; do
        set -- $(play "$n" 1)
        echo "startup $n $1" >>"$work/results"
    done
    for n in 1 3 5; do
        steps=$((n == 1 ? 60000 : 20000))
        set -- $(play "$n" "$steps")
        echo "rate $n $2" >>"$work/results"
    done
    set -- $(play 5 20000 "$work/replay")
    echo "recorded 5 $2" >>"$work/results"
    rm -rf "$work/replay"
    i=$((i + 1))
    echo "  round $i of $runs done" >&2
done
for steps in 10000 100000; do
    echo "memory $steps no $(peak 5 "$steps" "$printer")" >>"$work/results"
    echo "memory $steps yes $(peak 5 "$steps" "$printer" "$work/replay")" >>"$work/results"
    rm -rf "$work/replay"
done
load=$(cut -d' ' -f1-3 /proc/loadavg)

pick() { awk -v a="$1" -v b="$2" -v c="${3:-}" '$1 == a && $2 == b && (c == "" || $3 == c) { print $NF }' "$work/results"; }
{
    cpu=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)
    java=$(sed -n 's/^java="\(.*\)"$/\1/p' "$match")
    jdk=$("${java:-java}" -version 2>&1 | head -1)
    echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') on $cpu ($(uname -sr), $cores CPUs), $jdk,"
    echo "with \`bench/host-bench.sh $build $runs${file:+ $file}\`, load average $before before."
    echo "Each figure: the median of $runs runs [min, max]."
    echo
    echo "| Start-up, command to first step | seconds |"
    echo "|---|---|"
    for n in 1 5; do echo "| $n v $n | $(pick startup "$n" | summary %.2f) |"; done
    echo
    echo "| Match (the sample, both sides) | steps per second | floor: steps per second | host / floor |"
    echo "|---|---|---|---|"
    for n in 1 3 5; do
        rate=$(pick rate "$n" | summary %.0f)
        f=$(floor_ns "$n")
        if [ -n "$f" ]; then
            limit=$(awk -v c="$cores" -v f="$f" -v n="$n" 'BEGIN { printf "%.0f", c * 1e9 / (2 * n * f) }')
            ratio=$(pick rate "$n" | median | awk -v l="$limit" '{ printf "%.2f", $1 / l }')
        else
            limit=-
            ratio=-
        fi
        echo "| $n v $n, no recording | $rate | $limit | $ratio |"
    done
    rec=$(pick recorded 5 | median)
    plain=$(pick rate 5 | median)
    echo "| 5 v 5, replay recorded | $(pick recorded 5 | summary %.0f) | | |"
    echo
    echo "Recording costs $(awk -v a="$plain" -v b="$rec" 'BEGIN { printf "%.0f", (1 - b / a) * 100 }') % of the 5 v 5 rate (medians)."
    echo
    echo "| 5 v 5, robots printing every step | no recording | replay recorded |"
    echo "|---|---|---|"
    for steps in 10000 100000; do
        echo "| $steps steps: peak resident size, all processes | $(pick memory "$steps" no) MB | $(pick memory "$steps" yes) MB |"
    done
    echo
    echo "Load average after: $load."
} >"$work/table"
cat "$work/table"
write_table host-match "$work/table" "$file"
