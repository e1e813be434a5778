#!/usr/bin/env python3
"""Measures the quiz on redirected input and output against its targets.

  questions per second    on 60,000 answer lines (target: at least 200,000)
  peak memory             (target: under 8 MiB), and whether it stays flat from 6,000 to
                          60,000 lines, that is over thousands of rounds
  start to first output   against starting /bin/true (target: under 5 times)

Usage: scripts/measure_redirected.py [path to capital-quiz]   (default: build/capital-quiz)
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

CAPITALS = ["Lima", "Brasilia", "Buenos Aires", "Santiago", "Bogota", "Caracas", "La Paz",
            "Montevideo", "Quito", "Georgetown", "Asuncion", "Paramaribo"]


def run_with_lines(program, count):
    """Time, questions asked and peak memory (KiB) for a run on `count` answer lines."""
    with tempfile.NamedTemporaryFile("w", delete=False) as answers:
        for i in range(count):
            answers.write(CAPITALS[i % 12] + "\n")
    try:
        with open(answers.name, "rb") as source:
            start = time.perf_counter()
            # GNU time reports the program's own peak resident memory, in KiB.
            run = subprocess.run(["/usr/bin/time", "-f", "%M", program], stdin=source,
                                 capture_output=True, check=True)
            elapsed = time.perf_counter() - start
    finally:
        os.unlink(answers.name)
    return elapsed, run.stdout.count(b"Name the capital of "), int(run.stderr.split()[-1])


def first_output_time(command):
    """Seconds from start until the first byte of output (or the end, for /bin/true)."""
    start = time.perf_counter()
    proc = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    proc.stdout.read(1)
    elapsed = time.perf_counter() - start
    proc.kill()
    proc.wait()
    proc.stdout.close()
    proc.stdin.close()
    return elapsed


def measure(program):
    """The figures, as a dict: rate, questions, seconds, peak_mib, small_peak_mib, start_ms, true_ms."""
    seconds, questions, peak = min((run_with_lines(program, 60_000) for _ in range(3)), key=lambda r: r[0])
    _, _, small_peak = run_with_lines(program, 6_000)
    quiz = statistics.median(first_output_time([program]) for _ in range(21))
    true = statistics.median(first_output_time(["/bin/true"]) for _ in range(21))
    return {"rate": questions / seconds, "questions": questions, "seconds": seconds, "peak_mib": peak / 1024,
            "small_peak_mib": small_peak / 1024, "start_ms": quiz * 1e3, "true_ms": true * 1e3}


def main():
    m = measure(os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/capital-quiz"))
    print(f"questions per second: {m['rate']:,.0f} ({m['questions']} questions in {m['seconds']:.3f} s)  "
          "target >= 200,000")
    print(f"peak memory: {m['peak_mib']:.2f} MiB  target < 8 MiB")
    print(f"peak memory on 6,000 lines: {m['small_peak_mib']:.2f} MiB (flat if about the same)")
    print(f"start to first output: {m['start_ms']:.2f} ms, /bin/true {m['true_ms']:.2f} ms, "
          f"ratio {m['start_ms'] / m['true_ms']:.2f}  target < 5")


if __name__ == "__main__":
    main()
