#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer (leak checking on,
# any undefined behaviour fatal) into build-asan/ and runs every test there, the fuzz
# corpora's replays included. Reports nothing and exits 0 when the suite is clean; otherwise
# lists the failed tests (each one's sanitizer report is in build-asan/Testing/Temporary/).
#   tools/check-sanitizers.sh [-t TARGET]... [CTEST ARGUMENTS]
# -t builds only the named targets (with what they need) instead of everything; the ctest
# arguments choose tests, e.g.  tools/check-sanitizers.sh -t ftp_tests -R '^ftp\.'
set -uo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="$top/build-asan"
jobs="${SANITIZER_JOBS:-2}"
targets=()
while [ $# -gt 1 ] && [ "$1" = "-t" ]; do
  targets+=(--target "$2")
  shift 2
done

flags="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null || exit 2
echo "building into $build (log: $build/build.log)"
cmake --build "$build" -j"$jobs" "${targets[@]}" >"$build/build.log" 2>&1 \
  || { tail -40 "$build/build.log"; exit 2; }

# Every finding ends the process that made it with a failure, so ctest counts it.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen
cd "$build" || exit 2
if ctest --output-on-failure -j1 "$@" >"$build/ctest.log" 2>&1; then
  grep -E 'tests passed' "$build/ctest.log"
  exit 0
fi
grep -E 'tests passed|\(Failed\)|\(Subprocess aborted\)|\(Timeout\)|\(SEGFAULT\)|\(Child aborted\)|\*\*\*Exception' \
  "$build/ctest.log"
echo "sanitizer reports: $build/ctest.log"
exit 1
