#!/usr/bin/env bash
# Builds everything with the test preset and runs every test (unit, whole-case,
# validation and the windows on Qt's offscreen platform).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset test >/dev/null
cmake --build --preset test
export QT_QPA_PLATFORM=offscreen
ctest --preset test "$@"
