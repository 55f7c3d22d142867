#!/usr/bin/env bash
# Builds Dorvanta and starts it in ./demo, creating a demo data directory there first
# when there is none.
set -euo pipefail
top="$(cd "$(dirname "$0")" && pwd)"
"$top/tools/build.sh"
demo="${DORVANTA_DIR:-$top/demo}"
if [ ! -d "$demo/podaci" ]; then
  "$top/build/tools/dorvanta-init/dorvanta-init" "$demo" --demo
fi
cd "$demo"
export LC_TIME=en_GB.UTF-8 LC_NUMERIC=C
exec "$top/build/app/dorvanta"
