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
# Handed to the program only: Qt reads its date form from the name en_GB.UTF-8 whether or not
# that locale is generated, while this shell, given it by export, would complain when it is
# not.
exec env LC_TIME=en_GB.UTF-8 LC_NUMERIC=C "$top/build/app/dorvanta"
