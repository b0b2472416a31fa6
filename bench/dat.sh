#!/usr/bin/env bash
# Times dornavel-cli check --dat over a collection against sha1sum over the same files, side
# by side in one run.
#
#   cli check --dat   dornavel-cli check --dat DAT FILE... (check code, then the SHA-1 of each
#                     image in the DAT's order: a v64 file is brought to big-endian in memory)
#   sha1sum           sha1sum FILE... (the SHA-1 of each file as it is)
#   sha1sum x 2       the same files shared by two sha1sum processes (xargs -P 2), for scale
#
# The collection: 24 ROMs of 16 MiB of random data behind a header, half of them big-endian
# and half v64, all listed in a Logiqx DAT in the big-endian order (as No-Intro's is), with
# filler entries around them. The files are in the page cache before the first timed run.
#
# Usage: bench/dat.sh [CLI [ROUNDS]]
#   CLI     the dornavel-cli to measure; default build/release/cli/dornavel-cli of this tree
#   ROUNDS  timed runs of each command, 9 by default; their medians are compared

set -euo pipefail

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo_dir=$(dirname "$script_dir")
cli=${1:-$repo_dir/build/release/cli/dornavel-cli}
rounds=${2:-9}
count=24
size_mib=16

bench_name=dat.sh
# shellcheck source=bench/common.sh
source "$script_dir/common.sh"
check_cli_and_rounds
need_tools sha1sum xargs dd head awk sort

# In the page cache, not on a disk: nothing here is written during the timing.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT TERM
mkdir "$work/roms"

# Writes the collection and the DAT that lists it, with the SHA-1 of each big-endian image.
make_collection() {
    local dat=$work/n64.dat i name rom sha1
    {
        echo '<?xml version="1.0"?>'
        echo '<datafile><header><name>Nintendo - Nintendo 64 (BigEndian)</name></header>'
        for ((i = 0; i < 500; i++)); do
            printf '<game name="Filler %03d"><rom name="Filler %03d.z64" size="8388608" sha1="%040X"/></game>\n' \
                "$i" "$i" "$i"
        done
    } >"$dat"
    for ((i = 0; i < count; i++)); do
        name=$(printf 'Game %02d' "$i")
        if ((i % 2)); then rom=$work/roms/$name.v64; else rom=$work/roms/$name.z64; fi
        head -c $((size_mib * 1024 * 1024)) /dev/urandom >"$rom"
        if ((i % 2)); then
            printf '\x37\x80\x40\x12' | dd of="$rom" conv=notrunc status=none
            sha1=$(dd if="$rom" conv=swab status=none | sha1sum | cut -c1-40)
        else
            printf '\x80\x37\x12\x40' | dd of="$rom" conv=notrunc status=none
            sha1=$(sha1sum <"$rom" | cut -c1-40)
        fi
        printf '<game name="%s (World)"><rom name="%s (World).z64" size="%d" sha1="%s"/></game>\n' \
            "$name" "$name" $((size_mib * 1024 * 1024)) "$sha1" >>"$dat"
    done
    echo '</datafile>' >>"$dat"
    cat "$work"/roms/* >/dev/null
}
make_collection

# Every ROM must be found before the speed means anything.
found=$("$cli" check --dat "$work/n64.dat" "$work"/roms/* | grep -c '; in the DAT as "Game ' || true)
[[ $found == "$count" ]] || die "check --dat found $found of the $count ROMs in the DAT"

# The same files, shared by two sha1sum processes.
sha1sum_two() {
    printf '%s\0' "$work"/roms/* | xargs -0 -P 2 -n $((count / 2)) sha1sum
}

if [[ ${EPOCHREALTIME:-} == "" ]]; then die "bash 5 is needed (EPOCHREALTIME)"; fi
cli_check=()
sha1sum_one=()
sha1sum_shared=()
# One untimed round first; then the commands take turns, each first in turn, so that a
# burst of other work on the machine falls on all of them alike.
for ((round = 0; round <= rounds; round++)); do
    if ((round % 2)); then
        s=$(time_ms sha1sum "$work"/roms/*)
        c=$(time_ms "$cli" check --dat "$work/n64.dat" "$work"/roms/*)
    else
        c=$(time_ms "$cli" check --dat "$work/n64.dat" "$work"/roms/*)
        s=$(time_ms sha1sum "$work"/roms/*)
    fi
    t=$(time_ms sha1sum_two)
    ((round == 0)) && continue
    cli_check+=("$c")
    sha1sum_one+=("$s")
    sha1sum_shared+=("$t")
done

m_cli=$(median "${cli_check[@]}")
m_one=$(median "${sha1sum_one[@]}")
m_two=$(median "${sha1sum_shared[@]}")

echo "check --dat over $count ROMs of $size_mib MiB, half of them v64, in the page cache ($(nproc) processors)"
echo "  CLI: $cli"
echo
print_row "command" "median ms" "runs"
print_row "dornavel-cli check --dat" "$m_cli" "$rounds"
print_row "sha1sum" "$m_one" "$rounds"
print_row "sha1sum, 2 processes" "$m_two" "$rounds"
echo
echo "Ratios of the medians (below 1: the CLI is faster)"
print_ratio "cli check --dat / sha1sum" "$m_cli" "$m_one" 1.0
awk -v a="$m_cli" -v b="$m_two" 'BEGIN { printf "  %-32s %7.3f   (for scale)\n", "cli check --dat / sha1sum x 2", a / b }'
