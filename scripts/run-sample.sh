#!/usr/bin/env bash
# Builds the optimised programs and runs the bundled sample cases headless.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release
bin=build/release/bin
cases=("$@")
[ ${#cases[@]} -eq 0 ] && cases=(beachcnt.txt breakwatercnt.txt)
"$bin/littoral-batch" "${cases[@]/#/$bin/data/}"
echo "Results: $(cd "$bin/output" && pwd)/"
