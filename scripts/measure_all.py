#!/usr/bin/env python3
"""Every measurement in one table: the whole-program scripts (redirected input, terminal output,
key waits) and the benchmarks (run with JSON output, median of three). For each figure it prints
the value, a baseline measured on the same machine where the machine's speed matters (with the
ratio to it), and the target where there is one. Benchmark times are CPU times, so that other
load on the machine does not stretch them.

Usage: scripts/measure_all.py [build dir]   (default: build; configure it with
-DCMAKE_BUILD_TYPE=Release and Google Benchmark installed). Takes a minute or two.
Exits 1 when a target is missed.
"""
import json
import os
import statistics
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import measure_key_wait  # noqa: E402
import measure_redirected  # noqa: E402
import measure_terminal_output  # noqa: E402

MB = 1e6
SECONDS = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}


def run_benchmarks(build, name):
    """The median of three runs of each benchmark in build/bench/name, by benchmark name."""
    run = subprocess.run([os.path.join(build, "bench", name), "--benchmark_format=json",
                          "--benchmark_repetitions=3", "--benchmark_report_aggregates_only=true"],
                         capture_output=True, text=True, check=True)
    return {b["run_name"]: b for b in json.loads(run.stdout)["benchmarks"] if b.get("aggregate_name") == "median"}


def cpu_ns(result):
    return result["cpu_time"] * SECONDS[result["time_unit"]] * 1e9


class Table:
    def __init__(self):
        self.rows = []
        self.missed = False

    def add(self, figure, value, baseline="", target="", met=None):
        self.rows.append((figure, value, baseline, target, "" if met is None else "ok" if met else "MISSED"))
        self.missed = self.missed or met is False

    def print(self):
        header = ("figure", "value", "baseline (ratio)", "target", "")
        widths = [max(len(row[i]) for row in [header] + self.rows) for i in range(len(header))]
        for row in [header] + self.rows:
            print("  ".join(cell.ljust(width) for cell, width in zip(row, widths)).rstrip())


def whole_program(table, program):
    r = measure_redirected.measure(program)
    table.add("questions per second, redirected", f"{r['rate']:,.0f}", "", ">= 200,000", r["rate"] >= 200_000)
    ratio = r["start_ms"] / r["true_ms"]
    table.add("start to first output", f"{r['start_ms']:.2f} ms", f"/bin/true {r['true_ms']:.2f} ms ({ratio:.2f}x)",
              "< 5x /bin/true", ratio < 5)
    growth = r["peak_mib"] / r["small_peak_mib"]
    table.add("peak memory, 60,000 answers", f"{r['peak_mib']:.2f} MiB",
              f"6,000 answers {r['small_peak_mib']:.2f} MiB ({growth:.2f}x)", "< 8 MiB, flat",
              r["peak_mib"] < 8 and growth < 1.1)

    k = measure_key_wait.measure(program)
    for figure, share in (("CPU waiting in the answer line", k["answer_cpu"]),
                          ("CPU waiting at the replay prompt", k["replay_cpu"])):
        table.add(figure, f"{share * 100:.2f} % of a core", "", "< 1 %", share < 0.01)
    for figure, samples in (("typed key to its echo", k["typing"]), ("replay key to next round", k["replay"])):
        median = statistics.median(samples) * 1e3
        table.add(figure, f"{median:.2f} ms median, worst {max(samples) * 1e3:.2f}", "", "< 5 ms", median < 5)

    rounds, idle = measure_terminal_output.measure(program)
    for number, text, sent, keys, writes in rounds:
        table.add(f"terminal bytes, round {number}", f"{sent}", f"text {text} bytes ({sent / text:.2f}x)",
                  "<= 1.25x text", sent <= measure_terminal_output.BYTES_PER_TEXT_BYTE * text)
        table.add(f"write calls, round {number}", f"{writes}", f"keys {keys}", "<= keys + 1", writes <= keys + 1)
    table.add(f"write calls while idle {measure_terminal_output.IDLE_SECONDS:.0f} s", f"{idle}", "", "0", idle == 0)


def benchmarks(table, build):
    draws = run_benchmarks(build, "random_bench")
    draw, mt = cpu_ns(draws["BM_NextRandom"]), cpu_ns(draws["BM_StdMt19937"])
    table.add("nextRandom, per draw", f"{draw:.2f} ns", f"std::mt19937 {mt:.2f} ns ({draw / mt:.2f}x)")

    quiz = run_benchmarks(build, "quiz_bench")
    for weights in ("fresh", "played"):
        table.add(f"selectRound, {weights} weights", f"{cpu_ns(quiz['BM_SelectRound/' + weights]):.0f} ns")

    field = run_benchmarks(build, "input_field_bench")["BM_ReadInputField"]
    table.add("field reader, redirected input", f"{field['bytes_per_second'] / MB:.1f} MB/s")

    memory = run_benchmarks(build, "print_bench")
    screen = memory["BM_ConsoleWriteMemory/rows:25"]["bytes_per_second"]
    tall = memory["BM_ConsoleWriteMemory/rows:300"]["bytes_per_second"]
    table.add("consoleWrite, memory 80x25", f"{screen / MB:.2f} MB/s")
    table.add("consoleWrite, memory 80x300 buffer", f"{tall / MB:.2f} MB/s", f"80x25 ({tall / screen:.2f}x)")

    terminal = run_benchmarks(build, "terminal_bench")["BM_ConsoleWriteTerminal"]
    speed = terminal["bytes_per_second"]
    table.add("consoleWrite, terminal 80x25", f"{speed / MB:.2f} MB/s", f"memory 80x25 ({speed / screen:.2f}x)")
    per_text = terminal["terminal_bytes_per_text_byte"]
    table.add("terminal bytes per text byte", f"{per_text:.3f}", "", "<= 1.25",
              per_text <= measure_terminal_output.BYTES_PER_TEXT_BYTE)

    keys = run_benchmarks(build, "keys_bench")["BM_PollKeyFullRing/manual_time"]
    table.add("pollKey, full ring", f"{keys['per_key'] * 1e9:.1f} ns per key")


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
    table = Table()
    whole_program(table, os.path.join(build, "capital-quiz"))
    benchmarks(table, build)
    table.print()
    return 1 if table.missed else 0


if __name__ == "__main__":
    sys.exit(main())
