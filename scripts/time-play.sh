#!/usr/bin/env bash
# Times `make play` as a new user meets it: a fresh clone of this checkout's HEAD (commit
# first: uncommitted changes are not in it), built without ccache. Prints the wall time, the
# CPU time (user + sys of make and everything it ran: the figure that does not depend on how
# busy the machine is) and the translation units that took longest to compile.
# Usage: scripts/time-play.sh [COUNT [REVISION]]   (COUNT: how many of the heaviest units,
# default 12; REVISION: what to clone, default HEAD, for a figure to compare with)
set -euo pipefail
count=${1:-12}
revision=${2:-HEAD}
source_dir=$(git -C "$(dirname "$0")/.." rev-parse --show-toplevel)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
git clone --quiet --no-hardlinks --no-checkout "$source_dir" "$scratch/zarvo"
cd "$scratch/zarvo"
git checkout --quiet "$(git -C "$source_dir" rev-parse "$revision")"
echo "make play in $scratch/zarvo at $(git rev-parse --short HEAD), $(nproc) cores," \
  "load average $(cut -d' ' -f1-3 /proc/loadavg)"

# No compiler cache and no launcher, whatever this shell's environment says.
export CCACHE_DISABLE=1
unset CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER
TIMEFORMAT='%R %U %S'
{ time make play CMAKE_FLAGS= >"$scratch/play.log" 2>&1; } 2>"$scratch/times" || {
  tail -20 "$scratch/play.log"
  echo "make play failed (the whole output was in $scratch/play.log)" >&2
  exit 1
}
read -r wall user sys <"$scratch/times"
tail -2 "$scratch/play.log"
awk -v wall="$wall" -v user="$user" -v sys="$sys" \
  'BEGIN { printf "wall %.1f s, CPU %.1f s (user %.1f s + sys %.1f s)\n", wall, user + sys, user, sys }'

# .ninja_log: start and end (ms) of every step of the build; the slowest compile steps, in
# wall time (several run at once, so they overlap).
echo "heaviest steps of the build (seconds, wall):"
awk -F'\t' '!/^#/ && $4 ~ /\.o$/ { printf "%7.1f  %s\n", ($2 - $1) / 1000, $4 }' build/.ninja_log |
  sort -rn | head -n "$count"
