#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, where any is missing.
set -euo pipefail

packages=(
  cmake g++ make
  libgtest-dev googletest libbenchmark-dev libcli11-dev
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64 xvfb xauth unzip zip p7zip-full gzip
  zlib1g-dev libssl-dev libxml2-dev libz-mingw-w64-dev libarchive-dev libdeflate-dev nlohmann-json3-dev liblzma-dev mupen64plus-data rhash time xdelta3
  btrfs-progs xfsprogs e2fsprogs util-linux
  python3 man-db bash-completion dpkg-dev file lintian
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq "${missing[@]}"
