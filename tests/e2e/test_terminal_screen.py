"""The program's screen in a real terminal (tmux): whole rounds on the screen and in the
scroll-back, the cleared screen of the next round, code page 437 glyphs, the writes the program
makes, and windows resized while it runs."""
import os
import re
import signal
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bank import CAPITALS, QUESTION  # noqa: E402
from terminal import Terminal  # noqa: E402

PROGRAM = None

REPLAY = "Press a key to play again"


def io_counters(pid):
    """Write system calls and bytes written so far by the process."""
    with open(f"/proc/{pid}/io") as f:
        fields = dict(line.split(": ") for line in f.read().splitlines())
    return int(fields["syscw"]), int(fields["wchar"])


def prompt_row(rows, number):
    """The row of the empty answer prompt of question `number`, or None while it is not shown."""
    for i in range(len(rows) - 2):
        if re.fullmatch(rf" {number} of \d+", rows[i]) and rows[i + 1].startswith(QUESTION) and rows[i + 2] == "?":
            return i + 2
    return None


def wait_for_prompt(terminal, number):
    """The country, the number of questions asked and the screen row of the prompt."""
    rows = terminal.wait_for(lambda r: prompt_row(r, number) is not None, what=f"question {number}")
    i = prompt_row(rows, number)
    asked = int(rows[i - 2].split(" of ")[1])
    return rows[i - 1][len(QUESTION):], asked, i


def type_answer(terminal, row, typed, shown=""):
    """Types key by key after what the prompt row already `shown`, as a user does, each key once
    its predecessor shows; then Enter."""
    for end in range(1, len(typed) + 1):
        terminal.type(typed[end - 1])
        echo = ("? " + shown + typed[:end]).rstrip()
        terminal.wait_for(lambda rows: rows[row] == echo, what=repr(echo))
    terminal.send("Enter")


def play_round(terminal, answer, first=1, missed=()):
    """Answers the questions of a round from number `first` on with answer(number, country);
    returns the lines they should have left, from the first header to the replay prompt.
    `missed` holds the countries missed before."""
    lines, missed = [], list(missed)
    number, asked = first, first
    while number <= asked:
        country, asked, row = wait_for_prompt(terminal, number)
        typed = answer(number, country)
        type_answer(terminal, row, typed)
        lines += [f" {number} of {asked}", QUESTION + country, ("? " + typed).rstrip()]
        if typed == CAPITALS[country]:
            lines.append("Correct!")
        else:
            lines += ["Incorrect", "Correct answer is " + CAPITALS[country]]
            missed.append(country)
        number += 1
    lines += ["Study round over!", f" {asked - len(missed)}of {asked}correct.", "Missed:"]
    lines += [f"{country} , {CAPITALS[country]}" for country in missed]
    lines.append(REPLAY)
    terminal.wait_for_text(REPLAY)
    return lines


def sharp_s_then_alternate(number, country):
    """ß first (a byte 0xE1 in the program), then right and wrong answers in turn."""
    if number == 1:
        return "ß"
    return CAPITALS[country] if number % 2 == 0 else CAPITALS[country].lower()


class WholeRound(unittest.TestCase):
    def test_round_on_screen_and_in_scroll_back_then_a_cleared_screen(self):
        with Terminal(PROGRAM) as terminal:
            lines = play_round(terminal, sharp_s_then_alternate)
            self.assertGreater(len(lines), 25, "the round runs past the bottom")
            self.assertIn("? ß", lines)
            # The last lines fill the screen above the cursor's empty row; the earlier ones are in
            # the scroll-back, in order and whole.
            self.assertEqual(terminal.screen(), lines[-24:] + [""])
            self.assertEqual(terminal.cursor(), (1, 25))
            self.assertEqual(terminal.history()[-len(lines):], lines)

            terminal.type("x")
            country, asked, _ = wait_for_prompt(terminal, 1)
            rows = terminal.screen()
            self.assertEqual(rows[:3], [f" 1 of {asked}", QUESTION + country, "?"])
            self.assertEqual(rows[3:], [""] * 22)
            self.assertEqual(terminal.cursor(), (3, 3))


class Writes(unittest.TestCase):
    def test_one_small_write_per_key_and_none_while_idle(self):
        with Terminal(PROGRAM) as terminal:
            country, _, row = wait_for_prompt(terminal, 1)
            pid = terminal.pid()
            time.sleep(0.3)
            before = io_counters(pid)
            time.sleep(1.0)
            self.assertEqual(io_counters(pid), before, "nothing changes, nothing is written")

            capital = CAPITALS[country]
            terminal.type(capital[0])
            terminal.wait_for_text("? " + capital[0])
            time.sleep(0.3)
            self.assertEqual(io_counters(pid), (before[0] + 1, before[1] + 1), "the echo is the glyph alone")

            type_answer(terminal, row, capital[1:], capital[0])
            wait_for_prompt(terminal, 2)
            time.sleep(0.3)
            calls = io_counters(pid)[0] - before[0]
            self.assertLessEqual(calls, len(capital) + 1, "at most one write per key")


class Bell(unittest.TestCase):
    def test_delete_at_the_end_rings_the_bell_and_waits(self):
        with Terminal(PROGRAM) as terminal:
            _, _, row = wait_for_prompt(terminal, 1)
            pid = terminal.pid()
            time.sleep(0.3)
            before = io_counters(pid)
            start = time.monotonic()
            terminal.send("DC")
            terminal.type("a")
            terminal.wait_for(lambda rows: rows[row] == "? a", what="the echo after the tone")
            self.assertGreaterEqual(time.monotonic() - start, 0.25, "the tone lasts 250 ms")
            time.sleep(0.3)
            # The bell byte alone, then the echo: nothing else reaches the terminal.
            self.assertEqual(io_counters(pid), (before[0] + 2, before[1] + 2))


class Resume(unittest.TestCase):
    def test_the_screen_comes_back_after_a_stop(self):
        with Terminal(PROGRAM) as terminal:
            _, _, row = wait_for_prompt(terminal, 1)
            terminal.type("Li")
            rows = terminal.wait_for(lambda r: r[row] == "? Li", what="the echo")
            pid = terminal.pid()
            # The pane's shell has no job control, so Ctrl+Z would not stop the program there.
            os.kill(pid, signal.SIGSTOP)
            # Meanwhile something else draws on the terminal.
            tty = terminal._tmux("display-message", "-t", terminal.name, "-p", "#{pane_tty}").stdout.strip()
            with open(tty, "w") as other:
                other.write("\x1b[2J\x1b[5;5Hsomething else\x1b[?25l")
            os.kill(pid, signal.SIGCONT)
            self.assertEqual(terminal.wait_for(lambda r: r == rows, what="the screen redrawn"), rows)
            self.assertEqual(terminal.cursor(), (5, row + 1))
            self.assertTrue(terminal.cursor_visible())


class ResizedWindow(unittest.TestCase):
    SIZES = [(2, 2), (3, 7), (120, 40), (10, 2), (2, 30), (80, 25)]

    def test_any_size_while_typing_then_a_correct_cleared_screen(self):
        with Terminal(PROGRAM) as terminal:
            first_country, _, _ = wait_for_prompt(terminal, 1)
            for width, height in self.SIZES:
                terminal.resize(width, height)
                terminal.type("abc")
                terminal.send("BSpace", "BSpace", "BSpace")
                time.sleep(0.2)
                self.assertIsNotNone(terminal.pid(), f"still running at {width}x{height}")
            # A window taller than the text view: the round scrolls inside the view's rows only.
            terminal.resize(80, 40)
            terminal.send("Enter")  # an empty answer to the first question
            lines = play_round(terminal, lambda number, country: CAPITALS[country], 2, [first_country])
            rows = terminal.screen()
            self.assertEqual(rows[25:], [""] * 15, "rows below the view stay blank")
            self.assertEqual(rows[:24], lines[-24:])

            terminal.type("x")
            country, asked, _ = wait_for_prompt(terminal, 1)
            self.assertEqual(terminal.screen(), [f" 1 of {asked}", QUESTION + country, "?"] + [""] * 37)
            self.assertEqual(terminal.cursor(), (3, 3))


class TinyTerminal(unittest.TestCase):
    def test_one_row_is_no_console(self):
        with Terminal(PROGRAM, width=80, height=1) as terminal:
            terminal.wait_for(lambda rows: rows == ["?"], what="the prompt")
            terminal.type("Lima")
            terminal.wait_for(lambda rows: rows == ["? Lima"], what="the echo")
            terminal.send("Enter")
            terminal.wait_for(lambda rows: rows == ["?"], what="the next prompt")
            self.assertIsNotNone(terminal.pid())


if __name__ == "__main__":
    PROGRAM = os.path.abspath(sys.argv.pop(1))
    unittest.main()
