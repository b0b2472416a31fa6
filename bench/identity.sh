#!/usr/bin/env bash
# Times dornavel-cli info (CRC32, MD5 and SHA-1 of the big-endian image, header, check code,
# catalogue) on a 64 MiB ROM against standard tools hashing the same file, side by side in one
# run, and measures the CLI's peak memory.
#
#   cli info    dornavel-cli info FILE (a v64 file: brought to big-endian in memory first)
#   rhash       rhash --crc32 --md5 --sha1 FILE (the three digests in one pass)
#   md5sum      md5sum FILE (MD5 alone, the slowest of the three)
#
# The file is in the page cache before the first timed run, so only the work is measured.
#
# Usage: bench/identity.sh [CLI [ROUNDS]]
#   CLI     the dornavel-cli to measure; default build/release/cli/dornavel-cli of this tree
#   ROUNDS  timed runs of each command, 15 by default; their medians are compared

set -euo pipefail

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo_dir=$(dirname "$script_dir")
cli=${1:-$repo_dir/build/release/cli/dornavel-cli}
rounds=${2:-15}
size_mib=64
size_bytes=$((size_mib * 1024 * 1024))

bench_name=identity.sh
# shellcheck source=bench/common.sh
source "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/common.sh"
check_cli_and_rounds
need_tools rhash md5sum dd head awk sort

# In the page cache, not on a disk: nothing here is synced.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

rom=$work/rom.v64
tiny=$work/tiny.v64
# Random data behind a v64 header, so that info recognises the order and converts the image.
head -c "$size_bytes" /dev/urandom >"$rom"
printf '\x37\x80\x40\x12' | dd of="$rom" conv=notrunc status=none
head -c 4096 "$rom" >"$tiny"
cat "$rom" >/dev/null

# The digests must agree before their speed means anything: rhash hashes the file as it is,
# so it gets the big-endian copy here.
check_digests() {
    local big=$work/rom.z64 ours theirs
    dd if="$rom" of="$big" conv=swab status=none
    ours=$("$cli" info --json "$rom" | awk -F'"' '/"(crc32|md5|sha1)"/ { printf "%s ", $4 }')
    theirs=$(rhash --crc32 --md5 --sha1 --printf='%C %M %H ' "$big")
    rm -f "$big"
    [[ $ours == "$theirs" ]] || die "digests differ: dornavel-cli $ours, rhash $theirs"
}
check_digests

if [[ ${EPOCHREALTIME:-} == "" ]]; then die "bash 5 is needed (EPOCHREALTIME)"; fi
cli_info=()
rhash_all=()
md5sum_only=()
# One untimed round first; then the three commands take turns, so that a burst of other work
# on the machine falls on all of them alike.
for ((round = 0; round <= rounds; round++)); do
    c=$(time_ms "$cli" info "$rom")
    r=$(time_ms rhash --crc32 --md5 --sha1 "$rom")
    m=$(time_ms md5sum "$rom")
    ((round == 0)) && continue
    cli_info+=("$c")
    rhash_all+=("$r")
    md5sum_only+=("$m")
done

m_cli=$(median "${cli_info[@]}")
m_rhash=$(median "${rhash_all[@]}")
m_md5=$(median "${md5sum_only[@]}")

echo "Identity of a $size_mib MiB ROM in the page cache ($(nproc) processors)"
echo "  CLI: $cli"
echo
print_row "command" "median ms" "runs"
print_row "dornavel-cli info (v64 file)" "$m_cli" "$rounds"
print_row "rhash --crc32 --md5 --sha1" "$m_rhash" "$rounds"
print_row "md5sum" "$m_md5" "$rounds"

echo
echo "Ratios of the medians (below 1: the CLI is faster)"
print_ratio "cli info / rhash (3 digests)" "$m_cli" "$m_rhash" 0.75
print_ratio "cli info / md5sum" "$m_cli" "$m_md5" 1.3

# Prints the peak resident set size in KiB of dornavel-cli info on the file $1.
peak_rss_kib() {
    local report=$work/time.txt
    /usr/bin/time -v -o "$report" "$cli" info "$1" >/dev/null || die "dornavel-cli info failed under /usr/bin/time"
    awk -F': *' '/Maximum resident set size/ { print $2 }' "$report"
}

echo
if [[ -x /usr/bin/time ]]; then
    file_kib=$((size_bytes / 1024))
    rss=$(peak_rss_kib "$rom")
    base=$(peak_rss_kib "$tiny")
    echo "Peak memory (maximum resident set size, /usr/bin/time -v)"
    printf '  %-32s %8d KiB\n' "file size" "$file_kib"
    printf '  %-32s %8d KiB  = file size + %d KiB\n' "cli info" "$rss" $((rss - file_kib))
    printf '  %-32s %8d KiB  (the program on a 4 KiB ROM)\n' "cli info, tiny file" "$base"
    # The target: one image and a small constant, here the program's own footprint and 4 MiB
    # (the huge-page rounding of the image and the threads' stacks).
    awk -v r="$rss" -v f="$file_kib" -v b="$base" -v slack=4096 'BEGIN {
        printf "  %-32s %8d KiB  target <= %d KiB  %s\n", "beyond file size + footprint", r - f - b,
            slack, (r - f - b <= slack ? "met" : "MISSED") }'
else
    echo "Peak memory: /usr/bin/time is not installed; not measured"
fi
