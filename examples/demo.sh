#!/bin/sh
# The demo: sdofresp's whole dialogue on the bundled El Centro record (period 1 s, damping
# 0.05), the pictures of its files, and sdofspec's spectra, intensity measures, pictures and
# report page for the same record.
# Usage: demo.sh PROGRAMS-FOLDER RECORD DEMO-FOLDER (the folder is made, its files replaced).
# The answers to sdofresp come from a pipe, so the console shows the prompts without them.
set -e
bin=$(readlink -f "$1")
mkdir -p "$3"
cp "$2" "$3/"
cd "$3"
record=$(basename "$2")
printf '%s\n1\n0.05\nResponse-Wave.csv\n' "$record" | "$bin/sdofresp"
echo
# sdofresp's files carry no unit nor oscillator: the pictures are told them (the record is in gal).
"$bin/sdofplot" --units gal --period 1 --damping 0.05 --record "$record" Ground-Vel.csv \
  Energy-Density-wave1.csv Energy-Density-wave2.csv Energy-Density-wave3.csv Response-Wave.csv
"$bin/sdofspec" --rotd --energy --ims intensity.csv --plot pictures --report report.html \
  -o spectra.csv "$record"
echo
echo "The demo's files are in $(pwd):"
for f in Ground-Vel.csv Energy-Density-wave1.csv Energy-Density-wave2.csv \
         Energy-Density-wave3.csv Response-Wave.csv spectra.csv intensity.csv; do
  printf '  %-26s %8d lines\n' "$f" "$(wc -l < "$f")"
done
echo "  sdofplot's pictures: Ground-Vel.svg, Energy-Density-wave1.svg (2, 3), Response-Wave.svg"
echo "  sdofspec's pictures: pictures/; the report page: report.html"
echo
echo "The programs are in $bin: sdofresp, sdofspec, sdofplot"
echo "Install them with: cmake --install $bin --prefix ~/.local"
