#!/usr/bin/env python3
"""Every package the kit ships is listed with its licence.

    third_party_test.py SOURCE_DIR

Reads web/package-lock.json: every package that is not a development tool ends
up in the kit's network.js (the standalone bundle carries vis-network's peers),
so each needs a section "### NAME" in THIRD_PARTY.md with the line
"License: EXPRESSION" as the lockfile gives it, and a mention in the Debian
copyright file. Also checks that LICENSE is the Apache License 2.0 and that the
README says so. Prints what to add for each miss.
"""

import json
import os
import re
import sys


def normalise(expression):
    return re.sub(r"\s+", " ", expression.replace("(", "").replace(")", "")).strip().upper()


def sections(markdown):
    """Maps each '### NAME' heading to the text up to the next heading."""
    found = {}
    name = None
    for line in markdown.splitlines():
        heading = re.match(r"^#{1,6}\s+(.*?)\s*$", line)
        if heading:
            name = heading.group(1) if line.startswith("### ") else None
            if name is not None:
                found[name] = ""
        elif name is not None:
            found[name] += line + "\n"
    return found


def shipped_packages(lock):
    for path, entry in sorted(lock.get("packages", {}).items()):
        if path == "" or entry.get("dev"):
            continue
        name = path[path.rindex("node_modules/") + len("node_modules/"):]
        yield name, entry.get("version", "?"), entry.get("license", "")


def check(source):
    faults = []
    with open(os.path.join(source, "web", "package-lock.json"), encoding="utf-8") as f:
        lock = json.load(f)
    with open(os.path.join(source, "THIRD_PARTY.md"), encoding="utf-8") as f:
        listed = sections(f.read())
    with open(os.path.join(source, "packaging", "copyright"), encoding="utf-8") as f:
        copyright_text = f.read()

    packages = list(shipped_packages(lock))
    if not packages:
        faults.append("web/package-lock.json lists no shipped package; vis-network at least ships")
    for name, version, licence in packages:
        if not licence:
            faults.append(f"{name} {version} has no licence in web/package-lock.json: find it out before shipping it")
            continue
        wanted = normalise(licence)
        shown = f"License: {licence.strip('()')}" if licence.count("(") == 1 else f"License: {licence}"
        if name not in listed:
            faults.append(f"{name} {version} ships in the kit but THIRD_PARTY.md does not list it: add a section "
                          f"'### {name}' under 'The laboratory-server kit' with the line '{shown}' and its copyright")
            continue
        lines = [normalise(m) for m in re.findall(r"^License:\s*(.+)$", listed[name], re.M)]
        if wanted not in lines:
            faults.append(f"THIRD_PARTY.md, section '### {name}': the lockfile gives the licence {licence}; "
                          f"write the line '{shown}'")
        if name not in copyright_text:
            faults.append(f"{name} {version} ships in the kit but packaging/copyright does not name it: add it to the "
                          "Comment of the Files stanza for usr/share/plotweave/web/site/Graph/network/* and its "
                          "holders to that stanza's Copyright field")

    with open(os.path.join(source, "LICENSE"), encoding="utf-8") as f:
        licence_text = f.read()
    if "Apache License" not in licence_text or "Version 2.0, January 2004" not in licence_text \
            or "END OF TERMS AND CONDITIONS" not in licence_text:
        faults.append("LICENSE is not the full text of the Apache License 2.0")
    with open(os.path.join(source, "README.md"), encoding="utf-8") as f:
        if not re.search(r"Apache License 2\.0|Apache-2\.0", f.read()):
            faults.append("README.md does not say that the project is licensed under the Apache License 2.0")
    return packages, faults


def main(argv):
    if len(argv) != 2:
        print("usage: third_party_test.py SOURCE_DIR", file=sys.stderr)
        return 2
    packages, faults = check(argv[1])
    for fault in faults:
        print(f"FAIL: {fault}", file=sys.stderr)
    if faults:
        return 1
    print(f"{len(packages)} shipped package(s) listed: {', '.join(name for name, _, _ in packages)}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
