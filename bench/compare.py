#!/usr/bin/env python3
"""Orvane at a million files, side by side with what the machine can do at all.

Usage: bench/compare.py BUILD [--runs N] [--quick]

Runs every case N times (default 5), interleaved, so that a busy spell of the machine falls on
all of them alike, and prints min / median / max of each figure and of the ratios:
  - `find HOME -type f` and bench/floor_walker.c (one open, listing and inotify watch per
    folder, one getxattrat per entry, two threads, nothing kept): the floor of a crawl;
  - the index's crawl (bench_million crawl): wall and CPU seconds, its memory;
  - the next start with the stored index (bench_million store): the first answer for "Huge";
  - a rename on 20,000 files through the journal with the index watching, against a plain
    loop of one read and one write per file (bench_million rename);
  - the whole application offscreen (bench_load): first paint, first files, the merge's stall,
    resident memory;
  - past the watch limit (bench_million rounds, skipped with --quick): how long until a change
    in an unwatched folder is seen, the CPU share, the longest query meanwhile;
  - KDE's `baloosearch` for the same tag, when it is installed.
The home (1,000,000 files, 100,000 tagged with 1 to 3 of 300 names) is made on the first run
under /tmp/orvane-bench-million. Not part of `make test`.
"""
import os
import re
import resource
import shutil
import statistics
import subprocess
import sys
import time

HOME = "/tmp/orvane-bench-million"
HERE = os.path.dirname(os.path.abspath(__file__))


def fields(text):
    return {key: float(value) for key, value in re.findall(r"(\w+)=(-?[\d.]+)", text)}


def timed(command, env=None):
    """Runs a command; returns its output, wall seconds and CPU seconds (children's)."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    done = subprocess.run(command, capture_output=True, text=True, env=env, check=True)
    wall = time.monotonic() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return done.stdout + done.stderr, wall, cpu


def load_fields(text):
    """The figures of bench_load's two lines: `first_` and `next_` for each start."""
    out = {}
    for prefix, line in zip(("first_", "next_"), [l for l in text.splitlines() if "start" in l]):
        for name, pattern in (("paint_ms", r"first paint (\d+) ms"),
                              ("files_ms", r'first files of "Huge" (\d+) ms'),
                              ("open_stall_ms", r"after launch \(stall (\d+) ms\)"),
                              ("merge_stall_ms", r"merge after the crawl (\d+) ms"),
                              ("resident_mib", r"resident ([\d.]+) MiB")):
            if match := re.search(pattern, line):
                out[prefix + name] = float(match.group(1))
    return out


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    build = sys.argv[1]
    runs = int(sys.argv[sys.argv.index("--runs") + 1]) if "--runs" in sys.argv else 5
    quick = "--quick" in sys.argv
    million = os.path.join(build, "bench", "bench_million")
    load = os.path.join(build, "bench", "bench_load")
    walker = os.path.join(build, "bench", "floor_walker")
    subprocess.run(["cc", "-O2", "-pthread", "-o", walker, os.path.join(HERE, "floor_walker.c")],
                   check=True)
    subprocess.run([million, "home", HOME], check=True)
    baloo = shutil.which("baloosearch") or shutil.which("baloosearch5")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")

    figures = {}

    def keep(values):
        for key, value in values.items():
            figures.setdefault(key, []).append(value)

    timed(["find", HOME, "-type", "f"])  # the cache warm for every case alike
    for run in range(runs):
        print(f"run {run + 1} of {runs}", file=sys.stderr, flush=True)
        _, wall, cpu = timed(["find", HOME, "-type", "f"])
        keep({"find_s": wall, "find_cpu_s": cpu})
        keep(fields(timed([walker, HOME])[0]))
        keep(fields(timed([million, "crawl", HOME])[0]))
        keep(fields(timed([million, "store", HOME])[0]))
        keep(fields(timed([million, "rename", HOME])[0]))
        keep(load_fields(timed([load, HOME], env=env)[0]))
        if not quick:
            keep(fields(timed([million, "rounds", HOME])[0]))
        if baloo:
            _, wall, _ = timed([baloo, "tags:Huge"])
            keep({"baloosearch_s": wall})

    count = len(figures.get("crawl_cpu_s", []))
    for numerator, denominator, name in (("crawl_cpu_s", "floor_cpu_s", "crawl_cpu_vs_floor"),
                                         ("crawl_s", "floor_s", "crawl_wall_vs_floor"),
                                         ("crawl_cpu_s", "find_cpu_s", "crawl_cpu_vs_find")):
        figures[name] = [figures[numerator][i] / figures[denominator][i] for i in range(count)]
    print(f"{'figure':32} {'min':>10} {'median':>10} {'max':>10}")
    for key in sorted(figures):
        values = figures[key]
        print(f"{key:32} {min(values):10.3f} {statistics.median(values):10.3f} "
              f"{max(values):10.3f}")
    if not baloo:
        print("baloosearch: not installed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
