#!/bin/sh
# ladder.sh BUILD [OUT]: plays the ladder of example opponents as a tournament (two robots a
# side, 20 matches a pair, 6000 steps) and checks that every rung beat the one below it in at
# least 60 % of their matches. The table goes to stdout, results.json and table.txt to OUT.
set -eu
build=${1:?usage: ladder.sh BUILD [OUT]}
out=${2:-$build/bench/ladder}
examples=$build/examples
mkdir -p "$out"
# The build puts keeper.team beside the libraries it names.
"$build/bin/touchline-tournament" "$examples/libstill.so" "$examples/libchaser.so" \
    "$examples/libstriker.so" "$examples/keeper.team" "$examples/libduo.so" \
    --robots 2 --matches 20 --steps 6000 --seed 1 --out "$out"
# Each rung's wins against the rung below, read from the head-to-head matrix of table.txt
# (a row's wins-draws-losses against a column).
awk -v ladder="still chaser striker keeper duo" '
    /^Head to head/ { matrix = 1; next }
    matrix && !header { for (i = 1; i <= NF; i++) column[$i] = i + 1; header = 1; next }
    matrix { for (c in column) cell[$1, c] = $(column[c]) }
    END {
        n = split(ladder, rung, " ")
        for (i = 2; i <= n; i++) {
            split(cell[rung[i], rung[i - 1]], wdl, "-")
            played = wdl[1] + wdl[2] + wdl[3]
            ok = played > 0 && wdl[1] >= 0.6 * played
            if (!ok) failed = 1
            printf "%8s beat %-8s %2d of %d  %s\n", rung[i], rung[i - 1], wdl[1], played,
                   ok ? "ok" : "BELOW 60 %"
        }
        exit failed
    }' "$out/table.txt"
