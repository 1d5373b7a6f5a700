#!/usr/bin/python3
"""Largest difference per field between the result field files of two runs.

usage: compare-results.py OLD_FOLDER NEW_FOLDER [--first]

For each surfer<n>.csv found in both folders, compares every column cell by cell and prints,
per field, the largest absolute difference over all files and the file where it occurs, then
the files that only one folder has. --first prints the first file's comparison on its own
too. Exit status 0 always (a report, not a check).
"""
import csv
import glob
import os
import sys


def read(path):
    with open(path, newline="") as f:
        rows = list(csv.reader(f))
    return rows[0], rows[1:]


def compare(a, b):
    ha, ra = read(a)
    hb, rb = read(b)
    if ha != hb or len(ra) != len(rb):
        return None
    out = {}
    for c, name in enumerate(ha):
        d = 0.0
        for x, y in zip(ra, rb):
            if x[c] != y[c]:
                d = max(d, abs(float(x[c]) - float(y[c])))
        out[name] = d
    return out


def number(p):
    return int(os.path.basename(p)[len("surfer"):-len(".csv")])


def main():
    old, new = sys.argv[1], sys.argv[2]
    names = lambda d: {os.path.basename(p) for p in glob.glob(os.path.join(d, "surfer[0-9]*.csv"))}
    both = sorted(names(old) & names(new), key=lambda n: number(n))
    worst = {}
    identical = 0
    for n in both:
        r = compare(os.path.join(old, n), os.path.join(new, n))
        if r is None:
            print(n, ": headers or line counts differ")
            continue
        if all(v == 0 for v in r.values()):
            identical += 1
        if n == both[0] and "--first" in sys.argv:
            print("first file", n, ":", ", ".join(f"{k} {v:.3g}" for k, v in r.items() if v > 0) or "identical")
        for k, v in r.items():
            if v > worst.get(k, (-1, ""))[0]:
                worst[k] = (v, n)
    print(f"{len(both)} files in both, {identical} identical")
    for k, (v, n) in worst.items():
        if v > 0:
            print(f"  {k:8s} {v:.6g}  ({n})")
    only = sorted(names(old) ^ names(new), key=lambda n: number(n))
    if only:
        print("only in one folder:", " ".join(only))


main()
