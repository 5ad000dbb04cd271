#!/bin/sh
# floor-bench-check.sh BUILD DOC: bench/floor-bench.sh played for one short round (300 steps a
# size) into a copy of DOC. Its table must replace what stood between the "host-floor" markers
# and nothing else; each size's robot work must be the real-JVM table's floor for that size
# and the cycle asked for (5 events, commands queued) and its match work the physics' median
# for it; every rate and ratio must be a number.
set -u
build=${1:?usage: floor-bench-check.sh BUILD DOC}
doc=${2:?usage: floor-bench-check.sh BUILD DOC}
here=$(dirname "$0")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
fail() {
    echo "floor-bench-check: $*" >&2
    exit 1
}

awk '/<!-- host-floor: begin -->/ { print; print "old table"; skip = 1; next }
     /<!-- host-floor: end -->/ { skip = 0 } !skip { print }' "$doc" >"$work/doc"
grep -q "old table" "$work/doc" || fail "$doc has no host-floor markers"
printf '| robots a side | physics |\n|---|---|\n| 1 | 2.5 [1, 3] |\n| 3 | 6.0 [1, 7] |\n| 5 | 17.3 [1, 20] |\n| 11 | 60.0 [1, 70] |\n' \
    >"$work/physics"
FLOOR_BENCH_STEPS=300 FLOOR_CYCLE="5 yes" sh "$here/floor-bench.sh" "$build" 1 "$work/doc" "$work/physics" \
    >"$work/out" 2>"$work/err" || fail "floor-bench.sh failed: $(cat "$work/err")"

grep -q "old table" "$work/doc" && fail "the old table was left"
# Everything outside the markers is as it was.
strip() { awk '/<!-- host-floor: begin -->/ { print; skip = 1; next }
               /<!-- host-floor: end -->/ { skip = 0 } !skip { print }' "$1"; }
strip "$doc" >"$work/a"
strip "$work/doc" >"$work/b"
cmp -s "$work/a" "$work/b" || fail "text outside the markers changed"

for n in 1 3 5; do
    jvm=$(awk -v n="$n" -F'|' '/real-jvm-cycle: begin/ { on = 1 } /real-jvm-cycle: end/ { on = 0 }
        on && $2 + 0 == n && $3 + 0 == 5 && $4 ~ /yes/ { split($6, f, " "); print f[1] }' "$doc")
    physics=$(awk -v n="$n" -F'|' '$2 + 0 == n { split($3, f, " "); printf "%.0f", f[1] * 1000 }' \
        "$work/physics")
    row=$(grep "^| $n v $n: $((2 * n + 1)) processes, 300 steps |" "$work/doc") ||
        fail "no $n v $n row in: $(cat "$work/out")"
    echo "$row" | awk -F'|' -v jvm="$jvm" -v physics="$physics" '
        { gsub(/[* ]/, "", $0) }
        $3 != jvm || $4 != physics { print "work " $3 ", " $4 " where " jvm ", " physics; exit 1 }
        { for (i = 5; i <= 10; i++) {
              split($i, f, "[");
              if (f[1] !~ /^[0-9]+(\.[0-9]+)?$/ || f[1] <= 0) { print "figure " i ": " $i; exit 1 } } }' ||
        fail "$n v $n: $row"
done
echo "floor-bench-check: the table, three sizes:"
cat "$work/out"
