#!/usr/bin/env bash
# A maximum-size run (131100 samples, the whole dialogue, 52 MB of output) timed against cat
# writing the same output bytes, side by side: each round runs both in fresh folders.
# Usage: bench/end_to_end.sh [path/to/sdofresp] [rounds]
set -euo pipefail
program=$(readlink -f "${1:-build/release/sdofresp}")
rounds=${2:-9}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
outputs="Ground-Vel.csv Energy-Density-wave1.csv Energy-Density-wave2.csv Energy-Density-wave3.csv wave.csv"

# A synthetic three-component record: decaying oscillations with four decimals, like real ones.
awk 'BEGIN {
  print "Time(s),NS(gal),EW(gal),UD(gal)"
  for (i = 0; i < 131100; i++) {
    d = exp(-i / 60000.0)
    printf "%.2f,%.4f,%.4f,%.4f\n", i * 0.01, 310 * d * sin(0.071 * i) * cos(0.0013 * i),
           -205 * d * sin(0.043 * i + 1), 96 * d * cos(0.117 * i)
  }
}' > "$work/record.csv"

now() { date +%s%N; }
run_program() {  # folder
  (cd "$1" && printf 'record.csv\n1\n0.05\nwave.csv\n' | "$program" > /dev/null)
}

# The reference output, for cat to copy.
mkdir "$work/reference"
ln -s "$work/record.csv" "$work/reference/record.csv"
run_program "$work/reference"
(cd "$work/reference" && cat $outputs > "$work/all-output")
bytes=$(stat -c %s "$work/all-output")

program_times=()
cat_times=()
for ((r = 0; r < rounds; r++)); do
  dir="$work/run$r"
  mkdir "$dir" "$dir/cat"
  ln -s "$work/record.csv" "$dir/record.csv"
  t0=$(now); run_program "$dir"; t1=$(now)
  cat "$work/all-output" > "$dir/cat/out"; t2=$(now)
  program_times+=($(((t1 - t0) / 1000)))
  cat_times+=($(((t2 - t1) / 1000)))
  rm -rf "$dir"
done

median() { printf '%s\n' "$@" | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
program_us=$(median "${program_times[@]}")
cat_us=$(median "${cat_times[@]}")

mkdir "$work/memory"
ln -s "$work/record.csv" "$work/memory/record.csv"
peak_kb=$( (cd "$work/memory" && printf 'record.csv\n1\n0.05\nwave.csv\n' |
  /usr/bin/time -f %M "$program" 2>&1 > /dev/null) | tail -1)

awk -v p="$program_us" -v c="$cat_us" -v b="$bytes" -v m="$peak_kb" -v n="$rounds" 'BEGIN {
  printf "output          %.1f MB in 5 files (131100 samples)\n", b / 1e6
  printf "sdofresp        %.1f ms (median of %d)\n", p / 1000, n
  printf "cat, same bytes %.1f ms (median of %d)\n", c / 1000, n
  printf "ratio           %.2fx\n", p / c
  printf "peak memory     %.1f MiB\n", m / 1024
}'
