#!/usr/bin/env python3
"""Runs the examples of the documentation and checks that they still print what they show.

    check_examples.py PROGRAM FILE.md...

An example is a fenced block marked `console`. Its lines that start with "$ " are commands,
run by bash in the examples' folder (docs/tests/make_examples.sh) with `dornavel-cli` being
PROGRAM; the lines after a command, up to the next one, are what it must print, standard
output and standard error together as a terminal shows them. A line "..." stands for any
lines. The blocks of one file run in order in one folder, so an example may rely on what the
one before it did; every file starts from a fresh folder. To show a new example, write the
block and add what it needs to make_examples.sh.
"""

import os
import re
import subprocess
import sys
import tempfile

EXAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "make_examples.sh")


def blocks(path):
    """The console blocks of a Markdown file, as (line number, [lines])."""
    found, current, start = [], None, 0
    with open(path, encoding="utf-8") as text:
        for number, line in enumerate(text, 1):
            line = line.rstrip("\n")
            if current is None and re.fullmatch(r"```console\s*", line):
                current, start = [], number + 1
            elif current is not None and line.startswith("```"):
                found.append((start, current))
                current = None
            elif current is not None:
                current.append(line)
    return found


def steps(lines):
    """A block's commands, each with the lines it must print."""
    result = []
    for line in lines:
        if line.startswith("$ "):
            result.append((line[2:], []))
        elif result:
            result[-1][1].append(line)
    return result


def matches(expected, actual):
    """Whether the lines printed are the lines shown, "..." standing for any lines."""
    if not expected:
        return not actual
    if expected[0].strip() == "...":
        return any(matches(expected[1:], actual[i:]) for i in range(len(actual) + 1))
    return bool(actual) and expected[0] == actual[0] and matches(expected[1:], actual[1:])


def check_file(path, tools):
    """Runs every example of the file; returns the messages of those that differ."""
    failures = []
    with tempfile.TemporaryDirectory() as folder:
        subprocess.run(["bash", EXAMPLES, folder], check=True)
        environment = dict(os.environ, PATH=tools + os.pathsep + os.environ["PATH"], LC_ALL="C.UTF-8")
        for start, lines in blocks(path):
            for command, expected in steps(lines):
                run = subprocess.run(["bash", "-c", command + " 2>&1"], cwd=folder, env=environment,
                                     stdout=subprocess.PIPE, text=True, errors="surrogateescape")
                actual = [line.rstrip() for line in run.stdout.split("\n")]
                while actual and not actual[-1]:
                    actual.pop()
                shown = [line.rstrip() for line in expected]
                while shown and not shown[-1]:
                    shown.pop()
                if not matches(shown, actual):
                    failures.append("%s:%d: $ %s\nshown:\n%s\nprinted:\n%s" % (
                        path, start, command, "\n".join(shown), "\n".join(actual)))
    return failures


def main():
    if not os.path.isfile(os.environ.get("DORNAVEL_TEST_ROM", "")):
        print("DORNAVEL_TEST_ROM does not name the real test ROM: the documentation's examples are not checked")
        return 77  # skipped
    program, files = os.path.abspath(sys.argv[1]), sys.argv[2:]
    with tempfile.TemporaryDirectory() as tools:
        os.symlink(program, os.path.join(tools, "dornavel-cli"))
        failures = [failure for path in files for failure in check_file(path, tools)]
    for failure in failures:
        print(failure + "\n")
    count = sum(len(steps(lines)) for path in files for _, lines in blocks(path))
    print("%d examples in %d files, %d differ" % (count, len(files), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
