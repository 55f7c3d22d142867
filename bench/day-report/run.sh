#!/bin/sh
# bench/day-report/run.sh [COUNT] [RUNS]: the daily cash report of one day as PDF through
# dorvanta-admin on a journal of COUNT postings (default 100000) made by journal-fill, RUNS
# times (default 5); prints each run's wall time and the best. Run from the top of the tree
# after building into build/.
set -eu
count=${1:-100000}
runs=${2:-5}
build=$(dirname "$0")/../../build
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
"$build/bench/journal-fill/journal-fill" "$dir" "$count" >/dev/null
# A first run numbers nothing more (journal-fill numbered the records) and warms the cache.
"$build/tools/dorvanta-admin/dorvanta-admin" --dir "$dir" day-report --date 2024-05-06 --pdf "$dir/dan.pdf"
best=
i=0
while [ "$i" -lt "$runs" ]; do
    start=$(date +%s%N)
    "$build/tools/dorvanta-admin/dorvanta-admin" --dir "$dir" day-report --date 2024-05-06 \
        --pdf "$dir/dan.pdf"
    ms=$(( ($(date +%s%N) - start) / 1000000 ))
    echo "day-report on $count postings: $ms ms"
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
    i=$((i + 1))
done
echo "best: $best ms"
