#!/usr/bin/env python3
"""Tests of scripts/wine-test.py, the runner of the Windows tests under Wine. A bash script
stands in for the Wine process: it prints what a GoogleTest program prints, then ends, stays
or leaves a process holding its output, as a Wine process may."""
import os
import signal
import subprocess
import sys
import tempfile
import time
import unittest

RUNNER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "wine-test.py")

# GoogleTest's opening line.
RUNNING = "[==========] Running 1 test from 1 test suite."

# GoogleTest's closing lines for one test that passed, and for one that failed.
PASSED = r"""printf '%s\n' '[==========] Running 1 test from 1 test suite.' \
  '[ RUN      ] A.B' '[       OK ] A.B (5 ms)' \
  '[==========] 1 test from 1 test suite ran. (535 ms total)' '[  PASSED  ] 1 test.'"""
FAILED = r"""printf '%s\r\n' '[==========] Running 1 test from 1 test suite.' \
  '[ RUN      ] A.B' '[  FAILED  ] A.B (5 ms)' \
  '[==========] 1 test from 1 test suite ran. (535 ms total)' '[  PASSED  ] 0 tests.' \
  '[  FAILED  ] 1 test, listed below:' '[  FAILED  ] A.B' '' ' 1 FAILED TEST'"""


class WineTestRunner(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.TemporaryDirectory()
        self.notes = os.path.join(self.work.name, "notes")
        self.pids = os.path.join(self.work.name, "pids")

    def tearDown(self):
        # Whatever a stand-in left running ends with the test.
        if os.path.exists(self.pids):
            for pid in read_text(self.pids).split():
                try:
                    os.kill(int(pid), signal.SIGKILL)
                except ProcessLookupError:
                    pass
        self.work.cleanup()

    # Starts the runner over a bash script standing in for the Wine process; $PIDS is a file
    # for the pids of what the script leaves running.
    def start(self, script, grace=0.5):
        env = dict(os.environ, DORNAVEL_WINE_RUN="/bin/bash", DORNAVEL_WINE_GRACE=str(grace),
                   DORNAVEL_WINE_NOTES=self.notes, PIDS=self.pids)
        return subprocess.Popen([sys.executable, RUNNER, "-c", script], env=env,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)

    # Runs the runner to its end; a runner that has not ended in a minute fails the test.
    def run_script(self, script, grace=0.5):
        runner = self.start(script, grace)
        try:
            out, err = runner.communicate(timeout=60)
        except subprocess.TimeoutExpired:
            runner.kill()
            self.fail("the runner hung")
        return runner.returncode, out.decode(), err.decode()

    def read_notes(self):
        return read_text(self.notes) if os.path.exists(self.notes) else ""

    def test_a_program_that_ends_keeps_its_status_and_output(self):
        # Standard output and error each go where they came from, byte for byte; no note.
        cases = [
            ("printf '%s\\n' '%s'; printf 'err\\n' >&2; exit 3" % ("%s", RUNNING), 3, RUNNING + "\n", "err\n"),
            (PASSED + "; exit 0", 0, None, ""),
            (FAILED + "; exit 1", 1, None, ""),
            # killed by a signal once its tests began: as a shell reports it
            ("echo '%s'; kill -9 $$" % RUNNING, 128 + 9, RUNNING + "\n", ""),
        ]
        for script, status, out, err in cases:
            with self.subTest(script=script):
                got_status, got_out, got_err = self.run_script(script)
                self.assertEqual(got_status, status)
                if out is not None:
                    self.assertEqual(got_out, out)
                self.assertEqual(got_err, err)
                self.assertEqual(self.read_notes(), "")

    def test_a_program_that_fails_before_any_test_runs_once_more(self):
        # Wine failing to start the program: the second run's verdict is the test's, noted.
        tries = os.path.join(self.work.name, "tries")
        for second, status in [(PASSED + "; exit 0", 0), ("exit 5", 5)]:
            with self.subTest(second=second):
                script = "echo x >>'%s'; [ $(wc -l <'%s') -gt 1 ] && { %s; }; exit 53" % (tries, tries, second)
                got_status, _, err = self.run_script(script)
                self.assertEqual(got_status, status)
                self.assertEqual(read_text(tries), "x\nx\n")  # twice, never a third time
                self.assertIn("failed with status 53 before any test began", self.read_notes())
                self.assertIn("run once more", err)
                os.remove(tries)
                os.remove(self.notes)

    def test_a_finished_program_left_running_is_ended_with_its_verdict(self):
        # Passed: ended and counted as passed; a failed test still fails the run.
        for closing, status, verdict in [(PASSED, 0, "after its tests passed"),
                                          (FAILED, 1, "after its tests did not all pass")]:
            with self.subTest(verdict=verdict):
                got_status, out, err = self.run_script(closing + "; exec sleep 600")
                self.assertEqual(got_status, status)
                self.assertIn("1 test from 1 test suite ran.", out)
                self.assertIn(verdict, err)
                self.assertIn(verdict, self.read_notes())
                os.remove(self.notes)

    def test_a_program_still_testing_is_not_ended(self):
        # The opening line is not the closing one: a program that has printed it and works on
        # past the grace period runs to its own end.
        script = "printf '[==========] Running 1 test from 1 test suite.\\n'; sleep 2; exit 0"
        status, _, err = self.run_script(script, grace=0.2)
        self.assertEqual(status, 0)
        self.assertEqual(err, "")
        self.assertEqual(self.read_notes(), "")

    def test_output_held_by_a_process_left_behind_is_not_waited_for(self):
        # As Wine's desktop process holds the standard error of the program that started it;
        # one that keeps writing is not waited for either.
        for holder in ["sleep 600", "while :; do echo more; sleep 0.2; done"]:
            with self.subTest(holder=holder):
                script = PASSED + "; (%s) & echo $! >>\"$PIDS\"; exit 0" % holder
                status, out, err = self.run_script(script)
                self.assertEqual(status, 0)
                self.assertIn("[  PASSED  ] 1 test.", out)
                self.assertIn("still held its output open", self.read_notes())
                self.assertIn("still held its output open", err)
                os.remove(self.notes)

    def test_the_program_dies_with_the_runner(self):
        # CTest's time limit kills the runner; the Wine process under it must not live on.
        runner = self.start("echo $$ >>\"$PIDS\"; exec sleep 600")
        pid = None
        for _ in range(300):
            if os.path.exists(self.pids) and read_text(self.pids).strip():
                pid = int(read_text(self.pids).split()[0])
                break
            time.sleep(0.1)
        self.assertIsNotNone(pid, "the stand-in did not start")
        runner.kill()
        runner.communicate()
        for _ in range(300):
            if not alive(pid):
                break
            time.sleep(0.1)
        self.assertFalse(alive(pid), "the program outlived its runner")


def read_text(path):
    """The whole text of a file."""
    with open(path, encoding="utf-8") as text:
        return text.read()


def alive(pid):
    """Whether a process runs (a zombie counts as ended)."""
    try:
        with open("/proc/%d/stat" % pid) as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] != "Z"
    except FileNotFoundError:
        return False


if __name__ == "__main__":
    unittest.main()
