#!/usr/bin/env python3
"""plotweave-preview under saves: a thousand of them with its memory flat, a
plan that vanishes, comes back half written or as random bytes, and a second
preview of another plan beside the first.

    saves_test.py PREVIEW EXAMPLES KIT
"""
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import urllib.request

PREVIEW, EXAMPLES, KIT = sys.argv[1:4]


class Preview:
    """A running preview of `plan` in `folder`."""

    def __init__(self, folder, plan, *options):
        self.proc = subprocess.Popen([PREVIEW, "--port", "0", "--kit", KIT, *options, plan], cwd=folder,
                                     stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        first = self.proc.stdout.readline()
        self.port = int(re.search(r"127\.0\.0\.1:(\d+)", first).group(1))
        self.version = 0
        # The console is read all along: a full pipe would hold the preview up.
        self.lines = []
        self.reader = threading.Thread(target=lambda: self.lines.extend(self.proc.stdout), daemon=True)
        self.reader.start()

    def state(self):
        with urllib.request.urlopen(f"http://127.0.0.1:{self.port}/preview/state", timeout=5) as r:
            return json.load(r)

    def next_save(self, what=""):
        """The state once the preview has taken one more save."""
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline:
            state = self.state()
            if state["version"] > self.version:
                self.version = state["version"]
                return state
            time.sleep(0.01)
        raise AssertionError(f"the save was not taken: {what} {state}")

    def rss_kib(self):
        with open(f"/proc/{self.proc.pid}/status") as status:
            return int(re.search(r"VmRSS:\s+(\d+)", status.read()).group(1))

    def stop(self):
        self.proc.send_signal(signal.SIGINT)
        self.proc.wait(timeout=10)
        self.reader.join(timeout=10)
        self.proc.stdout.close()
        return self.proc.returncode, "".join(self.lines)


class Saves(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        shutil.copy(os.path.join(EXAMPLES, "ontology.lst"), self.dir)
        self.plan = os.path.join(self.dir, "ontology.lst")
        with open(self.plan, "rb") as f:
            self.text = f.read()

    def tearDown(self):
        shutil.rmtree(self.dir)

    def save(self, data):
        with open(self.plan, "wb") as f:
            f.write(data)

    def save_by_rename(self, data):
        # Whole at every look: an in-place write on a loaded machine can be
        # seen half done, which the preview rightly takes as a save of its own.
        with open(self.plan + ".new", "wb") as f:
            f.write(data)
        os.replace(self.plan + ".new", self.plan)

    def test_a_thousand_saves_in_flat_memory(self):
        preview = Preview(self.dir, "ontology.lst")
        preview.next_save()
        broken = self.text.replace(b"\nPerson darkred", b"\nPersn darkred")
        rss = []
        for i in range(1000):
            # Drawn with another node, refused, and drawn as it was, in turn:
            # each save's size differs from the one before, as a save within
            # the same tick of the file system's clock is seen by its size.
            self.save_by_rename(
                [self.text.replace(b"#LINKS", b"x%03d Place extra\n#LINKS" % (i % 7)), broken, self.text][i % 3])
            state = preview.next_save(i)
            self.assertEqual(state["state"], ["drawn", "refused", "drawn"][i % 3], f"save {i}, {state['version']}")
            if i in (99, 999):
                rss.append(preview.rss_kib())
        code, out = preview.stop()
        self.assertEqual(code, 0)
        # AddressSanitizer keeps freed memory in quarantine by design, so a
        # sanitised preview's resident size tells nothing about leaks.
        if "ASAN_OPTIONS" not in os.environ:
            self.assertLess(rss[1] - rss[0], 2048, f"memory grew from {rss[0]} KiB to {rss[1]} KiB")
        print(f"RSS after 100 saves {rss[0]} KiB, after 1000 {rss[1]} KiB", file=sys.stderr)
        # One status line per save, besides the first.
        self.assertEqual(out.count(": refused ("), 333)

    def test_vanishing_half_written_and_binary_plans(self):
        preview = Preview(self.dir, "ontology.lst")
        preview.next_save()
        os.remove(self.plan)
        self.assertEqual(preview.next_save()["state"], "missing")
        self.save(self.text[: len(self.text) // 2])
        self.assertIn(preview.next_save()["state"], ("drawn", "refused"))
        rng = random.Random(24)
        self.save(bytes(rng.randrange(256) for _ in range(50000)))
        self.assertIn(preview.next_save()["state"], ("drawn", "refused", "unreadable"))
        os.remove(self.plan)
        os.mkfifo(self.plan)
        self.assertEqual(preview.next_save()["state"], "not-a-file")
        os.remove(self.plan)
        self.save(self.text)
        state = preview.next_save()
        self.assertEqual((state["state"], state["stale"]), ("drawn", False))
        code, out = preview.stop()
        self.assertEqual(code, 0, out)
        self.assertEqual(sorted(os.listdir(self.dir)), ["ontology.lst"])

    def test_two_previews_side_by_side(self):
        other = os.path.join(self.dir, "other.lst")
        shutil.copy(os.path.join(EXAMPLES, "ontology-utf8.lst"), other)
        first = Preview(self.dir, "ontology.lst")
        second = Preview(self.dir, "other.lst", "--self")
        self.assertNotEqual(first.port, second.port)
        self.assertEqual(first.next_save()["page"], "ontology.htm")
        self.assertEqual(second.next_save()["page"], "other_self.htm")
        self.save(self.text.replace(b"\nPerson darkred", b"\nPersn darkred"))
        self.assertEqual(first.next_save()["state"], "refused")
        self.assertEqual(second.state()["version"], 1, "the other plan's preview took no save")
        for p in (first, second):
            self.assertEqual(p.stop()[0], 0)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
