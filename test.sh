#!/usr/bin/env bash
# Builds Dorvanta and runs every test (unit, window and FTP tests) through CTest.
set -euo pipefail
top="$(cd "$(dirname "$0")" && pwd)"
"$top/tools/build.sh"
export QT_QPA_PLATFORM=offscreen
cd "$top/build"
ctest --output-on-failure -j2 --timeout 300
