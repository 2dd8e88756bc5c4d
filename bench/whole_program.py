#!/usr/bin/env python3
"""Whole-program benchmark: Plotweave against iconv and cp on the same files.

Generates its inputs, then times in one run, alternating round by round:
  (a) plotweave_self on a large UTF-8 plan with a byte-order mark (far beyond
      the tables' capacity, so the plan normaliser dominates) against
      iconv -f UTF-8 -t CP949 on the same file;
  (b) the page encoder alone on large KS-coded text against
      iconv -f CP949 -t UTF-8;
  (c) plotweave_self on a plan at full capacity against cp of the same file;
  (d) and (e) plotweave-check against plotweave_self on the plans of (c) and
      (a): checking must take well under converting.
Prints the median wall time of each, the ratio ours / theirs, and the peak
resident memory of every program. Only the standard library is used.

Usage: bench/whole_program.py [--build DIR] [--megabytes N] [--rounds N]
"""

import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time


def hangul_words(rng, count):
    # Syllables of the 2,350 that KS X 1001 holds, so iconv maps them too.
    syllables = []
    for lead in range(0xB0, 0xC9):
        for trail in range(0xA1, 0xFF):
            syllables.append(bytes([lead, trail]).decode("cp949"))
    letters = "abcdefghijklmnopqrstuvwxyz"
    words = []
    for _ in range(count):
        if rng.random() < 0.5:
            words.append("".join(rng.choice(syllables) for _ in range(rng.randint(2, 5))))
        else:
            words.append("".join(rng.choice(letters) for _ in range(rng.randint(3, 9))))
    return words


def plan_block(rng, words, lines):
    out = ["#PROJECT\nh1 Benchmark_plan\n#CLASS\nPerson darkred box 1\n#NODES\n"]
    for i in range(lines):
        label = "_".join(rng.choice(words) for _ in range(rng.randint(1, 3)))
        out.append("n%05d Person %s /people/%d.html\n" % (i, label, i))
    return "".join(out)


def write_repeated(path, prefix, block, size):
    with open(path, "wb") as f:
        f.write(prefix)
        written = 0
        while written < size:
            f.write(block)
            written += len(block)


def full_capacity_plan(rng, words):
    out = ["#PROJECT\n"]
    for i in range(10):
        out.append("h%d Caption_%s\n" % (i % 6 + 1, "_".join(rng.choice(words) for _ in range(20))))
    out.append("#CLASS\n")
    for i in range(100):
        out.append("Class%03d darkred box %d\n" % (i, i % 2))
    out.append("#RELATION\n")
    for i in range(100):
        out.append("rel%03d gray arrow %d\n" % (i, i % 2))
    out.append("#NODES\n")
    for i in range(512):
        label = "".join(rng.choice(words) for _ in range(3))[:12]
        address = "/pages/%s/%d/%s.html" % ("x" * 60, i, "y" * 150)
        image = "/images/%s/%d.png" % ("z" * 90, i)
        out.append("n%03d Class%03d %s %s %s %d\n" % (i, i % 100, label, address, image, i % 3 % 2))
    out.append("#LINKS\n")
    for i in range(800):
        out.append("n%03d n%03d rel%03d\n" % (i % 512, (i * 7 + 1) % 512, i % 100))
    return "".join(out)


def run(argv, cwd):
    """Runs a command; returns its wall time in seconds."""
    start = time.perf_counter()
    subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, cwd=cwd)
    return time.perf_counter() - start


def peak_resident_kib(argv, cwd):
    # GNU time reports the peak of the program itself; a fork from this
    # interpreter would count the interpreter's pages as well.
    done = subprocess.run(["/usr/bin/time", "-f", "%M"] + argv, stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE, cwd=cwd, text=True)
    return int(done.stderr.strip().splitlines()[-1])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("--megabytes", type=int, default=100)
    parser.add_argument("--rounds", type=int, default=5)
    args = parser.parse_args()
    program = os.path.abspath(os.path.join(args.build, "app", "plotweave_self"))
    encoder = os.path.abspath(os.path.join(args.build, "bench", "encode_page"))
    checker = os.path.abspath(os.path.join(args.build, "check", "plotweave-check"))
    for tool in (program, encoder, checker):
        if not os.access(tool, os.X_OK):
            sys.exit("missing %s: build first (make build)" % tool)

    rng = random.Random(20261207)
    words = hangul_words(rng, 2000)
    size = args.megabytes * 1024 * 1024
    work = tempfile.mkdtemp(prefix="plotweave-bench-")
    try:
        block = plan_block(rng, words, 20000)
        big_plan = os.path.join(work, "big.lst")
        write_repeated(big_plan, b"\xef\xbb\xbf", block.encode("utf-8"), size)
        ks_text = os.path.join(work, "page.out")
        write_repeated(ks_text, b"", block.encode("cp949"), size)
        full_plan = os.path.join(work, "full.lst")
        with open(full_plan, "wb") as f:
            f.write(full_capacity_plan(rng, words).encode("cp949"))

        sink = os.path.join(work, "sink")
        page = os.path.join(work, "page.htm")
        cases = {
            "a": (
                [program, "big.lst"],
                # iconv stops at the byte-order mark, which CP949 cannot hold; -c passes over it.
                ["sh", "-c", 'exec iconv -c -f UTF-8 -t CP949 "$0" > "$1"', big_plan, sink],
            ),
            "b": (
                [encoder, ks_text, page],
                ["sh", "-c", 'exec iconv -f CP949 -t UTF-8 "$0" > "$1"', ks_text, sink],
            ),
            "c": ([program, "full.lst"], ["cp", full_plan, sink]),
            "d": ([checker, "full.lst"], [program, "full.lst"]),
            "e": ([checker, "big.lst"], [program, "big.lst"]),
        }
        names = {
            "a": "(a) UTF-8 plan, %d MB: plotweave vs iconv -f UTF-8 -t CP949" % args.megabytes,
            "b": "(b) page encoder, %d MB KS text: EncodePage vs iconv -f CP949 -t UTF-8" % args.megabytes,
            "c": "(c) full-capacity plan (%d bytes): plotweave vs cp" % os.path.getsize(full_plan),
            "d": "(d) full-capacity plan: plotweave-check vs plotweave",
            "e": "(e) UTF-8 plan, %d MB: plotweave-check vs plotweave" % args.megabytes,
        }
        def clear_outputs():
            # Outputs left by the previous command would make the next one pay
            # for truncating them.
            for name in (sink, page, os.path.join(work, "big_self.htm"), os.path.join(work, "full_self.htm")):
                if os.path.exists(name):
                    os.remove(name)

        times = {k: ([], []) for k in cases}
        for _ in range(args.rounds):
            for key, (ours, theirs) in cases.items():
                for side, argv in enumerate((ours, theirs)):
                    clear_outputs()
                    times[key][side].append(run(argv, work))
        have_time = os.access("/usr/bin/time", os.X_OK)
        for key, (ours_argv, theirs_argv) in cases.items():
            ours = statistics.median(times[key][0])
            theirs = statistics.median(times[key][1])
            print(names[key])
            print("    ours %8.1f ms   theirs %8.1f ms   ratio %.3f" % (ours * 1000, theirs * 1000, ours / theirs))
            if have_time:
                clear_outputs()
                ours_kib = peak_resident_kib(ours_argv, work)
                clear_outputs()
                theirs_kib = peak_resident_kib(theirs_argv, work)
                print("    peak resident: ours %.2f MiB, theirs %.2f MiB" % (ours_kib / 1024, theirs_kib / 1024))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
