#!/usr/bin/env bash
# Installs what is missing, checks the layout of the sources, builds and runs
# every test, and fails on any failure or sanitizer report:
#   build/asan     clang with AddressSanitizer, UndefinedBehaviorSanitizer and
#                  fuzzer coverage: the whole ctest suite, the fuzz targets
#                  (each run briefly over its seed corpus), the benchmarks
#                  (built, not run: their figures mean nothing sanitized)
#   build/tsan     g++ with ThreadSanitizer: only the threaded parts' tests
#                  (publisher, journal, meter publishing, zt-record --mqtt)
#   build/package  the Debian package's Release build, checked unpacked
# clang-tidy (scripts/tidy.sh) is not part of the run yet: the tree still has
# findings (scripts/tidy.sh --changed lists them), and a run over the sources
# changed since .tidy-base costs about 11 minutes here.
# Every compile goes through ccache (scripts/ccache-env.sh).
#   FUZZ_SECONDS  how long each fuzz target runs (default 20)
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
bash scripts/deps.sh

# Sources laid out as .clang-format says (scripts/format.sh fixes them).
bash scripts/format.sh --check

source scripts/ccache-env.sh
JOBS=$(nproc)
CLANG=(-DCMAKE_CXX_COMPILER=clang++ "${ZT_LAUNCHER[@]}")
# -O1 with line tables: sanitized code that compiles and runs fast and still
# names the source line of a report.
SANFLAGS=(-DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -gline-tables-only -DNDEBUG")
# g++ for ThreadSanitizer: clang 14's runtime stops on an internal check when
# QProcess starts a program (Qt forks through clone(), which that runtime
# intercepts badly); gcc 12's runs it. -g1: gcc's line tables only.
TSANFLAGS=(-DCMAKE_CXX_COMPILER=g++ "${ZT_LAUNCHER[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG")

# Every sanitizer report of any process (tests, the programs they start) lands
# in its own file under $REPORTS; the run fails if any is there at the end.
REPORTS=$ROOT/build/sanitizer-reports
rm -rf "$REPORTS"
mkdir -p "$REPORTS"
export ASAN_OPTIONS="log_path=$REPORTS/asan:detect_leaks=1:suppressions=$ROOT/tests/sanitizers/lsan.supp"
export LSAN_OPTIONS="suppressions=$ROOT/tests/sanitizers/lsan.supp"
export UBSAN_OPTIONS="log_path=$REPORTS/ubsan:print_stacktrace=1:halt_on_error=1"
# die_after_fork=0: the tests start the broker and the programs through
# QProcess, which forks a process that already runs threads.
export TSAN_OPTIONS="log_path=$REPORTS/tsan:die_after_fork=0:second_deadlock_stack=1:suppressions=$ROOT/tests/sanitizers/tsan.supp"
reports() {
  local found=("$REPORTS"/*)
  [ -e "${found[0]}" ] || return 0
  echo "sanitizer reports:" >&2
  for f in "${found[@]}"; do
    echo "==== $f" >&2
    cat "$f" >&2
  done
  return 1
}

# ---- the sanitized build: the suite, the fuzz targets, the benchmarks ----
ASAN=build/asan
cmake -S . -B "$ASAN" -G Ninja "${CLANG[@]}" "${SANFLAGS[@]}" -DZT_SANITIZE=address,undefined \
  -DZT_BUILD_TESTS=ON -DZT_BUILD_BENCH=ON -DZT_BUILD_FUZZ=ON -DZT_WERROR=ON -DCMAKE_EXPORT_COMPILE_COMMANDS=ON > /dev/null
cmake --build "$ASAN" -j "$JOBS"

# ---- the ThreadSanitizer build: only the threaded parts and their tests ----
TSAN=build/tsan
TSAN_TESTS=(test_publisher test_log_journal test_journal_process test_meter_publishing test_record_mqtt)
cmake -S . -B "$TSAN" -G Ninja "${TSANFLAGS[@]}" -DZT_SANITIZE=thread \
  -DZT_BUILD_TESTS=ON -DZT_BUILD_BENCH=OFF -DZT_WERROR=ON > /dev/null
cmake --build "$TSAN" -j "$JOBS" --target "${TSAN_TESTS[@]}"

# ---- fuzz targets, as many at once as there are cores ----
fuzz_one() {
  local dir=$1 name exe work
  name=$(basename "$dir")
  exe="$ASAN/fuzz/$name/fuzz_$name"
  [ -x "$exe" ] || { echo "fuzz target $name not built" >&2; return 1; }
  work=$(mktemp -d)
  cp -r "$dir/seeds/." "$work/" 2> /dev/null || true
  echo "fuzzing $name"
  # The fuzzer prints its own findings: no report file for it.
  if ! ASAN_OPTIONS="detect_leaks=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
    "$exe" -max_total_time="${FUZZ_SECONDS:-20}" -rss_limit_mb=2048 -print_final_stats=0 "$work" > "$work.log" 2>&1; then
    echo "fuzz target $name failed:" >&2
    tail -50 "$work.log" >&2
    rm -rf "$work" "$work.log"
    return 1
  fi
  rm -rf "$work" "$work.log"
}
export -f fuzz_one
export ASAN
printf '%s\0' fuzz/*/ | xargs -0 -n 1 -P "$JOBS" bash -c 'fuzz_one "$1"' _ || { echo "fuzzing failed" >&2; exit 1; }
echo "fuzzing done"

# ---- the Debian package, checked without installing it ----
bash scripts/check-package.sh

# ---- the tests: the threaded parts under ThreadSanitizer, then the whole
# suite sanitized, last so that ctest's summary closes the output ----
TSAN_LOG=$(mktemp)
SUITE_LOG=$(mktemp)
trap 'rm -f "$TSAN_LOG" "$SUITE_LOG"' EXIT
status=0
tsan_regex="^($(IFS='|'; echo "${TSAN_TESTS[*]}"))\$"
ctest --test-dir "$TSAN" -R "$tsan_regex" --output-on-failure -j "$JOBS" 2>&1 | tee "$TSAN_LOG" || status=1
ctest --test-dir "$ASAN" --output-on-failure -j "$JOBS" 2>&1 | tee "$SUITE_LOG" || status=1
if ! reports; then
  # The summaries again, so they stay the last thing printed.
  echo
  echo "ThreadSanitizer tests:"
  sed -n '/tests passed, /,$p' "$TSAN_LOG"
  echo "The suite:"
  sed -n '/tests passed, /,$p' "$SUITE_LOG"
  echo "FAILED: sanitizer reports above"
  status=1
fi
exit "$status"
