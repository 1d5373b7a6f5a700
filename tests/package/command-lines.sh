#!/usr/bin/env bash
# The programs' command lines: --help ends with status 0 and names every option with its
# default; --version gives the project version and the build's commit; a bad option or
# value ends with status 2 and a message naming the option and what was expected.
#
#   command-lines.sh <folder of the programs>
set -euo pipefail
bin=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
version=$(sed -n 's/^project(Littoral VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../../CMakeLists.txt")

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
# expect <status> <name> <program> <args...>: the status, output in $work/<name>
expect() {
  local want=$1 name=$2
  shift 2
  local got=0
  "$@" >"$work/$name" 2>&1 || got=$?
  [ "$got" = "$want" ] || { cat "$work/$name" >&2; fail "$* ended with $got, expected $want"; }
}
has() {
  grep -qF -- "$2" "$work/$1" || { cat "$work/$1" >&2; fail "the output of $1 lacks \"$2\""; }
}

expect 0 batch-help "$bin/littoral-batch" --help
for t in --threads --jobs --netcdf --no-csv --init --version "default: 1"; do has batch-help "$t"; done
expect 0 batch-version "$bin/littoral-batch" --version
has batch-version "littoral-batch $version ("
expect 2 batch-bad "$bin/littoral-batch" --threads many
has batch-bad "--threads"
expect 2 batch-init "$bin/littoral-batch" --init
has batch-init "--init"

if [ -x "$bin/littoral-bench" ]; then
  expect 0 bench-help "$bin/littoral-bench" --help
  for t in --threads --periods --small-only --cells --steps --version PART; do has bench-help "$t"; done
  has bench-help "=2"   # the default of --periods
  expect 0 bench-version "$bin/littoral-bench" --version
  has bench-version "littoral-bench $version ("
  expect 2 bench-part "$bin/littoral-bench" everything
  has bench-part "everything"
  expect 2 bench-threads "$bin/littoral-bench" waves --threads 5000
  has bench-threads "--threads"
  expect 2 bench-unknown "$bin/littoral-bench" --fast
  has bench-unknown "--fast"
fi

if [ -x "$bin/littoral" ]; then
  expect 0 desk-help "$bin/littoral" --help
  for t in --keep-open --folder --version "default: off"; do has desk-help "$t"; done
  expect 0 desk-version "$bin/littoral" --version
  has desk-version "littoral $version ("
  expect 2 desk-bad "$bin/littoral" --keep-closed
  has desk-bad "--keep-closed: unknown option"
fi

if [ -x "$bin/littoral-mpi" ]; then
  export OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1 OMPI_MCA_plm=isolated OMPI_MCA_btl=self
  expect 0 mpi-help "$bin/littoral-mpi" --help
  for t in --threads --jobs --netcdf --no-csv; do has mpi-help "$t"; done
  has mpi-help "usage: littoral-mpi"
  expect 0 mpi-version "$bin/littoral-mpi" --version
  has mpi-version "littoral-mpi $version ("
fi
echo "command lines: ok"
