# What the whole-file benchmark scripts share: their checks of the arguments and tools, and a
# temporary folder on a real disk that goes away however the script ends. Sourced, with
# bench_name set to the script's name for its messages.

# Prints a message to standard error and stops.
die() {
    echo "$bench_name: $*" >&2
    exit 1
}

# Checks the CLI ($cli, made absolute) and the count of rounds ($rounds).
check_cli_and_rounds() {
    [[ -x $cli ]] || die "no executable CLI at $cli (build it: cmake --preset release && cmake --build --preset release -j2)"
    cli=$(cd "$(dirname "$cli")" && pwd)/$(basename "$cli")
    [[ $rounds =~ ^[1-9][0-9]*$ ]] || die "ROUNDS must be a positive whole number, not '$rounds'"
}

# Stops unless every tool named is on the PATH.
need_tools() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || die "$tool is needed and was not found"
    done
}

# Makes the temporary folder $work under $bench_parent, which must be on a disk (on tmpfs an
# fsync costs nothing), and removes it when the script ends, even on Ctrl+C. $fs_type says
# what the disk is.
make_work_folder() {
    mkdir -p "$bench_parent"
    fs_type=$(stat -f -c %T "$bench_parent")
    case $fs_type in
    tmpfs | ramfs) die "$bench_parent is on $fs_type; set DORNAVEL_BENCH_DIR to a folder on a disk" ;;
    esac
    work=$(mktemp -d "$bench_parent/$1.XXXXXX")
    trap 'rm -rf "$work"' EXIT
    trap 'exit 130' INT TERM
}

# Prints the current time in microseconds.
now_us() {
    if [[ -n ${EPOCHREALTIME:-} ]]; then
        local t=${EPOCHREALTIME/[.,]/}
        echo "$t"
    else
        echo $(($(date +%s%N) / 1000))
    fi
}

# Runs "$@" with its standard output discarded and prints how long it took in milliseconds
# (three decimals).
time_ms() {
    local start end
    start=$(now_us)
    "$@" >/dev/null
    end=$(now_us)
    awk -v d=$((end - start)) 'BEGIN { printf "%.3f", d / 1000 }'
}

# The median of the numbers given, with three decimals.
median() {
    printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END {
        if (NR % 2) printf "%.3f", v[(NR + 1) / 2]; else printf "%.3f", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# Prints a row of the table of medians: the command, its median in ms and the count of runs.
print_row() {
    printf '  %-40s %10s %6s\n' "$1" "$2" "$3"
}

# The P-th percentile of the numbers given (nearest rank), with three decimals.
percentile() {
    local p=$1
    shift
    printf '%s\n' "$@" | sort -g | awk -v p="$p" '{ v[NR] = $1 } END {
        k = int((p * NR + 99) / 100); if (k < 1) k = 1; printf "%.3f", v[k] }'
}

# Prints the ratio of two medians with its target; lower is faster for the CLI.
print_ratio() {
    awk -v label="$1" -v a="$2" -v b="$3" -v target="$4" 'BEGIN {
        r = a / b
        printf "  %-32s %7.3f   target <= %.2f  %s\n", label, r, target, (r <= target ? "met" : "MISSED") }'
}
