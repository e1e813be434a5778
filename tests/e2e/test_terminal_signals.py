"""The built program in a real terminal (tmux), ended or suspended by signals while it waits for an
answer: the terminal must be left as the program found it, and the shell must see the usual status."""
import os
import signal
import subprocess
import sys
import tempfile
import time
import unittest

from bank import QUESTION
from terminal import Terminal, read_text

PROGRAM = None


def child_of(pid):
    out = subprocess.run(["pgrep", "-P", str(pid)], capture_output=True, text=True).stdout.split()
    return int(out[0]) if out else None


def wait_until(predicate, what, timeout=10.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return
        time.sleep(0.02)
    raise AssertionError(f"timed out waiting for {what}")


class SignalEndings(unittest.TestCase):
    # How the ending reaches the program, and the status the shell reports for it.
    ENDINGS = [
        ("Ctrl+C", lambda t: t.send("C-c"), 130),
        ("Ctrl+\\", lambda t: t.send("C-\\"), 131),
        ("SIGTERM", lambda t: os.kill(t.pid(), signal.SIGTERM), 143),
        ("SIGHUP", lambda t: os.kill(t.pid(), signal.SIGHUP), 129),
        ("SIGSEGV", lambda t: os.kill(t.pid(), signal.SIGSEGV), 139),
    ]

    def test_each_ending_restores_the_terminal(self):
        for name, end, status in self.ENDINGS:
            with self.subTest(name), Terminal(f"ulimit -c 0; {PROGRAM}") as t:
                t.wait_for_text(QUESTION)
                # The wait for an answer runs in raw mode, so there is something to restore.
                self.assertNotEqual(t.settings_now(), t.settings_before())
                end(t)
                self.assertEqual(t.exit_status(), status)
                self.assertEqual(t.settings_now(), t.settings_before())
                self.assertTrue(t.cursor_visible())


class LostTerminal(unittest.TestCase):
    def test_a_terminal_closed_without_a_hangup_signal_ends_the_program(self):
        # The pseudo-terminal is not the program's controlling terminal, so closing its other
        # side sends no SIGHUP: the program learns of it only from its reads.
        master, slave = os.openpty()
        proc = subprocess.Popen([PROGRAM], stdin=slave, stdout=slave, stderr=slave)
        os.close(slave)
        seen = b""
        while QUESTION.encode() not in seen:
            seen += os.read(master, 4096)
        os.close(master)
        self.assertEqual(proc.wait(timeout=5), -signal.SIGHUP)


class Suspension(unittest.TestCase):
    def test_ctrl_z_restores_the_terminal_and_fg_brings_raw_mode_back(self):
        # A shell with job control, which leaves the tty as the stopped program left it.
        stopped = tempfile.mktemp(prefix="cq-stopped-")
        with Terminal(f"dash -ic '{PROGRAM}; stty -g > {stopped}; fg'") as t:
            try:
                t.wait_for_text(QUESTION)
                raw = t.settings_now()
                program = child_of(t.pid())
                t.send("C-z")
                wait_until(lambda: os.path.exists(stopped) and read_text(stopped), "the stop")
                self.assertEqual(read_text(stopped), t.settings_before())
                self.assertTrue(t.cursor_visible())
                wait_until(lambda: t.settings_now() == raw, "raw mode after fg")
                os.kill(program, signal.SIGTERM)
                self.assertEqual(t.exit_status(), 143)
                self.assertEqual(t.settings_now(), t.settings_before())
            finally:
                if os.path.exists(stopped):
                    os.remove(stopped)

    def test_ctrl_z_without_job_control_goes_on_in_raw_mode(self):
        # The plain shell's process group is orphaned: the stop is dropped, the program goes on.
        with Terminal(PROGRAM) as t:
            t.wait_for_text(QUESTION)
            raw = t.settings_now()
            t.send("C-z")
            time.sleep(0.3)
            self.assertEqual(t.settings_now(), raw)
            t.send("C-c")
            self.assertEqual(t.exit_status(), 130)
            self.assertEqual(t.settings_now(), t.settings_before())


if __name__ == "__main__":
    PROGRAM = os.path.abspath(sys.argv.pop(1))
    unittest.main()
