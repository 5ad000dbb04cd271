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

# write_table NAME TABLE FILE: puts the lines of TABLE between FILE's "<!-- NAME: begin -->"
# and "<!-- NAME: end -->" lines, in place of what was there; FILE empty: does nothing.
write_table() {
    [ -n "$3" ] || return 0
    awk -v table="$2" -v begin="<!-- $1: begin -->" -v end="<!-- $1: end -->" '
        $0 == begin { print; while ((getline line < table) > 0) print line; skip = 1; next }
        $0 == end { skip = 0 }
        !skip { print }' "$3" >"$2.doc" && cat "$2.doc" >"$3" && rm -f "$2.doc"
    echo "written to $3" >&2
}
