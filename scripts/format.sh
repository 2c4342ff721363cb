#!/usr/bin/env bash
# Formats every tracked C++ source and header with .clang-format.
#   scripts/format.sh           rewrite the files in place
#   scripts/format.sh --check   change nothing; list what would change and
#                               exit non-zero if anything would
# CLANG_FORMAT names another clang-format (the CI machine's is Debian 12's,
# version 14; other versions may lay out a few lines differently).
set -euo pipefail
cd "$(dirname "$0")/.."

CLANG_FORMAT=${CLANG_FORMAT:-clang-format}
if ! command -v "$CLANG_FORMAT" > /dev/null; then
  echo "format.sh: $CLANG_FORMAT not found (bash scripts/deps.sh installs it)" >&2
  exit 2
fi

mode=fix
case "${1:-}" in
  "") ;;
  --check) mode=check ;;
  *) echo "usage: scripts/format.sh [--check]" >&2; exit 2 ;;
esac

mapfile -d '' files < <(git ls-files -z -- '*.cpp' '*.h')
[ ${#files[@]} -eq 0 ] && exit 0

if [ "$mode" = fix ]; then
  printf '%s\0' "${files[@]}" | xargs -0 -n 50 "$CLANG_FORMAT" -i --style=file
  exit 0
fi

unformatted=()
for f in "${files[@]}"; do
  "$CLANG_FORMAT" --style=file --dry-run --Werror "$f" > /dev/null 2>&1 || unformatted+=("$f")
done
if [ ${#unformatted[@]} -gt 0 ]; then
  echo "Not formatted (run scripts/format.sh):" >&2
  printf '  %s\n' "${unformatted[@]}" >&2
  exit 1
fi
echo "format: ${#files[@]} files formatted"
