#!/usr/bin/env bash
# scripts/install-deps.sh on a machine where it cannot install: not root and no sudo. It must
# name the one apt-get line to run as root and fail, not stop at "sudo: command not found".
# A PATH of two stand-ins (an `id` that answers an ordinary user's number) hides every tool.
set -euo pipefail
script="$(cd "$(dirname "$0")/.." && pwd)/scripts/install-deps.sh"
bin=$(mktemp -d)
trap 'rm -rf "$bin"' EXIT
printf '#!/bin/bash\necho 1000\n' >"$bin/id"
printf '#!/bin/bash\necho "$@" >>"%s/ran"\n' "$bin" >"$bin/apt-get"
chmod +x "$bin/id" "$bin/apt-get"
status=0
err=$(PATH=$bin /bin/bash "$script" play 2>&1 >/dev/null) || status=$?
fail() { echo "FAILED: $1"; echo "$err"; exit 1; }
((status == 1)) || fail "exit status $status, not 1"
grep -q 'neither root nor sudo' <<<"$err" || fail "no reason given"
grep -qx '  apt-get install cmake ninja-build g++ .*bubblewrap .*' <<<"$err" || fail "no apt-get line"
[[ ! -e $bin/ran ]] || fail "apt-get was run"
echo "ok"
