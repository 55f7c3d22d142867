#!/usr/bin/env bash
# Builds the fuzz targets (fuzz/) with clang, libFuzzer, ASan and UBSan into build-fuzz/ and
# runs each for SECONDS (default 60), one after the other, starting from its seed corpus
# (fuzz/corpus/<target>/, which it never changes: new inputs go to build-fuzz/corpus/). An
# input that makes a target fail is kept in fuzz/crashes/<target>/, where the normal build's
# CTest replays it from then on. Prints the executions and coverage of every target; exits
# with 1 when any target failed.
#   tools/fuzz.sh [SECONDS] [TARGET...]
set -uo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
shift || true
build="$top/build-fuzz"
jobs="${FUZZ_JOBS:-2}"

if [ -n "${CCACHE_DIR:-}" ] && command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache )
else
  launcher=()
fi
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DDORVANTA_FUZZ=ON -DBUILD_TESTING=OFF "${launcher[@]}" \
  >/dev/null || exit 2
cmake --build "$build" -j"$jobs" --target fuzz_all >"$build/build.log" 2>&1 \
  || { tail -40 "$build/build.log"; exit 2; }

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for dir in "$top"/fuzz/corpus/*/; do
    targets+=("$(basename "$dir")")
  done
fi

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export QT_QPA_PLATFORM=offscreen
failed=0
summary=()
for t in "${targets[@]}"; do
  work="$build/corpus/$t"
  crashes="$top/fuzz/crashes/$t"
  mkdir -p "$work" "$crashes"
  log="$build/$t.log"
  echo "== $t: $seconds s"
  "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 \
    -max_len=65536 -artifact_prefix="$crashes/" -print_final_stats=1 \
    "$work" "$top/fuzz/corpus/$t" >"$log" 2>&1
  rc=$?
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
  cov=$(grep -E '^#[0-9]+.*cov: ' "$log" | tail -1 | grep -o 'cov: [0-9]* ft: [0-9]*')
  if [ $rc -ne 0 ]; then
    failed=1
    summary+=("$t: FAILED (rc $rc, see $log; input kept in fuzz/crashes/$t/)")
  else
    summary+=("$t: ${execs:-?} execs, ${cov:-no coverage line}")
  fi
done
printf '%s\n' "${summary[@]}"
exit $failed
