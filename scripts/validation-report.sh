#!/usr/bin/env bash
# Regenerates docs/validation.md and its figures (docs/images/validation/) from the
# validation tests' own runs: builds the test preset's validation program, runs it with
# LITTORAL_VALIDATION_SERIES set, so that each test writes its model and reference series and
# the measures it asserts, and draws them with matplotlib (Debian's /usr/bin/python3 with
# python3-matplotlib). The exit status is that of the tests: a failing benchmark still gets
# its figure, and the report marks the measure that failed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
series=build/validation-series
if [ ! -f build/test/CMakeCache.txt ]; then
    cmake --preset test >/dev/null
fi
cmake --build --preset test --target littoral_validation_tests
rm -rf "$series"
mkdir -p "$series"
status=0
LITTORAL_VALIDATION_SERIES="$PWD/$series" build/test/bin/littoral_validation_tests \
    --gtest_brief=1 > "$series/tests.log" 2>&1 || status=$?
tail -n 3 "$series/tests.log"
/usr/bin/python3 scripts/validation_report.py "$series" docs
echo "docs/validation.md and docs/images/validation/ written (tests exit status $status)"
exit "$status"
