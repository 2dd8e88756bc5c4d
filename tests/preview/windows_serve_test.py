#!/usr/bin/env python3
"""The Windows plotweave-preview, run under Wine, serves the example page to a
client on the same machine: the page with the kit and its picture inside, the
findings of a save, and no file of the plan's folder; Ctrl+C ends it and the
folder is as it was.

    windows_serve_test.py RUNNER PREVIEW_EXE EXAMPLES KIT

Exits 77 (skipped) when Wine or the kit is missing.
"""
import base64
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import urllib.error
import urllib.request

runner, program, examples, kit = sys.argv[1:5]
if not os.path.isfile(os.path.join(kit, "preview", "client.js")):
    print(f"skipped: the kit is not built in {kit} (npm ci && npm run build in web/)")
    sys.exit(77)
if shutil.which("wine") is None and not os.path.exists("/usr/lib/wine/wine64"):
    print("skipped: no Wine")
    sys.exit(77)

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print(f"FAIL: {what}", file=sys.stderr)


def get(port, path):
    try:
        with urllib.request.urlopen(f"http://127.0.0.1:{port}{path}", timeout=20) as r:
            return r.status, r.read()
    except urllib.error.HTTPError as e:
        return e.code, b""


scratch = tempfile.mkdtemp()
folder = os.path.join(scratch, "미리 보기")
os.mkdir(folder)
shutil.copy(os.path.join(examples, "ontology.lst"), folder)
shutil.copytree(os.path.join(examples, "img"), os.path.join(folder, "img"))
with open(os.path.join(scratch, "secret.png"), "w") as f:
    f.write("outside the folder")
before = sorted(os.listdir(folder)), sorted(os.listdir(os.path.join(folder, "img")))

proc = subprocess.Popen([runner, program, "--port", "0", "--kit", kit, "ontology.lst"], cwd=folder,
                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, encoding="utf-8")
lines = []
port = None
for line in proc.stdout:  # Wine may take a while to start
    lines.append(line)
    m = re.search(r"127\.0\.0\.1:(\d+)", line)
    if m:
        port = int(m.group(1))
        break
reader = threading.Thread(target=lambda: lines.extend(proc.stdout), daemon=True)
reader.start()
try:
    check(port is not None, f"the address is printed: {lines}")
    # The address is printed before the first save is drawn; until then the
    # page is the findings panel alone, and Wine on a busy machine is slow.
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline:
        if json.loads(get(port, "/preview/state")[1] or b"{}").get("drawn", 0) >= 1:
            break
        time.sleep(0.1)
    status, page = get(port, "/ontology.htm")
    text = page.decode("utf-8-sig", "replace")
    check(status == 200 and "nodesTable.addRow(['g001', 'Gate_image'" in text and "숭례문" in text,
          "the example page is served")
    # The kit's scripts are inside; the placeholder's address may stay in rows,
    # resolved from the copy's own image table, but nothing is loaded from it.
    check("links.Network" in text and 'src="http://localhost:8000' not in text, "the page carries the kit")
    with open(os.path.join(folder, "img", "sungnyemun.png"), "rb") as f:
        picture = base64.b64encode(f.read()).decode()
    check(f"data:image/png;base64,{picture}" in text, "the page carries its picture")
    check(get(port, "/preview/client.js")[0] == 200, "the client is served")
    for path in ("/ontology.lst", "/img/sungnyemun.png", "/../secret.png", "/%2e%2e/secret.png",
                 "/img/..%5c..%5csecret.png"):
        status, body = get(port, path)
        check(status != 200 and b"outside" not in body, f"{path} is refused")

    plan = os.path.join(folder, "ontology.lst")
    with open(plan, "rb") as f:
        text = f.read()
    with open(plan, "wb") as f:
        f.write(text.replace(b"\nPerson darkred", b"\nPersn darkred"))
    state = {}
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline and state.get("version", 0) < 2:
        time.sleep(0.1)
        state = json.loads(get(port, "/preview/state")[1] or b"{}")
    check(state.get("state") == "refused" and state["findings"][0]["node"] == "p001",
          f"the broken save is refused with its findings: {state.get('state')}")
finally:
    proc.send_signal(signal.SIGINT)
    try:
        code = proc.wait(timeout=30)
    except subprocess.TimeoutExpired:
        proc.kill()
        code = None
    reader.join(timeout=10)
check(code == 0, f"Ctrl+C ends it with status 0, not {code}")
check(any("stopped" in line for line in lines), "it says it stopped")
check((sorted(os.listdir(folder)), sorted(os.listdir(os.path.join(folder, "img")))) == before,
      "nothing is written in the folder")
shutil.rmtree(scratch)
sys.exit(1 if failures else 0)
