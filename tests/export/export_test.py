"""plotweave-export checked by the programs its files are for.

    export_test.py CHECK --program EXE [--runner WINE-RUN] --examples DIR

CHECK is one of dot, networkx, rdflib, cyjs, csv, conventions. Each exports
every example plan and a plan filled to every capacity, and has its
consumer read the result. A consumer that is not installed skips the check
(exit 77)."""

import argparse
import csv
import glob
import io
import json
import os
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import plans  # noqa: E402

SKIP = 77
OWL = "http://www.w3.org/2002/07/owl#"


def skip(why):
    print(f"SKIP: {why}")
    sys.exit(SKIP)


class Exporter:
    def __init__(self, program, runner):
        self.command = ([runner] if runner else []) + [program]

    def run(self, *args, check=True):
        done = subprocess.run(self.command + list(args), capture_output=True, timeout=120)
        # Under Wine a run now and then ends before the program starts, when
        # other tests start and stop Wine processes at the same moment: its
        # status is then none the program gives (0, 1 or 2). One more try
        # tells that apart from a fault of the program, which repeats.
        if len(self.command) > 1 and done.returncode not in (0, 1, 2):
            done = subprocess.run(self.command + list(args), capture_output=True, timeout=120)
        if check and done.returncode != 0:
            raise AssertionError(f"{args}: exit {done.returncode}: {done.stderr.decode(errors='replace')}")
        return done

    def to(self, plan, fmt, *extra):
        return self.run(plan, "--to", fmt, "-o", "-", *extra).stdout


def cases(work, examples):
    """(plan path, what the plan says, node ids in first-use order)."""
    full = os.path.join(work, "full.lst")
    with open(full, "wb") as f:
        f.write(plans.full_plan())
    # The same plan as UTF-8 with a byte-order mark goes through the normaliser.
    os.mkdir(os.path.join(work, "utf8"))
    full8 = os.path.join(work, "utf8", "full.lst")
    with open(full8, "wb") as f:
        f.write(b"\xef\xbb\xbf" + plans.characters(plans.read_plan_text(full)).encode("utf-8"))
    paths = sorted(glob.glob(os.path.join(examples, "*.lst"))) + [full, full8]
    for path in paths:
        plan = plans.read_plan(path)
        first = {}
        for node in plan["nodes"]:
            first.setdefault(node[0], node)
        yield path, plan, first


def check_dot(exporter, work, examples):
    if shutil.which("dot") is None:
        skip("graphviz (dot) is not installed")
    rendered = set()
    for path, plan, nodes in cases(work, examples):
        graph = exporter.to(path, "dot")
        if graph in rendered:
            continue  # the UTF-8 copy of a plan gives the same graph
        rendered.add(graph)
        # Laying out a thousand labelled links takes dot many minutes; with
        # straight lines and short searches for fewer crossings it takes
        # seconds and draws the same nodes and links.
        options = ["-Gsplines=line", "-Gmclimit=0.05", "-Gsearchsize=10", "-Gnslimit=0.2",
                   "-Gnslimit1=0.2"] if len(plan["links"]) > 100 else []
        # One layout, both renderings.
        svg_path, pdf_path = os.path.join(work, "graph.svg"), os.path.join(work, "graph.pdf")
        done = subprocess.run(["dot", "-Tsvg", "-o", svg_path, "-Tpdf", "-o", pdf_path] + options, input=graph,
                              capture_output=True, timeout=900)
        assert done.returncode == 0 and done.stderr == b"", (path, done.stderr.decode(errors="replace"))
        out = {}
        for fmt, name in (("svg", svg_path), ("pdf", pdf_path)):
            with open(name, "rb") as f:
                out[fmt] = f.read()
        assert out["pdf"].startswith(b"%PDF-"), path
        svg = ET.fromstring(out["svg"])
        ns = "{http://www.w3.org/2000/svg}"
        titles = [g.find(ns + "title").text for g in svg.iter(ns + "g") if g.get("class") == "node"]
        # A DOT id keeps its backslashes doubled; a label shows one.
        assert sorted(titles) == sorted(i.replace("\\", "\\\\") for i in nodes), path
        texts = {t.text for t in svg.iter(ns + "text")}
        missing = {n[1].strip() for n in nodes.values()} - texts
        assert not missing, (path, sorted(missing)[:5])
        edges = [g for g in svg.iter(ns + "g") if g.get("class") == "edge"]
        assert len(edges) == len(plan["links"]), path


def networkx():
    try:
        import networkx as nx
    except ImportError:
        skip("python3-networkx is not installed")
    from networkx.readwrite import gexf
    # networkx before 3.0 knows the GEXF drafts only; the 1.3 namespaces are
    # all it lacks to read the final format.
    gexf.GEXF.versions.setdefault("1.3", {
        "NS_GEXF": "http://gexf.net/1.3", "NS_VIZ": "http://gexf.net/1.3/viz",
        "NS_XSI": "http://www.w3.org/2001/XMLSchema-instance",
        "SCHEMALOCATION": "http://gexf.net/1.3 http://gexf.net/1.3/gexf.xsd", "VERSION": "1.3"})
    return nx


def check_networkx(exporter, work, examples):
    nx = networkx()
    for path, plan, nodes in cases(work, examples):
        classes = {c[0]: c for c in plan["classes"]}
        relations = {r[0]: r for r in plan["relations"]}
        for fmt, read in (("graphml", nx.read_graphml), ("gexf", nx.read_gexf)):
            g = read(io.BytesIO(exporter.to(path, fmt)))
            assert g.number_of_nodes() == len(nodes), (path, fmt)
            assert g.number_of_edges() == len(plan["links"]), (path, fmt)
            for node_id, (_, label, cls, address, image, picture) in nodes.items():
                got = g.nodes[node_id]
                assert got["label"] == label and got["class"] == cls, (path, fmt, node_id, got)
                assert got.get("address", "") == address and got.get("image", "") == image, (path, fmt, got)
                assert got["picture"] == picture and got["color"] == classes[cls][1], (path, fmt, got)
                assert got["label_flag"] == classes[cls][3], (path, fmt, got)
            links = sorted((s, t, r) for s, t, r in plan["links"])
            got = sorted((s, t, d["relation"]) for s, t, d in g.edges(data=True))
            assert got == links, (path, fmt)
            for _, _, d in g.edges(data=True):
                assert d["label"] == d["relation"].replace("_", " ") and d["color"] == relations[d["relation"]][1]
            if fmt == "graphml":
                for i, (tag, text) in enumerate(plan["captions"], 1):
                    assert g.graph[f"caption{i}_tag"] == tag and g.graph[f"caption{i}_text"] == text, path
            else:
                # Colours a browser knows come as numbers, others not at all.
                for node_id, node in nodes.items():
                    colour = classes[node[2]][1]
                    viz = g.nodes[node_id].get("viz", {})
                    assert ("color" in viz) == (colour != "no-such"), (path, node_id, colour, viz)


def check_rdflib(exporter, work, examples):
    try:
        import rdflib
    except ImportError:
        skip("python3-rdflib is not installed")
    for path, plan, nodes in cases(work, examples):
        base = "http://example.com/plan/x#" if "utf8" in path else None
        g = rdflib.Graph()
        g.parse(data=exporter.to(path, "ttl", *(["--base", base] if base else [])), format="turtle")

        def select(query):
            prefixes = f"PREFIX owl: <{OWL}>\nPREFIX pw: <https://plotweave.example.org/ns/plan#>\n"
            return {tuple(str(v) for v in row) for row in g.query(prefixes + query)}

        # Each query binds its most selective term first: rdflib joins in
        # the order written.
        classes = dict(select("SELECT ?c ?n WHERE { ?c a owl:Class ; rdfs:label ?n }"))
        assert sorted(classes.values()) == sorted(c[0] for c in plan["classes"]), path
        properties = dict(select("SELECT ?p ?n WHERE { ?p a owl:ObjectProperty ; rdfs:label ?n }"))
        assert sorted(properties.values()) == sorted(r[0] for r in plan["relations"]), path
        individuals = {i: (id_, label) for i, id_, label in select(
            "SELECT ?i ?id ?label WHERE { ?i a owl:NamedIndividual ; pw:id ?id ; rdfs:label ?label }")}
        assert len(individuals) == len(nodes), path
        typed = select("SELECT ?i ?c WHERE { ?c a owl:Class . ?i a ?c }")
        assert {individuals[i] + (classes[c],) for i, c in typed} == {n[:3] for n in nodes.values()}, path
        if base:
            assert all(i.startswith(base) for i in individuals), path
        see = {(individuals[i][0], a) for i, a in select("SELECT ?i ?a WHERE { ?i rdfs:seeAlso ?a }")}
        assert see == {(n[0], n[3]) for n in nodes.values() if n[3]}, path
        assertions = [(individuals[a][0], individuals[b][0], properties[p]) for a, p, b in select(
            "SELECT ?a ?p ?b WHERE { ?p a owl:ObjectProperty . ?a ?p ?b }")]
        assert sorted(assertions) == sorted(set(plan["links"])), path
        captions = select("SELECT ?t WHERE { ?p rdfs:subPropertyOf rdfs:comment . ?o a owl:Ontology ; ?p ?t }")
        assert captions == {(text,) for _, text in plan["captions"]}, path


def check_cyjs(exporter, work, examples):
    """The documented shape of Cytoscape.js elements JSON."""
    for path, plan, nodes in cases(work, examples):
        doc = json.loads(exporter.to(path, "cyjs"))
        assert set(doc) >= {"data", "elements"} and set(doc["elements"]) == {"nodes", "edges"}, path
        ids = [n["data"]["id"] for n in doc["elements"]["nodes"]] + [e["data"]["id"] for e in doc["elements"]["edges"]]
        assert len(ids) == len(set(ids)) and all(isinstance(i, str) for i in ids), path
        for element in doc["elements"]["nodes"] + doc["elements"]["edges"]:
            assert set(element) == {"data"} and isinstance(element["data"], dict), path
        got = {n["data"]["id"]: n["data"] for n in doc["elements"]["nodes"]}
        assert got.keys() == nodes.keys(), path
        for node_id, (_, label, cls, address, image, picture) in nodes.items():
            d = got[node_id]
            assert (d["label"], d["class"], d["address"], d["image"], d["picture"]) == \
                (label, cls, address, image, picture), (path, d)
        edges = [(e["data"]["source"], e["data"]["target"], e["data"]["relation"]) for e in doc["elements"]["edges"]]
        assert edges == plan["links"], path
        assert [(c["tag"], c["text"]) for c in doc["data"]["captions"]] == plan["captions"], path
        assert [(c["name"], c["color"], c["style"], c["label_flag"]) for c in doc["data"]["classes"]] == \
            plan["classes"], path


def check_csv(exporter, work, examples):
    for path, plan, _ in cases(work, examples):
        folder = os.path.join(work, os.path.basename(path) + "-tables")
        exporter.run(path, "--to", "csv", "-o", folder)
        tables = {}
        for name in ("nodes", "links", "classes", "relations", "captions"):
            with open(os.path.join(folder, name + ".csv"), "rb") as f:
                raw = f.read()
            assert raw.startswith(b"\xef\xbb\xbf"), (path, name)
            assert raw.count(b"\n") == raw.count(b"\r\n"), (path, name)
            rows = list(csv.reader(io.StringIO(raw[3:].decode("utf-8"), newline="")))
            tables[name] = rows
        assert tables["nodes"][0] == ["id", "label", "class", "address", "image", "picture"], path
        assert [tuple(r[:5]) + (int(r[5]),) for r in tables["nodes"][1:]] == plan["nodes"], path
        assert [tuple(r) for r in tables["links"][1:]] == plan["links"], path
        for name in ("classes", "relations"):
            assert tables[name][0] == ["name", "color", "style", "label_flag"], path
            assert [tuple(r[:3]) + (int(r[3]),) for r in tables[name][1:]] == plan[name], path
        assert [tuple(r) for r in tables["captions"][1:]] == plan["captions"], path


def check_conventions(exporter, work, examples):
    os.chdir(work)
    example = os.path.join(work, "plan.lst")
    shutil.copy(os.path.join(examples, "ontology.lst"), example)
    assert exporter.run("--help").stdout.startswith(b"Usage: plotweave-export")
    assert exporter.run("--version").stdout.startswith(b"plotweave-export (Plotweave) ")
    for args in ([example], [example, "--to", "svg"], ["--to", "dot"], [example, "--to", "csv", "-o", "-"],
                 [example, "--to"], [example, "--frobnicate"], ["missing.lst", "--to", "dot"]):
        done = exporter.run(*args, check=False)
        assert done.returncode == 2, (args, done.returncode, done.stderr.decode(errors="replace"))
    # The default name comes from the base name; a second run replaces it.
    exporter.run("plan.lst", "--to", "gexf")
    exporter.run("plan.lst", "--to", "gexf")
    exporter.run("plan.lst", "--to", "csv")
    assert sorted(os.listdir(work)) == ["plan-csv", "plan.gexf", "plan.lst"], os.listdir(work)
    assert sorted(os.listdir("plan-csv")) == sorted(
        ["nodes.csv", "links.csv", "classes.csv", "relations.csv", "captions.csv"])
    # A refused plan: the checker's findings, exit 1, nothing written.
    with open(example, "rb") as f:
        text = f.read()
    with open("bad.lst", "wb") as f:
        f.write(text.replace(b"s002 Place", b"s002 Plaice").replace(b"g001 s002 nextTo", b"g001 s003 nextTo"))
    done = exporter.run("bad.lst", "--to", "graphml", check=False)
    err = done.stderr.decode()
    line = text[:text.index(b"s002 Place")].count(b"\n") + 1
    assert done.returncode == 1 and f"bad.lst:{line}:6: error:" in err and "Plaice" in err, err
    assert not os.path.exists("bad.graphml") and done.stdout == b""
    # The tables' folder is never reached through a link.
    if sys.platform != "win32" and not exporter.command[0].endswith("wine-run"):
        os.mkdir("elsewhere")
        os.symlink("elsewhere", "linked")
        assert exporter.run("plan.lst", "--to", "csv", "-o", "linked", check=False).returncode == 2
        assert os.listdir("elsewhere") == []
    # Standard output: the same bytes as the file.
    with open("plan.gexf", "rb") as f:
        assert exporter.to("plan.lst", "gexf") == f.read()
    # A link at the output name stays, and what it leads to is replaced whole.
    posix = sys.platform != "win32" and not exporter.command[0].endswith("wine-run")
    if posix:
        with open("target.dot", "w") as f:
            f.write("old")
        os.symlink("target.dot", "link.dot")
        exporter.run("plan.lst", "--to", "dot", "-o", "link.dot")
        assert os.path.islink("link.dot") and open("target.dot", "rb").read().startswith(b"digraph ")
        # A folder that cannot be written: status 2, nothing left behind.
        if os.geteuid() != 0:
            os.mkdir("locked")
            os.chmod("locked", 0o555)
            assert exporter.run("plan.lst", "--to", "ttl", "-o", "locked/x.ttl", check=False).returncode == 2
            assert os.listdir("locked") == []
    assert exporter.run("plan.lst", "--to", "ttl", "-o", "no-such-folder/x.ttl", check=False).returncode == 2
    assert not os.path.exists("no-such-folder")
    leftovers = [n for n in os.listdir(".") + os.listdir("plan-csv") if ".part-" in n or n.endswith(".tmp")]
    assert not leftovers, leftovers


# Colours as a browser takes them, with their numbers, among them the first
# and last of the colour names and names in capitals (a colour field keeps
# 15 bytes).
COLOUR_CASES = {"aliceblue": (240, 248, 255), "YellowGreen": (154, 205, 50), "rebeccapurple": (102, 51, 153),
                "DarkSlateGray": (47, 79, 79), "#0a0": (0, 170, 0), "#1E90FF": (30, 144, 255),
                "rgb(10,20,30)": (10, 20, 30), "rgb(9%,0%,50%)": (23, 0, 128), "#12345678": (18, 52, 86),
                "grey": (128, 128, 128), "nosuchcolour": None, "#12": None, "rgb(1,2)": None}

EDGE_PLAN = """#PROJECT
h1 Caption_with_--&gt;_and_\\'quotes\\'
p{blanks}
#CLASS
dummy gray
Bare
{classes}
#RELATION
rel{blanks}
{relations}
#NODES
k001
k002 dummy
k003 Bare Label_only
k004 Bare Link /a?x=1&y=2
k005 Bare Pic /b img/b.png
k006 Bare Odd /c img/c.png 7
k007 Bare Drawn /d img/d.png 1
{nodes}
#LINKS
k001 k002 rel
k002 k001 rel
k003 k003 rel
{links}
"""


def check_edges(exporter, work, examples):
    """The reader's own cases (a node line of one, two, five fields, a sixth
    field other than 0 or 1, a class without colour or style), UTF-16 big
    endian, and every kind of colour, read back through each format."""
    names = list(COLOUR_CASES)
    text = EDGE_PLAN.format(
        blanks="    ",
        classes="\n".join(f"K{i} {c} box" for i, c in enumerate(names)),
        relations="\n".join(f"R{i} {c} dash-arrow 1" for i, c in enumerate(names)),
        nodes="\n".join(f"c{i} K{i} Colour_{i}" for i in range(len(names))),
        links="\n".join(f"c{i} k001 R{i}" for i in range(len(names))))
    path = os.path.join(work, "edges.lst")
    with open(path, "wb") as f:
        f.write(b"\xfe\xff" + text.encode("utf-16-be"))
    plan = plans.read_plan(path)
    tables = os.path.join(work, "edges-csv")
    exporter.run(path, "--to", "csv", "-o", tables)
    with open(os.path.join(tables, "nodes.csv"), encoding="utf-8-sig", newline="") as f:
        rows = list(csv.reader(f))[1:8]
    # What the reader makes of each line: defaults for missing fields, an
    # address for four, an image for five or six, a picture only for 1.
    assert rows == [["k001", "unnamed", "dummy", "", "", "0"], ["k002", "unnamed", "dummy", "", "", "0"],
                    ["k003", "Label only", "Bare", "", "", "0"], ["k004", "Link", "Bare", "/a?x=1&y=2", "", "0"],
                    ["k005", "Pic", "Bare", "/b", "img/b.png", "0"], ["k006", "Odd", "Bare", "/c", "img/c.png", "0"],
                    ["k007", "Drawn", "Bare", "/d", "img/d.png", "1"]], rows
    with open(os.path.join(tables, "classes.csv"), encoding="utf-8-sig", newline="") as f:
        assert list(csv.reader(f))[1:3] == [["dummy", "gray", "", "1"], ["Bare", "", "", "1"]]
    with open(os.path.join(tables, "captions.csv"), encoding="utf-8-sig", newline="") as f:
        assert list(csv.reader(f))[1:] == [["h1", "Caption with --&gt; and \\'quotes\\'"], ["p", ""]]
    doc = json.loads(exporter.to(path, "cyjs"))
    assert len(doc["elements"]["nodes"]) == len(plan["nodes"]) and len(doc["elements"]["edges"]) == len(plan["links"])
    if shutil.which("dot"):
        done = subprocess.run(["dot", "-Tsvg"], input=exporter.to(path, "dot"), capture_output=True, timeout=300)
        assert done.returncode == 0 and done.stderr == b"", done.stderr
        svg = done.stdout.decode()
        for name, rgb in COLOUR_CASES.items():
            if rgb:
                assert 'stroke="#%02x%02x%02x"' % rgb in svg, name
    try:
        nx = networkx()
    except SystemExit:
        return
    gexf = exporter.to(path, "gexf")
    g = nx.read_gexf(io.BytesIO(gexf))
    # networkx reads the colours of nodes only; those of edges are read here.
    viz = "{http://gexf.net/1.3/viz}"
    edges = {e.get("source"): e.find(viz + "color") for e in ET.fromstring(gexf).iter("{http://gexf.net/1.3}edge")}
    for i, (name, rgb) in enumerate(COLOUR_CASES.items()):
        got = g.nodes[f"c{i}"].get("viz", {}).get("color")
        assert (got and (got["r"], got["g"], got["b"])) == (rgb or None), (name, got)
        got = edges[f"c{i}"]
        assert (got is not None and tuple(int(got.get(c)) for c in "rgb")) == (rgb or False), (name, got)
    shapes = {n.get("id"): n.find(viz + "shape").attrib for n in ET.fromstring(gexf).iter("{http://gexf.net/1.3}node")}
    assert shapes["k007"] == {"value": "image", "uri": "img/d.png"} and shapes["k003"] == {"value": "disc"}

# Characters for random names: markup and escape characters, KS and other
# Hangul, CJK, characters beyond U+FFFF, controls that are no blanks.
POOL = ("<>&\"'\\%.:;-_=/?!$()*+,@[]{}|^`~" + "가힣똠뷁ㄱ" + "漢字" + "\U0001F600\U0001D11E\U00020000" + "\x01\x1f\x7f" +
        "abcXYZ019")


def check_random(exporter, work, examples):
    """Small random plans with names of any characters: every format parses
    in its reader, with the nodes and links of the plan."""
    rng = __import__("random").Random(2022)
    try:
        import rdflib
    except ImportError:
        rdflib = None
    for n in range(40):
        ids = sorted({"".join(rng.choice(POOL) for _ in range(rng.randint(1, 4))) for _ in range(12)})
        ids = [i for i in ids if not i.startswith("#")]
        labels = ["".join(rng.choice(POOL + "_") for _ in range(rng.randint(1, 4))) for _ in ids]
        links = [(rng.choice(ids), rng.choice(ids)) for _ in range(15)]
        text = "#CLASS\nC red box\n#RELATION\nrel blue arrow 1\n#NODES\n" + "".join(
            f"{i} C {label}\n" for i, label in zip(ids, labels)) + "#LINKS\n" + "".join(
            f"{a} {b} rel\n" for a, b in links)
        path = os.path.join(work, f"r{n}.lst")
        with open(path, "wb") as f:
            f.write(b"\xef\xbb\xbf" + text.encode("utf-8"))
        plan = plans.read_plan(path)
        expected = {node[0] for node in plan["nodes"]}
        doc = json.loads(exporter.to(path, "cyjs"))
        assert {e["data"]["id"] for e in doc["elements"]["nodes"]} == expected, (path, text)
        assert [(e["data"]["source"], e["data"]["target"]) for e in doc["elements"]["edges"]] == \
            [link[:2] for link in plan["links"]], path
        for fmt, node_tag in (("graphml", "{http://graphml.graphdrawing.org/xmlns}node"),
                              ("gexf", "{http://gexf.net/1.3}node")):
            tree = ET.fromstring(exporter.to(path, fmt))
            # XML holds no controls but tab and line breaks: they come as U+FFFD.
            assert {e.get("id") for e in tree.iter(node_tag)} == \
                {"".join("\ufffd" if c < " " else c for c in i) for i in expected}, (path, fmt)
        if rdflib:
            g = rdflib.Graph()
            g.parse(data=exporter.to(path, "ttl"), format="turtle")
            got = {str(o) for o in g.objects(None, rdflib.URIRef("https://plotweave.example.org/ns/plan#id"))}
            assert got == expected, (path, got ^ expected)
        if shutil.which("dot"):
            done = subprocess.run(["dot", "-Tsvg"], input=exporter.to(path, "dot"), capture_output=True, timeout=300)
            assert done.returncode == 0 and done.stderr == b"", (path, done.stderr)


CHECKS = {"dot": check_dot, "networkx": check_networkx, "rdflib": check_rdflib, "cyjs": check_cyjs,
          "csv": check_csv, "conventions": check_conventions, "edges": check_edges,
          "random": check_random}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("check", choices=sorted(CHECKS))
    parser.add_argument("--program", required=True)
    parser.add_argument("--runner")
    parser.add_argument("--examples", required=True)
    args = parser.parse_args()
    exporter = Exporter(os.path.abspath(args.program), args.runner)
    with tempfile.TemporaryDirectory(prefix="export-test-") as work:
        CHECKS[args.check](exporter, work, os.path.abspath(args.examples))
    print(f"{args.check}: ok")


if __name__ == "__main__":
    main()
