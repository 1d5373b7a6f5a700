#!/usr/bin/env bash
# The engine's CMake package as a program outside the project uses it: the consumer
# of examples/consumer is built against the build tree (littoral_DIR) and against an
# installed copy (cmake --install into a prefix of its own, found through
# CMAKE_PREFIX_PATH); both run a short beach case and write its result files; a bad
# coefficient file, a control file naming a missing file and a missing control file end
# them with exit status 2 and the file named.
#
#   consumer.sh <source dir> <build dir> <cmake> <generator> <C++ compiler> <build type>
#               <C++ flags> <C++ flags of the build type> <executable linker flags>
set -euo pipefail
src=$1 build=$2 cmake=$3 generator=$4 cxx=$5 type=$6 flags=$7 typeflags=$8 ldflags=$9

work=$build/package-test
rm -rf "$work"
mkdir -p "$work"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
# Runs a command with its output in $work/<log>, shown only when it fails.
quiet() {
  local log=$work/$1
  shift
  "$@" >"$log" 2>&1 || { cat "$log" >&2; fail "$* (output above)"; }
}

# The consumer is built as the project was: same generator, compiler, build type and flags
# (a sanitizer build's library needs its runtime linked), and never from a package that a
# registry remembers.
settings=(-G "$generator" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE="$type"
          -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags"
          -DCMAKE_FIND_PACKAGE_NO_PACKAGE_REGISTRY=ON -DCMAKE_FIND_PACKAGE_NO_SYSTEM_PACKAGE_REGISTRY=ON)
[ -n "$type" ] && settings+=("-DCMAKE_CXX_FLAGS_${type^^}=$typeflags")

# The package directory the consumer's configure settled on.
found_dir() {
  sed -n 's/^littoral_DIR:[A-Z]*=//p' "$1/CMakeCache.txt"
}

# ---- (a) from the build tree ----
quiet configure-build-tree.log "$cmake" -S "$src/examples/consumer" -B "$work/from-build" "${settings[@]}" \
  -Dlittoral_DIR="$build"
quiet build-build-tree.log "$cmake" --build "$work/from-build"
[ "$(found_dir "$work/from-build")" = "$build" ] || fail "the build-tree consumer found littoral in $(found_dir "$work/from-build")"

# ---- (b) installed ----
prefix=$work/prefix
quiet install.log "$cmake" --install "$build" --prefix "$prefix"
for f in bin/littoral-batch include/littoral/littoral.h; do
  [ -f "$prefix/$f" ] || fail "cmake --install left no $f"
done
# An installed consumer sees the public header only, and nothing points back into the
# source or build tree.
[ "$(ls "$prefix/include")" = littoral ] || fail "installed include/ holds $(ls "$prefix/include")"
config=$(find "$prefix" -name littoralConfig.cmake)
[ -n "$config" ] || fail "no littoralConfig.cmake below $prefix"
if grep -rnF -e "$src" -e "$build" "$(dirname "$config")"; then
  fail "the installed package names the source or build tree (lines above)"
fi
quiet configure-installed.log "$cmake" -S "$src/examples/consumer" -B "$work/from-prefix" "${settings[@]}" \
  -DCMAKE_PREFIX_PATH="$prefix"
quiet build-installed.log "$cmake" --build "$work/from-prefix"
case "$(found_dir "$work/from-prefix")" in
  "$prefix"/*) ;;
  *) fail "the installed consumer found littoral in $(found_dir "$work/from-prefix")" ;;
esac

# ---- (c) both run the beach case, cut short to 16 s ----
short_case() {
  mkdir -p "$1/output"
  cp -r "$src/data" "$1/data"
  sed -i "s/^[^,]*, end time (s)/$2, end time (s)/" "$1/data/beach/coef.txt"
  grep -q "^$2, end time (s)" "$1/data/beach/coef.txt" || fail "no end time line in data/beach/coef.txt"
}
for from in build prefix; do
  dir=$work/case-$from
  log=$work/run-$from.log
  short_case "$dir" 16
  quiet "run-$from.log" "$work/from-$from/run-case" "$dir/data/beachcnt.txt"
  # Every interval the case announces is run, named and written.
  intervals=$(sed -n 's/^case .*, \([0-9]*\) intervals$/\1/p' "$log")
  [ -n "$intervals" ] && [ "$intervals" -ge 2 ] || { cat "$log"; fail "run-case ($from) announced no intervals"; }
  [ "$(grep -c '^interval ' "$log")" -eq "$intervals" ] || { cat "$log"; fail "run-case ($from) ran other than $intervals intervals"; }
  for ((n = 0; n < intervals; ++n)); do
    grep -q "^interval $n: " "$log" || { cat "$log"; fail "run-case ($from) named no interval $n"; }
    [ -s "$dir/output/beach/surfer$n.csv" ] || fail "run-case ($from) wrote no output/beach/surfer$n.csv"
  done
done
# One engine behind both.
for ((n = 0; n < intervals; ++n)); do
  cmp "$work/case-build/output/beach/surfer$n.csv" "$work/case-prefix/output/beach/surfer$n.csv" ||
    fail "surfer$n.csv differs between the two consumers"
done

# ---- (d) bad cases: exit status 2, the file at fault named ----
bad_case() {  # <what> <control file> <text the message must hold>...
  local what=$1 cnt=$2 status=0 log=$work/run-bad.log
  shift 2
  "$work/from-prefix/run-case" "$cnt" >"$log" 2>&1 || status=$?
  [ "$status" -eq 2 ] || { cat "$log"; fail "$what gave exit status $status, not 2"; }
  for text in "$@"; do
    grep -qF "$text" "$log" || { cat "$log"; fail "the message for $what does not hold \"$text\""; }
  done
}
short_case "$work/case-bad" sixteen
bad_case "a bad end time" "$work/case-bad/data/beachcnt.txt" 'coef.txt' 'line 14'
# (beside a good coefficient file, which is read first)
sed 's/wave\.txt/nowave.txt/' "$work/case-prefix/data/beachcnt.txt" >"$work/case-prefix/data/nowavecnt.txt"
bad_case "a control file naming a missing file" "$work/case-prefix/data/nowavecnt.txt" 'nowave.txt'
bad_case "a missing control file" "$work/case-bad/data/nonecnt.txt" 'nonecnt.txt'

echo "package: build tree and install prefix both built and ran the beach case"
rm -rf "$work"
