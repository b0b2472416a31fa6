#!/usr/bin/env bash
# dornavel-cli.exe under Wine, called through cmd.exe as a Windows user calls it: cmd passes
# * and ? on untouched, so the program's start-up must expand them, with UTF-8 names.
# Usage: windows_wildcards.sh PATH/TO/dornavel-cli.exe
set -uo pipefail

cli=$1
wine_run="$(cd "$(dirname "${BASH_SOURCE[0]}")/../../scripts" && pwd)/wine-run.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# The Windows name of a Unix path, through Wine's drive Z: (the whole Unix tree).
windows_path() {
    local path=$1
    printf 'Z:%s' "${path//\//\\}"
}

# Runs "dornavel-cli.exe ARGS" through cmd /c in the folder roms; sets status, out and err
# (sorted lines without carriage returns: Wine lists a folder in no particular order).
# Arguments reach Wine as UTF-8, so the locale must say so.
run_cli() {
    LC_ALL=C.UTF-8 "$wine_run" cmd /c "cd /d $(windows_path "$work/roms") && $(windows_path "$cli") $*" \
        >"$work/out" 2>"$work/err" </dev/null
    status=$?
    out=$(tr -d '\r' <"$work/out" | LC_ALL=C sort)
    err=$(tr -d '\r' <"$work/err" | LC_ALL=C sort)
}

# Compares what a check got with what it expected; a difference is a failure.
expect() {
    if [[ $2 != "$3" ]]; then
        printf 'FAILED: %s\n  expected: %q\n  got:      %q\n' "$1" "$3" "$2" >&2
        failures=$((failures + 1))
    fi
}

# The first eight bytes of a file in hex.
bytes_of() {
    od -An -tx1 -N8 "$1" | tr -d ' \n'
}

little='\x40\x12\x37\x80\x0f\x00\x00\x00' # a ROM header and one word, little-endian (printf format)
little_hex=401237800f000000
big_hex=803712400000000f                  # the same bytes big-endian
mkdir -p "$work/roms/sub"
for name in mario.n64 "Zelda – ゼルダ.n64" "Mário 64.n64" sub/deep.n64; do
    printf "$little" >"$work/roms/$name"
done
printf 'notes\n' >"$work/roms/notes.txt"

# An ASCII pattern takes ASCII and non-ASCII names alike, and only the names it matches.
run_cli detect '*.n64'
expect "detect *.n64: status" "$status" 0
# (The lines come sorted: the closing summary of several files sorts first.)
expect "detect *.n64: lines" "$out" $'3 recognised\nMário 64.n64: little\nZelda – ゼルダ.n64: little\nmario.n64: little'
expect "detect *.n64: errors" "$err" ""

# A pattern of non-ASCII characters, ? for one character (á takes two bytes, the space one),
# and a pattern in a subfolder. Windows matches without regard to letter case: M?rio* alone
# would take mario.n64 too.
run_cli detect '*ゼ*' 'M?rio?64.*' 'sub\*.n64'
expect "non-ASCII and ? patterns: lines" "$out" \
    $'3 recognised\nMário 64.n64: little\nZelda – ゼルダ.n64: little\nsub\\deep.n64: little'

# A pattern that matches nothing is one error line; the other arguments go on.
run_cli detect 'nothing*.z64' mario.n64
expect "no match: status" "$status" 1
expect "no match: lines" "$out" $'1 recognised, 1 failed\nmario.n64: little'
expect "no match: error" "$err" "dornavel-cli: nothing*.z64: no file matches"

# Converting through a pattern rewrites every file it matches, the non-ASCII one too.
run_cli convert --to big '*.n64'
expect "convert *.n64: status" "$status" 0
expect "convert *.n64: summary" "$(grep converted <<<"$out")" "3 converted"
expect "convert *.n64: Zelda's bytes" "$(bytes_of "$work/roms/Zelda – ゼルダ.n64")" "$big_hex"
expect "convert *.n64: untouched subfolder" "$(bytes_of "$work/roms/sub/deep.n64")" "$little_hex"

# One file reached through a folder and two other Windows spellings is converted once: with
# --from a second conversion would scramble it.
run_cli convert --from little --to big -r sub 'SUB\DEEP.N64' '.\sub\..\sub\deep.n64'
expect "reached three times: lines" "$out" 'sub\deep.n64: little -> big'
expect "reached three times: bytes" "$(bytes_of "$work/roms/sub/deep.n64")" "$big_hex"

if ((failures > 0)); then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "every check passed"
