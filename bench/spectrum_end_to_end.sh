#!/usr/bin/env bash
# sdofspec end to end: 111 periods at 5% damping of a 131100-sample, three-component record at
# 0.005 s, against a plain scalar C loop of the same recurrence (bench/plain_spectrum.c) on the
# same record; median wall times of repeated runs, and sdofspec's peak memory.
# Usage: bench/spectrum_end_to_end.sh [path/to/sdofspec] [rounds]
set -euo pipefail
here=$(dirname "$(readlink -f "$0")")
program=$(readlink -f "${1:-build/bench/sdofspec}")
rounds=${2:-9}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cc -O2 -ffp-contract=off -o "$work/plain_spectrum" "$here/plain_spectrum.c" -lm

now() { date +%s%N; }
median() { printf '%s\n' "$@" | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
# Two records: motion that dies away after its peak at 20 s (the kernel stops each group of
# periods once no later sample can raise a peak), and motion that grows to the very end (no
# such stop: every sample is computed).
measure() {
  local label=$1 peak=$2
  awk -v samples=131100 -v seed=7 -v peak="$peak" -v noise=4000 -f "$here/synthetic_record.awk" \
    > "$work/record.csv"
  local sdofspec_times=() plain_times=()
  for ((r = 0; r < rounds; r++)); do
    t0=$(now); "$program" "$work/record.csv" > "$work/spectra.csv"; t1=$(now)
    "$work/plain_spectrum" "$work/record.csv" > "$work/plain.csv"; t2=$(now)
    sdofspec_times+=($(((t1 - t0) / 1000)))
    plain_times+=($(((t2 - t1) / 1000)))
  done
  peak_kb=$(/usr/bin/time -f %M "$program" "$work/record.csv" 2>&1 > /dev/null | tail -1)
  one_thread_us=$( (t0=$(now); "$program" -j 1 "$work/record.csv" > /dev/null; t1=$(now); echo $(((t1 - t0) / 1000))) )

  # The two agree on every Sd.
  paste -d, <(cut -d, -f5 "$work/spectra.csv" | tail -n +2) <(cut -d, -f3 "$work/plain.csv" | tail -n +2) |
    awk -F, '{ d = $1 - $2; if (d < 0) d = -d; if (d > 1e-12 * ($2 < 0 ? -$2 : $2) + 1e-300) bad++ }
             END { if (bad) { print bad " periods differ"; exit 1 } }'

  awk -v s="$(median "${sdofspec_times[@]}")" -v p="$(median "${plain_times[@]}")" -v m="$peak_kb" \
      -v one="$one_thread_us" -v n="$rounds" -v label="$label" 'BEGIN {
    printf "record          131100 samples x 3 components, 111 periods, 5%% damping, %s\n", label
    printf "sdofspec        %.1f ms (median of %d), one thread %.1f ms\n", s / 1000, n, one / 1000
    printf "plain C loop    %.1f ms (median of %d)\n", p / 1000, n
    printf "ratio           %.1fx\n", p / s
    printf "peak memory     %.1f MiB\n", m / 1024
  }'
}
measure "motion dying away after 20 s" 20
measure "motion growing to the end" 655
