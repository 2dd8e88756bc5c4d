"""What a plan means, read here independently of the program, and a plan
generator that fills every table to its capacity.

The reader covers the plans the tests give it (nothing cut, nothing past a
capacity): sections, fields split at blanks, the node rule's field counts,
underscores as blanks and \\' as an apostrophe in the texts the page shows,
numeric references and U+ escapes as characters."""

import codecs
import random
import re

SECTIONS = {"#PROJ": "captions", "#CLAS": "classes", "#RELA": "relations", "#NODE": "nodes", "#LINK": "links"}
NODE_STYLES = ["box", "text", "circle", "ellipse", "database", "dot", "star", "triangle", "triangleDown",
               "square", "diamond", "hexagon", "image", "circularImage", "rect", "label", "cloud"]
LINE_STYLES = ["line", "arrow", "arrow-center", "dash-line", "dash-arrow", "moving-arrows", "moving-dot", "zigzag"]
COLOURS = ["darkred", "DarkBlue", "#0a0", "#1e90ff", "rgb(10,20,30)", "silver", "rebeccapurple", "no-such"]


def characters(text):
    """References and U+ escapes as the page encoder reads them."""
    def reference(m):
        return chr(int(m.group(1), 16)) if m.group(1) else chr(int(m.group(2)))
    text = re.sub(r"U\+([0-9A-Fa-f]{4})|&#(\d+);", reference, text)
    return text.encode("utf-16", "surrogatepass").decode("utf-16")


def caption(text):
    """A caption stands in the page as markup: only its underscores change."""
    return characters(text.replace("_", " "))


def display(text):
    """A label or link text is a script string, which drops the backslash of an escape."""
    return re.sub(r"\\(['\"\\])", r"\1", caption(text))


def decode(raw):
    for bom, codec in ((codecs.BOM_UTF8, "utf-8"), (codecs.BOM_UTF16_LE, "utf-16-le"),
                       (codecs.BOM_UTF16_BE, "utf-16-be")):
        if raw.startswith(bom):
            return raw[len(bom):].decode(codec)
    return raw.decode("euc-kr")


def read_plan_text(path):
    with open(path, "rb") as f:
        return decode(f.read())


def read_plan(path):
    text = read_plan_text(path)
    plan = {name: [] for name in SECTIONS.values()}
    section = None
    for line in text.replace("\r\n", "\n").split("\n"):
        # The reader's blanks only (str.split would split at \x1c-\x1f too).
        fields = re.findall(r"[^ \t\n\v\f\r]+", line)
        if len(line) + 1 < 5 or not fields:
            continue
        if fields[0].startswith("#"):
            section = SECTIONS.get(fields[0][:5].upper())
            continue
        if section == "captions":
            plan[section].append((fields[0], caption(line[len(fields[0]):].strip(" \t"))))
        elif section in ("classes", "relations"):
            flag = int(fields[3]) if len(fields) > 3 else (1 if section == "classes" else 0)
            f = fields + ["", ""]
            plan[section].append((characters(f[0]), f[1], f[2], flag))
        elif section == "nodes":
            f = fields + [""] * (6 - len(fields))
            if len(fields) < 3:
                f[1:3] = [f[1] or "dummy", "unnamed"]
            picture = 1 if len(fields) == 6 and f[5] == "1" else 0
            plan[section].append((characters(f[0]), display(f[2]), characters(f[1]), characters(f[3]),
                                  characters(f[4]), picture))
        elif section == "links":
            plan[section].append((characters(fields[0]), characters(fields[1]), characters(fields[2])))
    return plan


# Ids that are no Turtle local names, no XML names and need quoting in DOT;
# a node id holds no blank.
ODD_IDS = ["a'b", "a\\'b", "x.y.", "-lead", "a%41", "q&a", "<t>", 'say"so', "ids:colon", "back\\slash",
           "한글id", "&#55348;&#56606;clef", "U+AC00id", "9lives", "semi;colon"]
WORDS = ["서울", "한양_도성", "Jane\\'s_house", "&#55357;&#56832;smile", "U+AC00U+B098", "Namsan", "정도전",
         "sign_&_<tag>", "\"quoted\"", "세종&#55348;&#56606;"]


def full_plan(seed=22):
    """A KS plan at every capacity: 10 captions, 100 classes, 100 relations,
    512 node lines (one of them repeating an id) and 800 links, with every
    style, Hangul, references beyond U+FFFF and apostrophes."""
    rng = random.Random(seed)
    lines = ["#PROJECT"]
    for i in range(10):
        lines.append(f"h{i % 6 + 1} Caption_{i}_{rng.choice(WORDS)} and {rng.choice(WORDS)}")
    lines.append("#CLASS")
    for i in range(100):
        flag = "" if i % 3 == 2 else f" {i % 2}"
        lines.append(f"C{i}_분류 {COLOURS[i % len(COLOURS)]} {NODE_STYLES[i % len(NODE_STYLES)]}{flag}")
    lines.append("#RELATION")
    for i in range(100):
        flag = "" if i % 3 == 2 else f" {i % 2}"
        lines.append(f"r{i}_관계 {COLOURS[(i + 3) % len(COLOURS)]} {LINE_STYLES[i % len(LINE_STYLES)]}{flag}")
    lines.append("#NODES")
    ids = ODD_IDS + [f"n{i:03d}" for i in range(511 - len(ODD_IDS))]
    for i, node in enumerate(ids + [ids[-1]]):
        fields = [node, f"C{rng.randrange(100)}_분류", f"{rng.choice(WORDS)}_{i}"]
        shape = i % 4
        if shape >= 1:
            fields.append(f"/pages/{i}.html?a=1&b='x'")
        if shape >= 2:
            fields.append(f"img/{i}.png")
        if shape == 3:
            fields.append(str(i % 2))
        lines.append(" ".join(fields))
    lines.append("#LINKS")
    for i in range(800):
        lines.append(f"{rng.choice(ids)} {rng.choice(ids)} r{rng.randrange(100)}_관계")
    text = "\n".join(lines) + "\n"
    # KS text, with a reference for each code unit KS code lacks, as the
    # normaliser writes one.
    out = bytearray()
    for ch in text:
        try:
            out += ch.encode("euc-kr")
        except UnicodeEncodeError:
            for unit in range(0, len(ch.encode("utf-16-be")), 2):
                out += b"&#%05d;" % int.from_bytes(ch.encode("utf-16-be")[unit:unit + 2], "big")
    return bytes(out)
