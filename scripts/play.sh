#!/usr/bin/env bash
# Plays one demo game, zarvo-greedy against zarvo-random, into BUILD/refereelogs/ and prints
# the result line and the replay page to open in a browser. The players are sandboxed where
# this machine allows it; otherwise the script says why and plays without sandboxes (our own
# sample bots need none). Usage: scripts/play.sh [BUILD]
set -euo pipefail
build=${1:-build}
bin=$build/bin
sandbox=()
if ! check=$("$bin/zarvo-arena" check-sandbox 2>&1); then
  echo "No sandbox for the players here; playing without ($bin/zarvo-arena check-sandbox):"
  grep -E '^no sandbox|FAILED|not found' <<<"$check" | sed 's/^/  /' || true
  sandbox=(--no-sandbox)
fi
result=$("$bin/zarvo-arena" match --quiet "${sandbox[@]}" --dir "$build" "$bin/zarvo-greedy" "$bin/zarvo-random")
echo "$result"
page=${result##* page }
echo "Replay page: $(realpath "$page")"
echo "Play a game yourself against a bot: $bin/zarvo-arena play-human ${sandbox[*]:+${sandbox[*]} }$bin/zarvo-greedy"
