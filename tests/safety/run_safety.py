#!/usr/bin/env python3
"""Runs the programs where runs go wrong for real and checks what they leave.

  full-disk    each example on a small tmpfs with 0 to 24 KiB left (root only)
  concurrent   many runs of one plan at once, round after round
  kill         runs ended by SIGKILL at random moments, each followed by a
               run to completion
  lock         a run waits while its plan is locked, and only then (POSIX)
  working-names  links, dangling links, FIFOs, devices (root), folders and hard
               links at each name a run makes for itself; links at the page's
               name, the runner's own and another user's (root); with
               --bundler, devices and links named with -o (root)
  rename-race  the plan saved by rename while two runs are in flight
  interrupt    bundles of a large page ended by SIGINT, SIGTERM, SIGHUP and
               SIGKILL (needs --bundler)

The invariants, for every run:
  - a success line means the page under the page's name is whole and correct;
  - without one, the last line is an error message and the page's name holds
    what it held before the run (the earlier page, or nothing);
  - once no run is left, only the plan, the page and (after a failed page
    conversion, which keeps it on purpose) the intermediate page remain.

Every program is given as SUFFIX=PATH, the suffix being what its page name
adds to the base name ("_self.htm" or ".htm"). With --runner each run goes
through that program (the Wine wrapper of a Windows build).
Exit status: 0 when every run kept the invariants, 1 when one did not, 77 when
the test cannot run here (no root for the tmpfs).
"""

import argparse
import os
import random
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import time

SKIPPED = 77
KIB = 1024
EXAMPLES = ("ontology.lst", "ontology-utf8.lst", "ontology-utf16le.lst")
# What stands under the page's name before a run in about half the cases: a
# page of an earlier run that has to survive any failure byte for byte.
OLD_PAGE = b"\xef\xbb\xbf<html><body>the page of an earlier run</body></html>\n"
SUCCESS_START = b"Visualization Script "
SUCCESS_END = b" has been Created."


class Program:
    def __init__(self, arg, runner):
        suffix, _, path = arg.partition("=")
        if not path:
            raise SystemExit("--program takes SUFFIX=PATH, not " + arg)
        self.suffix = suffix
        self.path = os.path.abspath(path)
        self.runner = os.path.abspath(runner) if runner else None
        self.name = os.path.basename(path)

    def command(self, plan):
        cmd = [self.path, plan]
        return [self.runner] + cmd if self.runner else cmd

    def page(self, plan):
        return plan.split(".", 1)[0] + self.suffix

    def start(self, folder, plan):
        return subprocess.Popen(self.command(plan), cwd=folder, stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)

    def run(self, folder, plan, timeout=120):
        proc = self.start(folder, plan)
        out, _ = proc.communicate(timeout=timeout)
        return out


# The endings of the lines by which a run reports that it stopped short.
ERROR_ENDINGS = (b" Not Found!", b" Cannot be Read!", b"Creation Error: -2", b" Creation Error!",
                 b" Write Error! The plan was not converted.", b" Write Error! No page was created.",
                 b"Output File Encoding Conversion Error.")


def says_error(out):
    return last_line(out).endswith(ERROR_ENDINGS)


def last_line(out):
    lines = out.replace(b"\r\n", b"\n").rstrip(b"\n").split(b"\n")
    return lines[-1] if lines else b""


def says_success(out, page):
    return last_line(out) == SUCCESS_START + page.encode() + SUCCESS_END


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return None


def clear(folder):
    for name in os.listdir(folder):
        path = os.path.join(folder, name)
        if os.path.isdir(path) and not os.path.islink(path):
            shutil.rmtree(path)
        else:
            os.remove(path)


class Tally:
    """Counts runs and what went wrong, and names the first cases of each."""

    def __init__(self, title):
        self.title = title
        self.counts = {}
        self.examples = {}

    def add(self, what, detail=None):
        self.counts[what] = self.counts.get(what, 0) + 1
        if detail is not None:
            self.examples.setdefault(what, []).append(detail)

    def faults(self):
        return {k: v for k, v in self.counts.items() if k.startswith("FAULT")}

    def report(self):
        print(self.title + ": " + ", ".join(f"{k} {v}" for k, v in sorted(self.counts.items())))
        for what, cases in sorted(self.examples.items()):
            for case in cases[:3]:
                print(f"  {what}: {case}")
        return 1 if self.faults() else 0


def check_run(tally, out, folder, plan, page, expected, before, case, allowed=()):
    """Checks one finished run against the invariants; counts what it finds."""
    tally.add("runs")
    now = read(os.path.join(folder, page))
    if says_success(out, page):
        tally.add("succeeded")
        if now != expected:
            tally.add("FAULT false success", case)
        return True
    tally.add("failed")
    if not says_error(out):
        tally.add("FAULT no error message at the end", f"{case}: {last_line(out)!r}")
    if now != before:
        if before is not None and now is None:
            tally.add("FAULT earlier page lost", case)
        elif now is not None:
            tally.add("FAULT partial page", f"{case}: {len(now)} bytes")
    leftovers = leftovers_of(folder, plan, page, allowed + (intermediate(plan),))
    if leftovers:
        tally.add("FAULT files left after a failed run", f"{case}: {leftovers}")
    return False


def intermediate(plan):
    return plan.split(".", 1)[0] + ".out"


def leftovers_of(folder, plan, page, allowed=()):
    keep = {plan, page} | set(allowed)
    return sorted(set(os.listdir(folder)) - keep)


def reference_pages(programs, examples_dir, names):
    """The page each program makes of each example on a roomy disk."""
    pages = {}
    with tempfile.TemporaryDirectory(prefix="plotweave-ref-") as folder:
        for p in programs:
            for name in names:
                shutil.copy(os.path.join(examples_dir, name), folder)
                out = p.run(folder, name)
                page = p.page(name)
                if not says_success(out, page):
                    raise SystemExit(f"{p.name} {name} does not succeed on a roomy disk:\n{out.decode(errors='replace')}")
                pages[(p.name, name)] = read(os.path.join(folder, page))
                clear(folder)
    return pages


# ---------------------------------------------------------------- full disk

def fill_leaving(folder, left_bytes):
    """Fills the file system of folder until `left_bytes` are left."""
    filler = os.path.join(folder, "filler")
    block = b"\0" * (64 * KIB)
    with open(filler, "wb", buffering=0) as f:
        while True:
            try:
                f.write(block)
            except OSError:
                break
        # Write in smaller steps into what is left of the last block.
        small = b"\0" * 512
        while True:
            try:
                if f.write(small) != len(small):
                    break
            except OSError:
                break
    size = os.path.getsize(filler)
    os.truncate(filler, max(0, size - left_bytes))


def full_disk(args, programs):
    if os.geteuid() != 0:
        print("skipped: mounting a tmpfs needs root")
        return SKIPPED
    pages = reference_pages(programs, args.examples, EXAMPLES)
    tally = Tally("full disk")
    top = tempfile.mkdtemp(prefix="plotweave-full-")
    mounted = False
    try:
        subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={args.disk_kib}k,mode=0755", "tmpfs", top],
                       check=True)
        mounted = True
        for p in programs:
            for name in EXAMPLES:
                expected = pages[(p.name, name)]
                page = p.page(name)
                for left in args.left_kib:
                    for before in (None, OLD_PAGE):
                        clear(top)
                        shutil.copy(os.path.join(args.examples, name), top)
                        if before is not None:
                            with open(os.path.join(top, page), "wb") as f:
                                f.write(before)
                        fill_leaving(top, left * KIB)
                        case = f"{p.name} {name} {left} KiB left, {'earlier page' if before else 'no page'}"
                        out = p.run(top, name)
                        if check_run(tally, out, top, name, page, expected, before, case, ("filler",)):
                            extra = leftovers_of(top, name, page, ("filler",))
                            if extra:
                                tally.add("FAULT files left after a successful run", f"{case}: {extra}")
    finally:
        if mounted:
            subprocess.run(["umount", top], check=False)
        os.rmdir(top)
    return tally.report()


# ---------------------------------------------------------------- concurrent

def concurrent(args, programs):
    """Rounds of runs of one plan at once: first each program alone, then the
    programs together (they share the plan's scratch and intermediate files)."""
    name = "ontology-utf8.lst"
    pages = reference_pages(programs, args.examples, (name,))
    tally = Tally(f"concurrent ({args.runs} at once, {args.rounds} rounds a group)")
    groups = [[p] for p in programs] + ([programs] if len(programs) > 1 else [])
    with tempfile.TemporaryDirectory(prefix="plotweave-conc-") as folder:
        for group in groups:
            for r in range(args.rounds):
                clear(folder)
                shutil.copy(os.path.join(args.examples, name), folder)
                before = OLD_PAGE if r % 2 else None
                if before is not None:
                    for p in group:
                        with open(os.path.join(folder, p.page(name)), "wb") as f:
                            f.write(before)
                starters = [group[i % len(group)] for i in range(args.runs)]
                procs = [(p, p.start(folder, name)) for p in starters]
                succeeded = {p.name: 0 for p in group}
                case = f"{'+'.join(p.name for p in group)} round {r + 1}"
                for p, proc in procs:
                    out = proc.communicate(timeout=300)[0]
                    tally.add("runs")
                    if says_success(out, p.page(name)):
                        succeeded[p.name] += 1
                        tally.add("succeeded")
                    else:
                        tally.add("failed", f"{case}: {last_line(out)!r}")
                        if not says_error(out):
                            tally.add("FAULT no error message at the end", f"{case}: {last_line(out)!r}")
                for p in group:
                    now = read(os.path.join(folder, p.page(name)))
                    if succeeded[p.name] and now != pages[(p.name, name)]:
                        tally.add("FAULT false success", f"{case}: {succeeded[p.name]} runs of {p.name} said "
                                  f"success, page {'missing' if now is None else str(len(now)) + ' bytes'}")
                    if not succeeded[p.name] and now != before:
                        tally.add("FAULT earlier page lost" if now is None else "FAULT partial page", case)
                extra = leftovers_of(folder, name, "", tuple(p.page(name) for p in group))
                if extra:
                    tally.add("FAULT files left after the round", f"{case}: {extra}")
    return tally.report()


# ---------------------------------------------------------------- kill

def large_plan():
    """A UTF-8 plan whose page is some 250 KB, so that a run lasts long enough
    to be caught in every step: scratch file, reading, intermediate page, page."""
    lines = ["\ufeff#CLASS", "Place blue dot 1", "#RELATION", "near gray line 1", "#NODES"]
    for i in range(400):
        lines.append(f"k{i} Place \uac00\ub098_{i} /{'u' * 200}")
    lines.append("#LINKS")
    lines += [f"k{i - 1} k{i} near" for i in range(1, 400)]
    return ("\n".join(lines) + "\n").encode("utf-8")


def kill(args, programs):
    rng = random.Random(args.seed)
    name = "big.lst"
    tally = Tally(f"kill ({args.kills} kills a program, seed {args.seed})")
    with tempfile.TemporaryDirectory(prefix="plotweave-kill-") as folder:
        plan_path = os.path.join(folder, name)
        for p in programs:
            page = p.page(name)
            clear(folder)
            with open(plan_path, "wb") as f:
                f.write(large_plan())
            # The kills fall anywhere in the span of a usual run.
            spans = []
            for _ in range(3):
                began = time.monotonic()
                out = p.run(folder, name)
                spans.append(time.monotonic() - began)
                if not says_success(out, page):
                    raise SystemExit(f"{p.name} fails the kill test's plan:\n{out.decode(errors='replace')}")
            span = sorted(spans)[1]
            expected = read(os.path.join(folder, page))
            caught = 0
            for k in range(args.kills):
                before = OLD_PAGE if k % 2 else None
                page_path = os.path.join(folder, page)
                if before is None:
                    os.remove(page_path)
                else:
                    with open(page_path, "wb") as f:
                        f.write(before)
                proc = p.start(folder, name)
                time.sleep(rng.uniform(0, span))
                proc.kill()
                out, _ = proc.communicate()
                tally.add("killed runs")
                case = f"{p.name} kill {k + 1}"
                now = read(page_path)
                if proc.returncode == -signal.SIGKILL:
                    caught += 1
                if now not in (before, expected):
                    tally.add("FAULT partial page" if now is not None else "FAULT earlier page lost",
                              f"{case}: {'missing' if now is None else str(len(now)) + ' bytes'}")
                if says_success(out, page) and now != expected:
                    tally.add("FAULT false success", case)
                left_behind = leftovers_of(folder, name, page)
                if left_behind:
                    tally.add("killed runs that left a file")
                # The next run of the plan takes over whatever the killed one left.
                out = p.run(folder, name)
                tally.add("runs after a kill")
                if not says_success(out, page) or read(page_path) != expected:
                    tally.add("FAULT run after a kill did not succeed", f"{case}: {last_line(out)!r}")
                extra = leftovers_of(folder, name, page)
                if extra:
                    tally.add("FAULT files left after the run that followed a kill", f"{case}: {extra}")
            tally.counts[f"{p.name} killed before it ended"] = caught
            # Kills that all come after the run has ended would prove nothing.
            if caught < args.kills // 10:
                tally.add("FAULT too few kills landed during a run", f"{p.name}: {caught}")
    return tally.report()


# ---------------------------------------------------------------- lock

def lock(args, programs):
    """While another holds the lock of one plan, its runs wait and runs of
    another plan in the same folder go through; once the lock is free, the
    waiting run finishes."""
    import fcntl
    tally = Tally("lock")
    with tempfile.TemporaryDirectory(prefix="plotweave-lock-") as folder:
        for p in programs:
            clear(folder)
            for name in ("a.lst", "b.lst"):
                shutil.copy(os.path.join(args.examples, "ontology-utf8.lst"), os.path.join(folder, name))
            # The lock a run takes: on BASE.lock, which the run removes once
            # it holds the lock and is done.
            with open(os.path.join(folder, "a.lock"), "wb") as held:
                fcntl.flock(held, fcntl.LOCK_EX)
                waiting = p.start(folder, "a.lst")
                other = p.run(folder, "b.lst", timeout=60)
                tally.add("runs")
                if not says_success(other, p.page("b.lst")):
                    tally.add("FAULT run of another plan did not go through", p.name)
                try:
                    waiting.wait(timeout=1)
                    tally.add("FAULT run went ahead while its plan was locked", p.name)
                except subprocess.TimeoutExpired:
                    tally.add("runs that waited")
                early = leftovers_of(folder, "a.lst", "b.lst", (p.page("b.lst"), "a.lock"))
                if early:
                    tally.add("FAULT waiting run touched files", f"{p.name}: {early}")
            out, _ = waiting.communicate(timeout=60)
            tally.add("runs")
            if not says_success(out, p.page("a.lst")):
                tally.add("FAULT waiting run did not finish once the lock was free", f"{p.name}: {last_line(out)!r}")
            if sorted(os.listdir(folder)) != sorted(["a.lst", "b.lst", p.page("a.lst"), p.page("b.lst")]):
                tally.add("FAULT files left", f"{p.name}: {sorted(os.listdir(folder))}")
    return tally.report()


# ---------------------------------------------------------------- working names

OUTSIDE = b"a file outside the run's folder, never to be written\n"
KINDS = ("link", "dangling link", "fifo", "device", "folder", "hard link")
NOBODY = 65534


class Planted:
    """Something put at one of a run's names, and the outside file it may lead
    to; intact() tells whether both are still as they were put."""

    def __init__(self, kind, path, outside_dir):
        self.kind, self.path = kind, path
        self.outside = os.path.join(outside_dir, "target-" + str(len(os.listdir(outside_dir))))
        if kind in ("link", "hard link"):
            with open(self.outside, "wb") as f:
                f.write(OUTSIDE)
        if kind in ("link", "dangling link"):
            os.symlink(self.outside, path)
        elif kind == "hard link":
            os.link(self.outside, path)
        elif kind == "fifo":
            os.mkfifo(path)
        elif kind == "device":
            # A node of the device that swallows everything: safe to be
            # written by a faulty run, and its loss is plain to see.
            os.mknod(path, 0o666 | stat.S_IFCHR, os.makedev(1, 3))
        elif kind == "folder":
            os.mkdir(path)

    def intact(self):
        """What is wrong with the planted thing or its target, or None. A
        regular file under the name may be replaced as a whole: only the other
        name of a hard-linked file must keep its content."""
        outside = read(self.outside)
        if self.kind == "hard link":
            return None if outside == OUTSIDE else "the other name of the file changed"
        try:
            st = os.lstat(self.path)
        except FileNotFoundError:
            return "removed"
        if self.kind == "link":
            return None if stat.S_ISLNK(st.st_mode) and outside == OUTSIDE else "link or its target changed"
        if self.kind == "dangling link":
            return None if stat.S_ISLNK(st.st_mode) and outside is None else "file made where the link leads"
        if self.kind == "fifo":
            return None if stat.S_ISFIFO(st.st_mode) else "replaced"
        if self.kind == "device":
            return None if stat.S_ISCHR(st.st_mode) and st.st_rdev == os.makedev(1, 3) else "replaced"
        return None if stat.S_ISDIR(st.st_mode) and not os.listdir(self.path) else "changed"


def working_names(args, programs):
    """Links, FIFOs, devices, folders and hard links at each name a run makes
    for itself, a link of the runner's own and one of another user at the
    page's name, and for the bundler the same at the copy's name when the
    copy cannot be written."""
    name = "p.lst"
    pages = reference_pages(programs, args.examples, ("ontology-utf8.lst",))
    tally = Tally("working names")
    kinds = [k for k in KINDS if k != "device" or os.geteuid() == 0]
    # Under Wine there are no FIFOs or devices, and a link cannot be told
    # from the file it leads to, so the page's links are left out.
    native = programs[0].runner is None
    if not native:
        kinds = [k for k in kinds if k not in ("fifo", "device")]
    with tempfile.TemporaryDirectory(prefix="plotweave-names-") as top:
        folder, outside = os.path.join(top, "run"), os.path.join(top, "outside")
        os.mkdir(outside)
        for p in programs:
            page = p.page(name)
            expected = pages[(p.name, "ontology-utf8.lst")]
            for working in ("p.asc", "p.out", page + ".tmp"):
                for kind in kinds:
                    if os.path.exists(folder):
                        shutil.rmtree(folder)
                    os.mkdir(folder)
                    shutil.copy(os.path.join(args.examples, "ontology-utf8.lst"), os.path.join(folder, name))
                    planted = Planted(kind, os.path.join(folder, working), outside)
                    case = f"{p.name}: {kind} at {working}"
                    out = p.run(folder, name)
                    tally.add("runs")
                    wrong = planted.intact()
                    if wrong:
                        tally.add("FAULT planted thing or its target touched", f"{case}: {wrong}")
                    success = says_success(out, page)
                    if kind == "hard link":
                        if not success or read(os.path.join(folder, page)) != expected:
                            tally.add("FAULT run with a file at its name did not succeed", case)
                    elif success:
                        tally.add("FAULT run wrote past what stands at its name", case)
                    elif not says_error(out):
                        tally.add("FAULT no error message at the end", f"{case}: {last_line(out)!r}")
            if native:
                page_links(tally, p, folder, outside, expected, args)
        if args.bundler and native:
            bundle_outputs(tally, args, top, kinds)
    return tally.report()


def page_links(tally, p, folder, outside, expected, args):
    """A link at the page's name is followed when it is the runner's own and
    refused when another user put it there (root only: the link is handed to
    nobody); a device there is written in place and never removed."""
    name = "p.lst"
    page = p.page(name)
    owners = [None] + ([NOBODY] if os.geteuid() == 0 else [])
    for owner in owners:
        shutil.rmtree(folder)
        os.mkdir(folder)
        shutil.copy(os.path.join(args.examples, "ontology-utf8.lst"), os.path.join(folder, name))
        target = os.path.join(outside, "linked-page")
        with open(target, "wb") as f:
            f.write(OLD_PAGE)
        os.symlink(target, os.path.join(folder, page))
        if owner is not None:
            os.lchown(os.path.join(folder, page), owner, owner)
        out = p.run(folder, name)
        tally.add("runs")
        case = f"{p.name}: page link of {'another user' if owner else 'the runner'}"
        if not os.path.islink(os.path.join(folder, page)):
            tally.add("FAULT link at the page's name replaced", case)
        if owner is None and (not says_success(out, page) or read(target) != expected):
            tally.add("FAULT runner's own page link not followed", case)
        if owner is not None and (says_success(out, page) or not says_error(out) or read(target) != OLD_PAGE):
            tally.add("FAULT another user's page link followed", f"{case}: {last_line(out)!r}")
    if os.geteuid() == 0:
        shutil.rmtree(folder)
        os.mkdir(folder)
        shutil.copy(os.path.join(args.examples, "ontology-utf8.lst"), os.path.join(folder, name))
        planted = Planted("device", os.path.join(folder, page), outside)
        p.run(folder, name)
        tally.add("runs")
        if planted.intact():
            tally.add("FAULT device at the page's name touched", p.name)


def bundler_setup(args, folder, image_bytes=0):
    """A kit, a page of the example with its images, and the page's name; one
    image `image_bytes` long when asked, so that a bundle takes a while."""
    kit = os.path.join(folder, "kit")
    os.makedirs(os.path.join(kit, "Graph", "network"))
    os.makedirs(os.path.join(kit, "VR", "style"))
    for path, data in (("jsapi", b"var loader = 1;\n"), ("Graph/network/network.js", b"var n = 1;\n"),
                       ("VR/style/noimage.png", b"\x89PNG\r\n\x1a\nplaceholder")):
        with open(os.path.join(kit, path), "wb") as f:
            f.write(data)
    site = os.path.join(folder, "site")
    os.mkdir(site)
    shutil.copy(os.path.join(args.examples, "ontology.lst"), site)
    shutil.copytree(os.path.join(args.examples, "img"), os.path.join(site, "img"))
    if image_bytes:
        with open(os.path.join(site, "img", "sungnyemun.png"), "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n" + bytes(image_bytes))
    program = Program("_self.htm=" + args.program_self, None)
    if not says_success(program.run(site, "ontology.lst"), "ontology_self.htm"):
        raise SystemExit("the page for the bundler cannot be made")
    return kit, site, "ontology_self.htm"


def bundle(args, kit, site, page, *extra, **popen):
    cmd = [args.bundler, "--kit", kit, page] + list(extra)
    return subprocess.Popen(cmd, cwd=site, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                            stdin=subprocess.DEVNULL, **popen)


def bundle_outputs(tally, args, top, kinds):
    """The copy's name (-o) names a device whose writes fail, or a link to
    one: the bundle fails, and neither is removed. A link of another user
    there is refused and its target untouched."""
    folder = os.path.join(top, "bundle")
    kit, site, page = bundler_setup(args, folder)
    cases = []
    if os.geteuid() == 0:
        full = os.path.join(folder, "full")
        os.mknod(full, 0o666 | stat.S_IFCHR, os.makedev(1, 7))
        os.symlink(full, os.path.join(site, "to-full.htm"))
        cases += [(full, 6), ("to-full.htm", 6)]
        foreign = os.path.join(site, "foreign.htm")
        os.symlink(os.path.join(folder, "foreign-target"), foreign)
        with open(os.path.join(folder, "foreign-target"), "wb") as f:
            f.write(OUTSIDE)
        os.lchown(foreign, NOBODY, NOBODY)
        cases.append(("foreign.htm", 6))
    for output, status in cases:
        proc = bundle(args, kit, site, page, "-o", output)
        proc.communicate(timeout=120)
        tally.add("bundles")
        if proc.returncode != status:
            tally.add("FAULT bundle exit status", f"-o {output}: {proc.returncode}")
    if os.geteuid() == 0:
        if not stat.S_ISCHR(os.lstat(full).st_mode):
            tally.add("FAULT device named with -o removed", full)
        if not os.path.islink(os.path.join(site, "to-full.htm")):
            tally.add("FAULT link named with -o removed", "to-full.htm")
        if read(os.path.join(folder, "foreign-target")) != OUTSIDE or not os.path.islink(foreign):
            tally.add("FAULT another user's link named with -o followed", "foreign.htm")
    # A name that stands for an open file is written where the descriptor
    # writes, never renamed over the file behind it.
    log = os.path.join(folder, "app.log")
    with open(log, "wb") as f:
        f.write(b"an earlier line\n")
    with open(log, "ab") as f:
        proc = subprocess.Popen([args.bundler, "--kit", kit, page, "-o", "/dev/stdout"], cwd=site, stdout=f,
                                stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
        proc.wait(timeout=120)
    tally.add("bundles")
    written = read(log)
    if proc.returncode != 0 or not written.startswith(b"an earlier line\n") or b"<html" not in written.lower():
        tally.add("FAULT -o /dev/stdout did not append to the log", f"status {proc.returncode}")
    parts = [n for n in os.listdir(site) if ".part-" in n]
    if parts:
        tally.add("FAULT part files left", str(parts))


# ---------------------------------------------------------------- rename race

def plan_version(label):
    """The large plan with one label changed: each version has its own page."""
    return large_plan().replace("\uac00\ub098_0 ".encode(), f"\uac00\ub098_{label} ".encode())


def rename_race(args, programs):
    """The plan is saved by renaming a new file over it while runs are in
    flight (as editors and sed -i save). Every success line must leave a page
    that is whole and of one of the plan's versions."""
    rng = random.Random(args.seed)
    name = "race.lst"
    versions = [plan_version(v) for v in ("A", "B")]
    tally = Tally(f"rename race ({args.tries} tries, seed {args.seed})")
    with tempfile.TemporaryDirectory(prefix="plotweave-race-") as folder:
        plan_path = os.path.join(folder, name)
        for p in programs:
            page_path = os.path.join(folder, p.page(name))
            pages = []
            for v in versions:
                clear(folder)
                with open(plan_path, "wb") as f:
                    f.write(v)
                began = time.monotonic()
                p.run(folder, name)
                span = time.monotonic() - began
                pages.append(read(page_path))
            clear(folder)
            for t in range(args.tries // len(programs)):
                with open(plan_path + ".new", "wb") as f:
                    f.write(versions[t % 2])
                os.rename(plan_path + ".new", plan_path)
                procs = [p.start(folder, name)]
                time.sleep(rng.uniform(0, span / 2))
                with open(plan_path + ".new", "wb") as f:
                    f.write(versions[(t + 1) % 2])
                os.rename(plan_path + ".new", plan_path)
                procs.append(p.start(folder, name))
                while procs:
                    for proc in [q for q in procs if q.poll() is not None]:
                        procs.remove(proc)
                        out = proc.communicate()[0]
                        tally.add("runs")
                        if says_success(out, p.page(name)):
                            now = read(page_path)
                            if now not in pages:
                                tally.add("FAULT empty page after a success line" if not now else
                                          "FAULT wrong page after a success line", f"{p.name} try {t + 1}")
                        else:
                            tally.add("FAULT run failed", f"{p.name} try {t + 1}: {last_line(out)!r}")
                    time.sleep(0.001)
                extra = leftovers_of(folder, name, p.page(name))
                if extra:
                    tally.add("FAULT files left after the runs", f"{p.name} try {t + 1}: {extra}")
    return tally.report()


# ---------------------------------------------------------------- interrupt

def default_signals():
    for s in (signal.SIGINT, signal.SIGHUP, signal.SIGTERM):
        signal.signal(s, signal.SIG_DFL)


def interrupt(args, programs):
    """Runs of a large plan and bundles of a page with a large image, ended by
    SIGINT, SIGTERM and SIGHUP at random moments, leave no file of their
    own; after SIGKILL the next bundle removes what dead bundles left, and
    nothing else."""
    if not args.bundler:
        raise SystemExit("interrupt needs --bundler")
    rng = random.Random(args.seed)
    tally = Tally(f"interrupt ({args.interrupts} a signal, seed {args.seed})")
    interrupted_runs(args, programs, rng, tally)
    interrupted_bundles(args, rng, tally)
    return tally.report()


def interrupt_once(start, sig, span, rng):
    """Starts a process, sends it `sig` at a random moment of its usual
    `span` seconds, and waits for its end; whether the signal ended it."""
    proc = start()
    time.sleep(rng.uniform(0, span))
    proc.send_signal(sig)
    proc.communicate(timeout=300)
    return proc.returncode == -sig


def interrupted_runs(args, programs, rng, tally):
    name = "big.lst"
    with tempfile.TemporaryDirectory(prefix="plotweave-int-") as folder:
        for p in programs:
            clear(folder)
            with open(os.path.join(folder, name), "wb") as f:
                f.write(large_plan())
            page_path = os.path.join(folder, p.page(name))
            began = time.monotonic()
            p.run(folder, name)
            span = time.monotonic() - began
            expected = read(page_path)
            for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
                caught = 0
                for k in range(args.interrupts):
                    caught += interrupt_once(lambda: subprocess.Popen(
                        p.command(name), cwd=folder, stdout=subprocess.DEVNULL, stdin=subprocess.DEVNULL,
                        preexec_fn=default_signals), sig, span, rng)
                    tally.add("interrupted runs")
                    case = f"{p.name} {signal.Signals(sig).name} {k + 1}"
                    if read(page_path) != expected:
                        tally.add("FAULT page not whole", case)
                    left = leftovers_of(folder, name, p.page(name))
                    if left:
                        tally.add("FAULT files left by an interrupted run", f"{case}: {left}")
                        for n in left:
                            os.remove(os.path.join(folder, n))
                tally.counts[f"{p.name} {signal.Signals(sig).name} landed during a run"] = caught


def interrupted_bundles(args, rng, tally):
    with tempfile.TemporaryDirectory(prefix="plotweave-int-") as folder:
        kit, site, page = bundler_setup(args, folder, args.image_mib * KIB * KIB)
        copy = page.rsplit(".", 1)[0] + ".standalone.htm"
        began = time.monotonic()
        if bundle(args, kit, site, page).wait(timeout=300) != 0:
            raise SystemExit("the large bundle fails")
        span = time.monotonic() - began
        expected = read(os.path.join(site, copy))

        def parts():
            return sorted(n for n in os.listdir(site) if n.startswith(copy + ".part-"))

        for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP, signal.SIGKILL):
            caught = 0
            for k in range(args.interrupts):
                caught += interrupt_once(lambda: bundle(args, kit, site, page, preexec_fn=default_signals),
                                         sig, span, rng)
                tally.add("interrupted bundles")
                case = f"{signal.Signals(sig).name} {k + 1}"
                if read(os.path.join(site, copy)) != expected:
                    tally.add("FAULT copy not whole", case)
                if sig != signal.SIGKILL:
                    if parts():
                        tally.add("FAULT part file left", f"{case}: {parts()}")
                    continue
                if parts():
                    tally.add("killed bundles that left a part file")
                # What is not a dead bundle's own part file stays: a live
                # process's, and a link.
                alive = f"{copy}.part-{os.getpid()}-0"
                with open(os.path.join(site, alive), "wb") as f:
                    f.write(b"a live writer's")
                os.symlink(os.path.join(folder, "kit", "jsapi"), os.path.join(site, f"{copy}.part-999999999-0"))
                if bundle(args, kit, site, page).wait(timeout=300) != 0:
                    tally.add("FAULT bundle after a kill failed", case)
                left = parts()
                if left != sorted([alive, f"{copy}.part-999999999-0"]):
                    tally.add("FAULT part files after the bundle that followed a kill", f"{case}: {left}")
                for n in left:
                    os.remove(os.path.join(site, n))
            tally.counts[f"{signal.Signals(sig).name} landed during a bundle"] = caught
            if caught < args.interrupts // 4:
                tally.add("FAULT too few signals landed during a bundle", f"{signal.Signals(sig).name}: {caught}")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("test", choices=("full-disk", "concurrent", "kill", "lock", "working-names", "rename-race",
                                         "interrupt"))
    parser.add_argument("--program", action="append", required=True, help="SUFFIX=PATH")
    parser.add_argument("--runner", help="program that runs each program (the Wine wrapper)")
    parser.add_argument("--examples", required=True, help="folder of the example plans")
    parser.add_argument("--disk-kib", type=int, default=256)
    parser.add_argument("--left-kib", type=int, nargs="+", default=[0, 1, 2, 4, 8, 12, 16, 24])
    parser.add_argument("--runs", type=int, default=16)
    parser.add_argument("--rounds", type=int, default=10)
    parser.add_argument("--kills", type=int, default=200)
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("--tries", type=int, default=600)
    parser.add_argument("--interrupts", type=int, default=8)
    parser.add_argument("--image-mib", type=int, default=48)
    parser.add_argument("--bundler", help="plotweave-bundle, for the tests that take it")
    args = parser.parse_args()
    if args.seed is None:
        args.seed = random.randrange(1 << 30)
    programs = [Program(arg, args.runner) for arg in args.program]
    # The bundler's page is made by the first program (plotweave_self).
    args.program_self = programs[0].path
    if args.bundler:
        args.bundler = os.path.abspath(args.bundler)
    tests = {"full-disk": full_disk, "concurrent": concurrent, "kill": kill, "lock": lock,
             "working-names": working_names, "rename-race": rename_race, "interrupt": interrupt}
    return tests[args.test](args, programs)


if __name__ == "__main__":
    sys.exit(main())
