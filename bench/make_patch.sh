#!/usr/bin/env bash
# Times dornavel-cli make-patch (BPS) against Debian's xdelta3 -e -9 -S none on the same pair
# of ROMs, side by side in one run, compares the patches' sizes, times applying each patch
# (dornavel-cli patch against xdelta3 -d), and measures the CLI's peak memory.
#
#   make bps      dornavel-cli make-patch ROM.z64 HACK.z64 -o OUT (reads both, makes the
#                 patch, applies it in memory to check it, writes it as a durable new file)
#   xdelta3 -e    xdelta3 -e -9 -S none -f -s ROM.z64 HACK.z64 OUT && sync OUT
#   apply bps     dornavel-cli patch ROM.z64 OUT.bps -o HACK (new file, made durable)
#   xdelta3 -d    xdelta3 -d -f -s ROM.z64 OUT.xdelta HACK && sync HACK
#   (the file each command writes is removed before it is timed: both write a new file)
#
# The pair: a 32 MiB ROM (28 MiB of 64 KiB blocks that are either random bytes, as code and
# compressed data look, or text of words drawn from a small vocabulary, then 4 MiB of FF
# padding) and its hack, made here: 300 changed runs of 1 to 64 bytes at random places, a
# 64 KiB block of text rewritten with other words, 1 MiB moved from 8 MiB to 20 MiB (the
# 12 MiB between shift down), and 2 MiB of new random bytes appended. Then the real ROM of
# ../shared/roms (DORNAVEL_TEST_ROM) with its internal name changed, timed the same way.
# Every patch is applied and checked before anything is timed.
#
# Usage: bench/make_patch.sh [CLI [ROUNDS]]
#   CLI     the dornavel-cli to measure; default build/release/cli/dornavel-cli of this tree
#   ROUNDS  timed runs of each command, 7 by default; their medians are compared
# Environment:
#   DORNAVEL_BENCH_DIR  where the temporary folder goes (a real disk, not tmpfs); default build/
#   DORNAVEL_TEST_ROM   the real ROM; default ../shared/roms/m64p_test_rom.v64 beside the tree

set -euo pipefail

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo_dir=$(dirname "$script_dir")
cli=${1:-$repo_dir/build/release/cli/dornavel-cli}
rounds=${2:-7}
bench_parent=${DORNAVEL_BENCH_DIR:-$repo_dir/build}
real_rom=${DORNAVEL_TEST_ROM:-$repo_dir/../shared/roms/m64p_test_rom.v64}

bench_name=make_patch.sh
# shellcheck source=bench/common.sh
source "$script_dir/common.sh"
check_cli_and_rounds
need_tools xdelta3 python3 sync cmp awk sort stat
make_work_folder make_patch

python3 - "$work" <<'PY'
import random, sys
work = sys.argv[1]
r = random.Random(24)
words = [bytes(r.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(r.randint(2, 9))) for _ in range(400)]
def text(n, rnd):
    out = bytearray()
    while len(out) < n:
        out += rnd.choice(words) + (b"\n" if rnd.random() < 0.1 else b" ")
    return out[:n]
rom = bytearray()
kinds = []
while len(rom) < 28 << 20:
    kind = r.random() < 0.7
    kinds.append((len(rom), kind))
    rom += r.randbytes(65536) if kind else text(65536, r)
rom += b"\xff" * (4 << 20)
rom[0:4] = b"\x80\x37\x12\x40"
hack = bytearray(rom)
for _ in range(300):
    at = r.randrange(64, 28 << 20)
    n = r.randint(1, 64)
    hack[at:at + n] = r.randbytes(n)
text_at = next(at for at, kind in kinds[len(kinds) // 2:] if not kind)
hack[text_at:text_at + 65536] = text(65536, random.Random(7))
block = hack[8 << 20:9 << 20]
del hack[8 << 20:9 << 20]
hack[19 << 20:19 << 20] = block
hack += r.randbytes(2 << 20)
open(f"{work}/rom.z64", "wb").write(rom)
open(f"{work}/hack.z64", "wb").write(hack)
PY
# The real ROM in big-endian with its internal name changed.
python3 - "$work" "$real_rom" <<'PY'
import sys
work, path = sys.argv[1], sys.argv[2]
try:
    v64 = open(path, "rb").read()
except OSError:
    sys.exit(0)
big = bytearray(len(v64))
big[0::2], big[1::2] = v64[1::2], v64[0::2]
open(f"{work}/real.z64", "wb").write(big)
big[0x20:0x34] = b"Dornavel bench      "
open(f"{work}/real-hack.z64", "wb").write(big)
PY
cat "$work"/*.z64 >/dev/null

# The four commands on a pair (name, rom, hack), each writing a new file: the file it writes
# is removed before it is timed (dornavel-cli never replaces a file; xdelta3 then makes a new
# file too instead of cutting an old one).
cli_make() { "$cli" make-patch "$work/$2" "$work/$3" -o "$work/$1.bps"; }
xdelta_make() { xdelta3 -e -9 -S none -f -s "$work/$2" "$work/$3" "$work/$1.xdelta" && sync "$work/$1.xdelta"; }
cli_apply() { "$cli" patch "$work/$2" "$work/$1.bps" -o "$work/out"; }
xdelta_apply() { xdelta3 -d -f -s "$work/$2" "$work/$1.xdelta" "$work/out" && sync "$work/out"; }
# Times command $1 on the pair (the rest) after removing the file $2 names.
timed_new_file() {
    local command=$1 output=$2
    shift 2
    rm -f "$work/$output"
    time_ms "$command" "$@"
}

# Checks that each patch of pair $1 makes $3 from $2.
check_pair() {
    rm -f "$work/$1.bps" "$work/out"
    cli_make "$@" >/dev/null && xdelta_make "$@" || die "making the patches of $1 failed"
    cli_apply "$@" >/dev/null && cmp -s "$work/out" "$work/$3" || die "our BPS of $1 did not make the hack"
    rm -f "$work/out"
    xdelta_apply "$@" && cmp -s "$work/out" "$work/$3" || die "xdelta3's patch of $1 did not make the hack"
}

# Times the four commands on pair $1 (name, rom, hack), taking turns, one untimed round first;
# prints the table and the ratios.
bench_pair() {
    local label=$1 round a b c d
    shift
    local make=() xmake=() apply=() xapply=()
    check_pair "$@"
    for ((round = 0; round <= rounds; round++)); do
        a=$(timed_new_file cli_make "$1.bps" "$@")
        b=$(timed_new_file xdelta_make "$1.xdelta" "$@")
        c=$(timed_new_file cli_apply out "$@")
        d=$(timed_new_file xdelta_apply out "$@")
        ((round == 0)) && continue
        make+=("$a") xmake+=("$b") apply+=("$c") xapply+=("$d")
    done
    local m_make m_xmake m_apply m_xapply bps_size xd_size
    m_make=$(median "${make[@]}") m_xmake=$(median "${xmake[@]}")
    m_apply=$(median "${apply[@]}") m_xapply=$(median "${xapply[@]}")
    bps_size=$(stat -c %s "$work/$1.bps") xd_size=$(stat -c %s "$work/$1.xdelta")
    echo "$label"
    print_row "dornavel-cli make-patch (BPS)" "$m_make" "$rounds"
    print_row "xdelta3 -e -9 -S none + sync" "$m_xmake" "$rounds"
    print_row "dornavel-cli patch (BPS)" "$m_apply" "$rounds"
    print_row "xdelta3 -d + sync" "$m_xapply" "$rounds"
    printf '  %-40s %10s bytes\n' "our BPS" "$bps_size" "xdelta3's patch" "$xd_size"
    print_ratio "BPS size / xdelta3 size" "$bps_size" "$xd_size" 1.0
    print_ratio "make-patch / xdelta3 -e" "$m_make" "$m_xmake" 1.5
    print_ratio "patch BPS / xdelta3 -d" "$m_apply" "$m_xapply" 1.0
    echo
}

echo "Making patches (new files on $fs_type, $(nproc) processors); CLI: $cli"
echo
printf '  %-40s %10s %6s\n' "command" "median ms" "runs"
bench_pair "32 MiB ROM and its 34 MiB hack" pair rom.z64 hack.z64
if [[ -f $work/real.z64 ]]; then
    bench_pair "The real ROM ($(($(stat -c %s "$work/real.z64") / 1024)) KiB), its name changed" real real.z64 real-hack.z64
else
    echo "The real ROM: not found at $real_rom; not measured"
fi

if [[ -x /usr/bin/time ]]; then
    rm -f "$work/pair.bps"
    rss=$(/usr/bin/time -f %M "$cli" make-patch "$work/rom.z64" "$work/hack.z64" -o "$work/pair.bps" 2>&1 >/dev/null)
    base=$(/usr/bin/time -f %M "$cli" --version 2>&1 >/dev/null)
    rom_kib=$(($(stat -c %s "$work/rom.z64") / 1024)) hack_kib=$(($(stat -c %s "$work/hack.z64") / 1024))
    echo "Peak memory of make-patch (maximum resident set size): $rss KiB; the program alone: $base KiB"
    echo "  the two ROMs: $((rom_kib + hack_kib)) KiB; the result of the check: $hack_kib KiB; the rest is the"
    echo "  encoder's two tables (64 MiB each at most) and the patch: $((rss - base - rom_kib - 2 * hack_kib)) KiB"
else
    echo "Peak memory: /usr/bin/time is not installed; not measured"
fi
