#!/usr/bin/env python3
"""Measures the two waits for keys at a terminal: the CPU they cost and how fast a key ends them.

The program runs on a pseudo-terminal of its own (80x25). The script reads the program's CPU time
(/proc/PID/task/*/schedstat) over a few seconds of waiting at the answer line, answers a round
with empty answers, and does the same at "Press a key to play again". It times a key from its
arrival on the terminal to the program's answer: a letter typed into the answer line to its echo,
and the replay key to the next round's first output.

Usage: scripts/measure_key_wait.py [path to capital-quiz]   (default: build/capital-quiz)
Targets: under 1 % of one core while waiting; a key acted on within 5 ms (the median is printed
with the worst of the samples).
"""
import fcntl
import os
import select
import statistics
import struct
import subprocess
import sys
import termios
import time

WAIT_SECONDS = 3.0
SAMPLES = 15


class Pty:
    def __init__(self, program):
        self.master, slave = os.openpty()
        fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 25, 80, 0, 0))
        env = dict(os.environ, TERM="xterm-256color", LANG="C.UTF-8", LC_ALL="C.UTF-8")
        self.proc = subprocess.Popen([program], stdin=slave, stdout=slave, stderr=slave, env=env,
                                     start_new_session=True,
                                     preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0))
        os.close(slave)
        self.seen = b""

    def read_until(self, marker, timeout=10.0):
        """Reads output until the marker shows; returns the time it arrived."""
        deadline = time.perf_counter() + timeout
        while marker not in self.seen:
            ready, _, _ = select.select([self.master], [], [], max(0.0, deadline - time.perf_counter()))
            if not ready:
                raise SystemExit(f"timed out waiting for {marker!r}")
            self.seen += os.read(self.master, 65536)
        arrived = time.perf_counter()
        self.seen = self.seen[self.seen.index(marker) + len(marker):]
        return arrived

    def drain(self, quiet=0.2):
        while select.select([self.master], [], [], quiet)[0]:
            os.read(self.master, 65536)
        self.seen = b""

    def key_latency(self, key, marker):
        self.drain()
        sent = time.perf_counter()
        os.write(self.master, key)
        return self.read_until(marker) - sent

    def cpu_seconds(self):
        """CPU time of all the program's threads, to the nanosecond (the clock ticks of
        /proc/PID/stat are 10 ms, a third of the target over the wait)."""
        tasks = f"/proc/{self.proc.pid}/task"
        return sum(int(open(f"{tasks}/{tid}/schedstat").read().split()[0]) for tid in os.listdir(tasks)) / 1e9

    def close(self):
        self.proc.kill()
        self.proc.wait()
        os.close(self.master)


def measure(program):
    """CPU shares (of one core) while waiting at the answer line and at the replay prompt, and the
    latency samples in seconds: the replay key to the next round, a typed key to its echo."""
    pty = Pty(program)
    try:
        replay, typing = [], []
        replay_cpu = None
        pty.read_until(b"Name the capital of ")
        pty.drain()
        before = pty.cpu_seconds()
        time.sleep(WAIT_SECONDS)
        answer_cpu = (pty.cpu_seconds() - before) / WAIT_SECONDS
        for sample in range(SAMPLES):
            if sample > 0:
                pty.read_until(b"Name the capital of ")
            typing.append(pty.key_latency(b"L", b"L"))
            os.write(pty.master, b"\x7f")  # take the letter back
            pty.drain()
            for _ in range(12):  # every weight stays low: each round asks all twelve
                os.write(pty.master, b"\r")
                pty.read_until(b"Correct answer is")
            pty.read_until(b"Press a key to play again")
            if replay_cpu is None:
                pty.drain()
                before = pty.cpu_seconds()
                time.sleep(WAIT_SECONDS)
                replay_cpu = (pty.cpu_seconds() - before) / WAIT_SECONDS
            replay.append(pty.key_latency(b"x", b" 1 of"))
    finally:
        pty.close()
    return {"answer_cpu": answer_cpu, "replay_cpu": replay_cpu, "replay": replay, "typing": typing}


def main():
    m = measure(os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/capital-quiz"))
    print(f"CPU while waiting at the answer line: {m['answer_cpu'] * 100:.2f} % of one core over "
          f"{WAIT_SECONDS:.0f} s  (target < 1 %)")
    print(f"CPU while waiting at the replay prompt: {m['replay_cpu'] * 100:.2f} % of one core over "
          f"{WAIT_SECONDS:.0f} s  (target < 1 %)")
    for name, samples in (("replay key to next round", m["replay"]), ("typed key to its echo", m["typing"])):
        print(f"{name}: median {statistics.median(samples) * 1e3:.2f} ms, "
              f"worst {max(samples) * 1e3:.2f} ms over {len(samples)}  (target < 5 ms)")


if __name__ == "__main__":
    main()
