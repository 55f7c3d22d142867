#!/bin/sh
# `dorvanta-admin verify` of a large journal beside what reading its three tables costs any
# tool: sqlite3's dump of promet, dorvanta_lanac and dorvanta_dokument piped to sha256sum.
#
# Usage (from the top of the tree, after building into build/):
#   bench/chain/verify-vs-dump.sh [RECORDS] [RUNS] [DIR]     (defaults 1000000, 3, a new folder)
# A DIR that holds a journal already is used as it is. Prints each run's seconds and peak
# memory, the best of each and their ratio (target: verify at most 1.2x the dump).
set -eu
records=${1:-1000000}
runs=${2:-3}
dir=${3:-$(mktemp -d)}
fill=build/bench/journal-fill/journal-fill
admin=build/tools/dorvanta-admin/dorvanta-admin
[ -f "$dir/podaci/promet.db" ] || "$fill" "$dir" "$records" >/dev/null
journal="$dir/podaci/promet.db"

# Seconds and peak kB of a command, its output thrown away.
measure() {
    /usr/bin/time -f '%e %M' -o /tmp/verify-vs-dump.$$ "$@" >/dev/null 2>&1 || true
    tail -1 /tmp/verify-vs-dump.$$
}
bestVerify=; bestDump=
i=1
while [ "$i" -le "$runs" ]; do
    v=$(measure "$admin" --dir "$dir" verify)
    d=$(measure sh -c "sqlite3 '$journal' '.dump promet dorvanta_lanac dorvanta_dokument' | sha256sum")
    echo "run $i: verify ${v%% *} s (${v##* } kB), sqlite3 dump | sha256sum ${d%% *} s (${d##* } kB)"
    bestVerify=$(echo "${bestVerify:-${v%% *}} ${v%% *}" | awk '{print ($1 < $2) ? $1 : $2}')
    bestDump=$(echo "${bestDump:-${d%% *}} ${d%% *}" | awk '{print ($1 < $2) ? $1 : $2}')
    i=$((i + 1))
done
rm -f /tmp/verify-vs-dump.$$
echo "records: $(sqlite3 "$journal" 'SELECT COUNT(*) FROM promet')"
echo "best: verify $bestVerify s, dump $bestDump s, ratio $(echo "$bestVerify $bestDump" | awk '{printf "%.2f", $1 / $2}') (target: at most 1.2)"
