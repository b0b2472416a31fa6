#!/usr/bin/env bash
# Checks that the folders a user gives the build (GNUInstallDirs' variables) are where the
# install puts each file, the documentation included, and the folder the man page names:
# a build tree is configured with its own folders, and its install rules are read (nothing
# is built). Without them the documentation goes under the package's name, dornavel-cli.
#   install_dirs_test.sh SOURCE_FOLDER
set -euo pipefail
source="$1"
tree="$(mktemp -d)"
trap 'rm -rf "$tree"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

configure() { # -DVARIABLE=VALUE...
  cmake -S "$source" -B "$tree" -DDORNAVEL_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/opt/n64 "$@" >"$tree.log" 2>&1 ||
    fail "cmake cannot configure with $*: $(cat "$tree.log")"
  rm -f "$tree.log"
}
# The folders the install rules write into, under the prefix, one a line.
destinations() {
  grep -rhoE 'file\(INSTALL DESTINATION "\$\{CMAKE_INSTALL_PREFIX\}/[^"]*"' "$tree" --include=cmake_install.cmake |
    sed -E 's/.*PREFIX\}\/(.*)"$/\1/' | sort -u
}
expect() { # FOLDER WHAT
  grep -qxF "$1" <<<"$(destinations)" || fail "nothing is installed in $1 ($2); the folders: $(destinations | tr '\n' ' ')"
}

# Every folder named by the user, none of them the usual one.
configure -DCMAKE_INSTALL_BINDIR=games -DCMAKE_INSTALL_DATAROOTDIR=data -DCMAKE_INSTALL_MANDIR=manuals \
  -DCMAKE_INSTALL_DOCDIR=doc/n64-tools
expect games "the program"
expect manuals/man1 "the man page"
expect data/bash-completion/completions "the completion"
expect doc/n64-tools "README, licence, copyright, changelog"
expect doc/n64-tools/docs "the documentation"
# The man page tells where the documentation is: the folder given.
grep -rqF "man_sections.roff /opt/n64/doc/n64-tools " "$tree/cli/install" ||
  fail "the man page is not made with the documentation folder given"

# No documentation folder given: under the data folder given, in the package's name.
configure -DCMAKE_INSTALL_DOCDIR=
expect data/doc/dornavel-cli "the documentation folder by default"
echo "install folders given by the user: all checks passed"
