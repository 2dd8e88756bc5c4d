#!/usr/bin/env python3
"""Whole-program benchmark: Plotweave against iconv and cp on the same files.

Generates its inputs from a fixed seed, then times in one run, alternating
ours and theirs round by round:
  (a1) plotweave_self on a large UTF-8 plan whose Hangul all lies in KS X 1001
       against iconv -f UTF-8 -t CP949 on the same file;
  (a2) the same on a UTF-8 plan about 60 % Hangul drawn from all 11,172
       syllables (most of them become numeric references), with symbols
       outside KS X 1001 and characters beyond U+FFFF;
  (a3) plotweave_self on the text of (a2) as UTF-16LE against
       iconv -f UTF-16LE -t CP949;
  (b)  the page encoder alone on large KS text with many references (the
       scratch text of (a2)) against iconv -f CP949 -t UTF-8;
  (c)  plotweave_self on a KS plan at full capacity against cp of it;
  (d) and (e) plotweave-check against plotweave_self on the plans of (c) and
       (a1): checking must take well under converting;
  (f) plotweave-bundle on the example page against cp of it, and
  (g) plotweave-bundle on a page of 512 picture nodes (64 KiB each, in the
      title and the image value) against base64 of the pictures it inlines,
      once each;
  (h) the same with each picture used once (in the image value only);
  (i) plotweave-bundle on a page whose 100 nodes share one 2 MB picture
      against base64 of it.
For (a1)-(a3) it also times the file traffic every run on a Unicode plan
makes, with nothing converted (bench/file_traffic): the plan read, the
scratch copy of the size the run writes written, read back and removed.
iconv cannot put the byte-order mark or characters beyond U+FFFF into CP949,
so the iconv side of (a1)-(a3) runs with -c, which drops them.
Prints the median wall time of each, the ratio ours / theirs, the spread of
the rounds, and the peak resident memory of every program (GNU time).
Only the standard library is used.

With --baseline DIR, the programs of a second build (an earlier commit, say)
run in the same rounds, so that before and after meet the same load.

Usage: bench/whole_program.py [--build DIR] [--baseline DIR] [--megabytes N] [--rounds N] [--only a1,b,...]
"""

import argparse
import os
import random
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

SEED = 20261207
LETTERS = "abcdefghijklmnopqrstuvwxyz"


def ks_syllables():
    # The 2,350 syllables of KS X 1001, so iconv and Plotweave both map them.
    return [bytes([lead, trail]).decode("cp949") for lead in range(0xB0, 0xC9) for trail in range(0xA1, 0xFF)]


def all_syllables():
    return [chr(cp) for cp in range(0xAC00, 0xD7A4)]


# Characters a modern editor writes that KS X 1001 lacks: the euro sign, an en
# dash's neighbours, arrows, and characters beyond U+FFFF (emoji, rare hanja).
EXTRA_SYMBOLS = ["\u20ac", "\u2013", "\u2014", "\u21e8", "\u2713", "\u00e9", "\u00fc"]
ASTRAL = ["\U0001F600", "\U0001F4A1", "\U0001F680", "\U00020B9F", "\U0002A6A5"]


def ks_words(rng, count):
    syllables = ks_syllables()
    words = []
    for _ in range(count):
        if rng.random() < 0.5:
            words.append("".join(rng.choice(syllables) for _ in range(rng.randint(2, 5))))
        else:
            words.append("".join(rng.choice(LETTERS) for _ in range(rng.randint(3, 9))))
    return words


def mixed_words(rng, count):
    # Mostly Hangul from every syllable; one word in twenty carries a symbol
    # outside KS X 1001, one in forty a character beyond U+FFFF.
    syllables = all_syllables()
    words = []
    for _ in range(count):
        roll = rng.random()
        if roll < 0.9:
            word = "".join(rng.choice(syllables) for _ in range(rng.randint(3, 8)))
        else:
            word = "".join(rng.choice(LETTERS) for _ in range(rng.randint(3, 8)))
        extra = rng.random()
        if extra < 0.05:
            word += rng.choice(EXTRA_SYMBOLS)
        elif extra < 0.075:
            word += rng.choice(ASTRAL)
        words.append(word)
    return words


def plan_block(rng, words, lines, label_words):
    out = ["#PROJECT\nh1 Benchmark_plan\n#CLASS\nPerson darkred box 1\n#NODES\n"]
    for i in range(lines):
        label = "_".join(rng.choice(words) for _ in range(rng.randint(*label_words)))
        out.append("n%05d Person %s /p/%d\n" % (i, label, i))
    return "".join(out)


def write_repeated(path, prefix, block, size):
    with open(path, "wb") as f:
        f.write(prefix)
        written = 0
        while written < size:
            f.write(block)
            written += len(block)


def ks_with_references(text):
    # The plan normaliser's scratch text: KS X 1001 as KS code, everything
    # else as one five-digit reference per UTF-16 unit.
    out = []
    for ch in text:
        if ord(ch) < 0x80:
            out.append(ch.encode("ascii"))
            continue
        try:
            code = ch.encode("cp949")
        except UnicodeEncodeError:
            code = b""
        if len(code) == 2 and code[0] >= 0xA1 and code[1] >= 0xA1:
            out.append(code)
            continue
        units = ch.encode("utf-16-be")
        for k in range(0, len(units), 2):
            out.append(b"&#%05d;" % (units[k] << 8 | units[k + 1]))
    return b"".join(out)


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


def bundle_inputs(work, program, examples):
    """A kit, the example page, two pages of 512 picture nodes (pictures.htm,
    once.htm) and one of 100 nodes sharing a picture (shared/shared.htm), in
    work/bundle; returns the folder."""
    folder = os.path.join(work, "bundle")
    rng = random.Random(SEED)
    kit = os.path.join(folder, "kit")
    for path, data in (("jsapi", b"var google = {};\n"),
                       ("Graph/network/network.js", b"var drawn = '</script>' + 1;\n" * 12000),
                       ("VR/style/noimage.png", b"\x89PNG\r\n\x1a\n" + bytes(1000))):
        os.makedirs(os.path.dirname(os.path.join(kit, path)), exist_ok=True)
        with open(os.path.join(kit, path), "wb") as f:
            f.write(data)
    shutil.copytree(examples, os.path.join(folder, "ex"))
    subprocess.run([program, "ontology.lst"], stdout=subprocess.DEVNULL, cwd=os.path.join(folder, "ex"), check=True)
    with open(os.path.join(folder, "ex", "ontology_self.htm"), "rb") as f:
        lines = f.read().split(b"\n")
    os.makedirs(os.path.join(folder, "img"))
    row = (b"        nodesTable.addRow(['n%03d', 'Gate_image', '', '<a href=\"/n/%d.html\" target=\"_self\">"
           b"%s</a>', 'image', '%s', '/n/%d.html']);")
    rows = []
    once = []
    for i in range(512):
        image = b"img/n%03d.png" % i
        with open(os.path.join(folder, image.decode()), "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n" + rng.randbytes(65536 - 8))
        rows.append(row % (i, i, b"<img src=\"%s\"/>" % image, image, i))
        once.append(row % (i, i, b"n%03d" % i, image, i))
    # The example's own node rows give way to others.
    first = next(i for i, line in enumerate(lines) if line.strip().startswith(b"nodesTable.addRow(['p001'"))
    last = max(i for i, line in enumerate(lines) if line.strip().startswith(b"nodesTable.addRow("))
    os.makedirs(os.path.join(folder, "shared", "img"))
    with open(os.path.join(folder, "shared", "img", "big.png"), "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + rng.randbytes((2 << 20) - 8))
    shared = [row % (i, i, b"<img src=\"img/big.png\"/>", b"img/big.png", i) for i in range(100)]
    for name, these in (("pictures.htm", rows), ("once.htm", once), ("shared/shared.htm", shared)):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(b"\n".join(lines[:first] + these + lines[last + 1:]))
    return folder


def run(argv, cwd):
    """Runs a command; returns its wall time and its processor time (user and
    system, of the command and its children) in seconds."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, cwd=cwd)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall, cpu


def peak_resident_kib(argv, cwd):
    # GNU time reports the peak of the program itself; a fork from this
    # interpreter would count the interpreter's pages as well.
    done = subprocess.run(["/usr/bin/time", "-f", "%M"] + argv, stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE, cwd=cwd, text=True)
    return int(done.stderr.strip().splitlines()[-1])


def iconv(source, target, path, sink):
    return ["sh", "-c", 'exec iconv -c -f %s -t %s "$0" > "$1"' % (source, target), path, sink]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("--megabytes", type=int, default=100)
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--only", default="", help="comma-separated cases, e.g. a2,b")
    parser.add_argument("--baseline", default="", help="a second build timed in the same rounds")
    args = parser.parse_args()

    def tools(build, required=True):
        found = (os.path.abspath(os.path.join(build, "app", "plotweave_self")),
                 os.path.abspath(os.path.join(build, "bench", "encode_page")),
                 os.path.abspath(os.path.join(build, "check", "plotweave-check")),
                 os.path.abspath(os.path.join(build, "bench", "file_traffic")),
                 os.path.abspath(os.path.join(build, "bundle", "plotweave-bundle")))
        for tool in found:
            if required and not os.access(tool, os.X_OK):
                sys.exit("missing %s: build first (make build)" % tool)
        # A baseline from before a tool existed runs without it.
        return tuple(tool if os.access(tool, os.X_OK) else None for tool in found)

    program, encoder, checker, traffic, bundler = tools(args.build)
    base_program, base_encoder, base_checker, _, base_bundler = (tools(args.baseline, False) if args.baseline
                                                                 else (None,) * 5)

    rng = random.Random(SEED)
    size = args.megabytes * 1024 * 1024
    work = tempfile.mkdtemp(prefix="plotweave-bench-")
    try:
        words = ks_words(rng, 2000)
        ks_block = plan_block(rng, words, 20000, (1, 3))
        write_repeated(os.path.join(work, "ks.lst"), b"\xef\xbb\xbf", ks_block.encode("utf-8"), size)

        # A block the size of a few megabytes repeated: every reference and
        # every syllable still comes round often, as in a real plan.
        mixed_block = plan_block(rng, mixed_words(rng, 4000), 8000, (10, 16))
        hangul = sum(1 for ch in mixed_block if 0xAC00 <= ord(ch) <= 0xD7A3)
        astral = sum(1 for ch in mixed_block if ord(ch) > 0xFFFF)
        write_repeated(os.path.join(work, "mixed.lst"), b"\xef\xbb\xbf", mixed_block.encode("utf-8"), size)
        write_repeated(os.path.join(work, "wide.lst"), b"\xff\xfe", mixed_block.encode("utf-16-le"), size)
        mixed_scratch = ks_with_references(mixed_block)
        ks_text = os.path.join(work, "page.out")
        write_repeated(ks_text, b"", mixed_scratch, size)
        # Scratch bytes per plan byte, for the file traffic a run cannot avoid.
        ks_ratio = len(ks_with_references(ks_block)) / len(ks_block.encode("utf-8"))
        mixed_ratio = len(mixed_scratch) / len(mixed_block.encode("utf-8"))
        wide_ratio = len(mixed_scratch) / len(mixed_block.encode("utf-16-le"))
        full_plan = os.path.join(work, "full.lst")
        with open(full_plan, "wb") as f:
            f.write(full_capacity_plan(rng, words).encode("cp949"))

        sink = os.path.join(work, "sink")
        page = os.path.join(work, "page.htm")
        examples = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples")
        bundled = bundle_inputs(work, program, examples)
        copy = os.path.join(work, "copy.htm")
        def commands(program, encoder, checker, bundler):
            return {
                "a1": [program, "ks.lst"],
                "a2": [program, "mixed.lst"],
                "a3": [program, "wide.lst"],
                "b": [encoder, ks_text, page],
                "c": [program, "full.lst"],
                "d": [checker, "full.lst"],
                "e": [checker, "ks.lst"],
                "f": [bundler, "--kit", "bundle/kit", "bundle/ex/ontology_self.htm", "-o", copy],
                "g": [bundler, "--kit", "bundle/kit", "bundle/pictures.htm", "-o", copy],
                "h": [bundler, "--kit", "bundle/kit", "bundle/once.htm", "-o", copy],
                "i": [bundler, "--kit", "bundle/kit", "bundle/shared/shared.htm", "-o", copy],
            }
        ours = commands(program, encoder, checker, bundler)
        base = commands(base_program, base_encoder, base_checker, base_bundler) if args.baseline else {}
        theirs = {
            "a1": iconv("UTF-8", "CP949", os.path.join(work, "ks.lst"), sink),
            "a2": iconv("UTF-8", "CP949", os.path.join(work, "mixed.lst"), sink),
            "a3": iconv("UTF-16LE", "CP949", os.path.join(work, "wide.lst"), sink),
            "b": iconv("CP949", "UTF-8", ks_text, sink),
            "c": ["cp", full_plan, sink],
            "d": [program, "full.lst"],
            "e": [program, "ks.lst"],
            "f": ["cp", os.path.join(bundled, "ex", "ontology_self.htm"), sink],
            # Each picture is inlined once, though its title and image value use it.
            "g": ["sh", "-c", 'cat "$0"/img/* | base64 -w0 > "$1"', bundled, sink],
            "h": ["sh", "-c", 'cat "$0"/img/* | base64 -w0 > "$1"', bundled, sink],
            "i": ["sh", "-c", 'base64 -w0 "$0"/shared/img/big.png > "$1"', bundled, sink],
        }
        scratch = os.path.join(work, "traffic.asc")
        floors = {
            "a1": [traffic, "ks.lst", scratch, "%.4f" % ks_ratio],
            "a2": [traffic, "mixed.lst", scratch, "%.4f" % mixed_ratio],
            "a3": [traffic, "wide.lst", scratch, "%.4f" % wide_ratio],
        }
        # Each case runs ours, theirs, then the baseline and the file traffic
        # alone where they apply.
        cases = {k: [ours[k], theirs[k]] + ([base[k]] if base and base[k][0] else []) + ([floors[k]] if k in floors else [])
                 for k in ours}
        has_base = {k: bool(base and base[k][0]) for k in ours}
        goals = {"a1": 0.25, "a2": 0.4, "a3": 0.25, "b": 0.25, "c": 1.3, "d": 1.0, "e": 1.0, "f": 2.0, "g": 1.0, "h": 1.0,
                 "i": 1.5}
        mb = args.megabytes
        names = {
            "a1": "(a1) UTF-8 plan, %d MB, KS X 1001 Hangul: plotweave vs iconv -c -f UTF-8 -t CP949" % mb,
            "a2": "(a2) UTF-8 plan, %d MB, %.0f %% Hangul of all syllables, %d astral per block: "
                  "plotweave vs iconv -c -f UTF-8 -t CP949" % (mb, 100.0 * hangul / len(mixed_block), astral),
            "a3": "(a3) UTF-16LE plan (%d MB), text of (a2): plotweave vs iconv -c -f UTF-16LE -t CP949"
                  % (os.path.getsize(os.path.join(work, "wide.lst")) >> 20),
            "b": "(b) page encoder, %d MB KS text with references: EncodePage vs iconv -f CP949 -t UTF-8" % mb,
            "c": "(c) full-capacity plan (%d bytes): plotweave vs cp" % os.path.getsize(full_plan),
            "d": "(d) full-capacity plan: plotweave-check vs plotweave",
            "e": "(e) UTF-8 plan of (a1): plotweave-check vs plotweave",
            "f": "(f) example page: plotweave-bundle vs cp",
            "g": "(g) page of 512 picture nodes, 64 KiB each: plotweave-bundle vs base64 of what it inlines",
            "h": "(h) the same, each picture used once: plotweave-bundle vs base64 of what it inlines",
            "i": "(i) 100 nodes sharing a 2 MB picture: plotweave-bundle vs base64 of the picture",
        }
        if args.only:
            wanted = args.only.split(",")
            cases = {k: v for k, v in cases.items() if k in wanted}

        def clear_outputs():
            # Outputs left by the previous command would make the next one pay
            # for truncating them.
            for name in os.listdir(work):
                if name.endswith(".htm") or name in ("sink", "traffic.asc"):
                    os.remove(os.path.join(work, name))

        times = {k: [[] for _ in argvs] for k, argvs in cases.items()}
        for _ in range(args.rounds):
            for key, argvs in cases.items():
                for side, argv in enumerate(argvs):
                    clear_outputs()
                    times[key][side].append(run(argv, work))
        have_time = os.access("/usr/bin/time", os.X_OK)
        for key, argvs in cases.items():
            # Wall time is what counts; processor time is less disturbed by
            # other work on a shared machine, so both are shown.
            wall = [statistics.median(t for t, _ in side) for side in times[key]]
            cpu = [statistics.median(c for _, c in side) for side in times[key]]
            walls = [t for t, _ in times[key][0]]
            print(names[key])
            print("    ours %8.2f ms   theirs %8.2f ms   ratio %.3f (goal %.2f)   ours range %.2f-%.2f ms"
                  % (wall[0] * 1000, wall[1] * 1000, wall[0] / wall[1], goals[key],
                     min(walls) * 1000, max(walls) * 1000))
            print("    processor time: ours %.2f ms, theirs %.2f ms, ratio %.3f"
                  % (cpu[0] * 1000, cpu[1] * 1000, cpu[0] / cpu[1]))
            if has_base[key]:
                print("    baseline %8.2f ms   ratio %.3f   processor time %.2f ms, ratio %.3f"
                      % (wall[2] * 1000, wall[2] / wall[1], cpu[2] * 1000, cpu[2] / cpu[1]))
            if key in floors:
                # Reading the plan, writing the scratch copy, reading it back
                # and removing it, with nothing converted: no run can be
                # faster than this.
                print("    file traffic alone %8.2f ms   ratio %.3f   processor time %.2f ms, ratio %.3f"
                      % (wall[-1] * 1000, wall[-1] / wall[1], cpu[-1] * 1000, cpu[-1] / cpu[1]))
            if key in ("f", "g", "h", "i"):
                # The size of the copy, ours and the baseline's.
                sizes = []
                for argv in [argvs[0]] + ([argvs[2]] if has_base[key] else []):
                    clear_outputs()
                    subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, cwd=work)
                    sizes.append(os.path.getsize(copy) if os.path.exists(copy) else -1)
                print("    copy: ours %d bytes%s" % (sizes[0], ", baseline %d bytes" % sizes[1] if has_base[key] else ""))
            if have_time:
                # Ours, theirs and the baseline; the file traffic's is not shown.
                peaks = []
                for argv in argvs[:3 if has_base[key] else 2]:
                    clear_outputs()
                    peaks.append(peak_resident_kib(argv, work) / 1024)
                print("    peak resident: ours %.2f MiB, theirs %.2f MiB%s"
                      % (peaks[0], peaks[1], ", baseline %.2f MiB" % peaks[2] if has_base[key] else ""))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
