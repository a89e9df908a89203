#!/bin/sh
# The demo: sdofresp's whole dialogue on the bundled El Centro record (period 1 s, damping
# 0.05), the pictures of its files, and sdofspec's spectra, intensity measures, pictures and
# report page for the same record. Run in the build folder with the programs' folder as $1.
# The answers to sdofresp come from a pipe, so the console shows the prompts without them.
set -e
bin=$(readlink -f "${1:-.}")
record=elcentro1940-array9.csv
printf '%s\n1\n0.05\nResponse-Wave.csv\n' "$record" | "$bin/sdofresp"
echo
echo "Files written in $(pwd):"
for f in Ground-Vel.csv Energy-Density-wave1.csv Energy-Density-wave2.csv \
         Energy-Density-wave3.csv Response-Wave.csv; do
  printf '  %-26s %8d lines\n' "$f" "$(wc -l < "$f")"
done

"$bin/sdofplot" Ground-Vel.csv Energy-Density-wave1.csv Energy-Density-wave2.csv \
  Energy-Density-wave3.csv Response-Wave.csv
"$bin/sdofspec" --rotd --energy --ims intensity.csv --plot pictures --report report.html \
  -o spectra.csv "$record"
echo
echo "Pictures: Ground-Vel.svg, Energy-Density-wave1.svg (2, 3), Response-Wave.svg"
echo "Spectra:  spectra.csv ($(($(wc -l < spectra.csv) - 1)) rows), intensity.csv, pictures/, report.html"
echo
echo "The programs are in $bin: sdofresp, sdofspec, sdofplot"
echo "Install them with: cmake --install $bin --prefix ~/.local"
