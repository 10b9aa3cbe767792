#!/usr/bin/env bash
# Checks that every C++ source in the repository is formatted by clang-format with the
# project's .clang-format. Lists each file that differs and exits non-zero when any does.
# Usage: scripts/check-format.sh [FILE...]   (default: every tracked .h/.cpp file)
set -euo pipefail
cd "$(dirname "$0")/.."

formatter=${CLANG_FORMAT:-clang-format}
if ! command -v "$formatter" >/dev/null 2>&1; then
  echo "check-format: $formatter not found (Debian package clang-format)" >&2
  exit 2
fi

if (($#)); then
  files=("$@")
else
  mapfile -t files < <(git ls-files -- '*.h' '*.cpp')
fi

bad=()
for file in "${files[@]}"; do
  if ! "$formatter" --style=file "$file" | cmp -s - "$file"; then
    bad+=("$file")
  fi
done

if ((${#bad[@]})); then
  echo "check-format: ${#bad[@]} of ${#files[@]} files differ from $("$formatter" --version | head -1):" >&2
  printf '  %s\n' "${bad[@]}" >&2
  echo "Format them with: $formatter -i --style=file FILE..." >&2
  exit 1
fi
echo "check-format: all ${#files[@]} files formatted"
