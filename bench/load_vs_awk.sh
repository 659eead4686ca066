#!/bin/sh
# Side-by-side figures: the time awk takes to split the generated pairs that
# load_bench wrote into DIR, next to load_bench's own medians, with the ratio
# of the two and the growth from one size to the next (ten times the input).
# Usage: bench/load_vs_awk.sh BUILD_DIR
set -e
build=${1:?usage: load_vs_awk.sh BUILD_DIR}
dir=$(mktemp -d /tmp/ftd_load_vs_awk_XXXXXX)
"$build/bench/load_bench" "$dir" | tee "$dir/load.txt"
printf '%8s %12s %12s %10s %12s\n' gates "load s" "awk s" "load/awk" "load growth"
prev=""
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
  load=$(awk -v g="$g" '$1 == g {print $4}' "$dir/load.txt")
  awk -v g="$g" -v l="$load" -v a="$med" -v p="$prev" 'BEGIN {
    printf "%8d %12.4f %12.4f %10.2f %12s\n", g, l, a, l / a, p == "" ? "-" : sprintf("%.2f", l / p) }'
  prev=$load
done
rm -rf "$dir"
