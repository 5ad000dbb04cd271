#!/bin/sh
# merge-corpus.sh BUILD: rewrites tests/fuzz/corpus as the fewest inputs that cover what it
# covered together with the long run's finds (BUILD/tests/fuzz/long/found), with libFuzzer's
# -merge=1, counting the code an input reaches and not how often (-use_counters=0), which keeps
# the corpus to a few hundred small files. tests/fuzz/regressions, the inputs of faults found,
# is left as it is.
set -eu
build=${1:?usage: merge-corpus.sh BUILD}
here=$(cd "$(dirname "$0")" && pwd)
found="$build/tests/fuzz/long/found"
mkdir -p "$found"
merged=$(mktemp -d)
trap 'rm -rf "$merged"' EXIT INT TERM
"$build/tests/fuzz/library_fuzz" -merge=1 -use_counters=0 -detect_leaks=0 -timeout=10 \
    -max_len=512 "$merged" "$here/corpus" "$found"
rm -f "$here/corpus"/*
cp "$merged"/* "$here/corpus/"
echo "tests/fuzz/corpus: $(ls "$here/corpus" | wc -l) inputs, $(du -sk "$here/corpus" | cut -f1) KiB"
