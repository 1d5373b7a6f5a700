#!/usr/bin/env bash
# The programs as a user gets them:
#  1. the build's copy of the samples keeps a case the user edited (cmake/CopySamples.cmake,
#     run as the build runs it): an edited wave height stays, a sample changed in the
#     sources reaches an unedited copy, a deleted file comes back, a user's own file stays;
#  2. cmake --install into a temporary prefix; from another folder, the installed
#     littoral-batch --init makes a work folder from the installed examples and runs the
#     walk-through case there (result files and the five pictures); --init again keeps an
#     edited file; the installed desktop program answers --help and --version;
#  3. cpack -G DEB: the package's control fields (name, version, architecture, the shared
#     libraries and fonts it depends on), its files, and the package unpacked (dpkg-deb -x)
#     and installed into an empty root (dpkg --root) with the program running from there.
#
#   install.sh <source dir> <build dir> <cmake> <cpack>
set -euo pipefail
src=$1 build=$2 cmake=$3 cpack=$4

work=$build/install-test
rm -rf "$work"
mkdir -p "$work"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
quiet() {
  local log=$work/$1
  shift
  "$@" >"$log" 2>&1 || { cat "$log" >&2; fail "$* (output above)"; }
}
has() {  # has <file> <text>: the file holds the text
  grep -qF -- "$2" "$1" || { echo "--- $1:" >&2; cat "$1" >&2; fail "$1 does not hold \"$2\""; }
}

# ---- 1. the samples' copy keeps the user's edits ----
samples=$work/samples dest=$work/tree/bin/data stamp=$work/tree/samples-copied.txt
cp -r "$src/data" "$samples"
copy() { quiet copy.log "$cmake" -DSOURCE="$samples" -DDEST="$dest" -DSTAMP="$stamp" -P "$src/cmake/CopySamples.cmake"; }
copy
cmp -s "$samples/beach/wave.txt" "$dest/beach/wave.txt" || fail "the first copy differs from the sample"
[ -d "$work/tree/bin/output" ] || fail "no output folder beside the copied data folder"
sed -i 's/^1.0, offshore wave height/0.5, offshore wave height/' "$dest/beach/wave.txt"
has "$dest/beach/wave.txt" "0.5, offshore wave height"
echo "9, a change of the sample" >> "$samples/beach/tide.txt"
rm "$dest/breakwater/depth.txt"
echo "my own case" > "$dest/mine.txt"
copy
has "$dest/beach/wave.txt" "0.5, offshore wave height"        # the user's edit stays
has "$work/copy.log" "beach/wave.txt: changed here, kept"
cmp -s "$samples/beach/tide.txt" "$dest/beach/tide.txt" || fail "a changed sample did not reach its unedited copy"
cmp -s "$samples/breakwater/depth.txt" "$dest/breakwater/depth.txt" || fail "a deleted sample file was not copied again"
has "$dest/mine.txt" "my own case"
# Once the sample itself says what the user wrote, the copy follows the sample again.
sed -i 's/^1.0, offshore wave height/0.5, offshore wave height/' "$samples/beach/wave.txt"
copy
sed -i 's/^0.5, offshore wave height/0.7, offshore wave height/' "$samples/beach/wave.txt"
copy
has "$dest/beach/wave.txt" "0.7, offshore wave height"

# ---- 2. install into a prefix, a work folder elsewhere ----
prefix=$work/prefix
quiet install.log "$cmake" --install "$build" --prefix "$prefix"
for f in bin/littoral-batch share/littoral/examples/beachcnt.txt share/littoral/examples/breakwater/depth.txt \
         share/littoral/examples/mybaycnt.txt share/littoral/examples/mybay/wave.txt share/doc/littoral/README.md \
         share/doc/littoral/install.md share/doc/littoral/pictures.md include/littoral/littoral.h; do
  [ -f "$prefix/$f" ] || fail "cmake --install left no $f"
done
[ -f "$prefix/share/littoral/examples/inputs.md" ] && fail "the examples hold the developers' notes inputs.md"
mkdir -p "$work/elsewhere"
cd "$work/elsewhere"
quiet init.log "$prefix/bin/littoral-batch" --init "$work/study"
has "$work/init.log" "work folder $work/study"
for f in data/mybaycnt.txt data/mybay/coef.txt data/beachcnt.txt data/breakwater/wave.txt; do
  cmp -s "$prefix/share/littoral/examples/${f#data/}" "$work/study/$f" || fail "--init did not copy $f"
done
[ -d "$work/study/output" ] || fail "--init made no output folder"
quiet run.log "$prefix/bin/littoral-batch" "$work/study/data/mybaycnt.txt"
has "$work/run.log" "ok     $work/study/data/mybaycnt.txt: "
[ -f "$work/study/output/mybay/surfer9.csv" ] || fail "the installed program left no surfer9.csv"
if [ -x "$prefix/bin/littoral" ]; then
  for p in eta setup wavH currents bedchange; do
    [ -f "$work/study/output/mybay/$p.png" ] || fail "the installed program left no $p.png"
  done
  quiet desktop-help.log env QT_QPA_PLATFORM=offscreen "$prefix/bin/littoral" --help
  has "$work/desktop-help.log" "--keep-open"
  has "$work/desktop-help.log" "--folder"
  quiet desktop-version.log "$prefix/bin/littoral" --version
  has "$work/desktop-version.log" "littoral 0.1 ("
fi
# --init on a folder that holds an edited case keeps it.
sed -i 's/^0.3, offshore wave height/0.5, offshore wave height/' "$work/study/data/mybay/wave.txt"
quiet init2.log "$prefix/bin/littoral-batch" --init "$work/study"
has "$work/init2.log" "kept as they were"
has "$work/study/data/mybay/wave.txt" "0.5, offshore wave height"
# A file where the folder should be is refused with the option named.
touch "$work/plainfile"
if "$prefix/bin/littoral-batch" --init "$work/plainfile" >"$work/init3.log" 2>&1; then fail "--init on a file succeeded"; fi
has "$work/init3.log" "--init $work/plainfile: a file of that name exists"

# ---- 3. the Debian package ----
cd "$build"
quiet cpack.log "$cpack" -G DEB -B "$work/deb"
deb=$(ls "$work"/deb/littoral_*.deb)
[ -f "$deb" ] || fail "cpack made no littoral_*.deb"
dpkg-deb -f "$deb" Package Version Architecture Depends Section >"$work/control.txt"
has "$work/control.txt" "Package: littoral"
has "$work/control.txt" "Version: 0.1"
has "$work/control.txt" "Architecture: $(dpkg --print-architecture)"
has "$work/control.txt" "libgomp1"
if [ -x "$build/bin/littoral" ]; then
  has "$work/control.txt" "libqt6gui6"
  has "$work/control.txt" "fonts-dejavu-core"
fi
if grep -q "^NETCDF_FOUND:INTERNAL=1" "$build/CMakeCache.txt" || nm -C "$build/bin/littoral-batch" 2>/dev/null | grep -q nc_create; then
  has "$work/control.txt" "libnetcdf"
fi
if [ -x "$build/bin/littoral-mpi" ]; then
  has "$work/control.txt" "openmpi-bin"
  has "$work/control.txt" "libopenmpi"
fi
dpkg-deb -c "$deb" >"$work/contents.txt"
for f in ./usr/bin/littoral-batch ./usr/share/littoral/examples/beachcnt.txt ./usr/share/littoral/examples/mybaycnt.txt \
         ./usr/share/doc/littoral/README.md ./usr/lib/cmake/littoral/littoralConfig.cmake; do
  has "$work/contents.txt" "$f"
done
# Unpacked anywhere, the program finds its examples beside itself.
dpkg-deb -x "$deb" "$work/unpacked"
quiet deb-init.log "$work/unpacked/usr/bin/littoral-batch" --init "$work/study2"
[ -f "$work/study2/data/mybaycnt.txt" ] || fail "the unpacked package's --init copied no examples"
# Installed by dpkg into an empty root (the dependencies are this machine's, not that root's).
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/usr/bin"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
if dpkg --root="$root" --force-depends --force-script-chrootless --force-not-root -i "$deb" >"$work/dpkg.log" 2>&1; then
  grep -q "^Package: littoral$" "$root/var/lib/dpkg/status" || fail "dpkg --root recorded no littoral package"
  quiet dpkg-version.log "$root/usr/bin/littoral-batch" --version
  has "$work/dpkg-version.log" "littoral-batch 0.1"
else
  echo "note: dpkg --root could not install here (output in $work/dpkg.log); the unpacked package was checked"
fi
echo "install, work folder and package: ok ($(du -h "$deb" | cut -f1) package)"
