#!/usr/bin/env bash
# Times dornavel-cli over a collection: a folder of 40 ROMs of 16 MiB converted with
# `convert -r FOLDER` against the same 40 files named one by one on the command line, in the
# same run, on the same files in the page cache. The walk (a header read and an identity per
# file) must cost nothing that shows: the ratio of the two, per byte converted, is the target.
# For scale it also times 40 separate calls, one file each.
#
# Usage: bench/collection.sh [CLI [ROUNDS]]
#   CLI     the dornavel-cli to measure; default build/release/cli/dornavel-cli of this tree
#   ROUNDS  rounds of measurements, 5 by default; a round converts the collection twice with
#           -r, twice named in one call and once in 40 calls
# Environment:
#   DORNAVEL_BENCH_DIR  where the temporary folder goes; default the build/ folder of this
#                       tree. It must be a real disk, not tmpfs, so that fsync costs what it
#                       costs for a user.

set -euo pipefail

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd) # this script's folder, bench/
repo_dir=$(dirname "$script_dir")                          # the source tree
cli=${1:-$repo_dir/build/release/cli/dornavel-cli}         # the program measured
rounds=${2:-5}                                             # timed runs of each way
bench_parent=${DORNAVEL_BENCH_DIR:-$repo_dir/build}        # where the temporary folder goes
rom_count=40                                               # ROMs in the collection
size_mib=16                                                # the size of each
size_bytes=$((size_mib * 1024 * 1024))

bench_name=collection.sh
# shellcheck source=bench/common.sh
source "$script_dir/common.sh"
check_cli_and_rounds
need_tools head od cmp awk sort sync
make_work_folder collection

roms=$work/roms         # the collection, in two subfolders as a collection would be
pristine=$work/pristine # the first ROM's first content, to check against at the end
mkdir -p "$roms/a" "$roms/b"
files=()
for ((i = 0; i < rom_count; i++)); do
    file=$roms/$([[ $i -lt $((rom_count / 2)) ]] && echo a || echo b)/rom$(printf '%02d' "$i").z64
    head -c "$size_bytes" /dev/urandom >"$file"
    printf '\x80\x37\x12\x40' | dd of="$file" conv=notrunc status=none
    files+=("$file")
done
cp "${files[0]}" "$pristine"
sync
cat "${files[@]}" >/dev/null

# The first four bytes of the file as od prints them.
header_of() {
    od -An -tx1 -N4 "$1"
}

# Converts the whole collection to order $2, the way $1 says: "folder" (-r), "named" (all 40
# in one call) or "separate" (40 calls). Checks that the last file really was converted.
convert_all() {
    case $1 in
    folder) "$cli" convert -q -r --to "$2" "$roms" >/dev/null ;;
    named) "$cli" convert -q --to "$2" "${files[@]}" >/dev/null ;;
    separate) for file in "${files[@]}"; do "$cli" convert -q --to "$2" "$file" >/dev/null; done ;;
    esac || die "converting the collection ($1) to $2 failed"
    local expected=" 80 37 12 40"
    [[ $2 == little ]] && expected=" 40 12 37 80"
    [[ $(header_of "${files[-1]}") == "$expected" ]] || die "after '$1' to $2 the last ROM has the header$(header_of "${files[-1]}")"
}

# Runs convert_all "$@" and prints its wall-clock time and the processor time (user and
# system) of the program, both in milliseconds.
time_run() {
    local TIMEFORMAT='%3R %3U %3S' report
    sync
    report=$({ time convert_all "$@"; } 2>&1) || die "$report"
    awk '{ printf "%.3f %.3f", $1 * 1000, ($2 + $3) * 1000 }' <<<"$report"
}

folder_ms=() named_ms=() separate_ms=() # wall-clock times of each way
folder_cpu=() named_cpu=()                 # processor times
wall_ratios=() cpu_ratios=()               # folder / named, one per round
# Each run converts the whole collection to the other order than the run before, so every
# timed run really converts every byte. A round runs the two ways compared as folder, named,
# named, folder and then folder, named, named, folder in the next round: each comes first,
# last and in the middle equally often, so a slow drift of the disk weighs on both alike. The
# separate calls, for scale only, close each round. One untimed round first warms up caches
# and the file system.
target=little
# Runs one way, timed, toward the next target; records its times unless this is the warm-up.
timed_way() {
    local ms cpu
    read -r ms cpu <<<"$(time_run "$1" "$target")"
    [[ $target == little ]] && target=big || target=little
    ((round == 0)) && return 0
    case $1 in
    folder) folder_ms+=("$ms") folder_cpu+=("$cpu") ;;
    named) named_ms+=("$ms") named_cpu+=("$cpu") ;;
    separate) separate_ms+=("$ms") ;;
    esac
}
for ((round = 0; round <= rounds; round++)); do
    ways=(folder named named folder)
    ((round % 2)) && ways=(named folder folder named)
    for way in "${ways[@]}" separate; do timed_way "$way"; done
    ((round == 0)) && continue
    # The round's ratio: the sum of its two folder runs over the sum of its two named runs.
    wall_ratios+=("$(awk -v a="${folder_ms[-1]}" -v b="${folder_ms[-2]}" -v c="${named_ms[-1]}" \
        -v d="${named_ms[-2]}" 'BEGIN { printf "%.4f", (a + b) / (c + d) }')")
    cpu_ratios+=("$(awk -v a="${folder_cpu[-1]}" -v b="${folder_cpu[-2]}" -v c="${named_cpu[-1]}" \
        -v d="${named_cpu[-2]}" 'BEGIN { printf "%.4f", (a + b) / (c + d) }')")
done
[[ $target == little ]] || convert_all named big
cmp -s "${files[0]}" "$pristine" || die "after converting back and forth the first ROM differs from the original"

m_folder=$(median "${folder_ms[@]}")
m_named=$(median "${named_ms[@]}")
m_separate=$(median "${separate_ms[@]}")
total_mib=$((rom_count * size_mib))

m_folder_cpu=$(median "${folder_cpu[@]}")
m_named_cpu=$(median "${named_cpu[@]}")
m_wall_ratio=$(median "${wall_ratios[@]}")
m_cpu_ratio=$(median "${cpu_ratios[@]}")

echo "A collection of $rom_count ROMs of $size_mib MiB ($total_mib MiB), in the page cache"
echo "  folder: $work ($fs_type), timing: bash time, $rounds rounds"
echo "  CLI: $cli"
echo
printf '  %-40s %10s %10s %10s\n' "command" "median ms" "MiB/s" "cpu ms"
for row in "convert -r FOLDER|$m_folder|$m_folder_cpu" "convert FILE1 ... FILE40 (one call)|$m_named|$m_named_cpu" \
    "convert FILE, 40 calls|$m_separate|-"; do
    IFS='|' read -r label ms cpu <<<"$row"
    awk -v label="$label" -v ms="$ms" -v cpu="$cpu" -v mib="$total_mib" \
        'BEGIN { printf "  %-40s %10s %10.1f %10s\n", label, ms, mib / (ms / 1000), cpu }'
done

echo
echo "Wall-clock samples in ms, in the order taken (the disk's own noise shows here)"
printf '  %-10s %s\n' "-r FOLDER" "${folder_ms[*]}" "one call" "${named_ms[*]}" "40 calls" "${separate_ms[*]}"

# Prints a ratio already taken, with its target; below 1 the folder walk is faster.
print_taken_ratio() {
    awk -v label="$1" -v r="$2" -v target="$3" 'BEGIN {
        printf "  %-44s %7.3f   target <= %.2f  %s\n", label, r, target, (r <= target ? "met" : "MISSED") }'
}

echo
echo "-r FOLDER against the same files named in one call, per byte converted: the median of"
echo "the ratios of each round's runs (below 1: the folder walk is faster)"
print_taken_ratio "wall clock (with fsync)" "$m_wall_ratio" 1.05
print_taken_ratio "processor time of the program" "$m_cpu_ratio" 1.05
echo "  (The target is 1: not slower. The 5 % above it are the noise of two runs of the same"
echo "  work on a shared disk; the samples above show how large it is on this machine.)"
awk -v a="$m_folder" -v b="$m_separate" 'BEGIN {
    printf "  %-44s %7.3f   (for scale)\n", "wall clock, against 40 calls of one file", a / b }'
