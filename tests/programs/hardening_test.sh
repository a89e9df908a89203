#!/bin/bash
# sdofspec and sdofplot on what a careless user or an attacker gives them: each case a fault
# that was once reproduced, checked as a process (status, files, words on standard error).
set -u
sdofspec=$1 sdofplot=$2 data=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
cp "$data"/elcentro1940-ns-textbook.csv rec.csv
cp "$data"/RSN6_IMPVALL.I_I-ELC180.AT2 h1.AT2
cp "$data"/RSN6_IMPVALL.I_I-ELC270.AT2 h2.AT2
cp "$data"/RSN6_IMPVALL.I_I-ELC-UP.AT2 v.AT2
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# expect NAME STATUS WORDS COMMAND...: the status, and WORDS in standard error (or "" for none).
expect() {
  local name=$1 status=$2 words=$3
  shift 3
  "$@" > out.txt 2> err.txt
  local got=$?
  [ "$got" -eq "$status" ] || fail "$name: status $got, not $status: $(head -c 300 err.txt)"
  if [ -n "$words" ]; then
    grep -qF -- "$words" err.txt || fail "$name: no '$words' in: $(head -c 300 err.txt)"
  fi
}
temporaries() { find . -name '.sdof-*' | head -1; }

# Non-finite or huge responses: never an index past the RotD kernel's peaks (the sanitizer
# build checks the memory), the component refused with the period named.
awk -F, 'NR == 10 { $2 = "-1e200" } 1' OFS=, rec.csv > huge.csv
expect "a sample of -1e200 gal in a pair" 0 "" "$sdofspec" --rotd --periods gmm -o t.csv huge.csv
[ "$(wc -l < t.csv)" -eq $((1 + 6 * 21)) ] || fail "the huge pair's rows"
expect "a period of 1e300 s" 1 "the response at T = 1e+300 s is not finite" \
  "$sdofspec" --rotd --periods 1e300 -o t.csv rec.csv
expect "a period of 1e-10 s" 1 "the period 1e-10 s would take more than 1000000 steps" \
  timeout 20 "$sdofspec" --periods 1e-10 -o t.csv rec.csv
printf 'PEER\nx, y, 360\nG\nNPTS= 3, DT= 1e9 SEC\n1 2 3\n' > slow.AT2
expect "an interval of 1e9 s" 1 "steps per interval of 1e+09 s" \
  timeout 20 "$sdofspec" --ims i.csv -o t.csv slow.AT2

# Outputs never replace inputs, nor one another.
cp rec.csv kept.csv
for option in -o --ims --report; do
  expect "$option onto the record" 1 "rec.csv: is read by this run: not replaced" \
    "$sdofspec" --periods gmm "$option" rec.csv rec.csv
  cmp -s rec.csv kept.csv || fail "$option replaced the record"
done
# The pictures' folder is made before the outputs are opened: a table or the page may go in it.
expect "the page in a new pictures folder" 0 "" \
  "$sdofspec" --periods gmm --plot new --report new/page.html -o new/t.csv rec.csv
[ -s new/page.html ] && [ -s new/t.csv ] || fail "the page or the table not in the new folder"
expect "-o and --ims on one file" 1 "X: is named by two outputs" \
  "$sdofspec" --periods gmm -o X --ims X rec.csv
[ -e X ] && fail "X was written"
cp "$data"/golden/Ground-Vel.csv gv.csv
cp gv.csv vel.svg
expect "sdofplot -o onto its input" 1 "gv.csv: is read by this run: not replaced" \
  "$sdofplot" -o gv.csv gv.csv
expect "sdofplot on an input named .svg" 1 "vel.svg: is read by this run: not replaced" \
  "$sdofplot" vel.svg
cmp -s gv.csv vel.svg || fail "sdofplot replaced its input"

# Special files and permissions: a FIFO written in place, a link followed, a protected file kept.
mkfifo fifo
cat fifo > from-fifo.txt &
expect "a FIFO as the table" 0 "" "$sdofspec" --periods gmm -o fifo rec.csv
wait
[ -p fifo ] || fail "the FIFO was replaced"
[ "$(wc -l < from-fifo.txt)" -eq 64 ] || fail "the FIFO's reader did not get the table"
echo old > target.csv
ln -s target.csv link.csv
expect "a symbolic link" 0 "" "$sdofspec" --periods gmm -o link.csv rec.csv
[ -L link.csv ] && [ "$(wc -l < target.csv)" -eq 64 ] || fail "the link was not followed"
echo old > protected.csv
chmod 444 protected.csv
expect "a write-protected file" 1 "protected.csv: is write-protected: not replaced" \
  "$sdofspec" --periods gmm -o protected.csv rec.csv
[ "$(cat protected.csv)" = old ] || fail "the protected file was replaced"
chmod 640 target.csv
expect "an old file's permissions" 0 "" "$sdofspec" --periods gmm -o target.csv rec.csv
[ "$(stat -c %a target.csv)" = 640 ] || fail "permissions not kept: $(stat -c %a target.csv)"
long=$(printf 'n%.0s' $(seq 250)).csv
expect "a name of 254 characters" 0 "" "$sdofspec" --periods gmm -o "$long" rec.csv
[ -z "$(temporaries)" ] || fail "a temporary left: $(temporaries)"

# Unbounded input.
expect "/dev/zero as a record" 1 "/dev/zero:1: not a record of any format read here" \
  timeout 10 "$sdofspec" --periods gmm -o t.csv /dev/zero
printf 'PEER\nx, y, 360\nG\nNPTS= 99999999, DT= 0.01 SEC\n1 2 3\n' > claims.AT2
expect "a count the file cannot hold" 1 "claims.AT2:5: NPTS is 99999999 but 3 values follow" \
  "$sdofspec" --periods gmm -o t.csv claims.AT2
# Under a memory limit a record that cannot be held is refused and the others are written (not
# with the sanitizers, which reserve terabytes of address space).
if ! ldd "$sdofspec" 2> /dev/null | grep -q libasan; then
  ( ulimit -v 400000; "$sdofspec" --periods gmm -j 1 -o t.csv rec.csv /dev/zero h1.AT2 \
      > /dev/null 2> err.txt )
  grep -q "^h1.AT2,180" t.csv && grep -q "^rec.csv,NS" t.csv ||
    fail "under a memory limit the good records were lost: $(head -c 300 err.txt)"
fi
expect "sdofplot on /dev/zero" 1 "/dev/zero:1: not a file that sdofresp writes" \
  timeout 10 "$sdofplot" -o z.svg /dev/zero
expect "sdofplot on a folder" 1 ": is a folder, not a file" "$sdofplot" "$work"

# Resources and the smaller promises.
expect "--jobs 100000" 0 "" "$sdofspec" -j 100000 --periods gmm -o t.csv rec.csv
cp h1.AT2 a1.AT2
cp h2.AT2 a2.AT2
expect "--pair twice" 0 "" "$sdofspec" --periods gmm -o p.csv --pair h1.AT2 h2.AT2 \
  --pair a1.AT2 a2.AT2
grep -q '^h1.AT2+h2.AT2,RotD50' p.csv && grep -q '^a1.AT2+a2.AT2,RotD50' p.csv ||
  fail "--pair twice: the pairs' rows"
printf 'Time(s),NS(m/s2),EW(m/s2),UD(m/s2)\n0,0.01,0.02,0.03\n0.01,0.02,0.03,0.04\n' > si.csv
expect "a header in m/s2" 0 "" "$sdofspec" --periods 1 -o t.csv si.csv
printf 't,a(g),b(g),c(g)\n0,1,2,3\n0.01,1,2,5.8E306\n' > range.csv
expect "finite in g, not in cm/s2" 1 "range.csv:3: a value out of range in cm/s2" \
  "$sdofspec" --periods 1 -o t.csv range.csv
printf 't,NS(gal),EW(gal),UD(gal)\n0,1,2,3\n0.01,1,\033[2J,3\n' > control.csv
expect "control characters" 1 "not a number: '\\x1b[2J'" "$sdofspec" --periods 1 -o t.csv \
  control.csv
grep -q $'\033' err.txt && fail "an escape character reached the terminal"

# Killed at random moments: the table is absent, its old content or whole, and no temporary
# is left behind. (Fewer rounds of fewer records with the sanitizers, which run ten times
# slower.)
records=30 rounds=20
if ldd "$sdofspec" 2> /dev/null | grep -q libasan; then records=4 rounds=5; fi
for i in $(seq 1 $records); do cp "$data"/mexico1985-sct.csv "m$i.csv"; done
"$sdofspec" --ims whole-ims.csv -j 2 -o whole.csv m*.csv 2> /dev/null
signals=(TERM INT HUP)
for round in $(seq 1 $rounds); do
  echo old > killed.csv
  "$sdofspec" --ims killed-ims.csv -j 2 -o killed.csv m*.csv 2> /dev/null &
  pid=$!
  sleep "0.$((RANDOM % 10))$((RANDOM % 10))"
  kill -"${signals[round % 3]}" "$pid" 2> /dev/null
  { wait "$pid"; } 2> /dev/null
  if ! { [ "$(cat killed.csv)" = old ] || cmp -s killed.csv whole.csv; }; then
    fail "killed run $round: the table is torn"
  fi
  [ -z "$(temporaries)" ] || fail "killed run $round left $(temporaries)"
  rm -f killed-ims.csv
done
exit $((failures > 0))
