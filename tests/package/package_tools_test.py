"""The lockfile check and the changelog conversion, on made-up inputs."""

import io
import json
import os
import shutil
import sys
import tempfile
import unittest
from contextlib import redirect_stderr

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.environ.get("PLOTWEAVE_SOURCE_DIR", os.path.join(HERE, "..", ".."))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(SOURCE, "tools"))

import gen_debian_changelog  # noqa: E402
import third_party_test  # noqa: E402


class LockfileCheck(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.root)
        os.makedirs(os.path.join(self.root, "web"))
        os.makedirs(os.path.join(self.root, "packaging"))
        shutil.copy(os.path.join(SOURCE, "LICENSE"), self.root)
        self.write("README.md", "Licensed under the Apache License 2.0.\n")
        self.write("THIRD_PARTY.md", "# Third party\n\n### vis-network\n\nLicense: Apache-2.0 OR MIT\n\n"
                                     "### uuid\n\nLicense: MIT\n")
        self.write("packaging/copyright", "Comment: vis-network, uuid\n")
        self.packages = {
            "": {"name": "kit"},
            "node_modules/vis-network": {"version": "10.1.2", "license": "(Apache-2.0 OR MIT)"},
            "node_modules/uuid": {"version": "14.0.3", "license": "MIT", "peer": True},
            "node_modules/playwright-core": {"version": "1.65.1", "license": "Apache-2.0", "dev": True},
        }

    def write(self, name, text):
        with open(os.path.join(self.root, name), "w", encoding="utf-8") as f:
            f.write(text)

    def faults(self):
        self.write("web/package-lock.json", json.dumps({"packages": self.packages}))
        return third_party_test.check(self.root)[1]

    def test_listed_packages_pass_and_development_tools_need_no_entry(self):
        self.assertEqual(self.faults(), [])

    def test_an_unlisted_shipped_package_fails_with_what_to_add(self):
        self.packages["node_modules/es-hangul"] = {"version": "2.3.0", "license": "MIT"}
        faults = self.faults()
        self.assertEqual(len(faults), 1, faults)
        self.assertIn("es-hangul 2.3.0", faults[0])
        self.assertIn("'### es-hangul'", faults[0])
        self.assertIn("'License: MIT'", faults[0])

    def test_a_nested_package_is_named_by_its_own_name(self):
        self.packages["node_modules/vis-network/node_modules/@scope/inner"] = {"version": "1.0.0", "license": "ISC"}
        faults = self.faults()
        self.assertEqual(len(faults), 1, faults)
        self.assertIn("'### @scope/inner'", faults[0])

    def test_a_wrong_licence_line_or_a_missing_copyright_mention_fails(self):
        self.packages["node_modules/uuid"]["license"] = "BSD-3-Clause"
        self.write("packaging/copyright", "Comment: uuid only\n")
        faults = self.faults()
        self.assertEqual(len(faults), 2, faults)
        self.assertTrue(any("licence BSD-3-Clause" in f for f in faults))
        self.assertTrue(any("packaging/copyright does not name it" in f and "vis-network" in f for f in faults))

    def test_a_truncated_licence_and_a_readme_without_notice_fail(self):
        with open(os.path.join(self.root, "LICENSE"), "r+", encoding="utf-8") as f:
            text = f.read()
            f.seek(0)
            f.truncate()
            f.write(text[: len(text) // 2])
        self.write("README.md", "No word about it.\n")
        faults = self.faults()
        self.assertEqual(len(faults), 2, faults)


class ChangelogConversion(unittest.TestCase):
    MAINTAINER = "Ann Example <ann@example.org>"

    def convert(self, text, version="2.1"):
        folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, folder)
        source = os.path.join(folder, "CHANGELOG.md")
        output = os.path.join(folder, "changelog")
        with open(source, "w", encoding="utf-8") as f:
            f.write(text)
        errors = io.StringIO()
        with redirect_stderr(errors):
            status = gen_debian_changelog.main(["gen", source, "plotweave", version, self.MAINTAINER, output])
        result = None
        if os.path.exists(output):
            with open(output, encoding="utf-8") as f:
                result = f.read()
        return status, result, errors.getvalue()

    def test_releases_become_entries_newest_first_with_wrapped_items(self):
        long_item = "word " * 40
        status, out, _ = self.convert(
            "# Changelog\n\nIntro text.\n\n## 2.1 (2026-12-07)\n\n- First change\n  continued here.\n"
            f"- {long_item}\n\n## 2.0 (2025-02-28)\n\n- Older.\n")
        self.assertEqual(status, 0)
        lines = out.splitlines()
        self.assertEqual(lines[0], "plotweave (2.1) unstable; urgency=medium")
        self.assertEqual(lines[2], "  * First change continued here.")
        self.assertTrue(all(len(line) <= 79 for line in lines))
        self.assertIn(" -- Ann Example <ann@example.org>  Mon, 07 Dec 2026 12:00:00 +0000", lines)
        self.assertIn("plotweave (2.0) unstable; urgency=medium", lines)
        self.assertIn(" -- Ann Example <ann@example.org>  Fri, 28 Feb 2025 12:00:00 +0000", lines)
        self.assertEqual(out.count("  * word"), 1)
        self.assertTrue(out.endswith("+0000\n"))

    def test_a_newest_release_other_than_the_project_version_is_refused(self):
        status, out, errors = self.convert("## 2.0 (2025-02-28)\n\n- Older.\n", version="2.1")
        self.assertEqual((status, out), (1, None))
        self.assertIn("add a '## 2.1 (YYYY-MM-DD)' section", errors)

    def test_malformed_files_are_refused_with_the_line(self):
        for text, words in [
            ("## 2.1 (2026-02-30)\n\n- x\n", "line 1: no such date"),
            ("## 2.1 7 Dec 2026\n\n- x\n", "line 1: a release heading"),
            ("## 2.1 (2026-12-07)\n\nloose text\n", "line 3: not a '- ' item"),
            ("## 2.1 (2026-12-07)\n\n", "release 2.1 lists no change"),
            ("# Changelog\n", "no release heading"),
        ]:
            status, out, errors = self.convert(text)
            self.assertEqual((status, out), (1, None), text)
            self.assertIn(words, errors, text)


if __name__ == "__main__":
    unittest.main()
