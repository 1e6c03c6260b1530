#!/usr/bin/env python3
"""What the window holds once a large file is loaded, and how long the load
takes: starts each given build of the program with FILE named on its
command line, waits until its status bar says "N rows loaded" (read through
the accessibility interface, as a screen reader would), then reads the
process's resident size and ends it. The builds take turns, round after
round, so that they are measured side by side on a busy machine.

usage: window_memory.py FILE PROGRAM [PROGRAM ...] [--rounds N]

Prints for each program the median seconds from its start to "rows loaded"
and the resident bytes per input byte at that moment (and the peak), and
the ratios of every program to the first. Needs an X display and a session
bus: run it under `xvfb-run -a dbus-run-session --`.
"""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))

from long_work import loaded_rows  # noqa: E402
from smoke import program_environment, program_nodes  # noqa: E402

TIMEOUT = 300.0


def resident(pid):
    """(resident bytes now, peak resident bytes) of the process."""
    sizes = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            key, _, value = line.partition(":")
            if key in ("VmRSS", "VmHWM"):
                sizes[key] = int(value.split()[0]) * 1024
    return sizes["VmRSS"], sizes["VmHWM"]


def one_load(program, path):
    with tempfile.TemporaryDirectory() as folder:
        env, _, _ = program_environment(folder, "http://127.0.0.1:9")
        start = time.monotonic()
        proc = subprocess.Popen([program, path], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            deadline = start + TIMEOUT
            # Asked before the program has joined the accessibility bus, the
            # bus may never show it: the first look waits a moment.
            time.sleep(1.0)
            while time.monotonic() < deadline:
                rows = loaded_rows(program_nodes(proc.pid))
                if rows is not None:
                    seconds = time.monotonic() - start
                    time.sleep(0.5)  # what the window does after the load settles
                    now, peak = resident(proc.pid)
                    return seconds, now, peak, rows
                time.sleep(0.1)
            sys.exit(f"window_memory: {program} did not say 'rows loaded' within {TIMEOUT:.0f} s")
        finally:
            proc.kill()
            proc.wait()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("file")
    parser.add_argument("programs", nargs="+")
    parser.add_argument("--rounds", type=int, default=3)
    args = parser.parse_args()
    size = os.path.getsize(args.file)
    results = {p: [] for p in args.programs}
    for r in range(args.rounds):
        for program in args.programs:
            seconds, now, peak, rows = one_load(program, args.file)
            results[program].append((seconds, now, peak))
            print(f"  round {r + 1}: {program}: {rows:,} rows loaded in {seconds:.2f} s, "
                  f"resident {now / size:.2f} B/B (peak {peak / size:.2f})", flush=True)
    first = None
    print(f"{os.path.basename(args.file)}: {size:,} bytes, median of {args.rounds} rounds")
    for program in args.programs:
        seconds = statistics.median(s for s, _, _ in results[program])
        now = statistics.median(n for _, n, _ in results[program])
        peak = statistics.median(p for _, _, p in results[program])
        line = f"  {program}: load {seconds:.2f} s, resident {now / size:.2f} B/B, peak {peak / size:.2f} B/B"
        if first is None:
            first = (seconds, now)
        else:
            line += f"  (load x{seconds / first[0]:.2f}, resident x{now / first[1]:.2f})"
        print(line)


if __name__ == "__main__":
    main()
