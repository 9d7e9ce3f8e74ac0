#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run and test.
#   scripts/install-deps.sh          build and run the program
#   scripts/install-deps.sh --test   also the third-party readers and writers the tests compare against
set -euo pipefail

build_pkgs=(
  cmake ninja-build g++ pkg-config ccache
  qt6-base-dev qt6-base-dev-tools libqt6svg6
  libgtest-dev libgmock-dev libbenchmark-dev
  libzip-dev zlib1g-dev libpugixml-dev libgsf-1-dev
  fonts-wqy-microhei
)
test_pkgs=(
  clang libclang-rt-14-dev
  xvfb xauth imagemagick
  python3 python3-xlrd python3-openpyxl
  libspreadsheet-parseexcel-perl libspreadsheet-writeexcel-perl libole-storage-lite-perl
  libreoffice-calc-nogui gnumeric
  libxlsxwriter-dev
)

pkgs=("${build_pkgs[@]}")
if [[ "${1:-}" == "--test" ]]; then
  pkgs+=("${test_pkgs[@]}")
fi

missing=()
for p in "${pkgs[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  SUDO=""
  if [[ $(id -u) -ne 0 ]]; then SUDO=sudo; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
