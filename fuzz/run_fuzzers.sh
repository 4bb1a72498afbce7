#!/usr/bin/env bash
# Runs each libFuzzer target of a ZARVO_FUZZ build for a set time, on a scratch copy of its seed
# corpus (the repository's corpus stays as it is), and prints a line per target.
# usage: run_fuzzers.sh BUILD_DIR SECONDS TARGET...
set -uo pipefail
build=$1 seconds=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
work="$build/fuzz-work"
failed=()
for target in "$@"; do
  fuzzer="$build/fuzz/fuzz_$target"
  dir="$work/$target"
  if [[ ! -x $fuzzer ]]; then
    echo "  $target: no such fuzz target ($fuzzer)"
    failed+=("$target")
    continue
  fi
  rm -rf "$dir/corpus"
  mkdir -p "$dir/corpus" "$dir/artifacts"
  cp "$here/corpus/$target/"* "$dir/corpus/" 2>/dev/null || true
  args=(-max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 -max_len=16384
        -print_final_stats=1 -artifact_prefix="$dir/artifacts/")
  [[ -f "$here/dict/$target.dict" ]] && args+=(-dict="$here/dict/$target.dict")
  mkdir -p "$dir/tmp"
  echo "fuzzing $target for ${seconds}s (log: $dir/fuzz.log)"
  if TMPDIR="$(cd "$dir/tmp" && pwd)" "$fuzzer" "${args[@]}" "$dir/corpus" >"$dir/fuzz.log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/fuzz.log")
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$dir/fuzz.log")
    cover=$(grep -o 'cov: [0-9]*' "$dir/fuzz.log" | tail -1)
    echo "  $target: ok, $runs runs, $speed exec/s, $cover, corpus $(ls "$dir/corpus" | wc -l) files"
  else
    echo "  $target: FAULT FOUND; reproducer in $dir/artifacts/, log tail:"
    tail -40 "$dir/fuzz.log" | sed 's/^/    /'
    failed+=("$target")
  fi
done
if ((${#failed[@]})); then
  echo "faults in: ${failed[*]}"
  exit 1
fi
