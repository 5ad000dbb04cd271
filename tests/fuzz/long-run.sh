#!/bin/sh
# long-run.sh BUILD [FILE]: the long fuzz run of `make fuzz`. Runs BUILD's library_fuzz over the
# committed corpus and regressions and on for RUNS inputs in all (default 1000000, from the environment), with
# the checks of the short run; new inputs go to BUILD/tests/fuzz/long/found, a failing one to
# BUILD/tests/fuzz/long/artifacts. With FILE (docs/benchmarks.md), writes the inputs run, the
# time and the rate between FILE's "library-fuzz" markers. Exits non-zero if the run failed.
set -u
build=${1:?usage: long-run.sh BUILD [FILE]}
file=${2:-}
runs=${RUNS:-1000000}
here=$(cd "$(dirname "$0")" && pwd)
fuzzer="$build/tests/fuzz/library_fuzz"
work="$build/tests/fuzz/long"
mkdir -p "$work/found" "$work/artifacts"
log="$work/run.log"

echo "fuzzing the library for $runs inputs (log: $log)"
start=$(date +%s)
# -detect_leaks=0 as in tests/fuzz/ShortRun.cmake: LeakSanitizer checks at exit.
"$fuzzer" -runs="$runs" -timeout=10 -max_len=512 -detect_leaks=0 -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/" \
    "$work/found" "$here/corpus" "$here/regressions" >"$log" 2>&1
status=$?
seconds=$(($(date +%s) - start))
tail -n 8 "$log"
if [ "$status" -ne 0 ]; then
    echo "library_fuzz failed (exit $status); the input is in $work/artifacts" >&2
    exit "$status"
fi

stat() { awk -v k="stat::$1:" '$1 == k { print $2 }' "$log"; }
executed=$(stat number_of_executed_units)
rate=$(stat average_exec_per_sec)
corpus=$(ls "$here/corpus" "$here/regressions" | grep -vc -e '^$' -e ':$')
cpu=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)
{
    echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') on $cpu ($(uname -sr), $(nproc) CPUs, load"
    echo "average $(cut -d' ' -f1-3 /proc/loadavg) at the end), with \`make fuzz\`:"
    echo
    echo "| inputs run | time | inputs per second | corpus replayed first | new inputs kept |"
    echo "|---|---|---|---|---|"
    echo "| $executed | $((seconds / 60)) min $((seconds % 60)) s | $rate | $corpus | $(stat new_units_added) |"
} >"$work/table"
cat "$work/table"
if [ -n "$file" ]; then
    awk -v table="$work/table" '
        /<!-- library-fuzz: begin -->/ { print; while ((getline line < table) > 0) print line; skip = 1; next }
        /<!-- library-fuzz: end -->/ { skip = 0 }
        !skip { print }' "$file" >"$work/doc" && cat "$work/doc" >"$file"
    echo "written to $file" >&2
fi
