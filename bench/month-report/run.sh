#!/bin/sh
# bench/month-report/run.sh [COUNT] [RUNS] [DIR]: the month report of May 2024 (a row per day
# and the chart page) as PDF through dorvanta-admin on a journal of COUNT postings (default
# 1000000) made by journal-fill, RUNS times (default 5), and the year report of 2024 once;
# prints each run's wall time and the best. DIR, when given, is filled on the first run and
# reused after. Run from the top of the tree after building into build/.
set -eu
count=${1:-1000000}
runs=${2:-5}
build=$(dirname "$0")/../../build
admin="$build/tools/dorvanta-admin/dorvanta-admin"
if [ -n "${3:-}" ]; then
    dir=$3
    mkdir -p "$dir"
else
    dir=$(mktemp -d)
    trap 'rm -rf "$dir"' EXIT
fi
[ -f "$dir/podaci/promet.db" ] || "$build/bench/journal-fill/journal-fill" "$dir" "$count" >/dev/null
# A first run numbers nothing more (journal-fill numbered the records) and warms the cache.
"$admin" --dir "$dir" month-report --month 2024-05 --pdf "$dir/mesec.pdf"
ms() { echo $(( ($(date +%s%N) - $1) / 1000000 )); }
best=
i=0
while [ "$i" -lt "$runs" ]; do
    start=$(date +%s%N)
    "$admin" --dir "$dir" month-report --month 2024-05 --pdf "$dir/mesec.pdf"
    took=$(ms "$start")
    echo "month-report on $count postings: $took ms"
    if [ -z "$best" ] || [ "$took" -lt "$best" ]; then best=$took; fi
    i=$((i + 1))
done
echo "best: $best ms (at most 1000)"
start=$(date +%s%N)
"$admin" --dir "$dir" month-report --year 2024 --pdf "$dir/godina.pdf"
echo "year report: $(ms "$start") ms"
[ "$best" -le 1000 ]
