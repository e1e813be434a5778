"""The built program on pipes and files: whole rounds answered as a program would play them."""
import os
import re
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bank import CAPITALS, QUESTION  # noqa: E402

PROGRAM = None



class Player:
    """Reads the program's output line by line and answers each question as it comes."""

    def __init__(self):
        self.proc = subprocess.Popen([PROGRAM], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.lines = []

    def line(self):
        raw = self.proc.stdout.readline()
        if not raw:
            raise AssertionError("output ended early after:\n" + "\n".join(self.lines[-5:]))
        if not raw.endswith(b"\r\n"):
            raise AssertionError(f"line without CR LF: {raw!r}")
        text = raw[:-2].decode("latin-1")
        self.lines.append(text)
        return text

    def answer(self, text):
        self.proc.stdin.write(text.encode("latin-1") + b"\n")
        self.proc.stdin.flush()


class RedirectedRound(unittest.TestCase):
    def test_a_whole_round_played_through_pipes(self):
        player = Player()
        header = player.line()
        match = re.fullmatch(r" 1 of (\d+)", header)
        self.assertIsNotNone(match, header)
        asked = int(match.group(1))
        self.assertEqual(asked, 12)  # every weight starts at 1: all twelve are asked
        missed = []
        seen = set()
        for number in range(1, asked + 1):
            if number > 1:
                self.assertEqual(player.line(), f" {number} of {asked}")
            question = player.line()
            self.assertTrue(question.startswith(QUESTION), question)
            country = question[len(QUESTION):]
            seen.add(country)
            if number % 3 == 0:
                player.answer(CAPITALS[country].lower())
                self.assertEqual(player.line(), "Incorrect")
                self.assertEqual(player.line(), f"Correct answer is {CAPITALS[country]}")
                missed.append(country)
            else:
                player.answer("  " + CAPITALS[country])
                self.assertEqual(player.line(), "Correct!")
        self.assertEqual(seen, set(CAPITALS))
        self.assertEqual(player.line(), "Study round over!")
        self.assertEqual(player.line(), f" {asked - len(missed)}of {asked}correct.")
        self.assertEqual(player.line(), "Missed:")
        for country in missed:
            self.assertEqual(player.line(), f"{country} , {CAPITALS[country]}")
        self.assertEqual(player.line(), "Press a key to play again")
        # The end of input ends the program at the replay wait.
        player.proc.stdin.close()
        self.assertEqual(player.proc.stdout.read(), b"")
        player.proc.stdout.close()
        self.assertEqual(player.proc.wait(timeout=10), 0)

    def test_file_in_file_out_ends_by_itself(self):
        answers = "Lima,Quito\n" * 40
        with tempfile.TemporaryFile() as out:
            result = subprocess.run([PROGRAM], input=answers.encode(), stdout=out, timeout=30)
            self.assertEqual(result.returncode, 0)
            out.seek(0)
            transcript = out.read()
        self.assertNotIn(b"\x1b", transcript)
        self.assertTrue(transcript.endswith(b"Press a key to play again\r\n"))
        self.assertEqual(transcript.count(b"\n"), transcript.count(b"\r\n"))
        self.assertGreater(transcript.count(b"Study round over!\r\n"), 2)

    def test_empty_input_plays_one_round_of_empty_answers(self):
        result = subprocess.run([PROGRAM], stdin=subprocess.DEVNULL, capture_output=True, timeout=10)
        self.assertEqual(result.returncode, 0)
        self.assertEqual(result.stdout.count(b"Incorrect\r\n"), 12)
        self.assertIn(b"\r\n 0of 12correct.\r\n", result.stdout)

    def test_closed_output_pipe_ends_the_program(self):
        result = subprocess.run(f"yes Lima | {PROGRAM} | head -c 1000 > /dev/null; echo ${{PIPESTATUS[1]}}",
                                shell=True, executable="/bin/bash", capture_output=True, timeout=30)
        self.assertEqual(result.stdout.strip(), b"141")  # ended by SIGPIPE, as any filter


class BadInput(unittest.TestCase):
    CASES = {
        "zero and 0xFF bytes": b"\0\0\xff\xff,\0Lima\n" * 1000,
        "a 10 MiB line with no line end": b"x" * (10 << 20),
        "300,000 commas": b"," * 300_000,
        "an unclosed quote": b"\"Lima, Quito" * 1000,
        "only CR bytes": b"\r" * 100_000,
        "random bytes": os.urandom(1 << 20),
    }

    def test_any_bytes_end_cleanly_in_bounded_memory(self):
        for name, data in self.CASES.items():
            with self.subTest(name):
                with tempfile.TemporaryFile() as source:
                    source.write(data)
                    source.seek(0)
                    # GNU time reports the program's own peak resident memory, in KiB.
                    result = subprocess.run(["/usr/bin/time", "-f", "%x %M", PROGRAM], stdin=source,
                                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=120)
                status, peak_kib = map(int, result.stderr.split()[-2:])
                self.assertEqual(status, 0)
                self.assertLess(peak_kib, 8 * 1024)

if __name__ == "__main__":
    PROGRAM = os.path.abspath(sys.argv.pop(1))
    unittest.main()
