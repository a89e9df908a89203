#!/bin/sh
# tools/setup.sh with dpkg-query, apt-get, sudo and id replaced by fakes on PATH: what it asks
# apt-get to install, when it asks nothing, and when it needs sudo.
set -u
setup=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
# dpkg-query: every package is installed except those named in $work/missing.
cat > "$work/bin/dpkg-query" <<'FAKE'
#!/bin/sh
for package; do :; done
if grep -qx "$package" "$FAKE_DIR/missing" 2>/dev/null; then exit 1; fi
printf 'install ok installed'
FAKE
printf '#!/bin/sh\necho "apt-get $*" >> "$FAKE_DIR/calls"\n' > "$work/bin/apt-get"
printf '#!/bin/sh\necho "sudo" >> "$FAKE_DIR/calls"\nexec "$@"\n' > "$work/bin/sudo"
printf '#!/bin/sh\necho "${FAKE_UID:-0}"\n' > "$work/bin/id"
chmod +x "$work/bin/"*
failures=0
check() {  # name, expected calls, [uid], [options...]
  name=$1 expected=$2 uid=$3
  shift 3
  : > "$work/calls"
  PATH="$work/bin:$PATH" FAKE_DIR=$work FAKE_UID=$uid sh "$setup" "$@" > "$work/out" 2>&1
  calls=$(cat "$work/calls")
  if [ "$calls" != "$expected" ]; then
    echo "FAIL $name: apt-get was asked"; echo "$calls"; echo "expected"; echo "$expected"
    cat "$work/out"; failures=$((failures + 1))
  fi
}
: > "$work/missing"
check "all there: nothing installed, nothing asked" "" 0 --tests
grep -q "every package needed is installed" "$work/out" || { echo "FAIL: no word when all is there"; failures=$((failures + 1)); }

printf 'libhwy-dev\nlibgtest-dev\n' > "$work/missing"
check "programs only: the test package is not asked for" "apt-get update
apt-get install -y --no-install-recommends libhwy-dev" 0
grep -q "installing with apt-get: libhwy-dev" "$work/out" || { echo "FAIL: does not say what it installs"; failures=$((failures + 1)); }
check "with tests: both, through sudo when not root" "sudo
apt-get update
sudo
apt-get install -y --no-install-recommends libhwy-dev libgtest-dev" 1000 --tests
[ "$(PATH="$work/bin:$PATH" FAKE_DIR=$work sh "$setup" --tests --list)" = "libhwy-dev
libgtest-dev" ] || { echo "FAIL: --list"; failures=$((failures + 1)); }
printf 'clang\n' > "$work/missing"
check "ci: clang too" "apt-get update
apt-get install -y --no-install-recommends clang" 0 --ci
for package in build-essential cmake libhwy-dev libcli11-dev libgtest-dev chromium; do
  grep -q "$package" "$setup" || { echo "FAIL: $package is not in the list"; failures=$((failures + 1)); }
done
exit $((failures > 0))
