#!/bin/bash
# Fair play on a shared core: an honest bot (150 ms of CPU a move) plays, on one core, against a
# bot that does nothing more, against one that keeps six processes spinning, and against the
# spinning one again with --ponder (players not frozen while the opponent thinks). Prints the
# honest bot's charged thinking time of each game, and each spinning game's over the plain one's.
#   bench/fairness.sh [BUILD_DIR] [ROUNDS]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
rounds=${2:-3}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
bot="$build/tests/cheating_bot"
honest_ms() {  # id, player 1's arguments, match options...
  local id=$1 first=$2
  shift 2
  (cd "$out" && taskset -c 0 "$build/bin/zarvo-arena" match --dir "$out" --id "$id" \
    --time-limit 120 "$@" "$bot $first" "$bot --burn-ms=150" >/dev/null 2>&1)
  sed -n 's/^Player 2 used in milliseconds: *[0-9]* ( *\([0-9]*\) ms in real time)/\1/p' \
    "$out"/refereelogs/*."$id".log
}
for round in $(seq "$rounds"); do
  plain=$(honest_ms "p$round" "--trick=none")
  spin=$(honest_ms "s$round" "--trick=spin")
  ponder=$(honest_ms "q$round" "--trick=spin" --ponder)
  echo "round $round: honest bot charged ${plain} ms vs plain, ${spin} ms vs spinning" \
    "($(awk "BEGIN { printf \"%.2f\", $spin / $plain }")x), ${ponder} ms vs spinning with --ponder" \
    "($(awk "BEGIN { printf \"%.2f\", $ponder / $plain }")x)"
done
