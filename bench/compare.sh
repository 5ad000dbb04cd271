#!/bin/sh
# compare.sh BUILD_A BUILD_B [ROBOTS] [STEPS] [PAIRS] [-- MATCH OPTIONS...]: two builds' match
# host played alternately, run after run, so that both meet the same load: the sample against
# itself, ROBOTS a side (default 5), STEPS steps (default 20000), PAIRS runs of each (default
# 8). Prints each run's start-up (from the command to the first step sent to the robots),
# steps per second (first step to last, from the match's timing file) and, where the build
# notes it, the second half's steps per second (warm JIT), then the medians and the ratios
# B / A. Options after "--" go to both builds' touchline-match, and those in the
# variables A_OPTIONS and B_OPTIONS to one each (the same build twice, with and without an
# option, say).
set -u
a=${1:?usage: compare.sh BUILD_A BUILD_B [ROBOTS] [STEPS] [PAIRS] [-- OPTIONS...]}
b=${2:?usage: compare.sh BUILD_A BUILD_B [ROBOTS] [STEPS] [PAIRS] [-- OPTIONS...]}
shift 2
robots=5
steps=20000
pairs=8
[ $# -gt 0 ] && [ "$1" != "--" ] && { robots=$1; shift; }
[ $# -gt 0 ] && [ "$1" != "--" ] && { steps=$1; shift; }
[ $# -gt 0 ] && [ "$1" != "--" ] && { pairs=$1; shift; }
[ $# -gt 0 ] && [ "$1" = "--" ] && shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

now() { date +%s.%N; }

# run BUILD LABEL [OPTIONS...]: one match; appends "LABEL startup rate" to the results
run() {
    build=$1
    label=$2
    shift 2
    rm -f "$work/timing"
    start=$(now)
    TOUCHLINE_TIMING_FILE="$work/timing" "$build/bin/touchline-match" --steps "$steps" \
        --robots "$robots" --home "$build/src/libtouchline_sample.so" \
        --away "$build/src/libtouchline_sample.so" "$@" >/dev/null 2>"$work/err" || {
        echo "compare.sh: $build failed: $(tail -n 1 "$work/err")" >&2
        return
    }
    awk -v label="$label" -v start="$start" -v steps="$steps" '
        $1 == "first" { first = $2 } $1 == "half" { half = $2 } $1 == "last" { last = $2 }
        END {
            late = half ? (steps - int(steps / 2)) / (last - half) : 0
            printf "%s %.3f %.0f %.0f\n", label, first - start, (steps - 1) / (last - first), late
        }
    ' "$work/timing" | tee -a "$work/results"
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
i=0
while [ "$i" -lt "$pairs" ]; do
    # shellcheck disable=SC2086
    run "$a" A "$@" ${A_OPTIONS:-}
    # shellcheck disable=SC2086
    run "$b" B "$@" ${B_OPTIONS:-}
    i=$((i + 1))
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
awk '
    function median(list, n,   i, j, t) {
        for (i = 2; i <= n; i++) for (j = i; j > 1 && list[j - 1] > list[j]; j--) {
            t = list[j]; list[j] = list[j - 1]; list[j - 1] = t }
        return n % 2 ? list[(n + 1) / 2] : (list[n / 2] + list[n / 2 + 1]) / 2
    }
    $1 == "A" { sa[++na] = $2; ra[na] = $3; la[na] = $4 }
    $1 == "B" { sb[++nb] = $2; rb[nb] = $3; lb[nb] = $4 }
    END {
        # Each B run against the A run just before it, which met the same load: the steadier
        # figure where the speed of the machine swings from run to run. Taken before the
        # medians, which sort the lists they are given.
        n = na < nb ? na : nb
        for (i = 1; i <= n; i++) { pair[i] = rb[i] / ra[i]; if (la[i] > 0) late[i] = lb[i] / la[i] }
        ma = median(ra, na); mb = median(rb, nb)
        printf "A: start-up %.2f s, %.0f steps/s (median of %d)\n", median(sa, na), ma, na
        printf "B: start-up %.2f s, %.0f steps/s (median of %d)\n", median(sb, nb), mb, nb
        printf "B / A: %.3f\n", mb / ma
        if (n > 0) printf "B / A, run by run: median %.3f of %d pairs\n", median(pair, n), n
        # The second halves, where both builds noted them: the steady rate, warm-up left out.
        if (n > 0 && la[1] > 0 && lb[1] > 0) {
            printf "second half: A %.0f, B %.0f steps/s; B / A run by run: median %.3f\n", \
                median(la, na), median(lb, nb), median(late, n)
        }
    }' "$work/results"
