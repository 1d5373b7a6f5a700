#!/usr/bin/env bash
# Fuzzes the readers with libFuzzer, each for SECONDS (default 60), in a clang build with
# the address and undefined-behaviour sanitizers (build/fuzz).
#   scripts/fuzz.sh [SECONDS] [READER...]     readers: control coef wave tide depth boundary freefield
# Each reader starts from its committed seeds (fuzz/corpus/<reader>) and keeps what it
# learns in build/fuzz/corpus/<reader>; an input that crashes or trips a sanitizer is
# saved in build/fuzz/findings/<reader>/ and the script ends non-zero. Replay a finding
# with build/fuzz/bin/fuzz-<reader> FILE; once mended, copy it into fuzz/corpus/<reader>/
# so that the replay test (ctest -L fuzz) keeps it.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
[ $# -gt 0 ] && shift
readers=("$@")
[ ${#readers[@]} -eq 0 ] && readers=(control coef wave tide depth boundary freefield)
scripts/setup.sh
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLITTORAL_FUZZ=ON -DLITTORAL_TESTS=OFF -DLITTORAL_GUI=OFF -DLITTORAL_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer" \
  >/dev/null
targets=()
for r in "${readers[@]}"; do targets+=("fuzz-$r"); done
cmake --build build/fuzz -j2 --target "${targets[@]}"
status=0
for r in "${readers[@]}"; do
  mkdir -p "build/fuzz/corpus/$r" "build/fuzz/findings/$r"
  log="build/fuzz/$r.log"
  if ! "build/fuzz/bin/fuzz-$r" -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=8192 -timeout=10 \
      -print_final_stats=1 -artifact_prefix="build/fuzz/findings/$r/" \
      "build/fuzz/corpus/$r" "fuzz/corpus/$r" >"$log" 2>&1; then
    status=1
    echo "$r: FINDING, see $log and build/fuzz/findings/$r/"
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  echo "$r: ${runs:-?} inputs in ${seconds} s, corpus $(ls "build/fuzz/corpus/$r" | wc -l) files"
done
exit $status
