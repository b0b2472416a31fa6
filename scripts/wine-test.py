#!/usr/bin/env python3
"""Runs one cross-built test program under Wine for CTest (the cross build's emulator).

The test's end is the end of the run, whatever Wine leaves behind:
- The program's output passes through here. A process it started that keeps that output
  open (Wine's desktop process takes the standard error of whoever needs the desktop first)
  holds only this program's pipe, which is let go of once the test program has ended, so
  CTest never waits for it.
- When the program has printed GoogleTest's closing lines but its Wine process has not ended
  a grace period later, it is ended: the run counts as passed when its tests all passed and
  as failed otherwise.
- When the program fails before GoogleTest has said a word (Wine could not start it, which
  happens now and then on a loaded machine), it is run once more.
Each of these events is written on standard error and added to the notes file named by
DORNAVEL_WINE_NOTES, which scripts/test-windows.sh shows at the end of the run.

  DORNAVEL_WINE_RUN    what runs the program (default: wine-run.sh beside this script)
  DORNAVEL_WINE_GRACE  seconds a finished test program may take to end (default 15)
"""
import os
import select
import signal
import subprocess
import sys
import time

# How long output still held open is waited for once the program has ended, in seconds:
# after the last byte, and in all.
DRAIN_SECONDS = 1.0
DRAIN_LIMIT_SECONDS = 5.0

# How often the program is looked at while it prints nothing, in seconds.
POLL_SECONDS = 0.2


class GoogleTestWatch:
    """Follows a GoogleTest program's output for its closing lines and its verdict."""

    def __init__(self):
        self.finished_at = None  # when the "[==========] ... ran." line came
        self.passed = False  # "[  PASSED  ]" after that line
        self.failed = False  # any "[  FAILED  ]" line
        self.started = False  # GoogleTest's first "[==========] Running ..." line came
        self._partial = b""

    # Reads a piece of output, line by line (a line may arrive in several pieces).
    def feed(self, chunk):
        lines = (self._partial + chunk).split(b"\n")
        self._partial = lines.pop()
        for line in lines:
            self._line(line.rstrip(b"\r"))

    # "[==========] 3 tests from 1 test suite ran. (535 ms total)" closes the run; the
    # verdict lines follow it.
    def _line(self, line):
        if line.startswith(b"[==========] Running "):
            self.started = True
        if line.startswith(b"[==========] ") and (line.endswith(b" ran.") or b" ran. (" in line):
            self.finished_at = time.monotonic()
        elif line.startswith(b"[  PASSED  ] ") and self.finished_at is not None:
            self.passed = True
        elif line.startswith(b"[  FAILED  ] "):
            self.failed = True

    # Whether the tests have all passed, as far as the closing lines tell.
    def all_passed(self):
        return self.finished_at is not None and self.passed and not self.failed


def kill_with_parent():
    """In the child before it starts: it is killed when this program dies (CTest's time limit
    kills this program, not the Wine process under it)."""
    import ctypes

    PR_SET_PDEATHSIG = 1
    prctl = getattr(ctypes.CDLL(None, use_errno=True), "prctl", None)
    if prctl:  # Linux only
        prctl(PR_SET_PDEATHSIG, signal.SIGKILL)


def start(arguments):
    """Starts the program under Wine with its output in pipes read here."""
    here = os.path.dirname(os.path.abspath(__file__))
    runner = os.environ.get("DORNAVEL_WINE_RUN") or os.path.join(here, "wine-run.sh")
    return subprocess.Popen([runner] + arguments, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, preexec_fn=kill_with_parent)


class Pump:
    """Copies the program's standard output and error to this program's as they come."""

    def __init__(self, child, watch):
        self.watch = watch
        self.stdout = child.stdout.fileno()
        self.targets = {child.stdout.fileno(): sys.stdout.buffer,
                        child.stderr.fileno(): sys.stderr.buffer}
        self.open = set(self.targets)

    # Copies what arrives within timeout seconds; false when nothing came.
    def copy(self, timeout):
        if not self.open:
            time.sleep(timeout)
            return False
        ready, _, _ = select.select(list(self.open), [], [], timeout)
        for fd in ready:
            chunk = os.read(fd, 65536)
            if not chunk:
                self.open.discard(fd)
                continue
            if fd == self.stdout:
                self.watch.feed(chunk)
            self.targets[fd].write(chunk)
            self.targets[fd].flush()
        return bool(ready)

    # Copies what is left once the program has ended; false when another process still
    # held the output open (DRAIN_SECONDS without a byte, or DRAIN_LIMIT_SECONDS in all).
    def drain(self):
        deadline = time.monotonic() + DRAIN_LIMIT_SECONDS
        while self.open:
            if not self.copy(DRAIN_SECONDS) or time.monotonic() > deadline:
                return False
        return True


def note(text):
    """Says what happened on standard error and in the run's notes file."""
    sys.stderr.write("wine-test: %s\n" % text)
    sys.stderr.flush()
    notes = os.environ.get("DORNAVEL_WINE_NOTES")
    if notes:
        with open(notes, "a", encoding="utf-8") as out:
            out.write(text + "\n")


def exit_status(returncode):
    """The shell's exit status for a child's return code (128 + N for signal N)."""
    return 128 - returncode if returncode < 0 else returncode


def stop(child, number):
    """On a signal to this program: ends the Wine process too, then this program."""
    child.kill()
    sys.exit(128 + number)


def test_name(arguments):
    """The program and the tests it runs, for the notes: "ui_tests.exe Suite.Test"."""
    words = [os.path.basename(arguments[0])]
    for argument in arguments[1:]:
        if argument.startswith("--gtest_filter="):
            words.append(argument[len("--gtest_filter="):])
        elif not argument.startswith("--gtest_"):
            words.append(argument)
    return " ".join(words)


def run_once(arguments, grace, watch):
    """Runs the program to its end, or ends it grace seconds after its tests ended."""
    name = test_name(arguments)
    child = start(arguments)
    pump = Pump(child, watch)
    for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(sig, lambda number, _: stop(child, number))
    while child.poll() is None:
        pump.copy(POLL_SECONDS)
        if watch.finished_at is not None and time.monotonic() - watch.finished_at > grace:
            child.kill()
            child.wait()
            pump.drain()
            verdict = "passed" if watch.all_passed() else "did not all pass"
            note("%s: ended its Wine process, still running %g s after its tests %s"
                 % (name, grace, verdict))
            return 0 if watch.all_passed() else 1
    if not pump.drain():
        note("%s: ended, but a process it started still held its output open; not waited for"
             % name)
    return exit_status(child.returncode)


def run(arguments, grace):
    """Runs the program, and once more when it failed before any test began."""
    watch = GoogleTestWatch()
    status = run_once(arguments, grace, watch)
    if status != 0 and not watch.started:
        note("%s: failed with status %d before any test began; run once more"
             % (test_name(arguments), status))
        status = run_once(arguments, grace, GoogleTestWatch())
    return status


def main():
    grace = float(os.environ.get("DORNAVEL_WINE_GRACE") or 15)
    if len(sys.argv) < 2:
        sys.stderr.write("usage: wine-test.py PROGRAM [ARGUMENTS...]\n")
        return 2
    return run(sys.argv[1:], grace)


if __name__ == "__main__":
    sys.exit(main())
