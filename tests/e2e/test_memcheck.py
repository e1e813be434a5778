"""The built program under valgrind's memcheck on redirected input: no memory errors, nothing lost,
and what is still allocated at exit (the stream buffers) does not grow with the rounds played."""
import os
import re
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bank import CAPITALS  # noqa: E402

PROGRAM = None

# Right answers, wrong ones and the awkward fields: a quoted comma, an unclosed quote, a line
# longer than a field, blanks, CR line ends, a byte of every value.
ANSWERS = [
    *CAPITALS.values(), "lima", "", '"Buenos Aires, AR"', '"La Paz', "x" * 5000, " \t Quito ,Lima",
    "Caracas\r", bytes(range(1, 256)).replace(b"\n", b"").decode("latin-1"),
]
ALLOCATED_AT_EXIT_LIMIT = 256 * 1024


def answer_lines(count):
    return "\n".join(ANSWERS[i % len(ANSWERS)] for i in range(count)).encode("latin-1") + b"\n"


def memcheck(lines):
    """Runs the program on `lines` answer lines; returns its exit status and valgrind's report."""
    with tempfile.TemporaryDirectory() as work:
        log = os.path.join(work, "memcheck.log")
        proc = subprocess.run(
            ["valgrind", "--tool=memcheck", "--leak-check=full", "--show-leak-kinds=all",
             "--errors-for-leak-kinds=definite,indirect,possible", "--error-exitcode=99",
             f"--log-file={log}", PROGRAM],
            input=answer_lines(lines), stdout=subprocess.DEVNULL, timeout=600)
        with open(log) as report:
            return proc.returncode, report.read()


def figure(report, pattern):
    match = re.search(pattern, report)
    if match is None:
        raise AssertionError(f"no {pattern!r} in the report:\n{report[-2000:]}")
    return [int(group.replace(",", "")) for group in match.groups()]


class Memcheck(unittest.TestCase):
    def test_no_errors_no_losses_and_no_growth(self):
        reports = {}
        for lines in (200, 4000):
            status, report = memcheck(lines)
            self.assertEqual(status, 0, report[-3000:])
            self.assertEqual(figure(report, r"ERROR SUMMARY: ([\d,]+) errors"), [0])
            for kind in ("definitely lost", "indirectly lost", "possibly lost"):
                self.assertEqual(figure(report, kind + r": ([\d,]+) bytes"), [0], kind)
            reports[lines] = figure(report, r"in use at exit: ([\d,]+) bytes in ([\d,]+) blocks")
        (small_bytes, small_blocks), (large_bytes, large_blocks) = reports[200], reports[4000]
        self.assertEqual(large_blocks, small_blocks, "blocks held at exit grow with the rounds")
        self.assertLess(large_bytes, ALLOCATED_AT_EXIT_LIMIT)
        self.assertLess(small_bytes, ALLOCATED_AT_EXIT_LIMIT)


if __name__ == "__main__":
    PROGRAM = os.path.abspath(sys.argv.pop(1))
    unittest.main()
