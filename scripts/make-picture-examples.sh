#!/usr/bin/env bash
# Makes the example pictures of docs/pictures.md: runs the bundled breakwater sample with
# the release build's batch program in a temporary work folder and copies the five
# pictures it leaves into docs/images/ as breakwater-<name>.png.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset release >/dev/null
cmake --build --preset release --target littoral-batch >/dev/null
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
build/release/bin/littoral-batch --init "$tmp/work" >/dev/null
build/release/bin/littoral-batch "$tmp/work/data/breakwatercnt.txt" >/dev/null
mkdir -p docs/images
for p in eta setup wavH currents bedchange; do
  cp "$tmp/work/output/breakwater/$p.png" "docs/images/breakwater-$p.png"
done
echo "five pictures written to docs/images/"
