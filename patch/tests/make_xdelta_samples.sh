#!/usr/bin/env bash
# Makes xdelta_samples.h: VCDIFF patches written by Debian's xdelta3 (3.0.11) for the patch
# tests, as byte arrays, so that the tests under Wine have them too. The images are the ones
# patch_samples.h builds (sampleRom, sampleTarget, compressibleTarget); the real-ROM patch
# needs the real ROM, given as the first argument (default ../shared/roms/m64p_test_rom.v64).
#   patch/tests/make_xdelta_samples.sh [REAL_ROM]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
real=${1:-../../../shared/roms/m64p_test_rom.v64}
command -v xdelta3 >/dev/null || { echo "xdelta3 is needed (apt-get install xdelta3)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$work" "$real" <<'PY'
import sys, random
work, real = sys.argv[1], sys.argv[2]
def rom():
    b = bytearray(((i * 31 + (i >> 8)) & 0xFF) for i in range(8192))
    b[0:4] = bytes([0x80, 0x37, 0x12, 0x40])
    return b
def target():
    t = rom()
    t[0x100:0x110] = b"Dornavel patched"
    t[0x1F00:0x1F04] = bytes([0xDE, 0xAD, 0xBE, 0xEF])
    t += bytes(((i * 7) & 0xFF) for i in range(1024))
    return t
def compressible():
    # Four letters drawn at random: no repeats for xdelta3 to copy, two bits a byte for
    # the secondary compressor to win.
    t = rom()
    state = 15
    for i in range(1024):
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        t[0x1000 + i] = b"ACGT"[(state >> 16) & 3]
    return t
def order(b, name):
    b = bytearray(b)
    for i in range(0, len(b) - len(b) % 4, 4):
        g = b[i:i + 4]
        b[i:i + 4] = {"big": g, "v64": g[1::-1] + g[3:1:-1], "little": g[::-1]}[name]
    return b
for name in ("big", "v64", "little"):
    open(f"{work}/rom.{name}", "wb").write(order(rom(), name))
    open(f"{work}/target.{name}", "wb").write(order(target(), name))
    open(f"{work}/compressible.{name}", "wb").write(order(compressible(), name))
v64 = open(real, "rb").read()
big = bytearray(v64)
big[0::2], big[1::2] = v64[1::2], v64[0::2]
open(f"{work}/real.big", "wb").write(big)
big[0x20:0x2B] = b"Dornavel 15"
open(f"{work}/real.patched", "wb").write(big)
PY

x() { xdelta3 -e -f "$@" 2>/dev/null; }
for o in big v64 little; do x -S none -s "$work/rom.$o" "$work/target.$o" "$work/made_for_$o"; done
x -n -S none -s "$work/rom.big" "$work/target.big" "$work/no_checksums"
# Secondary compression: xdelta3's default (lzma), djw and fgk in every order.
for o in big v64 little; do
  x -s "$work/rom.$o" "$work/compressible.$o" "$work/default_$o"
  x -S djw -s "$work/rom.$o" "$work/compressible.$o" "$work/djw_$o"
  x -S fgk -s "$work/rom.$o" "$work/compressible.$o" "$work/fgk_$o"
done
x -S none -s "$work/real.big" "$work/real.patched" "$work/real_rom"

{
  echo "// Made by make_xdelta_samples.sh with Debian's xdelta3 $(xdelta3 -V 2>&1 | head -1 | awk '{print $3}' | tr -d ,); do not edit."
  echo "#pragma once"
  echo
  for name in made_for_big made_for_v64 made_for_little no_checksums default_big default_v64 default_little \
    djw_big djw_v64 djw_little fgk_big fgk_v64 fgk_little real_rom; do
    echo "inline const unsigned char kXdelta_${name}[] = {"
    od -An -v -tx1 "$work/$name" | sed 's/ \([0-9a-f][0-9a-f]\)/0x\1, /g; s/^/   /; s/ *$//'
    echo "};"
  done
} >xdelta_samples.h
echo "wrote $(pwd)/xdelta_samples.h"
