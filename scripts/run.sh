#!/usr/bin/env bash
# Sets up what is missing, cross-builds Dornavel.exe and starts it under Wine on this
# machine's display.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

scripts/setup.sh

cmake --preset windows
cmake --build --preset windows -j "$(nproc)" --target Dornavel

if [ -z "${DISPLAY:-}" ]; then
  echo "No display (DISPLAY is not set): start this from a desktop session, or under a" >&2
  echo "virtual one with: xvfb-run -a scripts/run.sh" >&2
  exit 1
fi
exec scripts/wine-run.sh build/windows/ui/Dornavel.exe
