#!/bin/sh
# Installs, through apt-get, the Debian packages that the builds need and this machine lacks,
# and says what it installs; installs nothing when all are there.
#   tools/setup.sh           what the programs and the demo need
#   tools/setup.sh --tests   also what the tests need (GoogleTest, the picture and browser
#                            checks, NumPy and SciPy as references, pytest, Dask)
#   tools/setup.sh --ci      also what the sanitizer and fuzz builds need (clang)
#   tools/setup.sh --list    print the packages of the choice that are missing, install nothing
# Needs root or sudo when something is missing.
set -eu

programs="build-essential cmake libhwy-dev libcli11-dev libmseed-dev libkissfft-dev
  pybind11-dev python3-dev"
tests="libgtest-dev libbenchmark-dev libpng-dev librsvg2-bin libxml2-utils chromium
  python3-numpy python3-scipy python3-pytest python3-distributed python3-setuptools python3-wheel
  python3-pip python3-venv"
ci="clang libclang-rt-14-dev"

wanted=$programs
list_only=no
for argument in "$@"; do
  case $argument in
    --tests) wanted="$wanted $tests" ;;
    --ci) wanted="$wanted $tests $ci" ;;
    --list) list_only=yes ;;
    *) echo "setup.sh: unknown option $argument (--tests, --ci, --list)" >&2; exit 2 ;;
  esac
done

missing=
for package in $wanted; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  case $status in
    *" installed") ;;
    *) missing="$missing $package" ;;
  esac
done

if [ "$list_only" = yes ]; then
  for package in $missing; do echo "$package"; done
  exit 0
fi
if [ -z "$missing" ]; then
  echo "setup.sh: every package needed is installed"
  exit 0
fi
echo "setup.sh: installing with apt-get:$missing"
if [ "$(id -u)" -eq 0 ]; then
  sudo=
elif command -v sudo >/dev/null 2>&1; then
  sudo=sudo
else
  echo "setup.sh: not root and no sudo: install them as root, then run this again" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
# shellcheck disable=SC2086  # one word per package
$sudo apt-get install -y --no-install-recommends $missing
