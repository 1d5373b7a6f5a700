#!/usr/bin/env bash
# Runs both bundled samples with the release build and records the SHA-256 of every
# text file they leave (echo and result files, see sample-checksums.sh) in
# tests/data/samples/checksums.txt.
# The sample test compares against that file. Run this only when an issue changes the
# samples' numbers or files on purpose, and say which and why in the commit.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release >/dev/null
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cp -r data "$tmp/data"
mkdir "$tmp/output"
build/release/bin/littoral-batch "$tmp/data/beachcnt.txt" "$tmp/data/breakwatercnt.txt" >/dev/null 2>&1
out=tests/data/samples/checksums.txt
scripts/sample-checksums.sh "$tmp/output" "$tmp/data" > "$out"
echo "$(wc -l < "$out") checksums written to $out"
