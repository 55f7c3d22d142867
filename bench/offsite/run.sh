#!/bin/sh
# bench/offsite/run.sh [COUNT] [RUNS] [DIR]: `dorvanta-admin backup` on a journal of COUNT
# postings (default 1000000, made by journal-fill in DIR, default a temporary folder; a DIR that
# has a journal already is used as it is), RUNS times (default 3) as a plain local backup, then
# RUNS times with an off-site folder target set up (the same backup, then sealed with
# AES-256-GCM into the target). Prints each run's wall time, the best of each and their ratio
# (target: at most 1.5). Run from the top of the tree after building into build/.
set -eu
count=${1:-1000000}
runs=${2:-3}
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
rm -f "$dir/podaci/rezerva.txt" "$dir/podaci/rezerva-kljuc.txt" "$dir/podaci/rezerva-stanje.txt"
rm -rf "$dir/van-lokacije"
mkdir -p "$dir/van-lokacije"

# One backup: its wall time in ms; its backup (and copies) removed afterwards.
measure() {
    rm -f "$dir"/podaci/bck-*.db
    sync
    start=$(date +%s%N)
    "$admin" --dir "$dir" backup >/dev/null
    ms=$(( ($(date +%s%N) - start) / 1000000 ))
    rm -f "$dir"/podaci/bck-*.db "$dir"/van-lokacije/dorvanta-rezerva/*.dvr
    echo "$ms"
}

# A first backup warms the cache.
measure >/dev/null
best_plain=
i=0
while [ "$i" -lt "$runs" ]; do
    ms=$(measure)
    echo "plain backup of $(du -h "$dir/podaci/promet.db" | cut -f1) journal: $ms ms"
    if [ -z "$best_plain" ] || [ "$ms" -lt "$best_plain" ]; then best_plain=$ms; fi
    i=$((i + 1))
done
"$admin" --dir "$dir" offsite-init --folder "$dir/van-lokacije" >/dev/null
best_offsite=
i=0
while [ "$i" -lt "$runs" ]; do
    ms=$(measure)
    echo "backup with its encrypted off-site copy: $ms ms"
    if [ -z "$best_offsite" ] || [ "$ms" -lt "$best_offsite" ]; then best_offsite=$ms; fi
    i=$((i + 1))
done
echo "best plain: $best_plain ms, best with the off-site copy: $best_offsite ms, ratio:" \
    "$(awk "BEGIN { printf \"%.2f\", $best_offsite / $best_plain }")"
