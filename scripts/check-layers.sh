#!/usr/bin/env bash
# Fails when a file of the arena includes a header of a folder above its own. The folders, from
# the bottom up; a folder may include its own headers and those of folders listed before it.
# stats stands apart: pure arithmetic that includes no other folder.
set -euo pipefail
cd "$(dirname "$0")/.."
layers=(system sandbox process game match entry stats series tournament sprt human cli)
declare -A rank
for i in "${!layers[@]}"; do rank[${layers[$i]}]=$i; done
status=0
for dir in arena/*/; do
  folder=$(basename "$dir")
  if [[ -z ${rank[$folder]+x} ]]; then
    echo "arena/$folder/ is in no layer: add it to scripts/check-layers.sh"
    status=1
    continue
  fi
  while IFS=: read -r file included; do
    target=${included#arena/}
    target=${target%%/*}
    if [[ -z ${rank[$target]+x} ]] || ((rank[$target] > rank[$folder])) ||
       { [[ $folder == stats ]] && [[ $target != stats ]]; }; then
      echo "$file includes arena/$target/, which is not below arena/$folder/"
      status=1
    fi
  done < <(grep -oH '#include "arena/[^"]*"' "$dir"*.h "$dir"*.cpp 2>/dev/null |
           sed 's/:#include "/:/; s/"$//')
done
# sprt and tournament are siblings: neither includes the other.
if grep -l '#include "arena/tournament/' arena/sprt/* 2>/dev/null ||
   grep -l '#include "arena/sprt/' arena/tournament/* 2>/dev/null; then
  echo "arena/sprt/ and arena/tournament/ include each other"
  status=1
fi
((status == 0)) && echo "arena's folders include only their own and lower layers"
exit $status
