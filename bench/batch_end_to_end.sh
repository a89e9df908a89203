#!/usr/bin/env bash
# sdofspec at database scale: 200 synthetic three-component records of 16396 samples at
# 0.005 s (the size of a typical PEER record), 111 periods at 5% damping, rotated spectra and
# intensity measures, end to end in one run; time per record, processor time and peak memory.
# Usage: bench/batch_end_to_end.sh [path/to/sdofspec] [records] [more sdofspec options]
set -euo pipefail
here=$(dirname "$(readlink -f "$0")")
program=$(readlink -f "${1:-build/bench/sdofspec}")
count=${2:-200}
more=("${@:3}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Each record its own noise.
for ((r = 0; r < count; r++)); do
  awk -v samples=16396 -v seed=$((r + 1)) -v peak=8 -v noise=1000 -f "$here/synthetic_record.awk" \
    > "$work/record$r.csv"
  echo "$work/record$r.csv"
done > "$work/list"

start=$(date +%s%N)
/usr/bin/time -f "%M %U %S" -o "$work/memory" "$program" --rotd --ims "$work/ims.csv" "${more[@]}" -o "$work/spectra.csv" "@$work/list"
end=$(date +%s%N)
rows=$(($(wc -l < "$work/spectra.csv") - 1))
awk -v more="${more[*]}" -v ns=$((end - start)) -v n="$count" -v m="$(cut -d" " -f1 "$work/memory")" -v cpu="$(awk '{print $2 + $3}' "$work/memory")" -v rows="$rows" 'BEGIN {
  printf "records         %d x 16396 samples x 3 components, 111 periods, 5%% damping, RotD, IMs %s\n", n, more
  printf "total           %.2f s, %d table rows\n", ns / 1e9, rows
  printf "per record      %.1f ms\n", ns / 1e6 / n
  printf "processor time  %.2f s (user + system: what a loaded machine does not change)\n", cpu
  printf "peak memory     %.1f MiB\n", m / 1024
}'
