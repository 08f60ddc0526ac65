#!/usr/bin/env python3
"""Launch to the first files of a tag, on the real binary under Xvfb, as a user would meet it.

Usage: bench/launch_to_files.py BUILD/src/orvane [--cold]

Starts Orvane twice in the 1,000,000-file home of bench_tagindex (made by it or bench_load):
first with no stored index, then with the index the first run kept at quit. Each time the user
presses Down the moment the window shows, which opens "Huge" (10,000 files); the time is from
launch to the line the application writes when the files are on screen (the "orvane.loads"
logging category). --cold drops the page cache before each launch (root).
"""
import json
import os
import subprocess
import sys
import tempfile
import time
import uuid

HOME = "/tmp/orvane-bench-1000000"
DISPLAY = ":93"


def names_on_files():
    names = [f"tag{i}" for i in range(150)]
    names += ["ProjectX", "projectx", "PROJECTX", "Café", "東京", "Ünïcode", "Work", "work",
              "Popular"]
    return names


def write_tree(path):
    # "Huge" first at the root, every other name on the files under "zz": nothing to merge.
    def node(name, children=()):
        return {"id": str(uuid.uuid4()).upper(), "name": name, "colorIndex": 0,
                "children": list(children)}
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as file:
        json.dump([node("Huge"), node("zz", [node(name) for name in names_on_files()])], file)


def launch(app, env, cold):
    if cold:
        subprocess.run(["sync"])
        with open("/proc/sys/vm/drop_caches", "w") as drop:
            drop.write("3\n")
    # The measuring tools are running before the clock starts: one watcher told by the X server
    # when a top-level window maps, and one xdotool reading its commands as they come. Polling,
    # or starting a process at each step, would take a processor (and, cold, the disk) from the
    # application being measured.
    watcher = subprocess.Popen(["xev", "-root", "-event", "substructure"], env=env,
                               stdout=subprocess.PIPE, text=True)
    hands = subprocess.Popen(["xdotool", "-"], env=env, stdin=subprocess.PIPE, text=True)
    time.sleep(0.3)  # for both to connect
    started = time.monotonic()
    process = subprocess.Popen([app], env=env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.PIPE, text=True)
    window = None
    for line in watcher.stdout:
        if line.startswith("MapNotify event"):
            details = next(watcher.stdout)
            if "override NO" in details:
                window = str(int(details.split("window ")[1].split(",")[0], 16))
                break
    shown = time.monotonic() - started
    hands.stdin.write(f"windowfocus --sync {window}\nkey Down\n")
    hands.stdin.flush()
    watcher.kill()
    watcher.wait()
    first = whole = None
    for line in process.stderr:
        if "files of \"Huge\" shown" in line:
            now = time.monotonic() - started
            first = first or now
            if "more being checked" not in line:
                whole = now
                break
    hands.stdin.write("key ctrl+q\n")  # to the focused window: it is gone before a release could reach it by id
    hands.stdin.close()
    hands.wait(30)
    process.wait(30)
    return shown, first, whole


def main():
    app = os.path.abspath(sys.argv[1])
    cold = "--cold" in sys.argv
    if not os.path.isdir(HOME):
        sys.exit(f"{HOME} is missing: run bench_tagindex 1000000 first")
    root = tempfile.mkdtemp(prefix="orvane-launch-")
    env = dict(os.environ, DISPLAY=DISPLAY, HOME=HOME, QT_LOGGING_RULES="orvane.loads.info=true",
               XDG_DATA_HOME=f"{root}/data", XDG_CACHE_HOME=f"{root}/cache",
               XDG_STATE_HOME=f"{root}/state", XDG_CONFIG_HOME=f"{root}/config",
               XDG_RUNTIME_DIR=f"{root}/runtime")
    env.pop("QT_QPA_PLATFORM", None)
    os.makedirs(f"{root}/runtime", mode=0o700)
    write_tree(f"{root}/data/Orvane/hierarchy.json")
    xvfb = subprocess.Popen(["Xvfb", DISPLAY, "-screen", "0", "1280x900x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(1)
    try:
        for start in ("first start, no stored index", "next start, stored index"):
            shown, first, whole = launch(app, env, cold)
            print(f"{start} ({'cold' if cold else 'warm'}): window {shown * 1000:.0f} ms | "
                  f"first files of \"Huge\" {first * 1000:.0f} ms | all checked "
                  f"{whole * 1000:.0f} ms after launch", flush=True)
    finally:
        xvfb.terminate()
        subprocess.run(["rm", "-rf", root])


if __name__ == "__main__":
    main()
