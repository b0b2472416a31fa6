#!/usr/bin/env bash
# Sets up what is missing, then builds and runs every test: the core and the command-line
# companion natively under AddressSanitizer and UndefinedBehaviorSanitizer (with an install
# into a temporary prefix), the release build's Debian package, then the Windows build
# (core, companion and the window) under Wine in a virtual display.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

scripts/setup.sh

# The real ROM the identity tests use, when the shared material is beside the project.
rom="$PWD/../shared/roms/m64p_test_rom.v64"
if [ -z "${DORNAVEL_TEST_ROM:-}" ] && [ -f "$rom" ]; then
  DORNAVEL_TEST_ROM="$(cd "$(dirname "$rom")" && pwd -P)/$(basename "$rom")"
  export DORNAVEL_TEST_ROM
fi
echo "Real test ROM: ${DORNAVEL_TEST_ROM:-none (its tests are skipped)}"

echo "== Native build with sanitizers =="
cmake --preset sanitize
cmake --build --preset sanitize -j "$(nproc)"
ctest --preset sanitize -j "$(nproc)"

echo "== Release build and its Debian package =="
cmake --preset release
cmake --build --preset release -j "$(nproc)"
rm -f build/release/dornavel-cli_*.deb
(cd build/release && cpack -G DEB >/dev/null)
bash cli/tests/package_test.sh build/release/dornavel-cli_*.deb

echo "== Windows build under Wine =="
scripts/test-windows.sh
