#!/bin/sh
# Side-by-side figures: the time awk takes to split the generated pairs that
# load_bench wrote into DIR, next to load_bench's own medians.
# Usage: bench/load_vs_awk.sh BUILD_DIR
set -e
build=${1:?usage: load_vs_awk.sh BUILD_DIR}
dir=$(mktemp -d /tmp/ftd_load_vs_awk_XXXXXX)
"$build/bench/load_bench" "$dir"
for g in 2000 20000 200000; do
  best=""
  for run in 1 2 3 4 5; do
    s=$(date +%s.%N)
    awk -F'\t' '{n+=NF} END {print n}' "$dir/events_$g.txt" "$dir/gates_$g.txt" >/dev/null
    e=$(date +%s.%N)
    t=$(echo "$e - $s" | bc)
    best="$best $t"
  done
  med=$(echo $best | tr ' ' '\n' | sort -n | sed -n 3p)
  echo "awk split, $g gates: median $med s"
done
rm -rf "$dir"
