#!/bin/sh
# sdofspec's outputs on the bundled records, compared byte for byte with the files kept in
# tests/data/golden/sdofspec: the tables (spectra with energies, RotD and two dampings; the
# intensity measures; the Fourier spectra smoothed at the default grid, with the pairs' EAS),
# one picture and the report page. With --update as the last argument the
# kept files are written anew instead (for a change of output that is meant: look at the diff).
set -u
sdofspec=$1 data=$2 golden=$3 update=${4:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$data"/RSN6_IMPVALL.I_I-ELC180.AT2 "$data"/RSN6_IMPVALL.I_I-ELC270.AT2 \
  "$data"/RSN6_IMPVALL.I_I-ELC-UP.AT2 "$data"/elcentro1940-ns-textbook.csv "$work/"
cd "$work" || exit 1
# The report states when it was made: a fixed time, as reproducible builds set it.
export SOURCE_DATE_EPOCH=1765324800
"$sdofspec" --periods gmm --damping 0.02,0.05 --rotd --energy --ims ims.csv --fas fourier.csv \
  -o spectra.csv \
  RSN6_IMPVALL.I_I-ELC180.AT2 RSN6_IMPVALL.I_I-ELC270.AT2 RSN6_IMPVALL.I_I-ELC-UP.AT2 \
  elcentro1940-ns-textbook.csv 2> errors.txt || { cat errors.txt; exit 1; }
"$sdofspec" --periods gmm --rotd --plot pictures --report report.html -o second.csv \
  RSN6_IMPVALL.I_I-ELC180.AT2 RSN6_IMPVALL.I_I-ELC270.AT2 2>> errors.txt || { cat errors.txt; exit 1; }
cp pictures/RSN6_IMPVALL.I_I-ELC180+RSN6_IMPVALL.I_I-ELC270-spectrum.svg spectrum.svg
failures=0
for f in spectra.csv ims.csv fourier.csv spectrum.svg report.html errors.txt; do
  if [ "$update" = --update ]; then
    cp "$f" "$golden/$f"
  elif ! cmp -s "$f" "$golden/$f"; then
    echo "$f differs from $golden/$f:"
    diff "$golden/$f" "$f" | head -20
    failures=$((failures + 1))
  fi
done
exit $((failures > 0))
