#!/bin/sh
# floor-bench.sh BUILD [RUNS] [FILE] [PHYSICS]: the match host against its floor, printed, and
# with FILE written between the "host-floor" markers of FILE (docs/benchmarks.md). The floor is
# BUILD/bench/handoff_floor (bench/HandoffFloor.c): the host's hand-off between one match and
# 2 N robot processes with only the least work a step needs, both figures taken on this machine
# in this run: each robot's step costs the real-JVM floor's cycle (FILE's real-JVM table, N a
# side; bench_jvm writes it) and the match's step the physics' (PHYSICS: physics_bench's output;
# run here when not given). The cycle is the table's least, with no events and no commands: a
# robot reading its world and ordering nothing, less than any strategy does (the sample reads
# the ball and orders a move). FLOOR_CYCLE="EVENTS COMMANDS" takes another row ("5 yes", say).
#
# 1 v 1 (60 000 steps), 3 v 3 and 5 v 5 (20 000 steps; FLOOR_BENCH_STEPS sets every size's),
# RUNS rounds (default 5), each round playing the host (touchline-match, the sample both sides,
# sandbox on, no recording) and the floor in turn at every size. Per size and program:
#   - whole: steps / the wall time from the command to its end, start-up included;
#   - steady: the steps of the match's second half / their wall time (from the match's timing
#     file, TOUCHLINE_TIMING_FILE, and the floor's own "half" and "last" lines).
# Rates are the median of the rounds [min, max]; host / floor is the median of the rounds'
# ratios, each of a host run and the floor run beside it.
set -u
build=${1:?usage: floor-bench.sh BUILD [RUNS] [FILE] [PHYSICS]}
runs=${2:-5}
file=${3:-}
physics=${4:-}
match="$build/bin/touchline-match"
floor="$build/bench/handoff_floor"
sample="$build/src/libtouchline_sample.so"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
timing="$work/timing"


# rates START END STEPS TIMES: "whole steady" steps per second, TIMES holding half and last
rates() {
    awk -v start="$1" -v end="$2" -v steps="$3" '
        $1 == "half" { half = $2 } $1 == "last" { last = $2 }
        END { if (!half || last <= half) exit 1
              printf "%.0f %.0f\n", steps / (end - start), (steps - int(steps / 2)) / (last - half) }
    ' "$4"
}

. "$(dirname "$0")/stats.sh"
# Its own median: two decimals, "-" for none (ratios and rates alike).
median() { sort -g | awk '{ v[NR] = $1 } END { if (NR) printf "%.2f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; else print "-" }'; }

# play_host N STEPS: one match; prints "whole steady"
play_host() {
    rm -f "$timing"
    start=$(now)
    TOUCHLINE_TIMING_FILE="$timing" "$match" --steps "$2" --robots "$1" --home "$sample" \
        --away "$sample" >/dev/null 2>"$work/err" || {
        echo "floor-bench.sh: the $1 v $1 match failed: $(tail -n 1 "$work/err")" >&2
        return 1
    }
    end=$(now)
    rates "$start" "$end" "$2" "$timing" || {
        echo "floor-bench.sh: the $1 v $1 match wrote no half and last times" >&2
        return 1
    }
}

# play_floor N STEPS: the floor of that match; prints "whole steady"
play_floor() {
    start=$(now)
    "$floor" --robots $((2 * $1)) --steps "$2" --robot-ns "$(robot_ns "$1")" \
        --match-ns "$(match_ns "$1")" >"$work/floor" || {
        echo "floor-bench.sh: the $1 v $1 floor failed" >&2
        return 1
    }
    end=$(now)
    tail -n 1 "$work/floor" >>"$work/floor-lines"
    rates "$start" "$end" "$2" "$work/floor"
}

# The real-JVM floor's nanoseconds per cycle at N a side, from FILE's table.
cycle=${FLOOR_CYCLE:-0 no}
events=${cycle% *}
commands=${cycle#* }
robot_ns() {
    awk -v n="$1" -v e="$events" -v c="$commands" -F'|' '
        /real-jvm-cycle: begin/ { on = 1 } /real-jvm-cycle: end/ { on = 0 }
        on && $2 + 0 == n && $3 + 0 == e && $4 ~ c { split($6, f, " "); print f[1]; exit }' "$file"
}

# The physics' nanoseconds per step at N a side (the median), from physics_bench's table.
match_ns() {
    awk -v n="$1" -F'|' '$2 + 0 == n && $3 ~ /[0-9]/ { split($3, f, " "); printf "%.0f\n", f[1] * 1000; exit }' \
        "$physics"
}

if [ -z "$file" ] || [ -z "$(robot_ns 1)" ]; then
    echo "floor-bench.sh: ${file:-no file} has no real-JVM table: run $build/bench/bench_jvm --write=FILE first" >&2
    exit 2
fi
if [ -z "$physics" ]; then
    physics="$work/physics"
    "$build/bench/physics_bench" >"$physics" || exit 1
fi
for n in 1 3 5; do
    if [ -z "$(robot_ns "$n")" ] || [ -z "$(match_ns "$n")" ]; then
        echo "floor-bench.sh: no floor figures for $n a side" >&2
        exit 2
    fi
done

before=$(cut -d' ' -f1-3 /proc/loadavg)
echo "host / floor: $runs rounds, load average before: $before" >&2
: >"$work/results"
: >"$work/floor-lines"
i=0
while [ "$i" -lt "$runs" ]; do
    for n in 1 3 5; do
        steps=${FLOOR_BENCH_STEPS:-$((n == 1 ? 60000 : 20000))}
        h=$(play_host "$n" "$steps") && f=$(play_floor "$n" "$steps") &&
            echo "$n $h $f" >>"$work/results"
    done
    i=$((i + 1))
    echo "  round $i of $runs done" >&2
done
load=$(cut -d' ' -f1-3 /proc/loadavg)

# column N K: the K-th figure of size N's rounds (host whole, host steady, floor whole, floor
# steady); ratio N K L: the rounds' K-th over their L-th
column() { awk -v n="$1" -v k="$2" '$1 == n { print $(k + 1) }' "$work/results"; }
ratio() { awk -v n="$1" -v k="$2" -v l="$3" '$1 == n && $(l + 1) > 0 { print $(k + 1) / $(l + 1) }' "$work/results"; }
{
    cpu=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)
    echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') on $cpu ($(uname -sr), $(nproc) CPUs),"
    echo "with \`bench/floor-bench.sh $build $runs${file:+ $file}\`, load average $before before, $load after."
    echo "Steps per second: the median of $runs rounds [min, max]; host / floor: the median of the rounds' ratios."
    echo "Robot's work: the real-JVM floor's cycle with $events events, commands: $commands; match's work: the physics."
    echo
    echo "| the sample, both sides | robot's work, ns | match's work, ns | host, whole | floor, whole | host / floor, whole | host, steady | floor, steady | host / floor, steady |"
    echo "|---|---|---|---|---|---|---|---|---|"
    for n in 1 3 5; do
        steps=${FLOOR_BENCH_STEPS:-$((n == 1 ? 60000 : 20000))}
        echo "| $n v $n: $((2 * n + 1)) processes, $steps steps | $(robot_ns "$n") | $(match_ns "$n") |" \
            "$(column "$n" 1 | summary %.0f) | $(column "$n" 3 | summary %.0f) | **$(ratio "$n" 1 3 | median)** |" \
            "$(column "$n" 2 | summary %.0f) | $(column "$n" 4 | summary %.0f) | **$(ratio "$n" 2 4 | median)** |"
    done
} >"$work/table"
cat "$work/table"
echo "The floor's own lines:" >&2
cat "$work/floor-lines" >&2
write_table host-floor "$work/table" "$file"
