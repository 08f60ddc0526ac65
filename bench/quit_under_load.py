#!/usr/bin/env python3
"""Time from Ctrl+Q to the end of the process, on the real binary under Xvfb, with a rename of
20,000 files and its undo queued when the user quits, and N busy processes beside it.

Usage: bench/quit_under_load.py PATH_TO_ORVANE [--busy N] [--runs R]
Prints each run and the minimum, median and maximum."""
import argparse
import json
import os
import shutil
import statistics
import sys
import tempfile
import time
import uuid

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import e2e_test as e2e  # noqa: E402


def one_run(count):
    display = e2e.Display()
    root = tempfile.mkdtemp(prefix="orvane-quit-")
    app = e2e.Orvane(display, root)
    try:
        e2e.many_tagged_files(app.env["HOME"], count)
        os.makedirs(os.path.dirname(app.hierarchy_path), exist_ok=True)
        with open(app.hierarchy_path, "w") as tree:
            json.dump([{"id": str(uuid.uuid4()).upper(), "name": "Old", "colorIndex": 0,
                        "children": []}], tree)
        app.start_and_rename_first_tag("Old", "New", "ctrl+z")
        started = time.monotonic()
        e2e.run("xdotool", "key", "ctrl+q", env=app.env)
        app.process.wait(30)
        return time.monotonic() - started
    finally:
        app.stop()
        display.stop()
        shutil.rmtree(root, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("app")
    parser.add_argument("--busy", type=int, default=2)
    parser.add_argument("--runs", type=int, default=10)
    parser.add_argument("--files", type=int, default=20000)
    args = parser.parse_args()
    e2e.APP = os.path.abspath(args.app)
    busy = e2e.start_busy_processes(args.busy)
    times = []
    try:
        for run in range(args.runs):
            times.append(one_run(args.files))
            print(f"run {run + 1}: {times[-1]:.3f} s", flush=True)
    finally:
        for process in busy:
            process.kill()
            process.wait()
    print(f"quit, {args.busy} busy processes: min {min(times):.3f} s, median "
          f"{statistics.median(times):.3f} s, max {max(times):.3f} s")


if __name__ == "__main__":
    main()
