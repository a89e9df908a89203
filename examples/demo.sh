#!/bin/sh
# Runs the whole dialogue on the bundled El Centro record: period 1 s, damping 0.05.
# The answers come from a pipe, so the console shows the prompts without them.
set -e
program=$(readlink -f "${1:-./sdofresp}")
printf 'elcentro1940-array9.csv\n1\n0.05\nResponse-Wave.csv\n' | "$program"
echo
echo "Files written in $(pwd):"
for f in Ground-Vel.csv Energy-Density-wave1.csv Energy-Density-wave2.csv \
         Energy-Density-wave3.csv Response-Wave.csv; do
  printf '  %-26s %8d lines\n' "$f" "$(wc -l < "$f")"
done
echo
echo "The program is $program"
echo "Install it with: cmake --install $(dirname "$program") --prefix ~/.local"
