#!/usr/bin/env bash
# Sets up what is missing, then builds and runs every test: the core and the command-line
# companion natively under AddressSanitizer and UndefinedBehaviorSanitizer, then the Windows
# build (core, companion and the window) under Wine in a virtual display.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

scripts/setup.sh

echo "== Native build with sanitizers =="
cmake --preset sanitize
cmake --build --preset sanitize -j "$(nproc)"
ctest --preset sanitize -j "$(nproc)"

echo "== Windows build under Wine =="
scripts/test-windows.sh
