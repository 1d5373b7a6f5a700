#!/usr/bin/env bash
# Prints "sha256  file" for every text file below OUTPUT_DIR (the PNG pictures depend on
# the image library's encoder and are left out). The echo files name the input files and
# the output folder by their full paths: DATA_DIR and OUTPUT_DIR are written as "<data>"
# and "<output>" there, so the sums do not depend on where the samples ran.
set -euo pipefail
output=$(cd "$1" && pwd)
data=$(cd "$2" && pwd)
cd "$output"
find . -type f ! -name '*.png' | sed 's|^\./||' | LC_ALL=C sort | while read -r f; do
  sum=$(sed -e "s|$data/|<data>/|g" -e "s|$output/|<output>/|g" "$f" | sha256sum | cut -d' ' -f1)
  printf '%s  %s\n' "$sum" "$f"
done
