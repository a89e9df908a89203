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
printf 'elcentro1940-array9.csv\n1\n0.05\nResponse-Wave.csv\n' | "$bin/sdofresp" > /dev/null
"$bin/sdofplot" Ground-Vel.csv Energy-Density-wave1.csv Response-Wave.csv
"$bin/sdofspec" --rotd --energy --plot . -o spectra.csv elcentro1940-array9.csv
mkdir -p "$root/docs/pictures"
cp Ground-Vel.svg Energy-Density-wave1.svg Response-Wave.svg elcentro1940-array9-spectrum.svg \
  elcentro1940-array9-tripartite.svg "$root/docs/pictures/"
echo "docs/pictures: $(ls "$root/docs/pictures" | tr '\n' ' ')"
