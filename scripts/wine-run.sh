#!/usr/bin/env bash
# Runs a cross-built Windows program under Wine, in the project's own Wine prefix, which it
# creates on first use. Called with no program, it only makes sure the prefix is ready.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
export WINEPREFIX="${WINEPREFIX:-$here/../build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installer dialog: the programs need neither.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

ready="$WINEPREFIX/.dornavel-ready"
if [ ! -e "$ready" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  # Tests started in parallel wait here while the first one creates the prefix. Wine's own
  # processes must not inherit the lock (fd 9), or they would hold it for their whole life,
  # nor this script's output, or whoever reads it would wait for the wine server to end.
  (
    flock 9
    if [ ! -e "$ready" ]; then
      wineboot -i 9>&- </dev/null >/dev/null 2>&1
      # Windows not handed to a window manager: with none running (a virtual display),
      # Wine would otherwise wait two seconds each time a window is hidden.
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
        9>&- </dev/null >/dev/null 2>&1
      # Wine's own fonts, among them Marlett for the caption buttons, where this Wine build
      # does not find them by itself.
      if [ -d /usr/share/wine/fonts ] && [ -d "$WINEPREFIX/drive_c/windows/Fonts" ]; then
        cp -n /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
      fi
      # Bounded: a wine server kept alive on purpose (wineserver -p) would never end.
      timeout 120 wineserver -w 9>&- || true
      touch "$ready"
    fi
  ) 9>"$WINEPREFIX.lock"
fi

[ $# -eq 0 ] && exit 0
exec wine "$@"
