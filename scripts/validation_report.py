#!/usr/bin/python3
"""Writes docs/validation.md and docs/images/validation/*.png from the series that the
validation tests write when LITTORAL_VALIDATION_SERIES names a folder (see
scripts/validation-report.sh, which runs them).

Usage: validation_report.py SERIES_DIR DOCS_DIR
"""
import csv
import os
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

plt.rcParams.update({"font.size": 9, "figure.dpi": 100, "savefig.dpi": 100,
                     "svg.hashsalt": "littoral", "path.simplify": False})
SAVE = {"metadata": {"Software": None}}


def read(series, name):
    with open(os.path.join(series, name + ".csv"), newline="") as f:
        rows = list(csv.reader(f))
    head, body = rows[0], rows[1:]
    cols = {h: [] for h in head}
    for r in body:
        for h, v in zip(head, r):
            try:
                cols[h].append(float(v))
            except ValueError:
                cols[h].append(v)
    return cols


def measures(series):
    out = {}
    with open(os.path.join(series, "measures.csv"), newline="") as f:
        for b, what, value, sense, bound, ref in csv.reader(f):
            out.setdefault(b, []).append((what, float(value), sense, float(bound), float(ref)))
    return out


def fmt(x):
    if x == 0:
        return "0"
    a = abs(x)
    if a >= 100:
        return f"{x:.1f}"
    if a >= 1:
        return f"{x:.3f}"
    if a >= 0.01:
        return f"{x:.4f}"
    return f"{x:.2e}"


def table(rows):
    """Markdown table of measures: what, model value, asserted bound, met or not."""
    lines = ["| measure | model | test asserts | |", "|---|---|---|---|"]
    allmet = True
    for what, v, sense, bound, ref in rows:
        if sense == "<":
            cond, met = f"< {fmt(bound)}", v < bound
        elif sense == ">":
            cond, met = f"> {fmt(bound)}", v > bound
        elif sense == "==":
            cond, met = f"= {fmt(bound)}", v == bound
        elif sense == "in":
            cond, met = f"{fmt(bound)} to {fmt(ref)}", bound <= v <= ref
        elif sense == "~":
            cond, met = f"{fmt(ref)} ± {fmt(bound)}", abs(v - ref) <= bound
        else:
            cond, met = "(reported)", True
        allmet = allmet and met
        mark = "" if sense == "info" else ("met" if met else "**not met**")
        what = what.replace("|", "\\|")
        lines.append(f"| {what} | {fmt(v)} | {cond} | {mark} |")
    return "\n".join(lines), allmet


def berkhoff(series, img):
    p = read(series, "berkhoff_points")
    f = read(series, "berkhoff_field")
    fig = plt.figure(figsize=(11, 7.2))
    ax = fig.add_axes([0.06, 0.40, 0.40, 0.52])
    xs = sorted(set(f["x_m"]))
    ys = sorted(set(f["y_m"]))
    grid = {(x, y): h for x, y, h in zip(f["x_m"], f["y_m"], f["H_over_H0"])}
    import numpy as np
    Z = np.array([[grid[(x, y)] for x in xs] for y in ys])
    dep = {(x, y): d for x, y, d in zip(f["x_m"], f["y_m"], f["depth_m"])}
    D = np.array([[dep[(x, y)] for x in xs] for y in ys])
    im = ax.pcolormesh(xs, ys, Z, cmap="viridis", vmin=0, vmax=2.5, shading="nearest")
    ax.contour(xs, ys, D, levels=[0.15, 0.2, 0.3, 0.4], colors="w", linewidths=0.5)
    for x in (1, 3, 5, 7, 9):
        ax.plot([x, x], [-5, 5], "r-", lw=0.8)
    for y in (-2, 0, 2):
        ax.plot([0, 10.5], [y, y], "r-", lw=0.8)
    ax.set_xlim(-10.5, 16.5)
    ax.set_aspect("equal")
    ax.set_xlabel("x (m), waves travel to +x")
    ax.set_ylabel("y (m)")
    ax.set_title("model H/H0 after 60 periods\n(depth contours 0.15 to 0.4 m, the sections in red)")
    fig.colorbar(im, ax=ax, shrink=0.8, label="H/H0")
    # Sections 1-5 (transverse: against y) and 6-8 (longitudinal: against x).
    slots = [[0.56, 0.72], [0.78, 0.72], [0.56, 0.40], [0.78, 0.40],
             [0.05, 0.06], [0.29, 0.06], [0.53, 0.06], [0.77, 0.06]]
    for sec in range(1, 9):
        a = fig.add_axes(slots[sec - 1] + [0.2, 0.24])
        along = "y_m" if sec <= 5 else "x_m"
        for s, style, lab in (("A", "ko", "measured"), ("B", "k^", "measured, second set")):
            pts = [(q, r) for q, r, t, k in zip(p[along], p["measured"], p["set"], p["section"])
                   if t == s and int(k) == sec]
            if pts:
                a.plot([q for q, _ in pts], [r for _, r in pts], style, ms=2.5, mfc="none", label=lab)
        mod = sorted((q, r) for q, r, t, k in zip(p[along], p["model"], p["set"], p["section"])
                     if t == "A" and int(k) == sec)
        a.plot([q for q, _ in mod], [r for _, r in mod], "b-", lw=1.2, label="model")
        where = {1: "x = 1", 2: "x = 3", 3: "x = 5", 4: "x = 7", 5: "x = 9", 6: "y = -2", 7: "y = 0", 8: "y = 2"}
        a.set_title(f"section {sec} ({where[sec]} m)", fontsize=8)
        a.set_xlabel("y (m)" if sec <= 5 else "x (m)", fontsize=8)
        a.set_ylim(0, 2.8)
        a.grid(alpha=0.3)
        if sec == 1:
            a.legend(fontsize=7, loc="upper left")
    fig.savefig(os.path.join(img, "berkhoff_shoal.png"), **SAVE)
    plt.close(fig)


def hansen(series, img):
    g = read(series, "hansen_svendsen_gauges")
    pr = read(series, "hansen_svendsen_profile")
    keep = [k for k, x in enumerate(pr["x_m"]) if -1.0 <= x <= 13.0]
    x = [pr["x_m"][k] for k in keep]
    fig, (a1, a2, a3) = plt.subplots(3, 1, figsize=(8, 7.5), sharex=True)
    a1.plot(x, [pr["H_model"][k] * 100 for k in keep], "b-", label="model")
    a1.plot(g["x_m"], [h * 100 for h in g["H_measured"]], "ko", mfc="none", ms=4, label="measured")
    a1.set_ylabel("wave height H (cm)")
    a1.legend()
    a1.grid(alpha=0.3)
    a2.plot(x, [pr["eta_model"][k] * 1000 for k in keep], "b-", label="model")
    a2.plot(g["x_m"], [e * 1000 for e in g["eta_measured"]], "ko", mfc="none", ms=4, label="measured")
    a2.axhline(0, color="k", lw=0.5)
    a2.set_ylabel("mean water level (mm)")
    a2.grid(alpha=0.3)
    a3.plot(x, [pr["bed_m"][k] for k in keep], "k-")
    a3.axhline(0, color="b", lw=0.5)
    a3.set_ylabel("bed level (m)")
    a3.set_xlabel("x (m) from 0.2 m shoreward of the slope toe; waves travel to +x")
    a3.grid(alpha=0.3)
    fig.suptitle("Hansen & Svendsen (1979), test 031041: T = 3.33 s on a 1:34.25 slope")
    fig.tight_layout()
    fig.savefig(os.path.join(img, "hansen_svendsen.png"), **SAVE)
    plt.close(fig)


def dambreak(series, img):
    fig, axes = plt.subplots(1, 3, figsize=(12, 3.8), sharey=True)
    for ax, (name, title) in zip(axes, (("ritter", "Ritter, dry bed (half the flow step)"),
                                        ("stoker_hr05", "Stoker, h_r = 0.5 m"),
                                        ("stoker_hr01", "Stoker, h_r = 0.1 m"))):
        for t, c in ((1, "C0"), (2, "C1"), (4, "C2")):
            m = read(series, f"{name}_t{t}_model")
            e = read(series, f"{name}_t{t}_exact")
            ax.plot(e["x_m"], e["h_m"], "k--", lw=0.8, label="exact" if t == 1 else None)
            ax.plot(m["x_m"], m["h_m"], "-", color=c, lw=1.2, label=f"model, t = {t} s")
        ax.set_xlim(-15, 25)
        ax.set_title(title)
        ax.set_xlabel("x (m), dam at 0")
        ax.grid(alpha=0.3)
    axes[0].set_ylabel("depth h (m)")
    axes[0].legend(fontsize=8)
    fig.tight_layout()
    fig.savefig(os.path.join(img, "dambreak.png"), **SAVE)
    plt.close(fig)


TEXT = {}

TEXT["berkhoff_shoal"] = """## Elliptic shoal: Berkhoff, Booy & Radder (1982)

Refraction and diffraction together. Regular waves, T = 1 s, H0 = 4.64 cm, cross an
elliptic shoal on a 1:50 slope whose contours are turned 20° to the crests; the shoal works
as a lens and behind it the height roughly doubles. The measured H/H0 on five transverse
sections (x = 1, 3, 5, 7, 9 m) and three longitudinal ones (y = −2, 0, +2 m), 305 points,
are compared with the model's wave height after 60 wave periods.

Set-up (`tests/validation/berkhoff_shoal.cpp`): the tank from x = −10.5 m (wave input on
the west edge, on the flat 0.45 m bed) to 16.5 m (open, radiating east edge), y from −10 to
+10 m between reflecting side walls; 270 × 200 cells of 0.10 m (about 15 cells per
wavelength on the flat bed, 9 on the shelf); the slope clipped at 0.10 m of water, so the
east edge lies on a flat shelf; breaking ratio 0.8; the waves alone (no flow, no sediment).

![Berkhoff shoal: model and measured H/H0](images/validation/berkhoff_shoal.png)

{table}

Where the model falls short: in front of the focus (section 1) it is within 0.1 of H/H0,
but behind the shoal it focuses too early and too strongly (the largest H/H0 on the centre
line about 2.4 near x = 4.5 m against the measured 2.0 near 5 m), so the interference
pattern behind is shifted and sections 2 to 7 differ by 0.2 to 0.4 of H/H0. The cause is
the linear dispersion relation: in the measured focus the higher waves travel faster
(amplitude dispersion), which spreads the focus and moves it downstream; the model's wave
speed does not depend on the height.
"""

TEXT["hansen_svendsen"] = """## Waves and set-up on a plane beach: Hansen & Svendsen (1979), test 031041

Waves and currents together. Regular waves of 3.33 s shoal on a 1:34.25 slope from a flat
bed 0.36 m deep, break near x = 9.2 m and decay across the surf zone; the mean water level is
set down before the break and set up inside the surf zone.

Set-up (`tests/validation/hansen_svendsen.cpp`): a whole case (waves, flow and sediment)
run by the same driver as a user's case, the flume as a strip 4 cells wide with periodic
sides; cells of 5 cm; offshore height 0.0337 m, which shoals linearly to the measured
0.041 m on the flat bed; friction coefficient 0.005, breaking ratio 0.8, minimum depth
1 mm; 45 wave periods, heights and levels averaged over the last 20.

![Hansen & Svendsen: wave height, mean water level and bed](images/validation/hansen_svendsen.png)

{table}

Where the model falls short: the wave grows by linear shoaling only, while the measured wave
steepens and grows by half as much again over the last two metres before it breaks (the
model's largest height is 6.1 cm at x = 9.2 m, the measured 9.4 cm at 9.15 m): the break is
at the right place but too low, and the heights just inside the surf zone are too high
because the damping, proportional to the excess over the limit, does not take the measured
sudden loss of a plunging breaker. The set-down before the break is about twice the
measured (−4 mm against −1.7 mm): the radiation stress from the linear kinematics, at the
peak of the modelled height, without the roller that delays the transfer of momentum in
the real surf zone.
"""

TEXT["dambreak"] = """## Dam breaks: Ritter (dry bed) and Stoker (wet bed)

The flow solver alone against the exact solutions. A channel of 1 m wide cells along X, one
cell across, closed at both ends far enough away that no wave reaches them by t = 4 s; a flat
frictionless bed, water at rest, 1 m deep for x < 0 and h_r beyond; cells of 5 cm; minimum
depth 1 mm (`tests/validation/dambreak_test.cpp`). The exact tables are in
`tests/data/dam_break/`.

![Dam breaks: model depth against the exact solutions at t = 1, 2 and 4 s](images/validation/dambreak.png)

Ritter, dry bed (h_r = 0):

{ritter}

Stoker, wet bed, h_r = 0.5 m (subcritical middle state):

{stoker05}

Stoker, wet bed, h_r = 0.1 m (supercritical middle state):

{stoker01}

Where the model falls short: the cell update raises the depth wherever the new discharge
would be supercritical (it keeps the Froude number at or below 1). A dam break onto a dry or
shallow bed is supercritical beyond the dam, so there the model carries more water, moving
more slowly: Ritter's front travels at about √(g h_l) instead of 2√(g h_l), about 0.46 m³/s
per metre of width is added, and with h_r = 0.1 m the plateau is held at the critical depth
of its discharge (0.442 m) instead of the exact 0.396 m. Only the subcritical part of Ritter's
fan is compared with the exact depth. On a dry bed the wave running onto it moves at twice
the speed the stable step allows for, so the dry-bed run is made with half the main loop's
step; with the full step it breaks down within ten steps. The subcritical Stoker case
(h_r = 0.5 m) is matched within a millimetre on the plateau and within a cell at the bore.
"""

HEAD = """# Validation

This page is made by one command, from the validation tests' own runs:

```sh
scripts/validation-report.sh
```

It builds the test program (`cmake --preset test`), runs the validation tests with
`LITTORAL_VALIDATION_SERIES` set so that each writes its model and reference series and the
measures it asserts, and draws them with matplotlib. The tables give each measure as the
test computes it, the bound the test asserts, and whether this run met it; the same tests run
in `scripts/test.sh` (label `validation`). Nothing on this page is typed in by hand
except the descriptions.

The benchmarks: [the elliptic shoal of Berkhoff, Booy & Radder](#elliptic-shoal-berkhoff-booy--radder-1982)
(refraction and diffraction), [Hansen & Svendsen's plane beach](#waves-and-set-up-on-a-plane-beach-hansen--svendsen-1979-test-031041)
(shoaling, breaking, set-down and set-up), and [dam breaks](#dam-breaks-ritter-dry-bed-and-stoker-wet-bed)
against the exact solutions of Ritter and Stoker (the shallow-water solver, wet/dry fronts).
The model's equations are in [model.md](model.md), its limits in its last section.

Not yet among the tests: the directional-spectrum shoal of Vincent & Briggs (1989), the
irregular waves on a slope of Mase & Kirby (1992) and Thacker's oscillating basins; the
model has no spectral input (an irregular sea is a sequence of regular wave periods of
Rayleigh-distributed heights), so the first two would test a different model than the one
the laboratory ran.
"""


def main():
    series, docs = sys.argv[1], sys.argv[2]
    img = os.path.join(docs, "images", "validation")
    os.makedirs(img, exist_ok=True)
    ms = measures(series)
    berkhoff(series, img)
    hansen(series, img)
    dambreak(series, img)
    parts = [HEAD]
    t, _ = table(ms.get("berkhoff_shoal", []))
    parts.append(TEXT["berkhoff_shoal"].format(table=t))
    t, _ = table(ms.get("hansen_svendsen", []))
    parts.append(TEXT["hansen_svendsen"].format(table=t))
    parts.append(TEXT["dambreak"].format(ritter=table(ms.get("dambreak_ritter", []))[0],
                                         stoker05=table(ms.get("dambreak_stoker_hr0.5", []))[0],
                                         stoker01=table(ms.get("dambreak_stoker_hr0.1", []))[0]))
    with open(os.path.join(docs, "validation.md"), "w") as f:
        f.write("\n".join(parts))


if __name__ == "__main__":
    main()
