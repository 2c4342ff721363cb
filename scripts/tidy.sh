#!/usr/bin/env bash
# clang-tidy (.clang-tidy) over our C++ sources; exits non-zero on any finding.
#   scripts/tidy.sh [-p BUILD] [FILE...]   the files named (sources or
#                                          headers), else every source
#   scripts/tidy.sh [-p BUILD] --changed   only the sources changed since the
#                                          last clean --changed run of BUILD,
#                                          else since the commit in
#                                          .tidy-base (every source when
#                                          neither holds, or .clang-tidy changed)
#   scripts/tidy.sh [-p BUILD] --mark      every source; when clean, writes
#                                          HEAD to .tidy-base (commit it)
# BUILD (default build/asan) is a configured build folder with
# compile_commands.json; its generated sources (moc) must exist, so build it
# first. A header is checked through the sources of its folder that include
# it. CLANG_TIDY names another clang-tidy (the CI machine's is Debian 12's,
# version 14). TIDY_JOBS sets how many run at once (default: the cores).
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=build/asan
changed=0
mark=0
files=()
while [ $# -gt 0 ]; do
  case "$1" in
    -p) BUILD=$2; shift 2 ;;
    --changed) changed=1; shift ;;
    --mark) mark=1; shift ;;
    -h | --help) sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) files+=("$1"); shift ;;
  esac
done
CLANG_TIDY=${CLANG_TIDY:-clang-tidy}
command -v "$CLANG_TIDY" > /dev/null || { echo "tidy.sh: $CLANG_TIDY not found (bash scripts/deps.sh installs it)" >&2; exit 2; }
DB="$BUILD/compile_commands.json"
[ -f "$DB" ] || { echo "tidy.sh: no $DB (configure and build $BUILD first)" >&2; exit 2; }

# Every tracked source that the build compiles.
[ "$mark" -eq 1 ] && files=()
mapfile -t compiled < <(/usr/bin/python3 -c '
import json, os, sys
for e in json.load(open(sys.argv[1])):
    print(os.path.relpath(os.path.join(e["directory"], e["file"])))' "$DB" | sort -u)
mapfile -t tracked < <(git ls-files -- '*.cpp')
mapfile -t all < <(comm -12 <(printf '%s\n' "${compiled[@]}") <(printf '%s\n' "${tracked[@]}" | sort -u))

# The last tidy-clean state: this build folder's last clean --changed run,
# else the commit named in .tidy-base, from which on every changed source
# must be clean (`scripts/tidy.sh --mark` moves it to HEAD after a clean run
# of every source; commit it), either only while .clang-tidy is as it was.
STAMP="$BUILD/tidy-clean"
config_hash=$(git hash-object .clang-tidy)
since=""
if [ "$changed" -eq 1 ]; then
  if [ -f "$STAMP" ] && read -r c h < "$STAMP" && [ "$h" = "$config_hash" ] && git cat-file -e "$c^{commit}" 2> /dev/null; then
    since=$c
  elif [ -f .tidy-base ] && read -r c h < .tidy-base && [ "$h" = "$config_hash" ] \
    && git cat-file -e "$c^{commit}" 2> /dev/null; then
    since=$c
  fi
  if [ -n "$since" ]; then
    mapfile -t files < <({ git diff --name-only "$since" -- '*.cpp' '*.h'; git ls-files --others --exclude-standard -- '*.cpp' '*.h'; } | sort -u)
    echo "tidy: sources changed since $(git rev-parse --short "$since")"
  else
    files=()
    changed=2  # no clean state known: every source
  fi
fi

# The sources to check: the files named, a header through its folder's
# sources that include it.
targets=()
if [ ${#files[@]} -eq 0 ] && [ "$changed" -ne 1 ]; then
  targets=("${all[@]}")
else
  for f in "${files[@]}"; do
    [ -f "$f" ] || continue
    case "$f" in
      *.cpp) printf '%s\n' "${all[@]}" | grep -qxF "$f" && targets+=("$f") ;;
      *.h)
        for s in "${all[@]}"; do
          [ "$(dirname "$s")" = "$(dirname "$f")" ] && grep -qF "\"$(basename "$f")\"" "$s" && targets+=("$s")
        done ;;
    esac
  done
  [ ${#targets[@]} -gt 0 ] && mapfile -t targets < <(printf '%s\n' "${targets[@]}" | sort -u)
fi

if [ ${#targets[@]} -eq 0 ]; then
  echo "tidy: nothing to check"
else
  echo "tidy: ${#targets[@]} sources"
  out=$(mktemp)
  trap 'rm -f "$out"' EXIT
  status=0
  printf '%s\0' "${targets[@]}" | xargs -0 -n 1 -P "${TIDY_JOBS:-$(nproc)}" "$CLANG_TIDY" -p "$BUILD" --quiet \
    > "$out" 2>&1 || status=$?
  # clang-tidy's own count lines ("N warnings generated") say nothing.
  grep -v ' warnings\? \(and [0-9]* errors\? \)\?generated\.$\|^Suppressed [0-9]* warnings\|^Use -header-filter\|^$' "$out" || true
  if [ "$status" -ne 0 ]; then
    echo "tidy: findings above (scripts/tidy.sh FILE... checks them again)" >&2
    exit 1
  fi
  echo "tidy: clean"
fi
[ "$changed" -ne 0 ] && echo "$(git rev-parse HEAD) $config_hash" > "$STAMP"
[ "$mark" -eq 1 ] && echo "$(git rev-parse HEAD) $config_hash" > .tidy-base && echo "tidy: .tidy-base now names $(git rev-parse --short HEAD)"
exit 0
