#!/usr/bin/env bash
# Times a folder walk over zipped ROMs against the same walk over the same ROMs unpacked plus
# what unzip takes to inflate them, in the same run, on files in the page cache:
#
#   zipped     dornavel-cli check -q --dat DAT -r ZIPPED   (one zip per ROM, each ROM read as a
#              stream out of its zip, every byte digested as a DAT asks)
#   unpacked   dornavel-cli check -q --dat DAT -r UNPACKED (the same ROMs as plain files)
#   unzip -p   unzip -p ZIP >/dev/null for each zip         (inflating them, nothing more)
#
# The target: zipped <= 1.2 x (unpacked + unzip -p), medians of the rounds.
#
# Usage: bench/archive_walk.sh [CLI [ROUNDS]]
#   CLI     the dornavel-cli to measure; default build/release/cli/dornavel-cli of this tree
#   ROUNDS  rounds of measurements, 5 by default
# Environment:
#   DORNAVEL_BENCH_DIR  where the temporary folder goes; default the build/ folder of this tree

set -euo pipefail

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd) # this script's folder, bench/
repo_dir=$(dirname "$script_dir")                          # the source tree
cli=${1:-$repo_dir/build/release/cli/dornavel-cli}         # the program measured
rounds=${2:-5}                                             # timed runs of each way
bench_parent=${DORNAVEL_BENCH_DIR:-$repo_dir/build}        # where the temporary folder goes
rom_count=16                                               # ROMs in the collection
size_mib=8                                                 # the size of each

bench_name=archive_walk.sh
# shellcheck source=bench/common.sh
source "$script_dir/common.sh"
check_cli_and_rounds
need_tools head zip unzip awk sort
make_work_folder archive_walk

# Each ROM: a header, then half random bytes and half zeros, so that deflate has work to do
# and something to gain, as with real ROMs.
mkdir -p "$work/unpacked" "$work/zipped"
half=$((size_mib * 1024 * 1024 / 2))
for ((i = 0; i < rom_count; i++)); do
    name=$(printf 'Game %02d (World).z64' "$i")
    { printf '\x80\x37\x12\x40'; head -c $((half - 4)) /dev/urandom; head -c "$half" /dev/zero; } >"$work/unpacked/$name"
    (cd "$work/unpacked" && zip -q -6 "$work/zipped/${name%.z64}.zip" "$name")
done
# A DAT asking for SHA-1, so that every ROM is read whole and digested.
cat >"$work/set.dat" <<'DAT'
clrmamepro (
	name "Bench"
)

game (
	name "Nothing"
	rom ( name "Nothing.z64" size 4 crc 00000000 sha1 0000000000000000000000000000000000000000 )
)
DAT
cat "$work"/unpacked/* "$work"/zipped/* >/dev/null

# Walks the folder with check, the files being all unlisted (exit status 1 is the answer).
walk() {
    "$cli" check -q --dat "$work/set.dat" -r "$1" >/dev/null || [[ $? -eq 1 ]]
}

# Inflates every zip to nowhere.
unzip_all() {
    local archive
    for archive in "$work"/zipped/*.zip; do unzip -p "$archive" >/dev/null; done
}

zipped=() unpacked=() inflate=() sums=()
for ((round = 0; round < rounds; round++)); do
    zipped+=("$(time_ms walk "$work/zipped")")
    unpacked+=("$(time_ms walk "$work/unpacked")")
    inflate+=("$(time_ms unzip_all)")
    sums+=("$(awk -v a="${unpacked[-1]}" -v b="${inflate[-1]}" 'BEGIN { printf "%.3f", a + b }')")
done

echo "Walk over $rom_count ROMs of $size_mib MiB, $rounds rounds (medians, ms):"
print_row "check -r over the zips" "$(median "${zipped[@]}")" "$rounds"
print_row "check -r over the unpacked ROMs" "$(median "${unpacked[@]}")" "$rounds"
print_row "unzip -p of every zip" "$(median "${inflate[@]}")" "$rounds"
print_row "unpacked + unzip -p (each round)" "$(median "${sums[@]}")" "$rounds"
print_ratio "zips / (unpacked + unzip -p)" "$(median "${zipped[@]}")" "$(median "${sums[@]}")" 1.2
