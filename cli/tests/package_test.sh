#!/usr/bin/env bash
# Checks the Debian package that `cpack -G DEB` made from the release build: its name,
# maintainer and dependencies (found by dpkg-shlibdeps), the files it holds, that lintian
# finds nothing wrong with it, that dpkg would install it here, that the program it carries
# runs, and that the README's command installs it.
#   package_test.sh PACKAGE.deb
set -euo pipefail
deb="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = dornavel-cli ] || fail "the package is called '$(field Package)'"
[ -n "$(field Maintainer)" ] || fail "the package has no maintainer"
[ -n "$(field Description)" ] || fail "the package has no description"
# The libraries the program is linked with, each as the package that holds it.
depends="$(field Depends)"
names="$(tr ',' '\n' <<<"$depends" | awk '{print $1}')"
# libarchive13, libxml2, libssl3 and liblzma5 hold the libraries opened on first use, named
# by hand; the C++ runtime is in the program.
for package in libc6 libssl3 zlib1g libarchive13 libxml2 liblzma5; do
  grep -qxF "$package" <<<"$names" || fail "Depends lacks $package: $depends"
done

listing="$(dpkg-deb -c "$deb" | awk '{print $NF}')"
docs=./usr/share/doc/dornavel-cli # the package's own name, as Debian wants
for path in ./usr/bin/dornavel-cli ./usr/share/man/man1/dornavel-cli.1.gz \
  ./usr/share/bash-completion/completions/dornavel-cli $docs/README.md $docs/LICENSE $docs/docs/json.md \
  $docs/copyright $docs/changelog.gz; do
  grep -qxF "$path" <<<"$listing" || fail "the package lacks $path"
done
if grep -vE '^\./(usr/?|usr/(bin|share)(/.*)?)$' <<<"$listing"; then
  fail "the package holds files outside /usr/bin and /usr/share"
fi

# lintian, Debian's own check, with nothing to say above its informational notes.
lintian --fail-on error,warning --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 ||
  fail "lintian finds faults: $(cat "$work/lintian.log")"
# The changelog's newest entry is this version.
dpkg-deb --fsys-tarfile "$deb" | tar -xOf - "$docs/changelog.gz" | gzip -d >"$work/changelog"
[ "$(dpkg-parsechangelog -l "$work/changelog" -S Version)" = "$(field Version)" ] ||
  fail "the changelog's newest entry is not version $(field Version)"

# dpkg checks the package and its dependencies against this system without installing it.
dpkg --dry-run --install "$deb" >"$work/dpkg.log" 2>&1 || fail "dpkg would not install it: $(cat "$work/dpkg.log")"

# The program it carries runs, and is the optimised build: it tells a ROM's order.
dpkg-deb -x "$deb" "$work/root"
"$work/root/usr/bin/dornavel-cli" --version | grep -qx "dornavel-cli $(field Version)" ||
  fail "the packaged program does not run or gives another version"
printf '\x37\x80\x40\x12' >"$work/demo.v64"
[ "$("$work/root/usr/bin/dornavel-cli" detect "$work/demo.v64")" = "$work/demo.v64: v64" ] ||
  fail "the packaged program does not detect a v64 ROM"
# It carries its own C++ runtime and opens libxml2 (with ICU's C++ behind it) and libcrypto on
# first use: it reads a DAT that lists the demo ROM and finds it there by its SHA-1.
printf '<?xml version="1.0"?>\n<datafile><header><name>T</name></header><game name="Demo"><rom name="Demo.z64" size="4" crc="E311AB71" sha1="f834b4f983daad0442642b54eaa503d30489ceb7"/></game></datafile>\n' >"$work/demo.dat"
"$work/root/usr/bin/dornavel-cli" info --dat "$work/demo.dat" "$work/demo.v64" | grep -qx '  DAT entry    Demo' ||
  fail "the packaged program does not read a DAT"
# The README tells a newcomer how to install it: its command names this package's file.
readme="$(dirname "${BASH_SOURCE[0]}")/../../README.md"
command="$(grep -oE 'sudo apt install \./build/release/dornavel-cli_[^ `]*\.deb' "$readme")" ||
  fail "the README does not say how to install the package"
# shellcheck disable=SC2053 # the README's name is a pattern, as the shell expands it
[[ "build/release/$(basename "$deb")" == ${command#sudo apt install ./} ]] ||
  fail "the README's '$command' does not install $(basename "$deb")"
echo "Debian package $deb: all checks passed"
