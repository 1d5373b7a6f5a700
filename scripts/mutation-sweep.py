#!/usr/bin/python3
"""Mutation sweep of the depth, boundary and control files, as a careless user would spoil them.

Copies a sample case (data/beach, shortened to two output intervals) into a scratch folder
once per mutation, spoils one of its files, runs the batch program on it and sorts the run:

  refused     the case was refused with a message naming the spoiled file (or the control
              file) and a position in it (field, line or cell), or a missing file by name
  refused-unclear  refused, but the message names no file or no position
  sound       accepted and sound: a spoiling that leaves the case's meaning alone (Windows
              line ends, a byte order mark, tabs, blank lines) gave results byte-identical to
              the unspoiled case's; a change of meaning that is still a case (rows of depth
              swapped) ran to its end without a non-finite number in its results
  unsound     accepted although the file no longer means the case (a count wrong, a text, a
              NaN, a code out of range), or a harmless spoiling changed the results
  crash       ended by a signal or an abort
  hang        still running after the time limit (default 60 s)

usage: scripts/mutation-sweep.py BATCH_PROGRAM [SCRATCH] [--only NAME] [--list] [--timeout S]
Exit status 0 when no run is unsound, crashed or hung (refused-unclear is reported).
"""
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
BASE = os.path.join(HERE, "..", "data", "beach")
CONTROL = "beach\\coef.txt\nbeach\\depth.txt\nbeach\\boundary.txt\nbeach\\wave.txt\nbeach\\tide.txt\nbeach\n'endcnt\n"

# expected outcomes: "refuse" (the file no longer holds the case), "same" (the results must
# not change), "run" (a different case, which must run soundly or be refused clearly).


def read(path):
    with open(path, "rb") as f:
        return f.read()


def lines_of(data):
    return data.decode().split("\n")


def join(lines):
    return "\n".join(lines).encode()


def set_value(data, line, field, text):
    ls = lines_of(data)
    v = ls[line].split(",")
    v[field] = text
    ls[line] = ",".join(v)
    return join(ls)


def grid_mutations(name, data, kind):
    """Mutations of a grid file (depth or boundary): lines over X, values over Y."""
    ls = lines_of(data)
    nlines = len([x for x in ls if x])
    nvals = len(ls[0].split(","))
    mid = nlines // 2
    m = []
    # Counts.
    m.append(("last line missing", join(ls[: nlines - 1] + [""]), "refuse"))
    m.append(("first line missing", join(ls[1:]), "refuse"))
    m.append(("a line too many", join(ls[:nlines] + [ls[nlines - 1], ""]), "refuse"))
    m.append(("a line twice in the middle", join(ls[:mid] + [ls[mid]] + ls[mid:]), "refuse"))
    m.append(("one value missing in the middle", join(ls[:mid] + [",".join(ls[mid].split(",")[1:])] + ls[mid + 1:]),
              "refuse"))
    m.append(("one value too many in the middle", join(ls[:mid] + [ls[mid] + "," + ls[mid].split(",")[-1]] + ls[mid + 1:]),
              "refuse"))
    m.append(("one value missing in the last line", join(ls[: nlines - 1] + [",".join(ls[nlines - 1].split(",")[1:]), ""]),
              "refuse"))
    m.append(("one value too many in the last line", join(ls[: nlines - 1] + [ls[nlines - 1] + ",0", ""]), "refuse"))
    m.append(("a value missing and one too many (shifted)",
              join(ls[:2] + [",".join(ls[2].split(",")[1:])] + ls[3:mid] + [ls[mid] + ",0"] + ls[mid + 1:]), "refuse"))
    m.append(("lines and values transposed", join([",".join(r) for r in zip(*[x.split(",") for x in ls if x])] + [""]),
              "refuse"))
    m.append(("all values on one line", (",".join(x for x in ls if x) + "\n").encode(), "same"))
    m.append(("one value a line", ("\n".join(v for x in ls if x for v in x.split(",")) + "\n").encode(), "same"))
    # Truncation.
    m.append(("truncated in the middle of a line", data[: len(data) // 2 + 3], "refuse"))
    m.append(("truncated in the last line", data[: len(data) - len(ls[nlines - 1]) // 2 - 1], "refuse"))
    m.append(("truncated after the last digit (no line end)", data.rstrip(b"\n"), "same"))
    m.append(("line cut in the middle of a number", join(ls[:mid] + [ls[mid][: len(ls[mid]) // 2 + 1]] + ls[mid + 1:]),
              "refuse"))
    # Empty and missing.
    m.append(("empty file", b"", "refuse"))
    m.append(("only a line end", b"\n", "refuse"))
    m.append(("only blanks", b"   \n  \n", "refuse"))
    m.append(("missing file", None, "refuse"))
    # Values.
    inner, ghost = (mid, nvals // 2), (0, 0)
    bad = ["abc", "", " ", "-", "+", ".", "1e", "1e5e", "0x10", "1..2", "1.2.3", "--1", "1-", "nan", "NaN", "-nan",
           "inf", "-inf", "Infinity", "1e39", "-1e39", "1e400", "1e308", "\"5\"", "5 5", "5;5", "5'", "'5", "#5",
           "5#"]
    for t in bad:
        expect = "refuse"
        if t == "\"5\"":
            expect = "run"  # a quoted field is a field
        m.append((f"value {t!r} inside", set_value(data, *inner, t), expect))
    m.append(("value 'abc' on the ghost ring", set_value(data, *ghost, "abc"), "refuse"))
    m.append(("value NaN on the ghost ring", set_value(data, *ghost, "nan"), "refuse"))
    if kind == "depth":
        for t, e in [("1e30", "refuse"), ("2e9", "refuse"), ("-2e9", "refuse"), ("1e6", "refuse"), ("-1e6", "refuse"),
                     ("20000", "refuse"), ("-20000", "refuse"), ("11000", "run"), ("-9000", "run"), ("0", "run"),
                     ("1e-45", "run"), ("-0", "run"), ("+3", "run"), ("3.", "run"), (".5", "run"), ("5e-1", "run"),
                     ("0,5", "refuse"), ("00005", "run"), ("   5", "run"), ("5   ", "run"), ("4294967296", "refuse"),
                     ("99999999999999999999", "refuse")]:
            m.append((f"depth {t!r} inside", set_value(data, *inner, t), e))
        m.append(("depth 1e30 on the east ghost column", set_value(data, nlines - 1, 3, "1e30"), "refuse"))
        m.append(("depth -1e6 on a corner", set_value(data, 0, 0, "-1e6"), "refuse"))
        m.append(("every depth negative (all dry)", join([",".join("-" + v.lstrip("-") for v in x.split(",")) if x else x
                                                          for x in ls]), "refuse"))
        m.append(("every depth 0", join([",".join("0" for v in x.split(",")) if x else x for x in ls]), "refuse"))
        m.append(("offshore depth 11000 m", join(ls[: nlines - 2] + [",".join("11000" for _ in ls[nlines - 2].split(","))]
                                                  + [",".join("11000" for _ in ls[nlines - 1].split(","))] + [""]), "run"))
        m.append(("two rows swapped (a different bed)", join(ls[:3] + [ls[4], ls[3]] + ls[5:]), "run"))
        m.append(("the file upside down (deep water at the beach)", join(list(reversed([x for x in ls if x])) + [""]),
                  "run"))
    else:
        for t, e in [("-1", "refuse"), ("15.5", "refuse"), ("16.0", "run"), ("1e1", "run"), ("15.9999999", "refuse"),
                     ("32768", "refuse"), ("40000", "refuse"), ("1e10", "refuse"), ("-16", "refuse"),
                     ("16", "refuse"), ("17", "refuse"), ("18", "refuse"), ("15", "run"), ("7", "run"), ("0.0", "run"),
                     ("2147483648", "refuse"), ("-0", "run"), ("+5", "run"), ("0,5", "refuse")]:
            m.append((f"code {t!r} inside", set_value(data, *inner, t), e))
        nv = nvals - 1
        for t, e in [("18", "refuse"), ("-1", "refuse"), ("17.5", "refuse"), ("0", "run"), ("16", "run"),
                     ("15", "run"), ("32767", "refuse")]:
            m.append((f"code {t!r} on the east ghost column", set_value(data, nlines - 1, nvals // 2, t), e))
        m.append(("code 17 on a corner", set_value(data, nlines - 1, 0, "17"), "run"))
        m.append(("code 16 on a corner", set_value(data, 0, nv, "16"), "run"))
        m.append(("code 17 on the west ghost column", set_value(data, 0, nvals // 2, "17"), "run"))
        m.append(("every east code 18 (no table row)", join(ls[: nlines - 1] + [ls[nlines - 1].replace("17", "18"), ""]),
                  "refuse"))
        m.append(("every east code 16 (no wave input)", join(ls[: nlines - 1] + [ls[nlines - 1].replace("17", "16"), ""]),
                  "refuse"))
        m.append(("no boundary cell at all", join([",".join("0" for _ in x.split(",")) if x else x for x in ls]), "refuse"))
        # The periodic codes of X = 1 go to the corners of X = 0 (codes on the corners are
        # allowed) and its Y ghosts become closed: a different boundary, still a case.
        m.append(("first two lines swapped (periodic codes to the corners)", join([ls[1], ls[0]] + ls[2:]), "run"))
        m.append(("last two lines swapped (input codes inside)",
                  join(ls[: nlines - 2] + [ls[nlines - 1], ls[nlines - 2]] + ls[nlines:]), "refuse"))
        m.append(("the file upside down (input on the beach)", join(list(reversed([x for x in ls if x])) + [""]), "run"))
        m.append(("all land inside", join([ls[0]] + [",".join(["16"] + ["15"] * (nvals - 2) + ["16"])
                                                       for _ in range(nlines - 2)] + [ls[nlines - 1], ""]), "refuse"))
    return m


def format_mutations(data):
    """Spoilings of the form that leave the values alone."""
    ls = lines_of(data)
    m = []
    m.append(("Windows line ends", data.replace(b"\n", b"\r\n"), "same"))
    m.append(("old Mac line ends (CR only)", data.replace(b"\n", b"\r"), "refuse"))
    m.append(("byte order mark", b"\xef\xbb\xbf" + data, "same"))
    m.append(("byte order mark and Windows line ends", b"\xef\xbb\xbf" + data.replace(b"\n", b"\r\n"), "same"))
    m.append(("UTF-16 text", data.decode().encode("utf-16"), "refuse"))
    m.append(("tabs after the commas", data.replace(b",", b",\t"), "same"))
    m.append(("blanks after the commas", data.replace(b",", b", "), "same"))
    m.append(("tabs instead of commas", data.replace(b",", b"\t"), "refuse"))
    m.append(("blanks instead of commas", data.replace(b",", b" "), "refuse"))
    m.append(("semicolons instead of commas", data.replace(b",", b";"), "refuse"))
    m.append(("a comma at each line end", data.replace(b"\n", b",\n"), "refuse"))
    m.append(("blank lines at the end", data + b"\n\n\n", "same"))
    m.append(("blanks at the end", data + b"   \t  ", "same"))
    m.append(("a blank line in the middle", join(ls[:3] + [""] + ls[3:]), "refuse"))
    m.append(("a comment line at the top", b"# depth of the beach\n" + data, "refuse"))
    m.append(("a header line at the top", (",".join(f"y{k}" for k in range(len(ls[0].split(",")))) + "\n").encode() + data,
              "refuse"))
    m.append(("text after the grid", data + b"end of file\n", "refuse"))
    m.append(("a NUL byte in the middle", data[: len(data) // 2] + b"\0" + data[len(data) // 2:], "refuse"))
    m.append(("binary garbage appended", data + bytes(range(256)), "refuse"))
    if b"." in data:
        m.append(("decimal commas throughout", re.sub(rb"(\d)\.(\d)", rb"\1,\2", data), "refuse"))
        m.append(("decimal commas, semicolons between", re.sub(rb"(\d)\.(\d)", rb"\1,\2", data.replace(b",", b";")),
                  "refuse"))
    return m


def control_mutations():
    c = CONTROL
    names = c.split("\n")
    m = []
    m.append(("control: Windows line ends", c.replace("\n", "\r\n").encode(), "same"))
    m.append(("control: byte order mark", b"\xef\xbb\xbf" + c.encode(), "same"))
    m.append(("control: forward slashes", c.replace("\\", "/").encode(), "same"))
    m.append(("control: no 'endcnt", c.replace("'endcnt\n", "").encode(), "refuse"))
    m.append(("control: 'ENDCNT in capitals", c.replace("'endcnt", "'ENDCNT").encode(), "refuse"))
    m.append(("control: endcnt without its quote", c.replace("'endcnt", "endcnt").encode(), "refuse"))
    m.append(("control: text after 'endcnt", (c + "beach\\coef.txt\n").encode(), "refuse"))
    m.append(("control: blank lines after 'endcnt", (c + "\n\n").encode(), "same"))
    m.append(("control: no line end after 'endcnt", c.rstrip("\n").encode(), "same"))
    m.append(("control: the output name missing", "\n".join(names[:5] + names[6:]).encode(), "refuse"))
    m.append(("control: the tide name missing", "\n".join(names[:4] + names[5:]).encode(), "refuse"))
    m.append(("control: the depth name missing", "\n".join(names[:1] + names[2:]).encode(), "refuse"))
    m.append(("control: a name twice", "\n".join(names[:2] + names[1:]).encode(), "refuse"))
    m.append(("control: depth and boundary swapped", "\n".join([names[0], names[2], names[1]] + names[3:]).encode(),
              "refuse"))
    m.append(("control: wave and tide swapped", "\n".join(names[:3] + [names[4], names[3]] + names[5:]).encode(),
              "refuse"))
    m.append(("control: coefficient and depth swapped", "\n".join([names[1], names[0]] + names[2:]).encode(), "refuse"))
    m.append(("control: a depth file that does not exist", c.replace("depth.txt", "depht.txt").encode(), "refuse"))
    m.append(("control: a boundary file that does not exist", c.replace("boundary.txt", "bondary.txt").encode(),
              "refuse"))
    m.append(("control: the depth name empty", c.replace("beach\\depth.txt", "").encode(), "refuse"))
    m.append(("control: the depth name blanks", c.replace("beach\\depth.txt", "   ").encode(), "refuse"))
    m.append(("control: the depth name is the folder", c.replace("beach\\depth.txt", "beach").encode(), "refuse"))
    m.append(("control: blanks after the depth name", c.replace("depth.txt", "depth.txt   ").encode(), "same"))
    m.append(("control: blanks before the depth name", c.replace("beach\\depth.txt", "   beach\\depth.txt").encode(),
              "same"))
    m.append(("control: the depth name quoted", c.replace("beach\\depth.txt", "\"beach\\depth.txt\"").encode(), "same"))
    m.append(("control: a tab in the depth name", c.replace("beach\\depth.txt", "beach\\\tdepth.txt").encode(),
              "refuse"))
    m.append(("control: the names with commas on one line", (",".join(names[:6]) + "\n'endcnt\n").encode(), "same"))
    m.append(("control: the output name '..'", c.replace("\nbeach\n", "\n..\n").encode(), "refuse"))
    m.append(("control: the output name absolute", c.replace("\nbeach\n", "\n/tmp/littoral-out\n").encode(), "refuse"))
    m.append(("control: the output name with a drive", c.replace("\nbeach\n", "\nC:\\out\n").encode(), "refuse"))
    m.append(("control: the output name empty", c.replace("\nbeach\n", "\n\n").encode(), "run"))
    m.append(("control: the output name 'a\\..\\..'", c.replace("\nbeach\n", "\na\\..\\..\n").encode(), "refuse"))
    m.append(("control: the output name a sub-folder", c.replace("\nbeach\n", "\nruns\\beach\n").encode(), "run"))
    m.append(("control: empty file", b"", "refuse"))
    m.append(("control: only a line end", b"\n", "refuse"))
    m.append(("control: truncated in the middle", c.encode()[: len(c) // 2], "refuse"))
    m.append(("control: a NUL in a name", c.replace("depth.txt", "dep\0th.txt").encode(), "refuse"))
    m.append(("control: UTF-16 text", c.encode("utf-16"), "refuse"))
    # The echo shows the name as written: only the result fields and pictures must not change.
    m.append(("control: an absolute depth name", None, "same-fields"))  # filled in by the runner
    m.append(("control: missing file", None, "refuse"))
    return m


def cases():
    depth = read(os.path.join(BASE, "depth.txt"))
    bnd = read(os.path.join(BASE, "boundary.txt"))
    out = []
    for n, d, e in grid_mutations("depth", depth, "depth") + [(n, d, e) for n, d, e in format_mutations(depth)]:
        out.append(("depth.txt", "depth: " + n, d, e))
    for n, d, e in grid_mutations("boundary", bnd, "boundary") + [(n, d, e) for n, d, e in format_mutations(bnd)]:
        out.append(("boundary.txt", "boundary: " + n, d, e))
    for n, d, e in control_mutations():
        out.append(("beachcnt.txt", n, d, e))
    return out


def prepare(root):
    """The unspoiled case in root/data: the sample, ended after two output intervals."""
    data = os.path.join(root, "data")
    shutil.copytree(BASE, os.path.join(data, "beach"))
    coef = os.path.join(data, "beach", "coef.txt")
    text = read(coef).decode().split("\n")
    text[13] = "16" + text[13][text[13].index(","):]
    with open(coef, "w") as f:
        f.write("\n".join(text))
    with open(os.path.join(data, "beachcnt.txt"), "w") as f:
        f.write(CONTROL)
    os.makedirs(os.path.join(root, "output"))


def run(batch, root, timeout):
    cnt = os.path.join(root, "data", "beachcnt.txt")
    try:
        p = subprocess.run([batch, "--threads", "1", cnt], capture_output=True, timeout=timeout,
                           env=dict(os.environ, OMP_WAIT_POLICY="passive"))
    except subprocess.TimeoutExpired:
        return None, ""
    return p.returncode, (p.stdout + p.stderr).decode(errors="replace")


def results(root, fields_only=False):
    """Digest of every result file of the case (echoes, fields, pictures; the case's folder
    and the separators of the names in the echoes made alike), and whether a field file
    holds a non-finite number."""
    out = os.path.join(root, "output")
    h = hashlib.sha256()
    nonfinite = False
    for dirpath, dirs, files in sorted(os.walk(out)):
        dirs.sort()
        for f in sorted(files):
            if fields_only and f.startswith("0") and f.endswith(".txt"):
                continue
            p = os.path.join(dirpath, f)
            d = read(p).replace(os.path.abspath(root).encode(), b"<case>")
            if f.endswith(".txt"):
                # The echoes show the input names as written: "\\" or "/" between folders.
                d = d.replace(b"\\", b"/")
            h.update(os.path.relpath(p, out).encode() + b"\0" + d)
            if f.endswith(".csv") and re.search(rb"(?i)nan|inf", d):
                nonfinite = True
    return h.hexdigest(), nonfinite


POSITION = re.compile(r"field \d+ \(line \d+\)|line \d+|cell \(-?\d+, -?\d+\)|value|cannot be opened|does not exist|"
                      r"No such file|empty name|folder|is a directory|not a regular file", re.I)


def classify(file, expect, rc, out, digest, nonfinite, base_digest):
    if rc is None:
        return "hang"
    if rc < 0 or rc >= 128 or "terminate called" in out or "Segmentation" in out or "Aborted" in out:
        return "crash"
    if rc != 0:
        failed = [l for l in out.splitlines() if l.startswith("FAILED") or l.startswith("error")]
        msg = "\n".join(failed) if failed else out
        names_file = file.replace("cnt.txt", "") in msg or file in msg
        if file == "beachcnt.txt":
            names_file = "beachcnt.txt" in msg
        # A fault of the whole file (no boundary cell, no wave input) has no position: its
        # message names the file and what was expected instead.
        return "refused" if names_file and (POSITION.search(msg) or "expected" in msg) else "refused-unclear"
    if nonfinite:
        return "unsound"
    if expect == "refuse":
        return "unsound"
    if expect.startswith("same") and digest != base_digest:
        return "unsound"
    return "sound"


def main():
    a = sys.argv[1:]
    if not a or a[0] in ("-h", "--help"):
        print(__doc__)
        return 0
    batch = os.path.abspath(a[0])
    scratch = a[1] if len(a) > 1 and not a[1].startswith("--") else tempfile.mkdtemp(prefix="littoral-sweep-")
    only = a[a.index("--only") + 1] if "--only" in a else None
    timeout = float(a[a.index("--timeout") + 1]) if "--timeout" in a else 60.0
    allc = cases()
    if "--list" in a:
        for f, n, _, e in allc:
            print(f"{e:7s} {n}")
        return 0
    os.makedirs(scratch, exist_ok=True)
    base = os.path.join(scratch, "base")
    shutil.rmtree(base, ignore_errors=True)
    prepare(base)
    rc, out = run(batch, base, timeout)
    if rc != 0:
        print("the unspoiled case does not run:\n" + out, file=sys.stderr)
        return 2
    base_digests = {False: results(base)[0], True: results(base, True)[0]}
    counts = {}
    findings = []
    for k, (file, name, data, expect) in enumerate(allc):
        if only and only not in name:
            continue
        root = os.path.join(scratch, f"m{k}")
        shutil.rmtree(root, ignore_errors=True)
        prepare(root)
        target = os.path.join(root, "data", file if file.endswith("cnt.txt") else os.path.join("beach", file))
        if name == "control: an absolute depth name":
            data = CONTROL.replace("beach\\depth.txt", os.path.join(root, "data", "beach", "depth.txt")).encode()
        if data is None:
            os.remove(target)
        else:
            with open(target, "wb") as f:
                f.write(data)
        rc, out = run(batch, root, timeout)
        fields_only = expect == "same-fields"
        digest, nonfinite = results(root, fields_only) if rc == 0 else ("", False)
        c = classify(file, expect, rc, out, digest, nonfinite, base_digests[fields_only])
        counts[c] = counts.get(c, 0) + 1
        msg = next((l for l in out.splitlines() if l.startswith(("FAILED", "ok "))), out.strip()[-300:])
        warned = "warning" in out
        print(f"{c:15s} {'(warned) ' if warned else ''}{name}: {msg[:300]}", flush=True)
        if c not in ("refused", "sound"):
            findings.append((c, name, out))
        shutil.rmtree(root, ignore_errors=True)
    total = sum(counts.values())
    print(f"\n{total} runs: " + ", ".join(f"{v} {k}" for k, v in sorted(counts.items())))
    return 1 if any(c in ("unsound", "crash", "hang") for c, _, _ in findings) else 0


if __name__ == "__main__":
    sys.exit(main())
