#!/usr/bin/env python3
"""Writes CHANGELOG.md in Debian's changelog format.

    gen_debian_changelog.py CHANGELOG.md PACKAGE VERSION MAINTAINER OUTPUT

Releases are headings "## VERSION (YYYY-MM-DD)" followed by "- " items, whose
continuation lines are indented. The newest release must carry VERSION, so
that the package never ships a changelog that disagrees with it. Fails with a
message naming the line at fault.
"""

import datetime
import re
import sys
import textwrap

HEADING = re.compile(r"^## (\S+) \((\d{4})-(\d{2})-(\d{2})\)\s*$")
WIDTH = 79


def parse(lines):
    """Returns [(version, date, [item text])] in file order, or raises ValueError."""
    releases = []
    for number, line in enumerate(lines, 1):
        line = line.rstrip("\n")
        heading = HEADING.match(line)
        if heading:
            version, year, month, day = heading.groups()
            try:
                date = datetime.date(int(year), int(month), int(day))
            except ValueError:
                raise ValueError(f"line {number}: no such date in {line!r}")
            releases.append((version, date, []))
        elif line.startswith("## "):
            raise ValueError(f"line {number}: a release heading is '## VERSION (YYYY-MM-DD)', not {line!r}")
        elif not releases:
            continue
        elif line.startswith("- "):
            releases[-1][2].append(line[2:].strip())
        elif line.startswith("  ") and line.strip() and releases[-1][2]:
            releases[-1][2][-1] += " " + line.strip()
        elif line.strip():
            raise ValueError(f"line {number}: not a '- ' item or its indented continuation: {line!r}")
    for version, _, items in releases:
        if not items:
            raise ValueError(f"release {version} lists no change")
    return releases


def render(releases, package, maintainer):
    out = []
    for version, date, items in releases:
        out.append(f"{package} ({version}) unstable; urgency=medium\n\n")
        for item in items:
            wrapped = textwrap.wrap(item, WIDTH - 4, break_long_words=False, break_on_hyphens=False)
            out.append("  * " + "\n    ".join(wrapped) + "\n")
        stamp = datetime.datetime(date.year, date.month, date.day, 12, 0, 0)
        out.append(f"\n -- {maintainer}  {stamp.strftime('%a, %d %b %Y %H:%M:%S')} +0000\n\n")
    return "".join(out).rstrip("\n") + "\n"


def main(argv):
    if len(argv) != 6:
        print(__doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    source, package, version, maintainer, output = argv[1:]
    with open(source, encoding="utf-8") as f:
        try:
            releases = parse(f)
        except ValueError as e:
            print(f"{source}: {e}", file=sys.stderr)
            return 1
    if not releases:
        print(f"{source}: no release heading '## VERSION (YYYY-MM-DD)'", file=sys.stderr)
        return 1
    if releases[0][0] != version:
        print(f"{source}: the newest release is {releases[0][0]}, but the project's version is {version}: "
              f"add a '## {version} (YYYY-MM-DD)' section at the top", file=sys.stderr)
        return 1
    with open(output, "w", encoding="utf-8", newline="\n") as f:
        f.write(render(releases, package, maintainer))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
