#!/usr/bin/env bash
# Installs a native build into a temporary prefix and checks that a Linux user finds what
# they expect: each file where it belongs, a man page that man renders with every command
# and option of the program's help, word for word, and every variable the program reads,
# a bash completion that registers and offers them.
#   install_test.sh BUILD_FOLDER
set -euo pipefail
build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
program="$prefix/bin/dornavel-cli"
page="$prefix/share/man/man1/dornavel-cli.1.gz"
completion="$prefix/share/bash-completion/completions/dornavel-cli"
docs="$prefix/share/doc/dornavel-cli" # the package's name, not the project's

# Files where they belong, and nothing at the root of the prefix (the Windows zip's layout).
for file in "$program" "$page" "$completion" "$docs/README.md" "$docs/LICENSE" "$docs/docs/json.md" \
  "$docs/copyright" "$docs/changelog.gz"; do
  [ -f "$file" ] || fail "$file is not installed"
done
[ -x "$program" ] || fail "$program is not executable"
[ "$(ls "$prefix" | tr '\n' ' ')" = "bin share " ] ||
  fail "the prefix holds more than bin/ and share/: $(ls "$prefix")"
"$program" --version | grep -q '^dornavel-cli ' || fail "the installed program does not run"

# The commands and, for each, the options its help lists: what the page and the completion
# must hold. Read here with a pattern of its own, not with the generators' reader.
commands="$("$program" --help | sed -n '/^Commands:$/,/^$/p' | grep -oE '^  [a-z-]+' | tr -d ' ')"
[ "$(wc -w <<<"$commands")" -ge 4 ] || fail "fewer than 4 commands in the help: $commands"
options_of() { # the names, without a value joined to them ("--rename" of "--rename[=SET]")
  "$program" "$1" --help | sed -n '/^Options:$/,/^$/p' | grep -oE '^  -[^ []*' | tr ',' '\n' | tr -d ' '
}

# man renders the page (the compressed one, as installed); it names every command and option.
gzip -t "$page" || fail "$page is not whole gzip data"
rendered="$(MANWIDTH=100 man -l "$page" 2>&1)" || fail "man -l cannot render the page: $rendered"
for section in NAME SYNOPSIS DESCRIPTION COMMANDS OPTIONS OUTPUT EXAMPLES; do
  grep -q "^$section\$" <<<"$rendered" || fail "the page has no $section section"
done
for command in $commands; do
  grep -q "^   $command\$" <<<"$rendered" || fail "the page has no subsection for $command"
  # The options within the command's own subsection (read whole first: grep -q may stop
  # reading early, and a writer cut off would fail the pipe).
  subsection="$(sed -n "/^   $command\$/,/^   [a-z-]*\$/p" <<<"$rendered")"
  for option in $(options_of "$command"); do
    grep -qF -e "$option" <<<"$subsection" || fail "the page does not show $option under $command"
  done
done

# Each option's whole text in the help is its text in the page, word for word: the entry's
# lines joined, its names as the page shows them ("-n, --dry-run").
option_texts() { # [COMMAND]: the entries of that help's Options: list, one a line
  "$program" "$@" --help | sed -n '/^Options:$/,/^$/p' |
    awk '/^  -/ { if (text) print text; text = $0; next } /^   / { text = text " " $0 } END { if (text) print text }' |
    tr -s ' ' | sed -E 's/^ //; s/^(-[^ ,]*),/\1, /'
}
wide="$(MANWIDTH=1000 man -l "$page" 2>&1)" # one line a paragraph: nothing hyphenated
flat() { tr '\n' ' ' | tr -s ' '; }
for command in $commands; do
  subsection="$(sed -n "/^   $command\$/,/^   [a-z-]*\$/p" <<<"$wide" | flat)"
  while IFS= read -r text; do
    grep -qF -- "$text" <<<"$subsection" || fail "the page's $command does not say, word for word: $text"
  done < <(option_texts "$command")
done
section="$(sed -n '/^OPTIONS$/,/^[A-Z]/p' <<<"$wide" | flat)"
while IFS= read -r text; do
  grep -qF -- "$text" <<<"$section" || fail "the page's OPTIONS does not say, word for word: $text"
done < <(option_texts)

# Every variable a help text names is in the page's ENVIRONMENT.
environment="$(sed -n '/^ENVIRONMENT$/,/^[A-Z]/p' <<<"$rendered")"
variables="$(for command in "" $commands; do "$program" $command --help; done | grep -oE 'DORNAVEL_[A-Z_]+' | sort -u)"
[ -n "$variables" ] || fail "no help names a DORNAVEL_ variable"
for variable in $variables; do
  grep -qE "^       $variable\$" <<<"$environment" || fail "ENVIRONMENT does not list $variable: $environment"
done

# The completion registers and offers the commands, the options, the values and files.
complete_words() {
  bash -c 'source /usr/share/bash-completion/bash_completion && source "$1" && shift &&
    complete -p dornavel-cli >/dev/null &&
    COMP_WORDS=("$@") && COMP_CWORD=$(($# - 1)) && COMP_LINE="$*" && COMP_POINT=${#COMP_LINE} &&
    _dornavel_cli && printf "%s\n" "${COMPREPLY[@]}"' completion "$completion" dornavel-cli "$@"
}
offers() { # WORD... => EXPECTED...: completing WORD... offers each EXPECTED
  local words=() offered
  while [ "$1" != "=>" ]; do words+=("$1"); shift; done
  shift
  offered="$(cd "$work" && complete_words "${words[@]}")" || fail "completing '${words[*]}' fails"
  for expected in "$@"; do
    grep -qx -e "$expected" <<<"$offered" || fail "completing '${words[*]}' does not offer $expected: $offered"
  done
}
work="$(mktemp -d -p "$prefix")"
touch "$work/game.z64" "$work/-odd.z64"
offers "" "=>" $commands --help --version
for command in $commands; do offers "$command" - "=>" $(options_of "$command"); done
offers convert --to "" "=>" big little v64 z64 n64
offers convert --from l "=>" little
offers check --cic "" "=>" 6101 6102 7101 5101
offers convert --rename= "=>" window common
offers convert --rename "" "=>" game.z64 # a bare --rename takes no value: FILE follows
offers info "" "=>" game.z64
offers convert --to big -- - "=>" -odd.z64 # after --, a word starting with - is a file
echo "installed files, man page and completion: all checks passed"
