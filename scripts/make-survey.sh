#!/usr/bin/env bash
# Makes the small survey of examples/survey: a plane beach rising towards the south-west with
# a shoal offshore, in UTM zone 31N (EPSG:32631), as
#   survey.tif      a GeoTIFF of elevations (m above the datum), 5 m pixels, 700 x 600 m
#   soundings.xyz   x y z points (elevations) about 12 m apart over the same area
# The surface (x, y in metres of the UTM zone):
#   z = 2 - 0.02 s + 1.5 exp(-r^2 / (2 * 50^2)),  s = (x - 431000) cos 30 + (y - 5560000) sin 30,
#   r the distance from the shoal's top at (431300, 5560260).
# Needs awk and GDAL's gdal_translate (Debian's gdal-bin). Usage: scripts/make-survey.sh [folder]
set -euo pipefail
out=${1:-"$(dirname "$0")/../examples/survey"}
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

surface='function z(x, y,   s, r2) {
  s = (x - 431000) * 0.86602540378443865 + (y - 5560000) * 0.5
  r2 = (x - 431300) ^ 2 + (y - 5560260) ^ 2
  return 2 - 0.02 * s + 1.5 * exp(-r2 / 5000)
}'

# The raster: 140 x 120 pixels of 5 m, its upper left corner at (430850, 5560500).
awk "$surface"'
BEGIN {
  nc = 140; nr = 120; c = 5; x0 = 430850; ytop = 5560500
  print "ncols " nc; print "nrows " nr
  print "xllcorner " x0; print "yllcorner " (ytop - nr * c); print "cellsize " c
  print "NODATA_value -9999"
  for (r = 0; r < nr; r++) {
    line = ""
    for (k = 0; k < nc; k++) line = line sprintf("%s%.6f", k ? " " : "", z(x0 + (k + 0.5) * c, ytop - (r + 0.5) * c))
    print line
  }
}' > "$tmp/survey.asc"
gdal_translate -q -of GTiff -ot Float32 -a_srs EPSG:32631 -co COMPRESS=DEFLATE -co PREDICTOR=3 \
  "$tmp/survey.asc" "$tmp/survey.tif"
mv "$tmp/survey.tif" "$out/survey.tif"

# The soundings: a 12 m lattice over the same area, each point moved by up to 4 m in a fixed
# pattern (no random numbers: the file is the same on every machine).
awk "$surface"'
BEGIN {
  print "# x y z: elevation above the datum (m), UTM zone 31N (EPSG:32631)"
  for (j = 0; j <= 50; j++)
    for (i = 0; i <= 58; i++) {
      dx = ((i * 37 + j * 91) % 17) / 16 * 8 - 4
      dy = ((i * 53 + j * 29) % 13) / 12 * 8 - 4
      x = 430850 + i * 12 + dx; y = 5559900 + j * 12 + dy
      if (x < 430850) x = 430850
      if (y < 5559900) y = 5559900
      printf "%.2f %.2f %.4f\n", x, y, z(x, y)
    }
}' > "$tmp/soundings.xyz"
mv "$tmp/soundings.xyz" "$out/soundings.xyz"
echo "wrote $out/survey.tif and $out/soundings.xyz"
