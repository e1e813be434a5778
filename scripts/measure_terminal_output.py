#!/usr/bin/env python3
"""Measures what the program sends to a real terminal (tmux, 80x25) over two whole rounds typed
key by key: the bytes written against the bytes of the round's text, the write system calls
against the keys typed, and the writes while it waits with nothing to do. The counts are the
kernel's (/proc/PID/io: wchar and syscw), so they hold every byte and call the program makes.

Usage: scripts/measure_terminal_output.py PATH/TO/capital-quiz
Exits 1 when a target is missed: bytes at most 1.25 times the text, at most one write per key
(plus the round's first screen), none while idle.
"""
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from terminal import Terminal  # noqa: E402
from bank import CAPITALS  # noqa: E402
from test_terminal_screen import io_counters, play_round  # noqa: E402

BYTES_PER_TEXT_BYTE = 1.25
IDLE_SECONDS = 2.0


def answer(number, country):
    """Right and wrong answers in turn; a wrong one is the capital in lower case."""
    return CAPITALS[country] if number % 2 else CAPITALS[country].lower()


def text_bytes(lines):
    """The round's text as the program prints it: code page 437 bytes and CR LF line ends."""
    return sum(len(line.encode("cp437")) + 2 for line in lines)


def keys_typed(lines):
    """Every answer's keys and its Enter."""
    return sum(len(line) - 2 + 1 for line in lines if line.startswith("?"))


def settled(pid):
    time.sleep(0.5)
    return io_counters(pid)


def measure(program):
    """Per round (number, text bytes, bytes sent, keys typed, write calls), and the writes while idle."""
    snapshots = []
    with Terminal(program) as terminal:
        lines = play_round(terminal, answer)
        pid = terminal.pid()
        start = settled(pid)
        snapshots.append((1, lines, (0, 0), start, 0))
        time.sleep(IDLE_SECONDS)
        idle = io_counters(pid)[0] - start[0]
        terminal.type("x")  # the replay key starts round 2
        lines = play_round(terminal, answer)
        snapshots.append((2, lines, start, settled(pid), 1))
    rows = [(number, text_bytes(lines), after[1] - before[1], keys_typed(lines) + extra_keys, after[0] - before[0])
            for number, lines, before, after, extra_keys in snapshots]
    return rows, idle


def targets_met(rows, idle):
    return idle == 0 and all(sent <= BYTES_PER_TEXT_BYTE * text and writes <= keys + 1
                             for _, text, sent, keys, writes in rows)


def main():
    rows, idle = measure(os.path.abspath(sys.argv[1]))
    print("round  text bytes  bytes sent  ratio  keys  writes")
    for number, text, sent, keys, writes in rows:
        print(f"{number:5}  {text:10}  {sent:10}  {sent / text:5.2f}  {keys:4}  {writes:6}")
    print(f"writes while idle for {IDLE_SECONDS:.0f} s at the replay prompt: {idle}")
    met = targets_met(rows, idle)
    print("targets met" if met else "TARGETS MISSED")
    return 0 if met else 1


if __name__ == "__main__":
    sys.exit(main())
