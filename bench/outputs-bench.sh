#!/bin/sh
# outputs-bench.sh BUILD [RUNS] [FILE]: what writing a match's files costs, printed, and with
# FILE written between the "match-outputs" markers of FILE (docs/benchmarks.md):
#   - recording: a 5 v 5 of 6 000 steps whose robots print a line and draw two views every step
#     (bench/PrintDraw.c), its whole wall time from the command to its exit, without --out and
#     with --out (replay, summaries, page and pictures);
#   - the progress bar: a 1 v 1 of 60 000 steps of the sample with and without the bar (drawn
#     into a file, as the launcher draws it on a terminal), steps per second first step to last;
#   - a planned tournament: three entrants, 4 matches a pair, 3 000 steps, 2 robots a side, run
#     directly (--jobs 2) and through --plan, GNU parallel -j 2 and --collect, wall time each.
# Each figure is the median of RUNS runs (default 3), with [min, max]; the cases alternate run
# by run so that all meet the same load.
set -u
build=${1:?usage: outputs-bench.sh BUILD [RUNS] [FILE]}
runs=${2:-3}
file=${3:-}
match="$build/bin/touchline-match"
tournament="$build/bin/touchline-tournament"
drawer="$build/bench/libbench_print_draw.so"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

. "$(dirname "$0")/stats.sh"
since() { awk -v s="$1" -v e="$(now)" 'BEGIN { printf "%.3f\n", e - s }'; }

# recorded [OUT]: one 6 000-step 5 v 5 of the drawing robots; prints its wall time
recorded() {
    start=$(now)
    "$match" --steps 6000 --robots 5 --home "$drawer" --away "$drawer" ${1:+--out "$1"} \
        >/dev/null 2>&1
    since "$start"
}

# progress [BAR]: one 60 000-step 1 v 1 of the sample; prints its steps per second
progress() {
    rm -f "$work/timing"
    TOUCHLINE_TIMING_FILE="$work/timing" TOUCHLINE_JAVA_OPTIONS="${1:+-Dtouchline.progress=true}" \
        "$match" --steps 60000 --home "$build/src/libtouchline_sample.so" \
        --away "$build/src/libtouchline_sample.so" >/dev/null 2>"$work/bar"
    awk '$1 == "first" { first = $2 } $1 == "last" { last = $2 }
        END { printf "%.0f\n", (last > first ? 59999 / (last - first) : 0) }' "$work/timing"
}

entrants="$build/src/libtouchline_sample.so $build/examples/libstriker.so $build/examples/libchaser.so"
# shellcheck disable=SC2086
direct() {
    rm -rf "$work/direct"
    start=$(now)
    "$tournament" $entrants --matches 4 --steps 3000 --robots 2 --jobs 2 --out "$work/direct" \
        >/dev/null 2>&1
    since "$start"
}
# shellcheck disable=SC2086
planned() {
    rm -rf "$work/plan"
    start=$(now)
    "$tournament" $entrants --matches 4 --steps 3000 --robots 2 --plan --out "$work/plan" \
        2>/dev/null | parallel -j 2 >/dev/null 2>&1
    "$tournament" --collect "$work/plan" >/dev/null 2>&1
    since "$start"
}

before=$(cut -d' ' -f1-3 /proc/loadavg)
echo "outputs benchmark: $runs runs per figure, load average before: $before" >&2
: >"$work/results"
have_parallel=$(command -v parallel >/dev/null && echo yes)
i=0
while [ "$i" -lt "$runs" ]; do
    echo "plain $(recorded)" >>"$work/results"
    echo "recorded $(recorded "$work/out")" >>"$work/results"
    rm -rf "$work/out"
    echo "nobar $(progress)" >>"$work/results"
    echo "bar $(progress bar)" >>"$work/results"
    echo "direct $(direct)" >>"$work/results"
    [ -n "$have_parallel" ] && echo "planned $(planned)" >>"$work/results"
    i=$((i + 1))
    echo "  round $i of $runs done" >&2
done
load=$(cut -d' ' -f1-3 /proc/loadavg)

pick() { awk -v a="$1" '$1 == a { print $2 }' "$work/results"; }
ratio() { awk -v a="$(pick "$1" | median)" -v b="$(pick "$2" | median)" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }
{
    cpu=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)
    echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') on $cpu ($(uname -sr), $(nproc) CPUs),"
    echo "with \`bench/outputs-bench.sh $build $runs${file:+ $file}\`, load average $before before."
    echo "Each figure: the median of $runs runs [min, max], wall time from the command to its exit."
    echo
    echo "| 5 v 5, 6 000 steps, robots printing and drawing every step | seconds | recorded / not |"
    echo "|---|---|---|"
    echo "| no --out | $(pick plain | summary %.2f) | |"
    echo "| --out: replay, summaries, page, pictures | $(pick recorded | summary %.2f) | $(ratio recorded plain) |"
    echo
    echo "| 1 v 1, 60 000 steps, the sample | steps per second | the bar's cost |"
    echo "|---|---|---|"
    echo "| no progress bar | $(pick nobar | summary %.0f) | |"
    echo "| progress bar | $(pick bar | summary %.0f) | $(awk -v a="$(pick nobar | median)" -v b="$(pick bar | median)" 'BEGIN { printf "%.1f %%", (1 - b / a) * 100 }') |"
    echo
    echo "| Tournament: 3 entrants, 4 matches a pair, 3 000 steps, 2 v 2 | seconds | planned / direct |"
    echo "|---|---|---|"
    echo "| direct, --jobs 2 | $(pick direct | summary %.2f) | |"
    if [ -n "$have_parallel" ]; then
        echo "| --plan, GNU parallel -j 2, --collect | $(pick planned | summary %.2f) | $(ratio planned direct) |"
    else
        echo "| --plan, GNU parallel -j 2, --collect | (GNU parallel not installed) | |"
    fi
    echo
    echo "Load average after: $load."
} >"$work/table"
cat "$work/table"
write_table match-outputs "$work/table" "$file"
