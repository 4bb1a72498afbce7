#!/usr/bin/env bash
# Plays one demo game, zarvo-greedy against zarvo-random, into BUILD/refereelogs/ and prints
# the result line and the replay page to open in a browser. Usage: scripts/play.sh [BUILD]
set -euo pipefail
build=${1:-build}
bin=$build/bin
result=$("$bin/zarvo-arena" match --dir "$build" "$bin/zarvo-greedy" "$bin/zarvo-random")
echo "$result"
page=${result##* page }
echo "Replay page: $(realpath "$page")"
