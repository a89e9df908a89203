#!/bin/sh
# Regenerates the pictures that the README shows (docs/pictures), from the bundled record.
# Usage: examples/pictures.sh [folder of the programs, default build/release]
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(readlink -f "${1:-$root/build/release}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$root/examples/elcentro1940-array9.csv" "$work/"
cd "$work"
# sdofresp's run: the record, a period of 1 s, 5% damping, the response-wave file's name.
printf 'elcentro1940-array9.csv\n1\n0.05\nResponse-Wave.csv\n' | "$bin/sdofresp" > /dev/null
# The record is in gal; sdofresp's files do not say so, nor which oscillator the run used.
"$bin/sdofplot" --units gal --period 1 --damping 0.05 \
  --record "El Centro Array #9, Imperial Valley 1940" \
  Ground-Vel.csv Energy-Density-wave1.csv Response-Wave.csv
"$bin/sdofspec" --rotd --energy --plot . -o spectra.csv elcentro1940-array9.csv
mkdir -p "$root/docs/pictures"
# elcentro1940-array9-*.svg: the spectrum, the tripartite plot, and the record's own picture
# where sdofspec draws one.
cp Ground-Vel.svg Energy-Density-wave1.svg Response-Wave.svg elcentro1940-array9-*.svg \
  "$root/docs/pictures/"
echo "docs/pictures: $(ls "$root/docs/pictures" | tr '\n' ' ')"
