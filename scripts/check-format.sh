#!/usr/bin/env bash
# Fails, listing the files, when a C++ file of ours differs from what clang-format makes of it
# under .clang-format. Fix with: clang-format -i FILE...
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h' 2>/dev/null || find . -name '*.cpp' -o -name '*.h')
drifted=()
for file in "${files[@]}"; do
  [[ -f $file ]] || continue
  clang-format --dry-run --Werror "$file" >/dev/null 2>&1 || drifted+=("$file")
done
if ((${#drifted[@]})); then
  echo "not formatted with .clang-format (run clang-format -i on them):"
  printf '  %s\n' "${drifted[@]}"
  exit 1
fi
echo "${#files[@]} files formatted as .clang-format says"
