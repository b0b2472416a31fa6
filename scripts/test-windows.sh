#!/usr/bin/env bash
# Cross-builds the Windows half (Dornavel.exe, dornavel-cli.exe and the test programs) with
# MinGW-w64 and runs the tests under Wine, in a virtual X display of its own.
#   DORNAVEL_WINDOWS_BUILD  build folder (default build/windows)
#   WINEPREFIX              Wine prefix (default build/wineprefix, created on first use)
#   DORNAVEL_TEST_JOBS      tests run at once (default 2)
# Arguments are passed to ctest (e.g. -R Swap to run only some tests).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root="$PWD"

build="${DORNAVEL_WINDOWS_BUILD:-$root/build/windows}"
jobs="${DORNAVEL_TEST_JOBS:-2}"
export WINEPREFIX="${WINEPREFIX:-$root/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# The real ROM the identity tests use, named as Windows programs see it: Wine's drive Z: is
# the Unix root.
rom="$root/../shared/roms/m64p_test_rom.v64"
if [ -z "${DORNAVEL_TEST_ROM:-}" ] && [ -f "$rom" ]; then
  rom="$(cd "$(dirname "$rom")" && pwd -P)/$(basename "$rom")"
  DORNAVEL_TEST_ROM="Z:${rom//\//\\}"
elif [ -n "${DORNAVEL_TEST_ROM:-}" ] && [ "${DORNAVEL_TEST_ROM#/}" != "$DORNAVEL_TEST_ROM" ]; then
  DORNAVEL_TEST_ROM="Z:${DORNAVEL_TEST_ROM//\//\\}"
fi
export DORNAVEL_TEST_ROM="${DORNAVEL_TEST_ROM:-}"
echo "Real test ROM: ${DORNAVEL_TEST_ROM:-none (its tests are skipped)}"

echo "== Windows cross build in $build =="
cmake --preset windows -B "$build"
cmake --build "$build" -j 2

echo "== Windows release package =="
cmake --build "$build" --target package
package="$(ls "$build"/Dornavel-*-win64.zip)"
# The listing is read whole first: grep -q stops at the first match, and unzip writing on
# into the closed pipe would fail the check under pipefail.
listing="$(unzip -l "$package")"
for member in Dornavel.exe dornavel-cli.exe README.md LICENSE docs/cli.md docs/screenshot.png; do
  grep -q " $member\$" <<<"$listing" || { echo "$package lacks $member" >&2; exit 1; }
done

echo "== Wine prefix $WINEPREFIX =="
scripts/wine-run.sh

xvfb_pid=""
full_disk=""
wineserver_started=""
holder_pid=""
ctest_pid=""
work="$(mktemp -d)"

# Ends everything this run started: the Windows programs and the wine server, then the
# display they drew on.
cleanup() {
  if [ -n "$ctest_pid" ] && kill -0 "$ctest_pid" 2>/dev/null; then
    kill "$ctest_pid" 2>/dev/null || true
    wait "$ctest_pid" 2>/dev/null || true
  fi
  if [ -n "$holder_pid" ]; then
    kill "$holder_pid" 2>/dev/null || true
    wait "$holder_pid" 2>/dev/null || true
  fi
  if [ -n "$wineserver_started" ]; then
    wineserver -k >/dev/null 2>&1 || true
    timeout 30 wineserver -w >/dev/null 2>&1 || true
  fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  if [ -n "$full_disk" ]; then umount "$full_disk" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

echo "== Virtual display =="
# Xvfb picks a free display number itself and writes it to fd 3 once it accepts clients.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" </dev/null \
  >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { cat "$work/xvfb.log" >&2; echo "Xvfb did not start" >&2; exit 1; }
  sleep 0.1
done
[ -s "$work/display" ] || { echo "Xvfb gave no display number" >&2; exit 1; }
DISPLAY=":$(head -n1 "$work/display")"
export DISPLAY
echo "DISPLAY=$DISPLAY"

# One wine server for the whole run, so each test does not pay for starting one; -p keeps it
# (and Wine's services with it) until cleanup ends it. It must not hold this script's output
# open, or a reader of that output would wait for it.
wineserver -p </dev/null >/dev/null 2>&1 || true
wineserver_started=1
# Wine's services start with the first Windows program of a session and live as long as the
# server: started here, they hold no test's output open.
scripts/wine-run.sh wineboot </dev/null >/dev/null 2>&1
# The desktop's process would take the standard error of the first test that needs it and
# live on with other tests: it is started now, with none, and kept for the whole run by
# desktop_holder (ui/tests/desktop_holder.cpp tells why). The tests wait until it is there.
scripts/wine-run.sh "$build/ui/tests/desktop_holder.exe" </dev/null >"$work/holder" 2>/dev/null &
holder_pid=$!
for _ in $(seq 600); do
  [ -s "$work/holder" ] && break
  kill -0 "$holder_pid" 2>/dev/null || break
  sleep 0.1
done
[ -s "$work/holder" ] || { echo "desktop_holder did not open Wine's desktop" >&2; exit 1; }

echo "== A full disk =="
# A sparse ROM on a small file system with no room left, for the window's failed write.
# Only where this user may mount one; the test that needs it is skipped otherwise.
if mkdir -p "$work/full" && mount -t tmpfs -o size=1m dornavel-full "$work/full" 2>/dev/null; then
  full_disk="$work/full"
  printf '\x37\x80\x40\x12' >"$full_disk/sparse.v64"
  truncate -s 4M "$full_disk/sparse.v64"
  dd if=/dev/zero of="$full_disk/filler" bs=4k 2>/dev/null || true
  export DORNAVEL_FULL_DISK_ROM="$full_disk/sparse.v64"
else
  echo "cannot mount a small tmpfs: the failed-write window test will be skipped"
fi

echo "== Tests under Wine =="
# What scripts/wine-test.py had to do for a test (a test program it ended after its tests,
# output it did not wait for, a program Wine failed to start and that was run again) is noted here and shown after the run.
export DORNAVEL_WINE_NOTES="$work/wine-notes"
: >"$DORNAVEL_WINE_NOTES"
# In the background, so that a signal to this script ends the run at once instead of after
# the last test.
ctest --test-dir "$build" -j "$jobs" --output-on-failure "$@" &
ctest_pid=$!
status=0
wait "$ctest_pid" || status=$?
ctest_pid=""
if [ -s "$DORNAVEL_WINE_NOTES" ]; then
  echo "== Test programs that did not start or end by themselves under Wine (counted by their results) =="
  cat "$DORNAVEL_WINE_NOTES"
else
  echo "Every test program under Wine ended by itself."
fi
exit "$status"
