#!/usr/bin/python3
"""Draws the diagrams of the documentation (docs/images/): the grid's axes, cell indices,
positions, the ghost ring, the closed-face bits and the wave directions (axes.png), and the
vertical conventions of depth, bed level and water level (levels.png).

Usage: /usr/bin/python3 scripts/docs_figures.py [DOCS_DIR]   (default: docs)
"""
import math
import os
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
from matplotlib.patches import FancyArrowPatch, Rectangle  # noqa: E402

plt.rcParams.update({"font.size": 9, "savefig.dpi": 100})
SAVE = {"metadata": {"Software": None}}


def arrow(ax, x0, y0, x1, y1, color="k", lw=1.4, style="-|>"):
    ax.add_patch(FancyArrowPatch((x0, y0), (x1, y1), arrowstyle=style, mutation_scale=12,
                                 color=color, lw=lw))


def axes_figure(path):
    nx, ny = 6, 4
    fig, ax = plt.subplots(figsize=(9.5, 6.4))
    # Cells: i = 0 .. nx + 1, j = 0 .. ny + 1; cell (i, j) drawn as the unit square around (i, j).
    for i in range(nx + 2):
        for j in range(ny + 2):
            ghost = i in (0, nx + 1) or j in (0, ny + 1)
            corner = i in (0, nx + 1) and j in (0, ny + 1)
            fc = "#f0f0f0" if corner else ("#ffe3b3" if ghost else "#dcecff")
            ax.add_patch(Rectangle((i - 0.5, j - 0.5), 1, 1, fc=fc, ec="#888888", lw=0.6))
    for i in range(nx + 2):
        ax.text(i, -1.05, f"i={i}", ha="center", va="center", fontsize=8)
    for j in range(ny + 2):
        ax.text(-1.1, j, f"j={j}", ha="center", va="center", fontsize=8)
    ax.text(nx / 2 + 0.5, ny + 1.95, "interior cells (blue): i = 1 … nx, j = 1 … ny; ghost ring (orange): "
            "the depth and boundary files' first and last line and value;\ncorners (grey) are read but not used",
            ha="center", va="center", fontsize=8)
    # A cell with its face bits.
    ci, cj = 4, 2
    ax.add_patch(Rectangle((ci - 0.5, cj - 0.5), 1, 1, fc="#b8d4ff", ec="k", lw=1.2))
    for (dx, dy, bit) in ((0.5, 0, "1"), (0, 0.5, "2"), (-0.5, 0, "4"), (0, -0.5, "8")):
        ax.text(ci + dx * 0.62, cj + dy * 0.62, bit, ha="center", va="center", fontsize=9, color="darkred",
                weight="bold")
    ax.text(ci, cj - 0.05, "(4,2)", ha="center", va="center", fontsize=7)
    ax.text(ci + 0.5, -1.45, "closed-face bits of a cell:\n1 east (i+1), 2 north (j+1),\n4 west (i−1),"
            " 8 south (j−1); 15 land", ha="center", va="top", fontsize=7.5, color="darkred")
    # Axes and positions.
    arrow(ax, 1, 1, 2.7, 1, "k", 1.8)
    arrow(ax, 1, 1, 1, 2.7, "k", 1.8)
    ax.text(2.8, 1, "X", va="center", fontsize=11, weight="bold")
    ax.text(1.0, 2.85, "Y", ha="center", fontsize=11, weight="bold")
    ax.plot([1], [1], "ko", ms=3)
    ax.text(1.08, 0.9, "cell (1,1):\nx = 0, y = 0", fontsize=7, va="top")
    ax.text(nx + 1.8, -2.2, "result columns i, j are positions in metres:\n"
            "x = (i − 1) Δx,  y = (j − 1) Δy", fontsize=8, va="center")
    # Directions: the direction the waves travel to, anticlockwise from +X.
    ox, oy, r = nx + 5.2, ny / 2 + 0.5, 1.6
    ax.plot([ox - r, ox + r], [oy, oy], color="#999999", lw=0.6)
    ax.plot([ox, ox], [oy - r, oy + r], color="#999999", lw=0.6)
    for deg, col, lab in ((0, "#999999", "0°"), (90, "#999999", "90°"), (180, "C3", "180°: normal incidence"),
                          (200, "C0", "200°"), (160, "C2", "160°"), (270, "#999999", "270° (= −90°)")):
        a = math.radians(deg)
        arrow(ax, ox, oy, ox + r * math.cos(a), oy + r * math.sin(a), col, 1.6 if col != "#999999" else 0.8)
        tx, ty = ox + (r + 0.25) * math.cos(a), oy + (r + 0.25) * math.sin(a)
        ha = "left" if math.cos(a) > 0.3 else ("right" if math.cos(a) < -0.3 else "center")
        ax.text(tx, ty, lab, color=col if col != "#999999" else "k", fontsize=8, ha=ha, va="center")
    ax.text(ox, oy - r - 0.55, "wave direction = the direction the waves travel to,\n"
            "anticlockwise from +X: degrees in the wave file,\nradians in the result column theta (−9: none)",
            ha="center", va="top", fontsize=8)
    ax.text(-1.1, ny + 1.95, "", fontsize=1)
    ax.set_xlim(-1.7, nx + 8.0)
    ax.set_ylim(-2.9, ny + 2.4)
    ax.set_aspect("equal")
    ax.axis("off")
    ax.set_title("The grid of a case (nx = 6, ny = 4): indices, positions, ghost ring, faces and directions")
    fig.savefig(path, bbox_inches="tight", **SAVE)
    plt.close(fig)


def levels_figure(path):
    fig, ax = plt.subplots(figsize=(9, 3.8))
    xs = [x * 0.25 for x in range(0, 81)]
    bed = [-(0.15 * x - 0.9) for x in xs]  # a beach at low X, deeper water offshore (high X)
    ax.fill_between(xs, bed, [-3.2] * len(xs), color="#d9c38f")
    ax.plot(xs, bed, "k-", lw=1)
    ax.axhline(0, color="k", lw=0.8, ls="--")
    ax.text(19.9, 0.03, "datum", va="bottom", ha="right", fontsize=8)
    tide = 0.4
    level = [(x, tide + 0.12 * max(0.0, (9 - x) / 6)) for x, bb in zip(xs, bed)]
    level = [(x, l) for (x, l), bb in zip(level, bed) if l > bb]
    ax.plot([x for x, _ in level], [l for _, l in level], "b-", lw=1.3)
    ax.annotate("", xy=(11, tide), xytext=(11, 0), arrowprops=dict(arrowstyle="<->", color="b"))
    ax.text(11, 0.75, "mean water level (result column setup):\ntide level + set-up + long waves",
            color="b", fontsize=8, ha="center", va="bottom")
    xi = 14
    bi = -(0.15 * xi - 0.9)
    ax.annotate("", xy=(xi, bi), xytext=(xi, 0), arrowprops=dict(arrowstyle="<->", color="C3"))
    ax.text(xi - 0.2, -0.75, "depth d of the depth file\n(positive below the datum);\n"
            "result column _dep = −d,\nthe bed level (positive up)", color="C3", fontsize=8, ha="right", va="center")
    xt = 18.5
    bt = -(0.15 * xt - 0.9)
    ax.annotate("", xy=(xt, bt), xytext=(xt, tide), arrowprops=dict(arrowstyle="<->", color="k"))
    ax.text(xt - 0.2, -1.55, "total depth\nh = d + setup", fontsize=8, ha="right", va="center")
    ax.text(1.6, 1.25, "d < 0: ground above the datum,\ndry unless the water covers it", fontsize=8,
            ha="left", va="bottom")
    ax.set_xlabel("X (m), offshore to the right")
    ax.set_ylabel("level (m)")
    ax.set_ylim(-2.4, 2.0)
    ax.set_xlim(0, 20)
    ax.set_title("Levels: the depth is positive down, bed level and water level positive up")
    fig.tight_layout()
    fig.savefig(path, **SAVE)
    plt.close(fig)


def main():
    docs = sys.argv[1] if len(sys.argv) > 1 else "docs"
    img = os.path.join(docs, "images")
    os.makedirs(img, exist_ok=True)
    axes_figure(os.path.join(img, "axes.png"))
    levels_figure(os.path.join(img, "levels.png"))


if __name__ == "__main__":
    main()
