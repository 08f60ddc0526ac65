#!/usr/bin/env python3
"""`orvane files Huge` on the million-file home of bench_million, with and without a window.

Usage: bench/cli_files.py BUILD/src/orvane [--runs N]

Without a window the command crawls the home itself; it is set against
`find HOME -type f -exec getfattr -n user.xdg.tags --only-values {} +`, the shell's way to the
same answer. With a window (offscreen, on a session bus of its own) it asks the window's live
index: the time is from the command's start to its exit. Prints min / median / max.
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

HOME = "/tmp/orvane-bench-million"


def timed(command, env, **kwargs):
    start = time.monotonic()
    result = subprocess.run(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                            **kwargs)
    return time.monotonic() - start, result.stdout


def summary(label, seconds):
    values = sorted(seconds)
    print(f"{label}: min {values[0] * 1000:.0f} ms, median "
          f"{statistics.median(values) * 1000:.0f} ms, max {values[-1] * 1000:.0f} ms")


def main():
    orvane = os.path.abspath(sys.argv[1])
    runs = int(sys.argv[sys.argv.index("--runs") + 1]) if "--runs" in sys.argv else 5
    if not os.path.exists(os.path.join(HOME, ".generated")):
        sys.exit(f"make the home first: bench_million home {HOME}")
    with tempfile.TemporaryDirectory() as data:
        env = dict(os.environ, HOME=HOME, XDG_DATA_HOME=f"{data}/data",
                   XDG_STATE_HOME=f"{data}/state", XDG_CACHE_HOME=f"{data}/cache",
                   XDG_CONFIG_HOME=f"{data}/config", QT_QPA_PLATFORM="offscreen")
        alone, shell, count = [], [], 0
        for _ in range(runs):
            seconds, out = timed([orvane, "files", "Huge"], env)
            alone.append(seconds)
            count = out.count(b"\n")
            seconds, out = timed(
                ["sh", "-c", f"find {HOME} -type f -exec getfattr -n user.xdg.tags "
                             "--only-values {} + 2>/dev/null | grep -c Huge"], env)
            shell.append(seconds)
        print(f"files of \"Huge\": {count}")
        summary("orvane files, no window (crawl)", alone)
        summary("find -exec getfattr", shell)

        # The window on a bus of its own; the command then asks its index.
        bus = subprocess.Popen(["dbus-daemon", "--session", "--print-address", "--nofork"],
                               stdout=subprocess.PIPE, text=True)
        env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()
        window = subprocess.Popen([orvane], env=env, stdout=subprocess.DEVNULL)
        try:
            deadline = time.monotonic() + 120
            while time.monotonic() < deadline:
                _, out = timed([orvane, "files", "Huge", "--count"], env)
                if out.strip() == str(count).encode():
                    break
                time.sleep(0.5)
            with_window = [timed([orvane, "files", "Huge"], env)[0] for _ in range(runs * 4)]
            summary("orvane files, window running", with_window)
            version = [timed([orvane, "--version"], env)[0] for _ in range(runs)]
            summary("orvane --version (the process alone)", version)
        finally:
            window.terminate()
            window.wait(60)
            bus.terminate()


if __name__ == "__main__":
    main()
