#!/usr/bin/env bash
# Installs the Debian packages that building and testing xrkit need and this machine
# lacks, with apt-get (through sudo unless run as root). When everything is there it does
# nothing, not even an apt-get update. README.md says what each package is for.
#   tools/install-deps.sh [build|all]   build: what the run command needs; all (default):
#                                       the tests, fuzzing and benchmarks as well
set -euo pipefail

build=(cmake make g++ libgtest-dev libgmock-dev libicu-dev)
all=("${build[@]}" pkg-config python3 icu-devtools bsdextrautils clang libclang-rt-14-dev
  libbenchmark-dev libunistring-dev)
case ${1:-all} in
  build) wanted=("${build[@]}") ;;
  all) wanted=("${all[@]}") ;;
  *) echo "usage: $0 [build|all]" >&2; exit 2 ;;
esac

if ! command -v dpkg-query >/dev/null; then
  echo "install-deps: not a Debian system; make sure these are installed: ${wanted[*]}" >&2
  exit 0
fi
missing=()
for pkg in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$pkg" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || {
    echo "install-deps: these packages are missing and sudo is not there: ${missing[*]}" >&2
    exit 1
  }
  as_root=(sudo)
fi
echo "install-deps: installing ${missing[*]}"
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
