#!/usr/bin/env bash
# sdofspec on horizontal pairs, one thread: 40 pairs of 16,596-sample AT2 files at 0.005 s
# (synthetic motion that peaks at 8 s and dies away, bench/synthetic_record.awk), the 111
# NGA-West2 periods at 5%; CPU time per pair without and with --rotd, median of the rounds.
# Usage: bench/rotd_end_to_end.sh [path/to/sdofspec] [rounds] [more options with --rotd]
set -euo pipefail
here=$(dirname "$(readlink -f "$0")")
program=$(readlink -f "${1:-build/bench/sdofspec}")
rounds=${2:-5}
more=("${@:3}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Each pair its own noise; the two horizontals of synthetic_record.awk, written in g as AT2.
for ((p = 1; p <= 40; p++)); do
  awk -v samples=16596 -v seed="$p" -v peak=8 -v noise=1000 -f "$here/synthetic_record.awk" |
    awk -F, -v dir="$work" -v p="$p" 'NR > 1 {
        for (c = 1; c <= 2; c++) v[c, NR - 1] = $(c + 1) / 980.665
        n = NR - 1
      }
      END {
        for (c = 1; c <= 2; c++) {
          f = sprintf("%s/RSN%d_SYNTH_%03d.AT2", dir, p, 90 * (c - 1))
          print "PEER NGA STRONG MOTION DATABASE RECORD" > f
          printf "Synthetic, 1/1/2000, Station %d, %03d\n", p, 90 * (c - 1) > f
          print "ACCELERATION TIME SERIES IN UNITS OF G" > f
          printf "NPTS=%7d, DT=   .0050 SEC\n", n > f
          line = ""
          for (i = 1; i <= n; i++) {
            line = line sprintf("%15.7E", v[c, i])
            if (i % 5 == 0 || i == n) { print line > f; line = "" }
          }
          close(f)
        }
      }'
done
ls "$work"/*.AT2 > "$work/list"

cpu_ms() {  # user + system CPU time of one run, in ms
  /usr/bin/time -f "%U %S" -o "$work/time" "$program" -j 1 "$@" -o "$work/out.csv" "@$work/list" 2> "$work/errors"
  awk '{ printf "%.0f\n", ($1 + $2) * 1000 }' "$work/time"
}
median() { printf '%s\n' "$@" | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
plain=() rotd=()
for ((r = 0; r < rounds; r++)); do
  plain+=("$(cpu_ms)")
  rotd+=("$(cpu_ms --rotd "${more[@]}")")
done
awk -v a="$(median "${plain[@]}")" -v b="$(median "${rotd[@]}")" \
    -v all_a="${plain[*]}" -v all_b="${rotd[*]}" 'BEGIN {
  printf "components alone  %.2f ms per pair (runs: %s ms)\n", a / 40, all_a
  printf "with --rotd       %.2f ms per pair (runs: %s ms)\n", b / 40, all_b
  printf "rotation          %.2f ms per pair, %.2fx the two runs\n", (b - a) / 40, (b - a) / a
}'
