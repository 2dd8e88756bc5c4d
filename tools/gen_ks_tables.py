#!/usr/bin/env python3
"""Writes the constant character tables:
  kscode/ks_tables_generated.cc         what the programs read: the forward
                                        tables and the reverse index
  kscode/ks_reverse_pairs_generated.cc  what only the tests read: the reverse
                                        table the index is made from, and the
                                        compatibility ideographs' folds

Usage: tools/gen_ks_tables.py          write the files
       tools/gen_ks_tables.py --check  exit 1 if a committed file is stale

Only the standard library is used. The output depends on nothing but this
script and the cp949 codec and unicodedata of the running Python, and is
byte-identical on every run.

KS X 1001 part (symbols, Hangul, hanja, the reverse table) comes from the
cp949 codec with these deliberate changes:
  A1AD -> U+007E; A2E6, A2E7 and every empty position of rows A1..AC -> U+003F
  (142 positions); CDE7 -> U+6C69; the 268 hanja that cp949 maps to
  U+F900..U+FA0B -> 0 in the forward table and left out of the reverse table,
  where they are folded onto their unified ideographs instead (canonical
  decomposition, except U+F92C -> U+90DE and U+F9B8 -> U+96B7, whose
  decompositions are not KS X 1001 hanja). U+00AE, U+20AC and U+223C have no
  reverse mapping. A2A1/A2A2 keep cp949's U+21D2/U+21D4 (the forward lookup
  reads positions 69/73 for them instead).

Extended hanja area: our own data, built by this rule.
  Code index of a first-area pair: 4889 + (lead - 0xA1) * 128 + (trail - 0x21).
  "Hangul pair": a byte pair where cp949 has one of its 8,822 additional
  syllables (leads 81..A0 with trails 41-5A/61-7A/81-FE, leads A1..C5 with
  trails 41-5A/61-7A/81-A0, C6 41..52).
  The random source is SplitMix64 seeded with SEED; rand(n) is the next
  output modulo n; shuffle is Fisher-Yates from the last element down.
  Sets are always turned into ascending lists before a random pick, and a
  pick of m from a list is the first m of its shuffle.
  1. Pinned entries (PINNED_TABLE, PINNED_LIST, SECOND_AREA) are placed first.
  2. Zero positions of the table, drawn in this order:
     a. 4,889..7,744: none.
     b. 7,745..10,784: 7,745 and 7,947 plus 249 more Hangul pairs and 328
        non-Hangul pairs (579 in all). 11 Hangul zeros (7,947 included) and
        30 non-Hangul zeros above 7,947 carry list pairs; the remaining 240
        Hangul zeros are what makes exactly 2,902 Hangul pairs map.
     c. 10,785..14,941: 16 zeros; one of them carries a list pair.
     d. 14,942..16,805: 34 filled (16,796 and 33 drawn from 14,943..16,795);
        32 list pairs (15,009, 15,240 and 30 drawn from the zeros other than
        14,942 and 16,797..16,805).
     Pinned positions are never drawn.
  3. Values. POOL is U+4E0C..U+9FA5 less every code point that KS X 1001
     maps to (either side of the CDE7 change) and less every pinned value,
     shuffled. Filled table positions in ascending order take the next pool
     value, then the unpinned list pairs in ascending order do.
  4. Of the unpinned first-area list pairs, after the one of 2c: the 2c pair
     holds U+8CDA (a KS X 1001 hanja too); 7 drawn pairs take Extension A
     ideographs drawn from U+3541..U+4A9B (less pinned values).
  5. Further duplicates, drawn from unpinned, not yet touched positions:
     two table values copied onto another table position each; one table
     value copied onto a list pair; one KS X 1001 hanja put on a table
     position. With U+79B6 (10,010 and 14,140) and U+8CDA these are the six
     code points that stand at more than one code index.
  The second area holds exactly SECOND_AREA.
"""

import sys
import unicodedata
from pathlib import Path

SEED = 0x504C4F5457454156
KSCODE = Path(__file__).resolve().parent.parent / "kscode"
TABLES_OUTPUT = KSCODE / "ks_tables_generated.cc"
PAIRS_OUTPUT = KSCODE / "ks_reverse_pairs_generated.cc"

FIRST_AREA_START = 4889
FIRST_AREA_END = 16805
LAST_INDEX = 19877

PINNED_TABLE = {
    4889: 0x4EEE, 4890: 0x50A2, 4921: 0x5676, 5016: 0x55DB, 5017: 0x5C92,
    6786: 0x788F, 7744: 0x9EE0, 10010: 0x79B6, 10784: 0x64F7, 10785: 0x4F67,
    14140: 0x79B6, 14941: 0x80B8, 16796: 0x91DB,
}
PINNED_ZERO = {7745, 14942, 16805}
PINNED_LIST = {7947: 0x8E01, 15009: 0x7C34, 15240: 0x3A7B}
SECOND_AREA = [
    ((0x93, 0x60), 0x7F59), ((0x93, 0x62), 0x72F5), ((0x93, 0x70), 0x7506),
    ((0x93, 0x76), 0x7A21), ((0x99, 0x61), 0x5DD9), ((0x9A, 0x8A), 0x7A0F),
    ((0x9A, 0x8C), 0x58C4), ((0x9B, 0x48), 0x7499), ((0x9B, 0x61), 0x3540),
    ((0x9B, 0x97), 0x6D24), ((0x9C, 0x53), 0x50AA), ((0x9C, 0x56), 0x397D),
    ((0x9C, 0x61), 0x4A9C), ((0x9C, 0x65), 0x6AC4), ((0x9D, 0x4A), 0x5D96),
    ((0x9E, 0x23), 0x3668), ((0x9E, 0x66), 0x9733), ((0xA0, 0x8F), 0x5CCD),
]

# Rows A1..AC positions that hold U+003F: cp949's empty ones plus A2E6, A2E7.
QUESTION_RANGES = [
    (0xA2E6, 0xA2FE), (0xA5AB, 0xA5AF), (0xA5BA, 0xA5C0), (0xA5D9, 0xA5E0),
    (0xA5F9, 0xA5FE), (0xA6E5, 0xA6FE), (0xA7F0, 0xA7FE), (0xA8A5, 0xA8A5),
    (0xA8A7, 0xA8A7), (0xA8B0, 0xA8B0), (0xAAF4, 0xAAFE), (0xABF7, 0xABFE),
    (0xACC2, 0xACD0), (0xACF2, 0xACFE),
]
FOLD_EXCEPTIONS = {0xF92C: 0x90DE, 0xF9B8: 0x96B7}

REVERSE_WINDOWS = [(0, 885, 0x00A1, 0x33DD), (885, 5505, 0x4E00, 0x9F9C),
                   (5505, 7855, 0xAC00, 0xD79D), (7855, 7955, 0xFF01, 0xFFE6)]


class Rng:
    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFFFFFFFFFF

    def next(self):
        self.state = (self.state + 0x9E3779B97F4A7C15) & 0xFFFFFFFFFFFFFFFF
        z = self.state
        z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & 0xFFFFFFFFFFFFFFFF
        z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & 0xFFFFFFFFFFFFFFFF
        return z ^ (z >> 31)

    def shuffled(self, items):
        items = sorted(items)
        for i in range(len(items) - 1, 0, -1):
            j = self.next() % (i + 1)
            items[i], items[j] = items[j], items[i]
        return items

    def pick(self, items, count):
        chosen = self.shuffled(items)[:count]
        if len(chosen) != count:
            raise SystemExit("not enough candidates to draw %d" % count)
        return chosen


def fail(message):
    raise SystemExit("gen_ks_tables: " + message)


def expect(condition, message):
    if not condition:
        fail(message)


def cp949(lead, trail):
    try:
        text = bytes([lead, trail]).decode("cp949")
    except UnicodeDecodeError:
        return None
    return ord(text) if len(text) == 1 else None


def is_cp949_hangul_pair(lead, trail):
    low = 0x41 <= trail <= 0x5A or 0x61 <= trail <= 0x7A
    if 0x81 <= lead <= 0xA0:
        return low or 0x81 <= trail <= 0xFE
    if 0xA1 <= lead <= 0xC5:
        return low or 0x81 <= trail <= 0xA0
    return lead == 0xC6 and 0x41 <= trail <= 0x52


def first_area_pair(index):
    offset = index - FIRST_AREA_START
    return 0xA1 + offset // 128, 0x21 + offset % 128


def second_area_index(lead, trail):
    if 0x99 <= lead <= 0xA0:
        return 16806 + (lead - 0x99) * 128 + (trail - 0x21)
    if 0x91 <= lead <= 0x98:
        return 17830 + (lead - 0x91) * 128 + (trail - 0x21)
    return 18854 + (lead - 0x89) * 128 + (trail - 0x21)


def build_ks_x_1001():
    ks = {}
    for lead in range(0xA1, 0xFE):
        for trail in range(0xA1, 0xFF):
            cp = cp949(lead, trail)
            if cp is not None:
                ks[(lead, trail)] = cp
    expect(len(ks) == 8226, "cp949 gives %d KS X 1001 characters" % len(ks))
    return ks


def build_symbols(ks):
    question = set()
    for first, last in QUESTION_RANGES:
        for code in range(first, last + 1):
            question.add((code >> 8, code & 0xFF))
    expect(len(question) == 142, "question positions")
    table = []
    for lead in range(0xA1, 0xAD):
        for trail in range(0xA1, 0xFF):
            cp = ks.get((lead, trail))
            if (lead, trail) == (0xA1, 0xAD):
                cp = 0x007E
            elif (lead, trail) in question:
                expect(cp is None or (lead, trail) in ((0xA2, 0xE6), (0xA2, 0xE7)),
                       "position %02X%02X is not empty in cp949" % (lead, trail))
                cp = 0x003F
            expect(cp is not None, "empty symbol %02X%02X" % (lead, trail))
            table.append(cp)
    return table


def build_hangul(ks):
    table = [ks[(lead, trail)] for lead in range(0xB0, 0xC9) for trail in range(0xA1, 0xFF)]
    expect(table[0] == 0xAC00 and table[-1] == 0xD79D, "Hangul ends")
    return table


def build_hanja(ks):
    table = []
    for lead in range(0xCA, 0xFE):
        for trail in range(0xA1, 0xFF):
            cp = ks[(lead, trail)]
            if 0xF900 <= cp <= 0xFA0B:
                cp = 0
            elif (lead, trail) == (0xCD, 0xE7):
                cp = 0x6C69
            table.append(cp)
    expect(len(table) == 4888 and table.count(0) == 268, "hanja counts")
    return table


def build_extended(ks, ks_hanja):
    rng = Rng(SEED)
    table = {k: 0 for k in range(FIRST_AREA_START, FIRST_AREA_END + 1)}
    listed = {}
    table.update(PINNED_TABLE)
    listed.update(PINNED_LIST)
    pinned = set(PINNED_TABLE) | set(PINNED_LIST) | PINNED_ZERO

    def hangul_index(k):
        return is_cp949_hangul_pair(*first_area_pair(k))

    # Zero positions.
    zeros = set(PINNED_ZERO) | set(PINNED_LIST)
    r2 = range(7745, 10785)
    free2 = [k for k in r2 if k not in pinned]
    hangul_zero = rng.pick([k for k in free2 if hangul_index(k)], 249)
    plain_zero = rng.pick([k for k in free2 if not hangul_index(k)], 328)
    zeros.update(hangul_zero, plain_zero)
    list2 = rng.pick([k for k in hangul_zero if k > 7947], 10)
    list2 += rng.pick([k for k in plain_zero if k > 7947], 30)
    free3 = [k for k in range(10785, 14942) if k not in pinned]
    zero3 = rng.pick(free3, 16)
    zeros.update(zero3)
    list3 = zero3[0]
    fill4 = set(rng.pick([k for k in range(14943, 16796) if k not in pinned], 33))
    fill4.add(16796)
    zeros.update(k for k in range(14942, 16806) if k not in fill4)
    list4 = rng.pick([k for k in zeros if 14943 <= k <= 16796 and k not in pinned], 30)

    # Values.
    used_by_ks = set(ks.values()) | {0x6C69}
    pinned_values = (set(PINNED_TABLE.values()) | set(PINNED_LIST.values())
                     | {cp for _, cp in SECOND_AREA} | {0x8CDA})
    pool = rng.shuffled([cp for cp in range(0x4E0C, 0x9FA6)
                         if cp not in used_by_ks and cp not in pinned_values])
    deal = iter(pool)
    for k in sorted(table):
        if k in zeros or k in PINNED_TABLE:
            continue
        table[k] = next(deal)
    list_free = sorted(list2 + list4)
    for k in list_free:
        listed[k] = next(deal)
    listed[list3] = 0x8CDA
    ext_pool = [cp for cp in range(0x3541, 0x4A9C) if cp not in pinned_values]
    ext_pairs = rng.pick(list_free, 7)
    for k, cp in zip(sorted(ext_pairs), rng.pick(ext_pool, 7)):
        listed[k] = cp

    # Further duplicates.
    touched = set(ext_pairs) | pinned | {list3}
    table_free = [k for k in sorted(table) if table[k] and k not in touched]
    picks = rng.pick(table_free, 6)
    table[picks[1]] = table[picks[0]]
    table[picks[3]] = table[picks[2]]
    list_target = rng.pick([k for k in list_free if k not in touched], 1)[0]
    listed[list_target] = table[picks[4]]
    table[picks[5]] = rng.pick(sorted(set(ks_hanja) - {0, 0x8CDA}), 1)[0]

    for (lead, trail), cp in SECOND_AREA:
        listed[second_area_index(lead, trail)] = cp
    return [table[k] for k in range(FIRST_AREA_START, FIRST_AREA_END + 1)], sorted(listed.items())


def build_reverse(ks):
    pairs = []
    for (lead, trail), cp in ks.items():
        if 0xF900 <= cp <= 0xFA0B or cp in (0x00AE, 0x20AC, 0x223C):
            continue
        if (lead, trail) == (0xCD, 0xE7):
            cp = 0x6C69
        pairs.append((cp, lead, trail))
    pairs.sort()
    expect(len(pairs) == 7955, "reverse table has %d pairs" % len(pairs))
    expect(all(0xA1 <= lead <= 0xFD and 0xA1 <= trail <= 0xFE for _, lead, trail in pairs),
           "reverse code outside KS X 1001")
    expect(len({(lead, trail) for _, lead, trail in pairs}) == len(pairs), "reverse codes not unique")
    for (a, _, _), (b, _, _) in zip(pairs, pairs[1:]):
        expect(a < b, "reverse code points not unique")
    for first, end, low, high in REVERSE_WINDOWS:
        expect(pairs[first][0] == low and pairs[end - 1][0] == high, "window %d" % first)
    return pairs


def build_fold(reverse):
    held = {cp for cp, _, _ in reverse}
    fold = []
    for cp in range(0xF900, 0xFA0C):
        value = FOLD_EXCEPTIONS.get(cp)
        if value is None:
            value = int(unicodedata.decomposition(chr(cp)), 16)
        expect(value in held, "U+%04X folds outside KS X 1001" % cp)
        fold.append(value)
    return fold


def build_reverse_index(reverse, fold):
    # What a search of the code point's window gives, for every 16-bit unit,
    # as lead << 8 | trail (0 for none); a compatibility ideograph takes the
    # code of its unified ideograph.
    index = [0] * 0x10000
    for first, end, low, high in REVERSE_WINDOWS:
        for cp, lead, trail in reverse[first:end]:
            if low <= cp <= high:
                index[cp] = lead << 8 | trail
    for i, cp in enumerate(fold):
        index[0xF900 + i] = index[cp]
    return index


def verify_extended(ideographs, supplements):
    # The stated layout, checked on the data as it is written out: a rule
    # change that breaks it stops the generator. The C++ tests check the
    # lookups over the compiled tables, not these counts again.
    ext = ideographs[FIRST_AREA_START - 1:]
    listed = dict(supplements)

    def count(lo, hi):
        part = ext[lo - FIRST_AREA_START:hi - FIRST_AREA_START + 1]
        zero = [k for k in range(lo, hi + 1) if ext[k - FIRST_AREA_START] == 0]
        return len(part) - len(zero), len(zero), sum(1 for k in zero if k in listed)

    expect(count(4889, 7744) == (2856, 0, 0), "range 1")
    expect(count(7745, 10784) == (2461, 579, 41), "range 2")
    expect(count(10785, 14941) == (4141, 16, 1), "range 3")
    expect(count(14942, 16805) == (34, 1830, 32), "range 4")
    filled = [k for k, cp in enumerate(ext, FIRST_AREA_START) if cp]
    expect(filled[-1] == 16796, "last filled code index %d" % filled[-1])
    expect(all(0x4E0C <= ext[k - FIRST_AREA_START] <= 0x9FA5 for k in filled),
           "extended table value outside U+4E0C..U+9FA5")
    expect(len(supplements) == 92 and supplements[0][0] == 7947
           and supplements[-1][0] == 18171, "list ends")
    expect(sum(1 for _, cp in supplements if 0x3540 <= cp <= 0x4A9C) == 12, "Extension A")
    seen = {}
    for k, cp in list(enumerate(ideographs, 1)) + supplements:
        if cp:
            seen[cp] = seen.get(cp, 0) + 1
    expect(sum(1 for n in seen.values() if n > 1) == 6, "duplicates")
    mapped = 0
    for lead in range(0x81, 0xC7):
        for trail in range(0x41, 0xFF):
            if not is_cp949_hangul_pair(lead, trail):
                continue
            if lead >= 0xA1:
                k = FIRST_AREA_START + (lead - 0xA1) * 128 + (trail - 0x21)
                mapped += bool(ideographs[k - 1] or k in listed)
            elif lead >= 0x89 and trail <= 0xA0:
                mapped += second_area_index(lead, trail) in listed
    expect(mapped == 2902, "%d Hangul pairs map" % mapped)


def rows(values, per_line, fmt):
    lines = []
    for i in range(0, len(values), per_line):
        lines.append("    " + " ".join(fmt(v) + "," for v in values[i:i + per_line]))
    return "\n".join(lines)


def render():
    ks = build_ks_x_1001()
    symbols = build_symbols(ks)
    hangul = build_hangul(ks)
    hanja = build_hanja(ks)
    extended, supplements = build_extended(ks, hanja)
    ideographs = hanja + extended
    verify_extended(ideographs, supplements)
    reverse = build_reverse(ks)
    fold = build_fold(reverse)
    reverse_index = build_reverse_index(reverse, fold)

    hex4 = "0x{:04X}".format

    def source(header, *tables):
        out = ["// Generated by tools/gen_ks_tables.py. Do not edit; run the script instead.",
               '#include "kscode/%s"' % header, "", "namespace plotweave {", ""]
        for declaration, text in tables:
            out += [declaration + " = {", text, "};", ""]
        out += ["}  // namespace plotweave", ""]
        return "\n".join(out)

    tables = source(
        "ks_tables.h",
        ("const uint16_t KsSymbolTable[kKsSymbolCount]", rows(symbols, 16, hex4)),
        ("const uint16_t KsHangulTable[kKsHangulCount]", rows(hangul, 16, hex4)),
        ("const uint32_t KsIdeographTable[kKsIdeographCount]", rows(ideographs, 16, hex4)),
        ("// Code index in decimal, then code point.\n"
         "const KsSupplementPair KsSupplementList[kKsSupplementCount]",
         rows(supplements, 6, lambda p: "{%d, 0x%04X}" % p)),
        ("const uint16_t KsReverseIndexTable[kKsReverseIndexCount]",
         rows(reverse_index, 16, lambda v: hex4(v) if v else "0")))
    pairs = source(
        "ks_reverse_pairs.h",
        ("const KsReversePair KsReverseTable[kKsReverseCount]",
         rows(reverse, 5, lambda p: "{0x%04X, 0x%02X, 0x%02X}" % p)),
        ("const uint16_t CompatFoldTable[kCompatFoldCount]", rows(fold, 16, hex4)))
    return {TABLES_OUTPUT: tables, PAIRS_OUTPUT: pairs}


def main(argv):
    if len(argv) > 2 or (len(argv) == 2 and argv[1] != "--check"):
        print("usage: gen_ks_tables.py [--check]", file=sys.stderr)
        return 2
    outputs = render()
    if len(argv) == 2:
        stale = 0
        for path, text in outputs.items():
            try:
                current = path.read_text(encoding="utf-8")
            except OSError as error:
                print("gen_ks_tables: cannot read %s: %s" % (path, error), file=sys.stderr)
                stale += 1
                continue
            if current != text:
                print("gen_ks_tables: %s is out of date; run tools/gen_ks_tables.py" % path,
                      file=sys.stderr)
                stale += 1
        return 1 if stale else 0
    for path, text in outputs.items():
        path.write_text(text, encoding="utf-8", newline="\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
