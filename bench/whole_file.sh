#!/usr/bin/env bash
# Times a whole-file conversion by dornavel-cli against standard tools doing comparable work on
# the same 64 MiB file already in the page cache, and measures the CLI's peak memory.
#
#   cli reverse  dornavel-cli convert --to little|big FILE   (every 4-byte group reversed, in
#                place, made durable with fsync)
#   cli swap     dornavel-cli convert --to v64|big FILE      (every 2-byte pair exchanged)
#   cp + sync    cp FILE COPY && sync COPY                    (read, write and fsync 64 MiB)
#   dd swab      dd if=FILE of=COPY bs=1M conv=swab,fsync     (the pair exchange, durable)
#   dd overwrite dd if=FILE of=OTHER bs=1M conv=notrunc,fdatasync (the same bytes overwritten
#                in place in an existing 64 MiB file, durable: what the CLI's write costs
#                without its recovery record; the CLI's ratios against it are the target)
#   dd self      dd if=FILE of=FILE bs=1M conv=notrunc,fdatasync (the ROM's own bytes written
#                over it in place, durable: the same write on the very blocks the CLI writes;
#                on a virtual disk two files' blocks can differ twofold in write speed)
#   objcopy      objcopy -I binary -O binary --reverse-bytes=4 FILE COPY && sync COPY
#
# The CLI's target alternates so that every timed run really converts the file, always with a
# single pass: big -> little -> big for the reversal, big -> v64 -> big for the exchange.
#
# Usage: bench/whole_file.sh [CLI [ROUNDS]]
#   CLI     the dornavel-cli to measure; default build/release/cli/dornavel-cli of this tree
#   ROUNDS  rounds of measurements, 40 by default; the medians and the 90th percentiles of
#           all runs are compared
# The recovery record's own share is measured apart by record_cost, built beside the CLI
# (build/release/bench/record_cost).
# Environment:
#   DORNAVEL_BENCH_DIR     where the temporary folder goes; default the build/ folder of this
#                          tree. It must be a real disk, not tmpfs, so that fsync costs what it
#                          costs for a user.

set -euo pipefail

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd) # this script's folder, bench/
repo_dir=$(dirname "$script_dir")                          # the source tree
cli=${1:-$repo_dir/build/release/cli/dornavel-cli}         # the program measured
rounds=${2:-40}                                            # timed runs of each command
bench_parent=${DORNAVEL_BENCH_DIR:-$repo_dir/build}        # where the temporary folder goes
size_mib=64                                                # the size of the ROM converted
size_bytes=$((size_mib * 1024 * 1024))

bench_name=whole_file.sh
# shellcheck source=bench/common.sh
source "$script_dir/common.sh"
check_cli_and_rounds
need_tools cp sync dd objcopy head od cmp awk sort
make_work_folder whole-file

rom=$work/rom.z64           # the ROM the CLI converts back and forth
pristine=$work/pristine.z64 # its first content, to check the conversions against at the end
copy=$work/copy.bin         # the other tools' output
other=$work/other.bin       # an existing file of the same size, overwritten in place by dd

# The first bytes of a ROM in each order, as od prints them.
header_big=" 80 37 12 40"
header_little=" 40 12 37 80"
header_v64=" 37 80 40 12"

# Prints the first four bytes of the file as od prints them.
header_of() {
    od -An -tx1 -N4 "$1"
}

# Random data behind a big-endian header, so the CLI recognises the file and every later
# conversion leaves a recognisable header behind.
# The ROM and the file dd overwrites are made the same way, as copies: on a virtual disk a
# file written through a pipe was measured twice as slow to overwrite as a copy of it.
head -c "$size_bytes" /dev/urandom >"$pristine"
printf '\x80\x37\x12\x40' | dd of="$pristine" conv=notrunc status=none
cp "$pristine" "$rom"
cp "$pristine" "$other"
sync
cat "$rom" >/dev/null
if command -v fincore >/dev/null; then
    cached=$(fincore --noheadings --bytes --output RES "$rom" | tr -d ' ')
    [[ $cached -ge $size_bytes ]] || echo "note: only $cached of $size_bytes bytes of the file are in the page cache"
fi

# Runs the CLI conversion of the ROM to order $1.
cli_convert() {
    "$cli" convert --to "$1" "$rom" >/dev/null || die "dornavel-cli convert --to $1 failed"
}

# Checks that the ROM's header is now $1 (a conversion really happened).
expect_header() {
    [[ $(header_of "$rom") == "$1" ]] || die "after the conversion the header is$(header_of "$rom"), expected$1"
}

# Copies the ROM and makes the copy durable.
tool_cp() {
    cp "$rom" "$copy" && sync "$copy"
}

# Copies the ROM with each 2-byte pair exchanged and makes the copy durable.
tool_dd() {
    dd if="$rom" of="$copy" bs=1M conv=swab,fsync status=none
}

# Overwrites the other file in place with the ROM's bytes and makes them durable.
tool_dd_overwrite() {
    dd if="$rom" of="$other" bs=1M conv=notrunc,fdatasync status=none
}

# Overwrites the ROM in place with its own bytes and makes them durable.
tool_dd_self() {
    dd if="$rom" of="$rom" bs=1M conv=notrunc,fdatasync status=none
}

# Copies the ROM with each 4-byte group reversed and makes the copy durable.
tool_objcopy() {
    objcopy -I binary -O binary --reverse-bytes=4 "$rom" "$copy" && sync "$copy"
}

# Makes the tools' output file absent and every earlier write durable, outside any timing.
reset_copy() {
    rm -f "$copy"
    sync
}

# Samples in milliseconds, one array per command.
cli_reverse=()
cli_swap=()
cp_sync=()
dd_swab=()
dd_overwrite=()
dd_self=()
objcopy_sync=()

# Times every command in rounds: one round converts the ROM big -> little -> big -> v64 -> big
# with the CLI and runs each other tool once between those conversions.
measure_with_shell_loop() {
    # One untimed round first warms up caches and the file system.
    local round
    for ((round = 0; round <= rounds; round++)); do
        local r1 r2 s1 s2 c d o w v
        sync
        w=$(time_ms tool_dd_overwrite)
        sync
        v=$(time_ms tool_dd_self)
        sync
        r1=$(time_ms cli_convert little)
        expect_header "$header_little"
        reset_copy
        c=$(time_ms tool_cp)
        sync
        r2=$(time_ms cli_convert big)
        expect_header "$header_big"
        reset_copy
        d=$(time_ms tool_dd)
        sync
        s1=$(time_ms cli_convert v64)
        expect_header "$header_v64"
        reset_copy
        o=$(time_ms tool_objcopy)
        sync
        s2=$(time_ms cli_convert big)
        expect_header "$header_big"
        reset_copy
        ((round == 0)) && continue
        cli_reverse+=("$r1" "$r2")
        cli_swap+=("$s1" "$s2")
        cp_sync+=("$c")
        dd_swab+=("$d")
        dd_overwrite+=("$w")
        dd_self+=("$v")
        objcopy_sync+=("$o")
    done
}

measure_with_shell_loop
cmp -s "$rom" "$pristine" || die "after converting back and forth the ROM differs from the original"

echo "Whole-file conversion of a $size_mib MiB file in the page cache, made durable"
echo "  folder: $work ($fs_type), $rounds rounds, shell loop"
echo "  CLI: $cli"
echo
printf '  %-50s %10s %10s %6s\n' "command" "median ms" "p90 ms" "runs"
# Prints a command's line of the table from its samples.
table_line() {
    local label=$1
    shift
    printf '  %-50s %10s %10s %6s\n' "$label" "$(median "$@")" "$(percentile 90 "$@")" "$#"
}
table_line "dornavel-cli convert --to little|big (reverse)" "${cli_reverse[@]}"
table_line "dornavel-cli convert --to v64|big (swap)" "${cli_swap[@]}"
table_line "cp FILE COPY && sync COPY" "${cp_sync[@]}"
table_line "dd bs=1M conv=swab,fsync" "${dd_swab[@]}"
table_line "dd bs=1M conv=notrunc,fdatasync (in place)" "${dd_overwrite[@]}"
table_line "dd bs=1M conv=notrunc,fdatasync (ROM over itself)" "${dd_self[@]}"
table_line "objcopy --reverse-bytes=4 && sync COPY" "${objcopy_sync[@]}"

echo
echo "Ratios (below 1: the CLI is faster)"
print_ratio "cli reverse / cp + sync, medians" "$(median "${cli_reverse[@]}")" "$(median "${cp_sync[@]}")" 0.7
print_ratio "cli reverse / cp + sync, p90" "$(percentile 90 "${cli_reverse[@]}")" "$(percentile 90 "${cp_sync[@]}")" 1.0
print_ratio "cli swap / dd swab fsync, medians" "$(median "${cli_swap[@]}")" "$(median "${dd_swab[@]}")" 1.0
print_ratio "cli reverse / objcopy + sync, medians" "$(median "${cli_reverse[@]}")" "$(median "${objcopy_sync[@]}")" 0.5
# Prints the ratios of the medians and of the 90th percentiles of two commands' samples
# (the names of their arrays), labelled label, against the target of 1.1.
ratio_pair() {
    local label=$1
    local -n ours=$2 theirs=$3
    print_ratio "$label, medians" "$(median "${ours[@]}")" "$(median "${theirs[@]}")" 1.1
    print_ratio "$label, p90" "$(percentile 90 "${ours[@]}")" "$(percentile 90 "${theirs[@]}")" 1.1
}
# The record's whole cost: the CLI against the same bytes overwritten in place and made
# durable, in another file and over the ROM itself (the very blocks the CLI writes).
ratio_pair "cli reverse / dd in place" cli_reverse dd_overwrite
ratio_pair "cli swap / dd in place" cli_swap dd_overwrite
ratio_pair "cli reverse / dd ROM over itself" cli_reverse dd_self
ratio_pair "cli swap / dd ROM over itself" cli_swap dd_self

record_cost=$(dirname "$cli")/../bench/record_cost
echo
if [[ -x $record_cost ]]; then
    echo "The recovery record's share (record_cost, medians of $rounds rounds)"
    "$record_cost" "$rom" "$rounds" || die "record_cost failed"
else
    echo "The recovery record's share: $record_cost is not built; not measured"
fi

# Prints the peak resident set size in KiB of the CLI converting the ROM to order $1.
peak_rss_kib() {
    local report=$work/time.txt
    /usr/bin/time -v -o "$report" "$cli" convert --to "$1" "$rom" >/dev/null ||
        die "dornavel-cli convert --to $1 failed under /usr/bin/time"
    awk -F': *' '/Maximum resident set size/ { print $2 }' "$report"
}

echo
if [[ -x /usr/bin/time ]]; then
    rss_reverse=$(peak_rss_kib little)
    "$cli" convert --to big "$rom" >/dev/null
    rss_swap=$(peak_rss_kib v64)
    "$cli" convert --to big "$rom" >/dev/null
    # The same program touching only the file's first bytes: its footprint without any work.
    report=$work/time.txt
    /usr/bin/time -v -o "$report" "$cli" detect "$rom" >/dev/null
    rss_base=$(awk -F': *' '/Maximum resident set size/ { print $2 }' "$report")
    echo "Peak memory (maximum resident set size, /usr/bin/time -v) for a $size_mib MiB file"
    printf '  %-32s %8d KiB\n' "cli convert (reverse)" "$rss_reverse"
    printf '  %-32s %8d KiB\n' "cli convert (swap)" "$rss_swap"
    printf '  %-32s %8d KiB  (the footprint: no work)\n' "cli detect" "$rss_base"
    # The target: at most 16 MiB above the footprint, whatever the file's size.
    awk -v r="$rss_reverse" -v s="$rss_swap" -v b="$rss_base" -v slack=16384 'BEGIN {
        m = (r > s ? r : s)
        printf "  %-32s %8d KiB  target <= %d KiB  %s\n", "beyond the footprint", m - b,
            slack, (m - b <= slack ? "met" : "MISSED") }'
else
    echo "Peak memory: /usr/bin/time is not installed; not measured"
fi
