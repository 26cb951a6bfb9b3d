#!/usr/bin/env python3
"""Runs the examples of docs/*.md through the real program and checks what they print and draw.

An example is a set of fenced blocks that carry its name in their info string:

    ```lua example=NAME file=resource/script/QXMain.lua     a file of the example
    ```text example=NAME stdout                            the program's whole standard output
                                                           (`unordered`: its lines in any order)
    ```text example=NAME stderr                            lines its standard error must hold
    ```text example=NAME log                               lines its log.txt must hold

A block that a test of its own runs says so, `tested=PATH` (from the project's top), and
that file must name the document.
A `hex` word on a file block writes the bytes of the leading hex pairs of each line, a
`crlf` word ends its lines with CR LF.
Settings the reader does not need stand in an HTML comment, `<!-- example NAME: ... -->`:

    frames=N              stop the program after N draws at most (its QXMain.lua runs
                          unchanged under a wrapper that ends the main coroutine)
    exit=N                the exit code expected (0 when not given)
    env=KEY=VALUE         an environment variable for the run
    png=PATH:WxH:RRGGBB,...   an image of that size in vertical stripes of those colours
    wav=PATH:SECONDS      a 16-bit mono 440 Hz tone
    pixel=X,Y:RRGGBB      the back buffer after the last draw (saved when the program
                          ends) has that colour there
    ink=X0,Y0,X1,Y1:RRGGBB    some pixel of that box has that colour (frames= needed)
    service               run against the loopback service (tests/net/loop_service.py, started
                          once for the run): the hosts, SSL_CERT_FILE and the program's
                          "consumer.dat" as docs/service-client.md sets them

Each example runs in a folder of its own: a link to the program, the shipped library
scripts and effects, then the example's files. Usage:

    doc_examples.py --program QX --resource RESOURCE_FOLDER --work FOLDER DOC.md...
    doc_examples.py --coverage DOC.md...   every lua or json block belongs to an example
"""
import argparse
import concurrent.futures
import json
import math
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import wave
import zlib

FENCE = re.compile(r"^```(\S*)(.*)$")
COMMENT = re.compile(r"<!--\s*example\s+([\w.-]+):(.*?)-->", re.S)
TIMEOUT = 120
TOLERANCE = 8
SERVICE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "net", "loop_service.py")


class Example:
    def __init__(self, doc, name):
        self.doc, self.name = doc, name
        self.files = {}  # path -> bytes
        self.stdout = None
        self.unordered = False
        self.stderr, self.log = [], []
        self.frames = None
        self.exit = 0
        self.env = {}
        self.assets = []  # (kind, path, spec)
        self.pixels = []  # (x, y, rgb)
        self.inks = []  # (x0, y0, x1, y1, rgb)
        self.service = False

    def where(self):
        return "%s: example %s" % (os.path.basename(self.doc), self.name)

    def checks(self):
        return self.stdout is not None or self.stderr or self.log or self.pixels or self.inks


def hex_bytes(text):
    out = bytearray()
    for line in text.splitlines():
        for token in line.split():
            if not re.fullmatch(r"[0-9A-Fa-f]{2}", token):
                break
            out.append(int(token, 16))
    return bytes(out)


def parse(doc):
    """The examples of one document, and the lua/json blocks that belong to none."""
    with open(doc, encoding="utf-8") as f:
        text = f.read()
    examples, loose = {}, []

    def get(name):
        return examples.setdefault(name, Example(doc, name))

    lines = text.split("\n")
    i = 0
    while i < len(lines):
        m = FENCE.match(lines[i])
        if not m:
            i += 1
            continue
        lang, words = m.group(1), m.group(2).split()
        start = i + 1
        i += 1
        while i < len(lines) and not lines[i].startswith("```"):
            i += 1
        body = "\n".join(lines[start:i]) + "\n"
        i += 1
        attrs = dict(w.split("=", 1) if "=" in w else (w, "") for w in words)
        if "tested" in attrs:
            # run by a test of its own, which must read it from this document
            test = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(doc))), attrs["tested"])
            try:
                with open(test, encoding="utf-8") as f:
                    runs = os.path.basename(doc) in f.read()
            except OSError:
                runs = False
            if not runs:
                loose.append("%s:%d: %s does not run this block" % (doc, start, attrs["tested"]))
            continue
        if "example" not in attrs:
            if lang in ("lua", "json"):
                loose.append("%s:%d: a %s block that belongs to no example" % (doc, start, lang))
            continue
        ex = get(attrs["example"])
        if "file" in attrs:
            data = hex_bytes(body) if "hex" in attrs else body.encode("utf-8")
            ex.files[attrs["file"]] = data.replace(b"\n", b"\r\n") if "crlf" in attrs else data
        elif "stdout" in attrs:
            ex.stdout = body
            ex.unordered = "unordered" in attrs
        elif "stderr" in attrs:
            ex.stderr += [l for l in body.splitlines() if l.strip()]
        elif "log" in attrs:
            ex.log += [l for l in body.splitlines() if l.strip()]
        else:
            loose.append("%s:%d: block of example %s says neither file, stdout, stderr nor log" %
                         (doc, start, attrs["example"]))

    for m in COMMENT.finditer(text):
        ex = get(m.group(1))
        for word in m.group(2).split():
            key, _, value = word.partition("=")
            if key == "frames":
                ex.frames = int(value)
            elif key == "service":
                ex.service = True
            elif key == "exit":
                ex.exit = int(value)
            elif key == "env":
                k, _, v = value.partition("=")
                ex.env[k] = v
            elif key in ("png", "wav"):
                path, _, spec = value.partition(":")
                ex.assets.append((key, path, spec))
            elif key == "pixel":
                at, _, rgb = value.partition(":")
                x, y = (int(v) for v in at.split(","))
                ex.pixels.append((x, y, int(rgb, 16)))
            elif key == "ink":
                box, _, rgb = value.partition(":")
                ex.inks.append(tuple(int(v) for v in box.split(",")) + (int(rgb, 16),))
            else:
                loose.append("%s: example %s: unknown setting %s" % (doc, ex.name, word))
    return list(examples.values()), loose


# ---- assets and the back buffer's image


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def write_png(path, spec):
    size, _, colours = spec.partition(":")
    w, h = (int(v) for v in size.split("x"))
    stripes = [int(c, 16) for c in colours.split(",")]
    row = bytearray([0])
    for x in range(w):
        c = stripes[x * len(stripes) // w]
        row += bytes([c >> 16 & 255, c >> 8 & 255, c & 255, 255])
    data = b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
    data += png_chunk(b"IDAT", zlib.compress(bytes(row) * h)) + png_chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(data)


def write_wav(path, spec):
    rate = 22050
    n = int(float(spec) * rate)
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(b"".join(struct.pack("<h", int(8000 * math.sin(2 * math.pi * 440 * i / rate))) for i in range(n)))


def read_png(path):
    """(width, height, rows of (r, g, b)) of an 8-bit RGB or RGBA PNG."""
    with open(path, "rb") as f:
        data = f.read()
    pos, idat, w = 8, b"", 0
    while pos < len(data):
        (length,) = struct.unpack(">I", data[pos:pos + 4])
        kind, body = data[pos + 4:pos + 8], data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            w, h, depth, colour = struct.unpack(">IIBB", body[:10])
            if depth != 8 or colour not in (2, 6):
                raise ValueError("%s: not an 8-bit RGB(A) image" % path)
            bpp = 4 if colour == 6 else 3
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = w * bpp
    rows, prev = [], bytearray(stride)
    for y in range(h):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            a = line[x - bpp] if x >= bpp else 0
            b = prev[x]
            c = prev[x - bpp] if x >= bpp else 0
            if kind == 1:
                line[x] = (line[x] + a) & 255
            elif kind == 2:
                line[x] = (line[x] + b) & 255
            elif kind == 3:
                line[x] = (line[x] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append([tuple(line[x * bpp:x * bpp + 3]) for x in range(w)])
        prev = line
    return w, h, rows


def near(pixel, rgb):
    want = (rgb >> 16 & 255, rgb >> 8 & 255, rgb & 255)
    return all(abs(p - q) <= TOLERANCE for p, q in zip(pixel, want))


# ---- running

WRAPPER = r"""-- Written by doc_examples.py: runs the example's own QXMain.lua and ends it after
-- %(frames)d draws; the back buffer is saved when it ends.
local f = assert(io.open([==[%(path)s]==], "rb"))
local source = f:read("*a")
f:close()
if source:sub(1, 3) == "\239\187\191" then source = source:sub(4) end
assert(loadstring(source, "@QXMain.lua"))()
local inner = main
if type(inner) ~= "function" then return end
function main()
  local app
  if Qeldrin then
    local new = Qeldrin.new
    Qeldrin.new = function(...) app = new(...) return app end
  end
  local co, args, draws = coroutine.create(inner), {}, 0
  while true do
    local r = { coroutine.resume(co, unpack(args)) }
    if not r[1] then error(debug.traceback(co, r[2]), 0) end
    if args[1] == 2 then draws = draws + 1 end
    local dead = coroutine.status(co) == "dead"
    if dead or not r[2] or draws >= %(frames)d then
      if app and draws > 0 then TextureMgr:saveAsFile(app:getTargetTex(0), "doc-shot.png") end
      if dead then return end
      coroutine.yield(false)
    end
    args = { coroutine.yield(unpack(r, 2, table.maxn(r))) }
  end
end
"""


def start_service(work):
    """The loopback service's process, the environment that points the program at it and its
    consumer key file."""
    folder = os.path.join(work, "service")
    os.makedirs(folder)
    ready = os.path.join(folder, "ready.json")
    process = subprocess.Popen([sys.executable, SERVICE, "--dir", folder, "--ready", ready, "--lifetime",
                                str(TIMEOUT * 3)], stdout=subprocess.DEVNULL)
    deadline = time.monotonic() + 30
    while not os.path.exists(ready):
        if process.poll() is not None or time.monotonic() > deadline:
            process.kill()
            raise RuntimeError("the loopback service did not start (it needs python3-oauthlib)")
        time.sleep(0.05)
    with open(ready) as f:
        ports = json.load(f)
    env = {"SSL_CERT_FILE": ports["ca"], "QX_HOST_SEARCH": "localhost:%d" % ports["plain"]}
    for host in ("REST", "STREAM", "USTREAM"):
        env["QX_HOST_" + host] = "localhost:%d" % ports["tls"]
    return process, env, os.path.join(folder, "consumer.dat")


def prepare(ex, program, resource, work):
    folder = tempfile.mkdtemp(prefix=ex.name + "-", dir=work)
    exe = os.path.join(folder, "qx")
    try:
        os.link(program, exe)
    except OSError:
        shutil.copy2(program, exe)
    for sub, pattern in (("script", ".lua"), ("effect", ".fx")):
        os.makedirs(os.path.join(folder, "resource", sub), exist_ok=True)
        for name in sorted(os.listdir(os.path.join(resource, sub))):
            if name.endswith(pattern) and name != "QXMain.lua":
                shutil.copy2(os.path.join(resource, sub, name), os.path.join(folder, "resource", sub, name))
    for path, data in ex.files.items():
        full = os.path.join(folder, path)
        if os.path.isdir(full):
            shutil.rmtree(full)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "wb") as f:
            f.write(data)
    for kind, path, spec in ex.assets:
        os.makedirs(os.path.dirname(os.path.join(folder, path)), exist_ok=True)
        (write_png if kind == "png" else write_wav)(os.path.join(folder, path), spec)
    if ex.frames is not None:
        main = os.path.join(folder, "resource", "script", "QXMain.lua")
        with open(os.path.join(folder, "resource", "QXMain.lua"), "w") as f:
            f.write(WRAPPER % {"frames": ex.frames, "path": main})
    return folder


def run(ex, program, resource, work, service):
    """A list of what went wrong (empty when the example holds)."""
    folder = prepare(ex, program, resource, work)
    env = dict(os.environ, SDL_VIDEODRIVER="offscreen", SDL_AUDIODRIVER="dummy", QX_MSGBOX="stderr")
    if ex.service:
        env.update(service[1])
        shutil.copy2(service[2], os.path.join(folder, "consumer.dat"))
    env.update(ex.env)
    try:
        p = subprocess.run([os.path.join(folder, "qx")], cwd=folder, env=env, capture_output=True,
                           timeout=TIMEOUT)
        out, err, code = p.stdout.decode("utf-8", "replace"), p.stderr.decode("utf-8", "replace"), p.returncode
    except subprocess.TimeoutExpired as e:
        out, err, code = (e.stdout or b"").decode(), (e.stderr or b"").decode(), "timed out"
    log = ""
    if os.path.exists(os.path.join(folder, "log.txt")):
        with open(os.path.join(folder, "log.txt"), encoding="utf-8", errors="replace") as f:
            log = f.read()
    problems = []
    if code != ex.exit:
        problems.append("exit code %s, expected %d" % (code, ex.exit))
    if ex.stdout is not None and (sorted(out.splitlines()) != sorted(ex.stdout.splitlines()) if ex.unordered
                                  else out != ex.stdout):
        problems.append("standard output differs:\n--- expected\n%s--- got\n%s" % (ex.stdout, out))
    problems += ["stderr lacks: " + l for l in ex.stderr if l not in err]
    problems += ["log.txt lacks: " + l for l in ex.log if l not in log]
    if ex.pixels or ex.inks:
        shot = os.path.join(folder, "doc-shot.png")
        if not os.path.exists(shot):
            problems.append("no back buffer image was saved")
        else:
            w, h, rows = read_png(shot)
            for x, y, rgb in ex.pixels:
                if not (0 <= x < w and 0 <= y < h) or not near(rows[y][x], rgb):
                    got = rows[y][x] if 0 <= x < w and 0 <= y < h else "outside"
                    problems.append("pixel %d,%d is %s, expected %06X" % (x, y, got, rgb))
            for x0, y0, x1, y1, rgb in ex.inks:
                if not any(near(rows[y][x], rgb) for y in range(max(y0, 0), min(y1, h))
                           for x in range(max(x0, 0), min(x1, w))):
                    problems.append("no pixel of %06X in %d,%d-%d,%d" % (rgb, x0, y0, x1, y1))
    if problems:
        problems.append("stdout:\n%sstderr:\n%slog.txt:\n%s(folder %s)" % (out, err, log, folder))
    else:
        shutil.rmtree(folder, ignore_errors=True)
    return problems


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--program")
    ap.add_argument("--resource")
    ap.add_argument("--work")
    ap.add_argument("--coverage", action="store_true")
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("docs", nargs="+")
    a = ap.parse_args()

    examples, failures = [], []
    for doc in a.docs:
        found, loose = parse(doc)
        examples += found
        failures += loose
        for ex in found:
            if not ex.files:
                failures.append(ex.where() + ": no files")
            if not ex.checks():
                failures.append(ex.where() + ": nothing is checked")
            if (ex.pixels or ex.inks) and ex.frames is None:
                failures.append(ex.where() + ": pixel checks need frames=")
    if a.coverage:
        for f in failures:
            print("FAIL " + f)
        print("%d examples in %d documents" % (len(examples), len(a.docs)))
        return 1 if failures else 0

    work = os.path.abspath(a.work)
    shutil.rmtree(work, ignore_errors=True)  # only the last run's failures are kept
    os.makedirs(work)
    service = start_service(work) if any(ex.service for ex in examples) else None
    try:
        with concurrent.futures.ThreadPoolExecutor(max_workers=a.jobs) as pool:
            results = list(pool.map(lambda ex: (ex, run(ex, os.path.abspath(a.program), os.path.abspath(a.resource),
                                                         work, service)), examples))
    finally:
        if service:
            service[0].kill()
            service[0].wait()
    for ex, problems in results:
        if problems:
            failures.append(ex.where() + ":\n  " + "\n  ".join(problems))
        else:
            print("ok " + ex.where())
    for f in failures:
        print("FAIL " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
