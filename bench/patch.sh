#!/usr/bin/env bash
# Times dornavel-cli patch applying a BPS and an xdelta (VCDIFF) patch to a 64 MiB ROM against
# Debian's xdelta3 -d applying the same change, side by side in one run, and measures the
# CLI's peak memory.
#
#   cli bps       dornavel-cli patch ROM.z64 change.bps -o OUT (new file, made durable)
#   cli xdelta    dornavel-cli patch ROM.z64 change.vcdiff -o OUT (the same, from xdelta3's patch)
#   ... v64       the same two on the ROM in v64 order: the CLI finds the order the patches were
#                 made for (big-endian), patches, and writes OUT in v64 order
#   xdelta3 -d    xdelta3 -d -f -s ROM.z64 change.vcdiff OUT && sync OUT (the same change on the
#                 big-endian file, which is all it can patch; sync so that it is as durable)
#
# The change: 64 pieces of 4 KiB of new bytes spread over the ROM, and 1 MiB more at its end.
# Every output is checked against the expected image before anything is timed.
#
# Usage: bench/patch.sh [CLI [ROUNDS]]
#   CLI     the dornavel-cli to measure; default build/release/cli/dornavel-cli of this tree
#   ROUNDS  timed runs of each command, 11 by default; their medians are compared
# Environment:
#   DORNAVEL_BENCH_DIR  where the temporary folder goes (a real disk, not tmpfs); default build/

set -euo pipefail

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo_dir=$(dirname "$script_dir")
cli=${1:-$repo_dir/build/release/cli/dornavel-cli}
rounds=${2:-11}
bench_parent=${DORNAVEL_BENCH_DIR:-$repo_dir/build}
size_mib=64

bench_name=patch.sh
# shellcheck source=bench/common.sh
source "$script_dir/common.sh"
check_cli_and_rounds
need_tools xdelta3 python3 sync cmp awk sort
if [[ ${EPOCHREALTIME:-} == "" ]]; then die "bash 5 is needed (EPOCHREALTIME)"; fi
make_work_folder patch

# The ROM in both orders, the patched image in v64 order, and the BPS patch, written by a
# small encoder that knows where the change lies (SourceRead over what is kept, TargetRead
# for the new bytes).
python3 - "$work" "$size_mib" <<'PY'
import os, struct, sys, zlib
work, mib = sys.argv[1], int(sys.argv[2])
size = mib << 20
rom = bytearray(os.urandom(size))
rom[0:4] = b"\x80\x37\x12\x40"
target = bytearray(rom)
pieces = [(i * (size // 64) + 0x2000, os.urandom(4096)) for i in range(64)]
for at, data in pieces:
    target[at:at + len(data)] = data
target += os.urandom(1 << 20)
def number(out, v):
    while True:
        low, v = v & 0x7F, v >> 7
        if v == 0:
            out.append(0x80 | low); return
        out.append(low); v -= 1
patch = bytearray(b"BPS1"); number(patch, len(rom)); number(patch, len(target)); number(patch, 0)
done = 0
for at, data in pieces + [(size, target[size:])]:
    if at > done: number(patch, ((at - done - 1) << 2) | 0)
    number(patch, ((len(data) - 1) << 2) | 1); patch += data
    done = at + len(data)
patch += struct.pack("<II", zlib.crc32(rom), zlib.crc32(target))
patch += struct.pack("<I", zlib.crc32(patch))
def v64(b):
    b = bytearray(b); b[0::2], b[1::2] = b[1::2], b[0::2]; return b
open(f"{work}/rom.z64", "wb").write(rom)
open(f"{work}/target.z64", "wb").write(target)
open(f"{work}/rom.v64", "wb").write(v64(rom))
open(f"{work}/target.v64", "wb").write(v64(target))
open(f"{work}/change.bps", "wb").write(patch)
PY
xdelta3 -e -f -S none -s "$work/rom.z64" "$work/target.z64" "$work/change.vcdiff"
cat "$work"/rom.* "$work"/change.* >/dev/null

out=$work/out
# Prints the current time in microseconds.
now_us() {
    local t=${EPOCHREALTIME/[.,]/}
    echo "$t"
}
# Runs "$@" with its output discarded after removing the output file, and prints how long it
# took in milliseconds.
time_ms() {
    local start end
    rm -f "$out"
    start=$(now_us)
    "$@" >/dev/null
    end=$(now_us)
    awk -v d=$((end - start)) 'BEGIN { printf "%.3f", d / 1000 }'
}
xdelta_durable() {
    xdelta3 -d -f -s "$work/rom.z64" "$work/change.vcdiff" "$out" && sync "$out"
}

# Every way must make the expected bytes before its speed means anything.
"$cli" patch "$work/rom.v64" "$work/change.bps" -o "$out" >/dev/null && cmp -s "$out" "$work/target.v64" ||
    die "dornavel-cli patch with the BPS patch did not make the expected image"
rm -f "$out"
"$cli" patch "$work/rom.v64" "$work/change.vcdiff" -o "$out" >/dev/null && cmp -s "$out" "$work/target.v64" ||
    die "dornavel-cli patch with the xdelta patch did not make the expected image"
xdelta_durable && cmp -s "$out" "$work/target.z64" || die "xdelta3 -d did not make the expected image"

cli_bps=()
cli_vcdiff=()
v64_bps=()
v64_vcdiff=()
xdelta=()
# One untimed round first; then the three take turns, so that a burst of other work on the
# machine falls on all of them alike.
for ((round = 0; round <= rounds; round++)); do
    b=$(time_ms "$cli" patch "$work/rom.z64" "$work/change.bps" -o "$out")
    v=$(time_ms "$cli" patch "$work/rom.z64" "$work/change.vcdiff" -o "$out")
    x=$(time_ms xdelta_durable)
    vb=$(time_ms "$cli" patch "$work/rom.v64" "$work/change.bps" -o "$out")
    vv=$(time_ms "$cli" patch "$work/rom.v64" "$work/change.vcdiff" -o "$out")
    ((round == 0)) && continue
    cli_bps+=("$b")
    cli_vcdiff+=("$v")
    v64_bps+=("$vb")
    v64_vcdiff+=("$vv")
    xdelta+=("$x")
done

m_bps=$(median "${cli_bps[@]}")
m_vcdiff=$(median "${cli_vcdiff[@]}")
m_xdelta=$(median "${xdelta[@]}")
m_v64_bps=$(median "${v64_bps[@]}")
m_v64_vcdiff=$(median "${v64_vcdiff[@]}")

echo "Patching a $size_mib MiB ROM (new file on $fs_type, $(nproc) processors)"
echo "  CLI: $cli"
echo
printf '  %-44s %10s %6s\n' "command" "median ms" "runs"
printf '  %-44s %10s %6s\n' "dornavel-cli patch (z64 ROM, BPS)" "$m_bps" "$rounds"
printf '  %-44s %10s %6s\n' "dornavel-cli patch (z64 ROM, xdelta)" "$m_vcdiff" "$rounds"
printf '  %-44s %10s %6s\n' "xdelta3 -d + sync (z64 ROM)" "$m_xdelta" "$rounds"
printf '  %-44s %10s %6s\n' "dornavel-cli patch (v64 ROM, BPS)" "$m_v64_bps" "$rounds"
printf '  %-44s %10s %6s\n' "dornavel-cli patch (v64 ROM, xdelta)" "$m_v64_vcdiff" "$rounds"
echo
echo "Ratios of the medians (below 1: the CLI is faster)"
print_ratio "cli bps / xdelta3 -d" "$m_bps" "$m_xdelta" 1.0
print_ratio "cli xdelta / xdelta3 -d" "$m_vcdiff" "$m_xdelta" 1.0
echo "  on the v64 ROM (two conversion passes more; xdelta3 cannot patch it at all):"
print_ratio "cli bps v64 / xdelta3 -d" "$m_v64_bps" "$m_xdelta" 1.0
print_ratio "cli xdelta v64 / xdelta3 -d" "$m_v64_vcdiff" "$m_xdelta" 1.0

# Peak resident set size in KiB of dornavel-cli patch with the patch $1 (a fresh output).
peak_rss_kib() {
    local report=$work/time.txt
    rm -f "$out"
    /usr/bin/time -v -o "$report" "$cli" patch "$work/rom.v64" "$1" -o "$out" >/dev/null ||
        die "dornavel-cli patch failed under /usr/bin/time"
    awk -F': *' '/Maximum resident set size/ { print $2 }' "$report"
}

echo
if [[ -x /usr/bin/time ]]; then
    rom_kib=$(($(stat -c %s "$work/rom.v64") / 1024))
    result_kib=$(($(stat -c %s "$work/target.v64") / 1024))
    base=$(/usr/bin/time -f %M "$cli" --version 2>&1 >/dev/null)
    echo "Peak memory (maximum resident set size, /usr/bin/time -v); the program alone: $base KiB"
    for p in change.bps change.vcdiff; do
        patch_kib=$(($(stat -c %s "$work/$p") / 1024))
        rss=$(peak_rss_kib "$work/$p")
        # The target: the ROM, the patch and the result, the program itself, and 4 MiB for the
        # huge-page rounding of the large buffers.
        awk -v r="$rss" -v need=$((rom_kib + patch_kib + result_kib + base)) -v slack=4096 -v name="$p" 'BEGIN {
            printf "  %-16s %8d KiB  = ROM + patch + result + program %+d KiB  target <= +%d KiB  %s\n",
                name, r, r - need, slack, (r - need <= slack ? "met" : "MISSED") }'
    done
else
    echo "Peak memory: /usr/bin/time is not installed; not measured"
fi
