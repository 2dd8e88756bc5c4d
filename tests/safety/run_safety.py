#!/usr/bin/env python3
"""Runs the programs where runs go wrong for real and checks what they leave.

  full-disk    each example on a small tmpfs with 0 to 24 KiB left (root only)
  concurrent   many runs of one plan at once, round after round
  kill         runs ended by SIGKILL at random moments, each followed by a
               run to completion
  lock         a run waits while its plan is locked, and only then (POSIX)

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
            with open(os.path.join(folder, "a.lst"), "rb") as held:
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
                early = leftovers_of(folder, "a.lst", "b.lst", (p.page("b.lst"),))
                if early:
                    tally.add("FAULT waiting run touched files", f"{p.name}: {early}")
            out, _ = waiting.communicate(timeout=60)
            tally.add("runs")
            if not says_success(out, p.page("a.lst")):
                tally.add("FAULT waiting run did not finish once the lock was free", f"{p.name}: {last_line(out)!r}")
            if sorted(os.listdir(folder)) != sorted(["a.lst", "b.lst", p.page("a.lst"), p.page("b.lst")]):
                tally.add("FAULT files left", f"{p.name}: {sorted(os.listdir(folder))}")
    return tally.report()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("test", choices=("full-disk", "concurrent", "kill", "lock"))
    parser.add_argument("--program", action="append", required=True, help="SUFFIX=PATH")
    parser.add_argument("--runner", help="program that runs each program (the Wine wrapper)")
    parser.add_argument("--examples", required=True, help="folder of the example plans")
    parser.add_argument("--disk-kib", type=int, default=256)
    parser.add_argument("--left-kib", type=int, nargs="+", default=[0, 1, 2, 4, 8, 12, 16, 24])
    parser.add_argument("--runs", type=int, default=16)
    parser.add_argument("--rounds", type=int, default=10)
    parser.add_argument("--kills", type=int, default=200)
    parser.add_argument("--seed", type=int, default=None)
    args = parser.parse_args()
    if args.seed is None:
        args.seed = random.randrange(1 << 30)
    programs = [Program(arg, args.runner) for arg in args.program]
    tests = {"full-disk": full_disk, "concurrent": concurrent, "kill": kill, "lock": lock}
    return tests[args.test](args, programs)


if __name__ == "__main__":
    sys.exit(main())
