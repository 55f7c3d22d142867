#!/usr/bin/env bash
# Builds the threaded parts and their tests with ThreadSanitizer into build-tsan/ and runs
# those tests: the host look-up of the FTP socket (its resolver thread) with the FTP tests of
# the socket and the session and the off-site copies over FTP (synchronous sessions), the
# journal's chain check at the administrator's login (the window's backup tests), and the
# background removal of replaced files (the platform tests).
# Any report of the sanitizer fails the test that made it. Exits 0 when all are clean.
#   tools/check-threads.sh [CTEST ARGUMENTS]
set -uo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="$top/build-tsan"
jobs="${SANITIZER_JOBS:-2}"

flags="-fsanitize=thread -fno-omit-frame-pointer"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" >/dev/null || exit 2
echo "building into $build (log: $build/build.log)"
cmake --build "$build" -j"$jobs" --target platform_tests ftp_tests offsite_ftp_tests tst_backup \
  >"$build/build.log" 2>&1 || { tail -40 "$build/build.log"; exit 2; }

# Qt is not built with the sanitizer. Qt Gui converts and smoothly scales large images (the
# login picture) in parts on its thread pool ("Thread (pooled)") and waits for the parts with
# a QSemaphore; the sanitizer sees the pool threads' memmove and free of the parts (through
# its interceptors) but not the semaphore that orders them. ignore_noninstrumented_modules
# makes the interceptors ignore calls from such libraries, Qt's own pool among them; every
# access of this program's code is still checked, and no report is suppressed.
# halt_on_error: the first report ends the test, so ctest counts it as failed.
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:history_size=4:ignore_noninstrumented_modules=1"
export QT_QPA_PLATFORM=offscreen
cd "$build" || exit 2
if [ $# -eq 0 ]; then
  set -- -R '^(platform\.|ftp\.(Socket|Session|Login)Test\.|ftp\.FtpHostileServer|ftp\.offsite\.|app\.backup$)'
fi
if ctest --output-on-failure -j1 "$@" >"$build/ctest.log" 2>&1; then
  grep -E 'tests passed' "$build/ctest.log"
  exit 0
fi
grep -E 'tests passed|\(Failed\)|\(Subprocess aborted\)|\(Timeout\)|\(SEGFAULT\)|\(Child aborted\)' \
  "$build/ctest.log"
echo "ThreadSanitizer reports: $build/ctest.log"
exit 1
