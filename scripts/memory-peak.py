#!/usr/bin/python3
"""Peak resident memory of littoral-batch against the memory estimate it checks.

Writes plane-beach cases of N x N cells (one output interval each) into a scratch folder,
runs the batch program on each under /usr/bin/time -v with the given threads and result
options, and prints one table row per run: cells, threads, result files, the estimate the
program reports (from its refusal when it is told only 1 kB is available), the measured
peak and their ratio. Peak memory does not depend on the machine's load; the times do.

usage: scripts/memory-peak.py BATCH_PROGRAM SCRATCH N[,N...] [--threads 1,2] [--opts csv,nc]
                              [--peaks FILE]
"""
import json
import os
import re
import subprocess
import sys


def write_case(root, n):
    name = f"g{n}"
    d = os.path.join(root, "data", name)
    os.makedirs(d, exist_ok=True)
    os.makedirs(os.path.join(root, "output"), exist_ok=True)
    dx = 2.5
    period = 8.0
    coef = [1, n, dx, 1, n, dx, 17, 35, 0.01, 0.8, 0.01, 0, 0, period, 0.05, 0.0002, 2650,
            0.000001, 8, 5]
    with open(os.path.join(d, "coef.txt"), "w") as f:
        for k, v in enumerate(coef):
            f.write(f"{v}, value {k + 1}\n")
        f.write("'endconst\n")
    # Depth falls from 4 m at the east ghost column at a slope of 1/100 towards the west,
    # floored at -1 m (a dry beach at the west end).
    with open(os.path.join(d, "depth.txt"), "w") as f:
        for i in range(0, n + 2):
            h = max(-1.0, 4.0 - 0.01 * (n + 1 - i) * dx)
            f.write(",".join([f"{h:.4f}"] * (n + 2)) + "\n")
    with open(os.path.join(d, "boundary.txt"), "w") as f:
        for i in range(0, n + 2):
            row = []
            for j in range(0, n + 2):
                gi, gj = i < 1 or i > n, j < 1 or j > n
                row.append(0 if gi and gj else 17 if i > n else 16 if gj else 0)
            f.write(",".join(map(str, row)) + "\n")
    with open(os.path.join(d, "wave.txt"), "w") as f:
        f.write(f"17, input\n0.5, H\n{period}, T\n180, dir\n{n}, px\n1, py\n0, groups\n0, amp\n")
    with open(os.path.join(d, "tide.txt"), "w") as f:
        f.write("0, tide\n1\n17, 0, 0, 0\n")
    cnt = os.path.join(root, "data", f"{name}cnt.txt")
    with open(cnt, "w") as f:
        f.write("\n".join(f"{name}\\{x}.txt" for x in ("coef", "depth", "boundary", "wave", "tide")))
        f.write(f"\n{name}\n'endcnt\n")
    return cnt


def run(batch, cnt, threads, opts, limit_kib=None):
    args = [batch, "--threads", str(threads)] + opts + [cnt]
    pre = f"ulimit -v {limit_kib}; " if limit_kib else ""
    cmd = ["bash", "-c", pre + "exec /usr/bin/time -v " + " ".join(args)]
    # Threads that wait sleep: on a loaded machine spinning threads only slow each other.
    env = dict(os.environ, OMP_WAIT_POLICY="passive")
    p = subprocess.run(cmd, capture_output=True, text=True, env=env)
    peak = re.search(r"Maximum resident set size \(kbytes\): (\d+)", p.stderr)
    wall = re.search(r"Elapsed \(wall clock\) time \(h:mm:ss or m:ss\): (\S+)", p.stderr)
    return p.returncode, (int(peak.group(1)) * 1024 if peak else 0), wall.group(1) if wall else "", p.stdout + p.stderr


UNITS = {"B": 1, "KiB": 1024, "MiB": 1024 ** 2, "GiB": 1024 ** 3, "TiB": 1024 ** 4}


def estimate(batch, root, cnt, threads, opts):
    """The program's own estimate, from its refusal of the case when the memory available
    reads as 1 kB (a /proc/meminfo of its own under LITTORAL_SYSTEM_ROOT)."""
    fake = os.path.join(root, "fake-system")
    os.makedirs(os.path.join(fake, "proc"), exist_ok=True)
    with open(os.path.join(fake, "proc", "meminfo"), "w") as f:
        f.write("MemTotal:       1 kB\nMemAvailable:       1 kB\n")
    env = dict(os.environ, LITTORAL_SYSTEM_ROOT=fake)
    p = subprocess.run([batch, "--threads", str(threads)] + opts + [cnt], capture_output=True, text=True, env=env)
    m = re.search(r"needs about ([\d.]+) (\w+) of memory", p.stdout + p.stderr)
    return float(m.group(1)) * UNITS[m.group(2)] if m else 0.0


def main():
    batch, root, sizes = sys.argv[1], sys.argv[2], [int(s) for s in sys.argv[3].split(",")]
    threads = [1, 2]
    optsets = {"csv": [], "nc": ["--netcdf"]}
    a = sys.argv[4:]
    if "--threads" in a:
        threads = [int(t) for t in a[a.index("--threads") + 1].split(",")]
    if "--opts" in a:
        keep = a[a.index("--opts") + 1].split(",")
        optsets = {k: v for k, v in optsets.items() if k in keep}
    # --peaks FILE: the peaks measured before (one JSON object a line) are taken from FILE
    # and new ones added to it; only the estimates are asked of the program again.
    peaks_file = a[a.index("--peaks") + 1] if "--peaks" in a else None
    known = {}
    if peaks_file and os.path.exists(peaks_file):
        for line in open(peaks_file):
            r = json.loads(line)
            known[(r["n"], r["threads"], r["opts"])] = r
    print("| cells | threads | results | estimate (MiB) | peak (MiB) | estimate / peak | wall |")
    print("|---|---|---|---|---|---|---|")
    for n in sizes:
        cnt = write_case(root, n)
        for t in threads:
            for label, opts in optsets.items():
                r = known.get((n, t, label))
                if r is None:
                    rc, peak, wall, text = run(batch, cnt, t, opts)
                    if rc != 0:
                        print(f"run failed ({rc}): {text[-600:]}", file=sys.stderr)
                    r = {"n": n, "threads": t, "opts": label, "peak": peak, "wall": wall, "rc": rc}
                    if peaks_file:
                        with open(peaks_file, "a") as f:
                            f.write(json.dumps(r) + "\n")
                est = estimate(batch, root, cnt, t, opts)
                ratio = est / r["peak"] if r["peak"] else float("nan")
                print(f"| {n} x {n} | {t} | {'CSV' if label == 'csv' else 'CSV + netCDF'} | {est / 2**20:.1f} | "
                      f"{r['peak'] / 2**20:.1f} | {ratio:.3f} | {r['wall']} |", flush=True)


if __name__ == "__main__":
    main()
