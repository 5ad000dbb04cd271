# Shared by the benchmark scripts (sourced): the clock, and the median of numbers on stdin.
now() { date +%s.%N; }

# median [min, max] of the numbers on stdin, printed with format $1 ("-" for none)
summary() {
    sort -g | awk -v f="$1" '{ v[NR] = $1 } END {
        if (NR == 0) { print "-"; exit }
        m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
        printf f " [" f ", " f "]", m, v[1], v[NR] }'
}

# the median of the numbers on stdin
median() { sort -g | awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
