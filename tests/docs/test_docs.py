"""The user documentation checked as a user would use it: every link and image of README.md
and docs/*.md resolves (files and #anchors), and every command block marked runnable (a
fenced block whose info string is `sh runnable`) runs, from the repository root of a
temporary copy, with the programs of this build standing in build/release/bin/ as the
release build puts them there (the programs, data/ with the samples, output/).

Environment: LITTORAL_SOURCE_DIR (the repository), LITTORAL_BIN_DIR (the build's bin folder).
"""
import os
import re
import shutil
import subprocess
import tempfile

import pytest

SOURCE = os.environ.get("LITTORAL_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
BIN = os.environ.get("LITTORAL_BIN_DIR", os.path.join(SOURCE, "build", "test", "bin"))


def doc_files():
    files = [os.path.join(SOURCE, "README.md")]
    docs = os.path.join(SOURCE, "docs")
    files += sorted(os.path.join(docs, f) for f in os.listdir(docs) if f.endswith(".md"))
    return files


FENCE = re.compile(r"^(```+|~~~+)(.*)$")


def split_blocks(text):
    """(prose lines, [(info string, block text, first line number)])."""
    prose, blocks = [], []
    lines = text.split("\n")
    k = 0
    while k < len(lines):
        m = FENCE.match(lines[k].strip())
        if not m:
            prose.append(lines[k])
            k += 1
            continue
        fence, info, start = m.group(1), m.group(2).strip(), k + 1
        body = []
        k += 1
        while k < len(lines) and not lines[k].strip().startswith(fence):
            body.append(lines[k])
            k += 1
        k += 1
        prose.append("")
        blocks.append((info, "\n".join(body), start))
    return "\n".join(prose), blocks


def slug(heading):
    """The anchor GitHub gives a heading."""
    s = re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", heading)  # links: their text
    s = s.replace("`", "").replace("*", "").strip().lower()
    s = re.sub(r"[^\w\- ]", "", s)
    return s.replace(" ", "-")


def anchors(path):
    prose, _ = split_blocks(open(path, encoding="utf-8").read())
    seen, out = {}, set()
    for line in prose.split("\n"):
        m = re.match(r"^(#{1,6})\s+(.*?)\s*#*\s*$", line)
        if not m:
            continue
        s = slug(m.group(2))
        n = seen.get(s, 0)
        out.add(s if n == 0 else f"{s}-{n}")
        seen[s] = n + 1
    return out


LINK = re.compile(r"!?\[(?:[^\[\]]|\[[^\]]*\])*\]\(([^)\s]+)(?:\s+\"[^\"]*\")?\)")


def links(path):
    prose, _ = split_blocks(open(path, encoding="utf-8").read())
    prose = re.sub(r"`[^`\n]*`", "", prose)  # inline code is not a link
    return LINK.findall(prose)


@pytest.mark.parametrize("path", doc_files(), ids=[os.path.relpath(p, SOURCE) for p in doc_files()])
def test_every_link_and_image_resolves(path):
    bad = []
    for target in links(path):
        if re.match(r"^[a-z]+:", target):  # http:, https:, mailto:
            continue
        file, _, anchor = target.partition("#")
        dest = os.path.normpath(os.path.join(os.path.dirname(path), file)) if file else path
        if not os.path.exists(dest):
            bad.append(f"{target}: no file {os.path.relpath(dest, SOURCE)}")
            continue
        if anchor and dest.endswith(".md") and anchor not in anchors(dest):
            bad.append(f"{target}: no heading with the anchor #{anchor} in {os.path.relpath(dest, SOURCE)}")
    assert not bad, f"{os.path.relpath(path, SOURCE)}:\n  " + "\n  ".join(bad)


def runnable(path):
    _, blocks = split_blocks(open(path, encoding="utf-8").read())
    return [(body, line) for info, body, line in blocks if info.split() == ["sh", "runnable"]]


def copy_of_repository(where):
    """The sources as a fresh clone has them, and build/release/bin as the release build makes it."""
    root = os.path.join(where, "littoral")
    shutil.copytree(SOURCE, root, symlinks=True,
                    ignore=lambda d, names: [n for n in names if n in (".git", "build") and d == SOURCE])
    rel = os.path.join(root, "build", "release", "bin")
    os.makedirs(os.path.join(rel, "output"))
    shutil.copytree(os.path.join(SOURCE, "data"), os.path.join(rel, "data"))
    # Copies, not links: a program finds data/ and output/ beside its own file.
    for name in os.listdir(BIN):
        full = os.path.join(BIN, name)
        if os.path.isfile(full) and os.access(full, os.X_OK) and not name.endswith("_tests"):
            shutil.copy2(full, os.path.join(rel, name))
    return root


WITH_BLOCKS = [p for p in doc_files() if runnable(p)]


@pytest.mark.parametrize("path", WITH_BLOCKS, ids=[os.path.relpath(p, SOURCE) for p in WITH_BLOCKS])
def test_runnable_blocks_run_from_the_repository_root(path):
    # One thread per program: the results are the same for any count, and a busy machine
    # runs one thread per case faster than threads waiting for each other.
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", LITTORAL_THREADS="1", OMPI_ALLOW_RUN_AS_ROOT="1",
               OMPI_ALLOW_RUN_AS_ROOT_CONFIRM="1")
    with tempfile.TemporaryDirectory(prefix="littoral-docs-") as tmp:
        root = copy_of_repository(tmp)
        for body, line in runnable(path):
            r = subprocess.run(["bash", "-euo", "pipefail", "-c", body], cwd=root, env=env,
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=180)
            assert r.returncode == 0, (f"{os.path.relpath(path, SOURCE)}, the block at line {line} "
                                       f"ended with status {r.returncode}:\n{body}\n--- output:\n{r.stdout[-4000:]}")


def test_the_checks_see_what_they_check():
    # The parser finds the runnable blocks, the links of a page and GitHub's anchors.
    _, blocks = split_blocks("a\n```sh runnable\necho 1\n```\n```sh\nno\n```\n")
    assert [(i, b) for i, b, _ in blocks] == [("sh runnable", "echo 1"), ("sh", "no")]
    assert slug("Result files `surfer<n>.csv`") == "result-files-surferncsv"
    assert slug("Elliptic shoal: Berkhoff, Booy & Radder (1982)") == "elliptic-shoal-berkhoff-booy--radder-1982"
    assert WITH_BLOCKS, "no command block is marked runnable"
