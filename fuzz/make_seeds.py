#!/usr/bin/env python3
"""Writes the committed seed corpus under fuzz/corpus/ from the examples and a
few hand-made cases. Run from the source tree; existing seeds are replaced.

  corpus/plan  plans (KS code, UTF-8, UTF-16, malformed UTF-8) for the plan
               reader, the normaliser and the whole run; the run_ seeds start
               with an obstacle byte 0xF1..0xF7 that only run_fuzz reads
  corpus/page  intermediate pages for the page encoder
  corpus/ks    code pairs for the character lookups

Inputs that once failed a target are kept next to these as finding_* files;
the script leaves them alone.
"""
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile

root = pathlib.Path(__file__).resolve().parent.parent
corpus = root / "fuzz" / "corpus"


def write(kind, name, data):
    d = corpus / kind
    d.mkdir(parents=True, exist_ok=True)
    (d / name).write_bytes(data)


def main(program=None):

    examples = root / "examples"
    ks_plan = (examples / "ontology.lst").read_bytes()
    utf8_plan = (examples / "ontology-utf8.lst").read_bytes()
    for f in sorted(examples.glob("*.lst")):
        write("plan", "example_" + f.stem, f.read_bytes())
    text = utf8_plan[3:].decode("utf-8")
    write("plan", "example_utf16be", b"\xFE\xFF" + text.encode("utf-16-be"))
    write("plan", "example_crlf", ks_plan.replace(b"\n", b"\r\n"))

    small = (b"#PROJECT\nh1 Title_of_it\n#CLASS\nPlace blue dot 1\nPerson red box\n"
             b"#RELATION\nnear gray line 1\n#NODES\nk001 Place Here /a.html img/a.png 1\n"
             b"k002 Person There /b.html\nk003\nk004 Place\n#LINKS\nk001 k002 near\nk002 k001 near\n")
    write("plan", "small", small)
    write("plan", "invalid_class", b"#NODES\nk001 Person Jane\n")
    write("plan", "invalid_link", b"#CLASS\nP b d\n#NODES\nk001 P J\n#LINKS\nk001 k009 r\n")
    write("plan", "invalid_relation", b"#CLASS\nP b d\n#NODES\nk001 P J\n#LINKS\nk001 k001 r\n")
    write("plan", "overlong_fields", b"#CLASS\nPlace blue dot\n#NODES\nk001 Place " + b"L" * 45 +
          b" /" + b"u" * 600 + b"\n#PROJECT\nh1 " + b"t" * 1200 + b"\n")
    write("plan", "headers_lower_and_unknown", b"#proj\nh1 x\n#OTHER\nzzzzz\n#nodes\nk001\n")
    write("plan", "empty", b"")
    write("plan", "one_byte", b"#")
    write("plan", "ef_bb_only", b"\xEF\xBB")
    write("plan", "ef_bb_other", b"\xEF\xBBA#NODES\n")
    write("plan", "utf16le_odd", b"\xFF\xFE#\x00N\x00O\x00D\x00E\x00S\x00\n\x00A")
    write("plan", "utf16le_ffe0000", b"\xFF\xFE\x00\x00#\x00")
    write("plan", "utf16be_surrogates", b"\xFE\xFF\xD8\x3D\xDE\x00\xDC\x00\xD8\x00\x00A")
    write("plan", "utf16be_zero_units", b"\xFE\xFF\x00\x00\xAC\x00\x00\n")
    bom = b"\xEF\xBB\xBF"
    write("plan", "utf8_malformed",
          bom + b"#NODES\nk\x80\xBF\xC1\x81 \xED\xA0\x80\xF8\xFF\xFE\xE0\x80 \xF4\x90\x80\x80\n")
    write("plan", "utf8_truncated", bom + b"#CLASS\nab \xE2\x82")
    write("plan", "utf8_supplementary", bom + "#PROJECT\nh1 \U0001F600 \u20AC \uAC02 \u00B7\n".encode())
    write("plan", "utf8_escapes", bom + b"#PROJECT\nh1 U+AC00 &#44032; &#x41; U+zz U+1\n")
    write("plan", "utf8_compat_arrows", bom + "#PROJECT\nh1 \uF900\uFA0B\u21D2\u21D4\n".encode())
    for obstacle in range(1, 8):
        write("plan", "run_obstacle%d" % obstacle, bytes([0xF0 | obstacle]) + small)
        write("plan", "run_obstacle%d_utf8" % obstacle, bytes([0xF0 | obstacle]) + utf8_plan)

    # Intermediate pages: the one the example gives, and the edge cases of a chunk.
    if program:
        with tempfile.TemporaryDirectory() as d:
            shutil.copy(examples / "ontology.lst", d)
            os.mkdir(os.path.join(d, "ontology_self.htm"))  # the conversion fails, the page stays
            subprocess.run([program, "ontology.lst"], cwd=d, stdout=subprocess.DEVNULL, check=True)
            write("page", "example_page", pathlib.Path(d, "ontology.out").read_bytes())
    write("page", "escapes", b"U+AC00 U+ac00 U+0041 U+00E9 U+12345 U+zz41 U+AB1\nU+\n")
    write("page", "references", b"&#44032; &#044032 &#65x &#+65; &# 65; &#x41; &#; &#-5; "
                                 b"&#99999999999999999999; &#55357;&#56832; &#56832;&#55357;\n")
    write("page", "ks_pairs", b"\xB0\xA1 \x85\n\xB0\n\xC8\xFF \xFF\xFF \xA2\xA1\r\n\t\x7F\x00zz\n\xB0")
    write("page", "long_line", b"a" * 19998 + b"\xB0\xA1\n")
    write("ks", "pairs", bytes([0xB0, 0xA1, 0xA2, 0xA1, 0x21, 0xD2, 0xF9, 0x00, 0xFA, 0x0B, 0xCA, 0xFF]))
    write("ks", "edges", bytes([0x80, 0x00, 0xFF, 0xFF, 0xC8, 0xFE, 0xAC, 0xFF, 0x89, 0x21]))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else None)
