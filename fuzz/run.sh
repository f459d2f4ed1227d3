#!/usr/bin/env bash
# Runs every fuzz target for the given number of seconds (default 600) on its seed corpus.
# Usage: fuzz/run.sh [seconds] [build folder with -DQUILLON_BUILD_FUZZ=ON]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
build=${2:-build-fuzz}
work=fuzz/corpus-work
mkdir -p "$work"
status=0
for bin in "$build"/bin/fuzz_*; do
  [ -x "$bin" ] || continue
  name=$(basename "$bin")
  seed="fuzz/corpus/${name#fuzz_}"
  out="$work/${name#fuzz_}"
  mkdir -p "$out"
  dict="fuzz/${name#fuzz_}.dict"
  args=(-max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048)
  [ -f "$dict" ] && args+=(-dict="$dict")
  echo "---- $name for ${seconds}s"
  if ! "$bin" "${args[@]}" "$out" "$seed" >"$work/$name.log" 2>&1; then
    echo "$name FAILED; its log:"
    tail -n 60 "$work/$name.log"
    status=1
  else
    grep -E "stat::number_of_executed_units|stat::average_exec_per_sec" "$work/$name.log" || true
  fi
done
exit $status
