#!/usr/bin/env bash
# Installs what the build needs from Debian's packages, once: a C++ compiler, CMake,
# Ninja, GoogleTest, Qt 6 Widgets, CLI11 (the command lines), the netCDF C library (results.nc), Open MPI (littoral-mpi), an X server with
# a window manager for the window tests (Xvfb, openbox, xauth, xprop), and clang with its
# libFuzzer and sanitizer runtimes for scripts/fuzz.sh, pybind11 with Debian's Python 3, numpy,
# xarray, netCDF4 and tqdm for the Python module littoral. Does nothing when everything is
# there already.
set -euo pipefail

packages=(g++ cmake ninja-build googletest libgtest-dev qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev pkg-config libnetcdf-dev libcli11-dev
          libopenmpi-dev openmpi-bin xvfb openbox xauth x11-utils clang libclang-rt-dev fonts-dejavu-core dpkg-dev file python3-pytest python3-matplotlib
          libgdal-dev gdal-bin libtomlplusplus-dev
          pybind11-dev python3-dev python3-numpy python3-xarray python3-netcdf4 python3-tqdm)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
