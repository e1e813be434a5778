"""Answers typed and edited at a real terminal: the editing keys, long answers that wrap, and
bytes beyond ASCII. Argument 1 is the path of the program."""
import os
import re
import shlex
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bank import CAPITALS, QUESTION  # noqa: E402
from terminal import Terminal  # noqa: E402

PROGRAM = None

KEY_NAMES = {"BSpace", "Home", "End", "DC", "Left", "Right", "Up", "Down", "Escape", "Tab"}


def contains_run(rows, run):
    return any(rows[i:i + len(run)] == run for i in range(len(rows) - len(run) + 1))


def answer_layout(text, width):
    """The screen rows an answer fills, starting with "? " in column 1."""
    cells = "? " + text
    return [cells[i:i + width].rstrip() for i in range(0, len(cells), width)]


def cell_of(pos, width):
    """(column, row offset) of the cell that shows edit position pos."""
    return (2 + pos) % width + 1, (2 + pos) // width


class Session:
    """One run of the quiz in a terminal of the given size, asked question by question."""

    def __init__(self, width, height):
        self.width = width
        self.term = Terminal(shlex.quote(PROGRAM), width=width, height=height)
        self.asked = 0

    def close(self):
        self.term.close()

    def next_question(self):
        """Waits for the next question with its empty answer line and returns the country."""
        self.asked += 1
        header = re.compile(rf" {self.asked} of 12")
        found = {}

        def ready(rows):
            for i in range(len(rows) - 2):
                if header.fullmatch(rows[i]) and rows[i + 1].startswith(QUESTION) and rows[i + 2] == "?":
                    found["country"] = rows[i + 1][len(QUESTION):]
                    return True
            return False

        self.term.wait_for(ready, what=f"question {self.asked}")
        return found["country"]

    def press(self, *keys):
        for key in keys:
            if key in KEY_NAMES:
                self.term.send(key)
            else:
                self.term.type(key)

    def expect_answer(self, text, pos):
        """Waits until the answer line shows text with the cursor on edit position pos."""
        layout = answer_layout(text, self.width)
        column, row_offset = cell_of(pos, self.width)

        def shown(rows):
            starts = [i for i, row in enumerate(rows) if row.startswith("?")]
            if not starts:
                return False
            first = starts[-1]
            return (rows[first:first + len(layout)] == layout
                    and self.term.cursor() == (column, first + 1 + row_offset))

        self.term.wait_for(shown, what=f"the answer {text!r} with the cursor at {pos}")

    def finish(self, country, final):
        """Enter, then the verdict on the final text."""
        self.term.send("Enter")
        capital = CAPITALS[country]
        expected = [QUESTION + country, ("? " + final).rstrip()]
        expected += ["Correct!"] if final == capital else ["Incorrect", "Correct answer is " + capital]
        self.term.wait_for(lambda rows: contains_run(rows, expected), what=f"the verdict on {final!r}")
        return final == capital


def repairs(c):
    """Ways of reaching a final answer: (keys, text shown, edit position) steps."""
    return [
        # a typo removed with Backspace
        [((c[:-1] + "x",), c[:-1] + "x", len(c)), (("BSpace",), c[:-1], len(c) - 1), ((c[-1],), c, len(c))],
        # the first letter forgotten: Home to add it, End to go back
        [((c[1:],), c[1:], len(c) - 1), (("Home", c[0]), c, 1), (("End",), c, len(c))],
        # two stray letters in front, deleted
        [(("xx" + c,), "xx" + c, len(c) + 2), (("Home",), "xx" + c, 0), (("DC", "DC"), c, 0)],
        # a wrong answer blanked with Esc
        [(("Wrong",), "Wrong", 5), (("Escape",), "", 0), ((c,), c, len(c))],
        # a letter missed in the middle; Up and Down do nothing on one row
        [((c[:2] + c[3:],), c[:2] + c[3:], len(c) - 1),
         (("Left",) * (len(c) - 3) + ("Up", "Down"), c[:2] + c[3:], 2), ((c[2],), c, 3),
         (("Right",), c, 4)],
        # a Tab pressed at the start, taken back
        [((c,), c, len(c)), (("Home", "Tab"), " " * 8 + c, 8), (("BSpace",) * 8, c, 0)],
        # wrong: the capital in lower case
        [((c.lower(),), c.lower(), len(c))],
        # wrong: Enter alone
        [],
    ]


class TerminalEditingTest(unittest.TestCase):
    def play_round_with_repairs(self, width, height):
        session = Session(width, height)
        self.addCleanup(session.close)
        missed = []
        for question in range(12):
            country = session.next_question()
            capital = CAPITALS[country]
            steps = repairs(capital)[question % 8]
            final = ""
            for keys, text, pos in steps:
                session.press(*keys)
                session.expect_answer(text, pos)
                final = text
            if not session.finish(country, final):
                missed.append(f"{country} , {capital}")
        summary = ["Study round over!", f" {12 - len(missed)}of 12correct.", "Missed:", *missed,
                   "Press a key to play again"]
        session.term.wait_for(lambda rows: contains_run(rows, summary), what="the summary")
        self.assertEqual(len(missed), 2)

    def test_round_with_mistakes_repaired_at_80x25(self):
        self.play_round_with_repairs(80, 25)

    def test_round_with_mistakes_repaired_at_30x12(self):
        self.play_round_with_repairs(30, 12)

    def test_long_answer_wraps_and_is_edited_across_rows(self):
        session = Session(30, 12)
        self.addCleanup(session.close)
        # Two answers first, so that the long one runs past the bottom row and scrolls.
        for _ in range(2):
            country = session.next_question()
            session.press(CAPITALS[country])
            session.finish(country, CAPITALS[country])
        country = session.next_question()
        c = CAPITALS[country]
        long_text = c + "Z" + "#" * 60
        session.press(long_text)
        session.expect_answer(long_text, len(long_text))
        self.assertEqual(session.term.screen()[-1], answer_layout(long_text, 30)[-1])
        session.press("Up")
        session.expect_answer(long_text, len(long_text) - 30)
        session.press("Up")
        session.expect_answer(long_text, len(c) + 1)
        session.press("BSpace")
        session.expect_answer(c + "#" * 60, len(c))
        session.press("Down")
        session.expect_answer(c + "#" * 60, len(c) + 30)
        session.press("Down")
        session.expect_answer(c + "#" * 60, len(c) + 60)
        session.press(*["BSpace"] * 60)
        session.expect_answer(c, len(c))
        rows = session.term.screen()
        answer_row = max(i for i, row in enumerate(rows) if row.startswith("?"))
        self.assertEqual(rows[answer_row + 1:], [""] * (len(rows) - answer_row - 1))
        self.assertTrue(session.finish(country, c))

    def test_accented_answer_shows_as_typed_and_is_wrong(self):
        session = Session(80, 25)
        self.addCleanup(session.close)
        for _ in range(12):
            country = session.next_question()
            answer = "Bogotá" if country == "Colombia" else CAPITALS[country]
            session.press(answer)
            session.expect_answer(answer, len(answer))
            self.assertEqual(session.finish(country, answer), country != "Colombia")


if __name__ == "__main__":
    PROGRAM = sys.argv.pop(1)
    unittest.main()
