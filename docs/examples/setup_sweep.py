#!/usr/bin/python3
"""Wave set-up on a plane beach for a sweep of offshore wave heights.

The beach is generated in Python (a 1:30 slope under waves coming straight in, periodic
alongshore), each height runs in-process in its own thread (the engine releases the
interpreter lock while it computes), and the alongshore-mean set-up of the last interval is
plotted against the distance from the shoreline into setup_sweep.png beside this script.

    PYTHONPATH=build/release/python /usr/bin/python3 docs/examples/setup_sweep.py
"""
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt
import numpy as np

import littoral

heights = [0.4, 0.8, 1.2, 1.6]     # offshore wave heights (m)
period = 8.0                        # s
dx, dy, nx, ny = 2.0, 4.0, 90, 6    # cells (m) and counts: 180 m cross-shore
x = np.arange(nx) * dx                     # the cell positions the results give
depth = np.tile(x / 30.0 - 1.0, (ny, 1))   # 1:30, the shoreline 30 m from the low-x end


def run(height):
    case = littoral.Case.from_arrays(depth=depth, dx=dx, dy=dy, sides="periodic",
                                     waves=dict(height=height, period=period, direction=180.0),
                                     end_time=40 * period, name=f"h{height:g}")
    r = littoral.Run(case, threads=1, write_files=False, progress=False).run_to_end()
    return r.to_xarray()


with ThreadPoolExecutor(max_workers=len(heights)) as pool:
    results = list(pool.map(run, heights))

fig, ax = plt.subplots(figsize=(7, 4))
shore = 30.0
for h, ds in zip(heights, results):
    setup = ds["setup"].mean("y")
    wet = setup + depth.mean(axis=0) > 0.01          # the dry beach has no mean level
    ax.plot(ds.x - shore, (setup * 100).where(wet), label=f"H = {h:g} m")
ax.axvline(0, color="0.6", lw=0.8)
ax.axhline(0, color="0.6", lw=0.8)
ax.set_xlabel("distance offshore from the still-water shoreline (m)")
ax.set_ylabel("mean water level above still water (cm)")
ax.set_title(f"Wave set-up on a 1:30 beach, T = {period:g} s, normal incidence")
ax.set_xlim(-30, 140)
ax.legend()
fig.tight_layout()
fig.savefig(Path(__file__).with_suffix(".png"), dpi=110)
print("set-up at the shoreline (cm):",
      ", ".join(f"H={h:g}: {float(ds['setup'].mean('y').interp(x=shore)) * 100:.1f}" for h, ds in zip(heights, results)))
