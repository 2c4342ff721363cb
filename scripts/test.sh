#!/usr/bin/env bash
# Installs what is missing, checks the layout of the sources, builds
# everything and runs every test: each fuzz target briefly over its seed
# corpus, the Debian package's checks, then the unit, widget and integration
# tests through ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

# Sources laid out as .clang-format says (scripts/format.sh fixes them).
bash scripts/format.sh --check

JOBS=$(nproc)
BUILD=build/ci
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZT_BUILD_TESTS=ON -DZT_BUILD_BENCH=ON -DZT_WERROR=ON
cmake --build "$BUILD" -j "$JOBS"

# Fuzz targets: a clang build with the sanitizers, each run for a short while.
FUZZ=build/fuzz
CC=clang CXX=clang++ cmake -S . -B "$FUZZ" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZT_BUILD_TESTS=OFF -DZT_BUILD_FUZZ=ON > /dev/null
# Only the fuzz targets: the libraries they instrument are not meant for the
# ordinary programs of that build.
targets=()
for dir in fuzz/*/; do targets+=("fuzz_$(basename "$dir")"); done
cmake --build "$FUZZ" -j "$JOBS" --target "${targets[@]}"
for dir in fuzz/*/; do
  name=$(basename "$dir")
  exe="$FUZZ/fuzz/$name/fuzz_$name"
  [ -x "$exe" ] || { echo "fuzz target $name not built" >&2; exit 1; }
  work=$(mktemp -d)
  cp -r "$dir/seeds/." "$work/" 2>/dev/null || true
  echo "fuzzing $name"
  "$exe" -max_total_time="${FUZZ_SECONDS:-20}" -rss_limit_mb=2048 -print_final_stats=0 "$work" > "$work.log" 2>&1 \
    || { tail -50 "$work.log"; exit 1; }
  rm -rf "$work" "$work.log"
done
echo "fuzzing done"

# The Debian package, checked without installing it.
bash scripts/check-package.sh

# The unit, widget and integration tests last, so their summary closes the output.
ctest --test-dir "$BUILD" --output-on-failure -j "$JOBS"
