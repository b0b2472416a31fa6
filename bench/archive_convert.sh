#!/usr/bin/env bash
# Times the conversion of a 64 MiB ROM inside a zip against the road a user takes by hand, in
# the same run, on files in the page cache:
#
#   in the zip   dornavel-cli convert --to ORDER GAME.zip   (the entry read as a stream,
#                converted, the zip written anew durably, read back by CRC-32, renamed)
#   by hand      unzip -p GAME.zip >ROM && dornavel-cli convert --to ORDER ROM
#                && zip -q NEW.zip ROM                     (unpack, convert, pack again)
#
# The target: in the zip <= 1.1 x by hand, medians of the rounds. The target order alternates
# (big, v64) so that every run converts.
#
# Usage: bench/archive_convert.sh [CLI [ROUNDS]]
#   CLI     the dornavel-cli to measure; default build/release/cli/dornavel-cli of this tree
#   ROUNDS  rounds of measurements, 5 by default
# Environment:
#   DORNAVEL_BENCH_DIR  where the temporary folder goes; default the build/ folder of this
#                       tree, which must be on a disk (on tmpfs an fsync costs nothing)

set -euo pipefail

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd) # this script's folder, bench/
repo_dir=$(dirname "$script_dir")                          # the source tree
cli=${1:-$repo_dir/build/release/cli/dornavel-cli}         # the program measured
rounds=${2:-5}                                             # timed runs of each way
bench_parent=${DORNAVEL_BENCH_DIR:-$repo_dir/build}        # where the temporary folder goes
size_mib=64                                                # the size of the ROM

bench_name=archive_convert.sh
# shellcheck source=bench/common.sh
source "$script_dir/common.sh"
check_cli_and_rounds
need_tools head zip unzip awk sort
make_work_folder archive_convert

# The ROM: a header, then half random bytes and half zeros, zipped as collections keep it.
half=$((size_mib * 1024 * 1024 / 2))
mkdir -p "$work/hand"
{ printf '\x80\x37\x12\x40'; head -c $((half - 4)) /dev/urandom; head -c "$half" /dev/zero; } >"$work/Game.z64"
(cd "$work" && zip -q -6 game.zip Game.z64 && rm Game.z64)
cp "$work/game.zip" "$work/hand/game.zip"

# Converts inside the zip.
in_zip() {
    "$cli" convert -q --to "$1" "$work/game.zip"
}

# Unpacks, converts and packs again, as by hand.
by_hand() {
    (cd "$work/hand" && unzip -p game.zip >Game.z64 && "$cli" convert -q --to "$1" Game.z64 &&
        rm -f new.zip && zip -q -6 new.zip Game.z64 && mv new.zip game.zip && rm Game.z64)
}

zipped=() hand=()
for ((round = 0; round < rounds; round++)); do
    for order in v64 big; do
        zipped+=("$(time_ms in_zip "$order")")
        hand+=("$(time_ms by_hand "$order")")
    done
done

echo "Converting a $size_mib MiB ROM inside a zip, $((rounds * 2)) runs each (medians, ms):"
print_row "convert in the zip" "$(median "${zipped[@]}")" "${#zipped[@]}"
print_row "unzip -p + convert + zip" "$(median "${hand[@]}")" "${#hand[@]}"
print_ratio "in the zip / by hand" "$(median "${zipped[@]}")" "$(median "${hand[@]}")" 1.1
