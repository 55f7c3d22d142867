#!/usr/bin/env bash
# The menu's launcher, found through PATH as the desktop entry finds it, with a stand-in
# program beside it that reports where and with which locale it was started: the data
# directory is $DORVANTA_DIR or ~/Dorvanta, a missing one is made for its owner only and
# removed again when the program leaves it empty, an existing one is never removed, and the
# program's exit status comes through.
# Usage: check-launcher.sh dorvanta-start
set -euo pipefail
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
mkdir -p "$tmp/bin" "$tmp/home" "$tmp/kept"
cp "$1" "$tmp/bin/dorvanta-start"
cat >"$tmp/bin/dorvanta" <<'STUB'
#!/bin/sh
printf '%s %s %s %s\n' "$PWD" "$LC_TIME" "$LC_NUMERIC" "${LC_ALL-unset}" >"$REPORT"
if [ -n "${MAKE_PODACI:-}" ]; then mkdir podaci; fi
exit "${EXIT_WITH:-0}"
STUB
chmod +x "$tmp/bin/dorvanta-start" "$tmp/bin/dorvanta"

# start DORVANTA_DIR MAKE_PODACI EXIT_WITH: runs the launcher, prints its exit status
start() {
    local status=0
    env -u DORVANTA_DIR ${1:+DORVANTA_DIR="$1"} HOME="$tmp/home" LC_ALL=de_DE.UTF-8 \
        PATH="$tmp/bin:$PATH" REPORT="$tmp/report" MAKE_PODACI="$2" EXIT_WITH="$3" \
        dorvanta-start || status=$?
    echo "$status"
}

[ "$(start "" 1 0)" = 0 ] || fail "first start in ~/Dorvanta"
[ "$(cat "$tmp/report")" = "$tmp/home/Dorvanta en_GB.UTF-8 C unset" ] ||
    fail "started as: $(cat "$tmp/report")"
[ "$(stat -c %a "$tmp/home/Dorvanta")" = 700 ] || fail "~/Dorvanta is not the owner's only"

[ "$(start "$tmp/new/data" "" 0)" = 0 ] || fail "declined first start"
[ "$(cat "$tmp/report")" = "$tmp/new/data en_GB.UTF-8 C unset" ] ||
    fail "started as: $(cat "$tmp/report")"
[ ! -e "$tmp/new/data" ] || fail "a data directory left empty is not removed"

[ "$(start "$tmp/kept" "" 3)" = 3 ] || fail "exit status lost"
[ -d "$tmp/kept" ] || fail "an existing data directory was removed"
echo ok
