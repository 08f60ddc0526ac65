#!/usr/bin/env python3
"""End-to-end runs of the real Orvane binary under Xvfb, driven with xdotool as a user would.

Usage: e2e_test.py PATH_TO_ORVANE ARTIFACT_DIR [--busy N] [TEST ...]
Each scenario gets a fresh temporary home; screenshots of failures are kept in ARTIFACT_DIR.
With --busy N, N processes spin on the processors beside every scenario, as on a loaded
machine: the scenarios must pass the same, with the same time limits.
"""
import json
import os
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time
import unittest
import uuid

APP = None
ARTIFACTS = None


def run(*args, **kwargs):
    return subprocess.run(args, capture_output=True, text=True, timeout=30, **kwargs)


def wait_for(predicate, timeout=10.0, what="condition"):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(0.1)
    raise AssertionError(f"timed out waiting for {what}")


class Display:
    """A private X server for one test run."""

    # A fresh number for every server of a run: a server just stopped may still hold its
    # (abstract) socket for a moment.
    next_number = 100 + os.getpid() % 400

    def __init__(self):
        while True:
            number = Display.next_number
            Display.next_number += 1
            if not os.path.exists(f"/tmp/.X11-unix/X{number}") and not os.path.exists(f"/tmp/.X{number}-lock"):
                break
        self.name = f":{number}"
        self.number = number
        self.process = subprocess.Popen(
            ["Xvfb", self.name, "-screen", "0", "1280x900x24", "-nolisten", "tcp", "-noreset"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # Ready when it answers, not merely when its socket file exists; -noreset keeps that
        # first client's leaving from resetting the server under the application.
        wait_for(lambda: self.process.poll() is None and
                 run("xdpyinfo", "-display", self.name).returncode == 0, 10, "Xvfb")

    def stop(self):
        self.process.terminate()
        self.process.wait(10)
        wait_for(lambda: not os.path.exists(f"/tmp/.X{self.number}-lock"), 5, "Xvfb's lock to go")


class Orvane:
    """The application in a temporary home."""

    def __init__(self, display, root):
        self.display = display
        self.root = root
        self.env = dict(os.environ)
        self.env.update({
            "DISPLAY": display.name,
            "HOME": os.path.join(root, "home"),
            "XDG_DATA_HOME": os.path.join(root, "data"),
            "XDG_CACHE_HOME": os.path.join(root, "cache"),
            "XDG_STATE_HOME": os.path.join(root, "state"),
            "XDG_CONFIG_HOME": os.path.join(root, "config"),
            "XDG_RUNTIME_DIR": os.path.join(root, "runtime"),
        })
        self.env.pop("QT_QPA_PLATFORM", None)
        for folder in ("home", "data", "cache", "config", "runtime"):
            os.makedirs(os.path.join(root, folder), exist_ok=True)
        os.chmod(os.path.join(root, "runtime"), 0o700)
        self.process = None
        self.window = None

    @property
    def hierarchy_path(self):
        return os.path.join(self.root, "data", "Orvane", "hierarchy.json")

    def hierarchy(self):
        with open(self.hierarchy_path, encoding="utf-8") as file:
            return json.load(file)

    def start(self):
        with open(os.path.join(self.root, "orvane.log"), "a") as log:
            self.process = subprocess.Popen([APP], env=self.env, stdout=log,
                                            stderr=subprocess.STDOUT)
        self.window = wait_for(lambda: self.find_window("^Tags$"), 15, "the main window")
        self.focus()
        time.sleep(0.5)

    def log(self):
        with open(os.path.join(self.root, "orvane.log")) as log:
            return log.read()

    def find_window(self, pattern):
        result = run("xdotool", "search", "--onlyvisible", "--name", pattern, env=self.env)
        ids = result.stdout.split()
        return ids[0] if ids else None

    def focus(self):
        run("xdotool", "windowfocus", "--sync", self.window, env=self.env)

    def key(self, *keys):
        run("xdotool", "key", "--delay", "60", *keys, env=self.env)
        time.sleep(0.3)

    def type(self, text):
        run("xdotool", "type", "--delay", "40", text, env=self.env)
        time.sleep(0.2)

    def title(self, window=None):
        return run("xdotool", "getwindowname", window or self.window, env=self.env).stdout.strip()

    def wait_title(self, expected, window=None):
        wait_for(lambda: self.title(window) == expected, 10, f"the title {expected!r}")

    def screenshot(self, name):
        path = os.path.join(self.root, name + ".png")
        run("import", "-window", "root", path, env=self.env)
        return path

    def start_and_rename_first_tag(self, old, new, *then):
        """Starts, opens the first tag in name order (`old`) and renames it to `new` with F2;
        `then`: keys pressed with the Return that confirms."""
        self.start()
        self.key("Down")
        self.wait_title(old)
        self.key("F2")
        self.type(new)
        self.key("Return", *then)

    def quit(self):
        self.focus()
        self.key("ctrl+q")
        self.process.wait(10)

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.kill()
            self.process.wait(10)


def many_tagged_files(home, count):
    """`count` empty files in ~/many, each tagged "x1,Old,x2"; returns their paths."""
    folder = os.path.join(home, "many")
    os.makedirs(folder)
    paths = []
    for i in range(count):
        path = os.path.join(folder, f"f{i}")
        with open(path, "w"):
            pass
        os.setxattr(path, "user.xdg.tags", b"x1,Old,x2")
        paths.append(path)
    return paths


def xattr_tags(path):
    try:
        return os.getxattr(path, "user.xdg.tags").decode()
    except OSError:
        return ""


class EndToEnd(unittest.TestCase):
    def setUp(self):
        self.display = Display()
        self.root = tempfile.mkdtemp(prefix="orvane-e2e-")
        self.app = Orvane(self.display, self.root)

    def tearDown(self):
        failed = any(error for _, error in getattr(self._outcome.result, "failures", []) + getattr(self._outcome.result, "errors", [])
                     if _ is self)
        if failed and self.app.process:
            kept = os.path.join(ARTIFACTS, self.id().split(".")[-1])
            os.makedirs(kept, exist_ok=True)
            shutil.copy(self.app.screenshot("failure"), kept)
            shutil.copy(os.path.join(self.root, "orvane.log"), kept)
            print(f"kept the failure's screenshot and log in {kept}", file=sys.stderr)
        self.app.stop()
        self.display.stop()
        shutil.rmtree(self.root, ignore_errors=True)

    def make_file(self, relative, tags):
        path = os.path.join(self.app.env["HOME"], relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as file:
            file.write("content of " + relative)
        if tags:
            os.setxattr(path, "user.xdg.tags", tags.encode())
        return path

    def write_tree(self, nodes):
        """Writes a hierarchy file of (name, colour, children) triples, as if saved before."""
        def node(name, colour, children):
            return {"id": str(uuid.uuid4()).upper(), "name": name, "colorIndex": colour,
                    "children": [node(*child) for child in children]}
        os.makedirs(os.path.dirname(self.app.hierarchy_path), exist_ok=True)
        with open(self.app.hierarchy_path, "w") as file:
            json.dump([node(*entry) for entry in nodes], file)

    def test_build_rename_and_restart(self):
        a = self.make_file("docs/a.txt", "Projects,Client")
        b = self.make_file("docs/b.txt", "Client,Projects")
        app = self.app
        app.start()
        self.assertEqual(app.title(), "Tags")
        # The tags already on the files are the system's tag list: in the tree at once.
        wait_for(lambda: [node["name"] for node in app.hierarchy()] == ["Client", "Projects"], 10,
                 "the tags on the files in the tree")
        with open(os.path.join(self.root, "orvane.log")) as log:
            self.assertIn("loadHierarchy: merged 2 new tags found on your files", log.read())

        app.focus()
        app.key("Down", "Down")  # opens the second root tag
        app.wait_title("Projects")
        app.key("ctrl+n")
        wait_for(lambda: app.find_window("^New Tag$"), 10, "the new-tag sheet")
        app.type("Client")
        app.key("Return")
        wait_for(lambda: not app.find_window("^New Tag$"), 10, "the sheet to close")
        self.assertEqual(app.hierarchy()[1]["children"][0]["name"], "Client")

        app.focus()
        app.key("Right")  # opens the first child
        app.wait_title("Client")
        app.key("F2")
        time.sleep(0.5)  # the field takes the focus after 0.15 s
        app.key("ctrl+a")
        app.type("Clients")
        app.key("Return")
        app.wait_title("Clients")
        self.assertEqual(app.hierarchy()[1]["children"][0]["name"], "Clients")
        wait_for(lambda: "Clients" in xattr_tags(a) and "Clients" in xattr_tags(b), 10,
                 "the rename on the files")
        self.assertEqual(xattr_tags(a), "Projects,Clients")
        self.assertEqual(xattr_tags(b), "Clients,Projects")

        before = app.hierarchy()
        app.quit()
        app.start()
        time.sleep(1)  # the names on the files are all in the tree already: nothing merged
        self.assertEqual(app.hierarchy(), before)
        with open(os.path.join(self.root, "orvane.log")) as log:
            # Kept at quit, read at the next start before the crawl.
            self.assertIn("tagIndex: the last run's index of 2 tagged files opened in", log.read())
        app.key("Down", "Down")
        app.wait_title("Projects")
        app.key("Right")
        app.wait_title("Clients")

    def test_a_rename_cut_short_is_finished_at_the_next_start(self):
        count = 20000
        paths = many_tagged_files(self.app.env["HOME"], count)
        self.write_tree([("Old", 0, [])])
        journal = os.path.join(self.root, "state", "Orvane", "journal.sqlite")

        def progress():
            try:
                with sqlite3.connect(f"file:{journal}?mode=ro", uri=True, timeout=0.1) as db:
                    return db.execute("SELECT count(*) FROM files WHERE state != 0").fetchone()[0]
            except sqlite3.Error:
                return 0

        for restart, (old, new, sig) in enumerate(
                (("Old", "New", signal.SIGKILL), ("New", "Back", signal.SIGTERM)), 1):
            app = self.app
            app.start_and_rename_first_tag(old, new)
            wait_for(lambda: progress() > 0, 30, "the first batch of the rename")
            app.process.send_signal(sig)
            code = app.process.wait(10)
            if sig == signal.SIGTERM:
                self.assertEqual(code, 0)  # the batch in hand finished, then a clean exit
            renamed = sum(new in xattr_tags(path).split(",") for path in paths)
            self.assertLess(renamed, count, "the signal came after the whole rename")
            self.assertIn(new, [node["name"] for node in app.hierarchy()])

            app.start()
            wait_for(lambda: app.log().count("fileJournal: finished") == restart, 30,
                     "the rename to finish after the restart")
            app.quit()
            for path in paths:
                self.assertEqual(xattr_tags(path), f"x1,{new},x2")
            # Finished before the names on the files were merged: the old name does not return.
            self.assertNotIn(old, [node["name"] for node in app.hierarchy()])

    def test_quit_is_quick_and_loses_nothing(self):
        # A rename of 20,000 files, taken back at once, then Ctrl+Q (or a logout): the window
        # goes within a second and the next start finishes both, in order.
        count = 20000
        paths = many_tagged_files(self.app.env["HOME"], count)
        self.write_tree([("Old", 0, [])])
        app = self.app
        timings = []
        for how in ("ctrl+q", signal.SIGTERM):
            app.start_and_rename_first_tag("Old", "New", "ctrl+z")
            started = time.monotonic()
            if how == "ctrl+q":
                run("xdotool", "key", "ctrl+q", env=app.env)
            else:
                app.process.send_signal(how)
            self.assertEqual(app.process.wait(10), 0)
            timings.append(time.monotonic() - started)
            self.assertEqual([node["name"] for node in app.hierarchy()][0], "Old")

            app.start()
            wait_for(lambda: app.log().count("fileJournal: finished") == len(timings), 60,
                     "the rename and its undo to be finished")
            app.quit()
            for path in paths:
                self.assertEqual(xattr_tags(path), "x1,Old,x2")
            self.assertNotIn("New", [node["name"] for node in app.hierarchy()])
        print(f"quit took {', '.join(f'{t:.2f} s' for t in timings)}", file=sys.stderr)
        for taken in timings:
            self.assertLess(taken, 1.0)

    def test_log_lines_reach_a_pipe_while_running(self):
        process = subprocess.Popen([APP], env=self.app.env, stdout=subprocess.PIPE,
                                   stderr=subprocess.DEVNULL, text=True)
        try:
            lines = [process.stdout.readline().rstrip("\n") for _ in range(4)]
            self.assertIsNone(process.poll())  # still running: each line was flushed
            # The index writes from its own thread, in between or not.
            lines = [line for line in lines if line.startswith("[Orvane] loadHierarchy")]
            self.assertEqual(lines[0], "[Orvane] loadHierarchy: starting")
            self.assertEqual(lines[1], "[Orvane] loadHierarchy: no saved hierarchy file")
        finally:
            process.kill()
            process.wait(10)

    def test_match_all_tags_and_preview(self):
        a = self.make_file("docs/a.txt", "Projects,Client")
        self.make_file("docs/b.txt", "Projects,Client")
        c = self.make_file("docs/c.txt", "Projects")
        self.write_tree([("Projects", 4, [("Client", 2, [])])])
        app = self.app
        app.start()
        app.key("Down")
        app.wait_title("Projects")
        app.key("Right")
        app.wait_title("Client")
        time.sleep(0.5)
        app.key("Right")  # Client has no child tags: its first file is selected
        app.key("space")
        preview = wait_for(lambda: app.find_window("^a.txt$"), 10, "the preview of a.txt")
        app.focus()
        app.key("Down")
        app.wait_title("b.txt", preview)
        app.key("Down")  # only two files carry Projects and Client
        time.sleep(0.5)
        self.assertEqual(app.title(preview), "b.txt")

        # From Client's column, down past the last tag reaches Projects' own files: with
        # Match All Tags on, only c.txt (a and b sit deeper, under Client).
        app.key("Left")  # clears the file selection
        app.key("Down")
        app.wait_title("Projects")
        app.wait_title("c.txt", preview)  # the open preview follows the selection
        app.key("ctrl+shift+m")  # Match All Tags off: Projects lists every file it carries
        time.sleep(1.0)
        app.key("Up")
        app.wait_title("b.txt", preview)
        app.key("ctrl+shift+m")
        # Browsing and previewing changed neither the tree nor any file's tags.
        self.assertEqual([node["name"] for node in app.hierarchy()], ["Projects"])
        self.assertEqual(app.hierarchy()[0]["children"][0]["name"], "Client")
        self.assertEqual(xattr_tags(a), "Projects,Client")
        self.assertEqual(xattr_tags(c), "Projects")


def start_busy_processes(count):
    """Processes that take the processors for as long as the run lasts."""
    busy = [subprocess.Popen([sys.executable, "-c", "while True: pass"]) for _ in range(count)]
    return busy


if __name__ == "__main__":
    APP = os.path.abspath(sys.argv[1])
    ARTIFACTS = os.path.abspath(sys.argv[2])
    rest = sys.argv[3:]
    busy_count = 0
    if rest[:1] == ["--busy"]:
        busy_count = int(rest[1])
        rest = rest[2:]
    os.makedirs(ARTIFACTS, exist_ok=True)
    busy = start_busy_processes(busy_count)
    try:
        outcome = unittest.main(argv=[sys.argv[0], "-v"] + rest, exit=False)
    finally:
        for process in busy:
            process.kill()
            process.wait()
    sys.exit(0 if outcome.result.wasSuccessful() else 1)
