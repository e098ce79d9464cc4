"""Plots of the field-data comparison, written as PNG files."""

import os

import matplotlib

matplotlib.use("Agg")  # files only, no display
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

from .field import ARCS  # noqa: E402

STYLES = ((False, "unstable (L < 0)", "tab:red", "o"), (True, "stable (L > 0)", "tab:blue", "s"))


def _save(fig, path):
    tmp = path + ".tmp"
    try:
        fig.savefig(tmp, format="png", dpi=130, bbox_inches="tight")
        os.replace(tmp, path)
    finally:
        plt.close(fig)
        if os.path.exists(tmp):
            os.unlink(tmp)


def scatter(pairs, path):
    """Model against observation on log axes, with the lines 1:1 and factor 2."""
    fig, ax = plt.subplots(figsize=(6.2, 6.0))
    values = [p.observed for p in pairs] + [p.modelled for p in pairs]
    lo, hi = min(values) / 1.5, max(values) * 1.5
    line = np.array([lo, hi])
    ax.plot(line, line, "k-", lw=1, label="1:1")
    ax.plot(line, 2 * line, "k--", lw=0.8, label="factor 2")
    ax.plot(line, line / 2, "k--", lw=0.8)
    for stable, label, colour, marker in STYLES:
        sel = [p for p in pairs if p.stable == stable]
        ax.scatter([p.observed for p in sel], [p.modelled for p in sel], s=22, c=colour,
                   marker=marker, alpha=0.75, edgecolors="none", label="%s, %d" % (label, len(sel)))
    ax.set_xscale("log")
    ax.set_yscale("log")
    ax.set_xlim(lo, hi)
    ax.set_ylim(lo, hi)
    ax.set_aspect("equal")
    ax.set_xlabel("observed CY/Q at 1.5 m (s/m²)")
    ax.set_ylabel("modelled CY/Q at 1.5 m (s/m²)")
    ax.set_title("Prairie Grass: crosswind-integrated concentration, %d arcs" % len(pairs))
    ax.grid(True, which="major", lw=0.3)
    ax.legend(loc="upper left", fontsize=8)
    _save(fig, path)


def ratio_by_distance(pairs, path):
    """Modelled over observed against the arc distance, with the median per
    arc and the band of factor 2."""
    fig, ax = plt.subplots(figsize=(7.0, 4.6))
    ax.axhspan(0.5, 2.0, color="0.92", zorder=0)
    ax.axhline(1.0, color="k", lw=1)
    for stable, label, colour, marker in STYLES:
        sel = [p for p in pairs if p.stable == stable]
        # Stable and unstable side by side at each arc.
        shift = 1.06 if stable else 1 / 1.06
        ax.scatter([p.arc * shift for p in sel], [p.modelled / p.observed for p in sel], s=20,
                   c=colour, marker=marker, alpha=0.7, edgecolors="none", label=label)
        arcs = [a for a in ARCS if any(p.arc == a for p in sel)]
        medians = [np.median([p.modelled / p.observed for p in sel if p.arc == a]) for a in arcs]
        ax.plot([a * shift for a in arcs], medians, "-", color=colour, lw=1.5,
                label="median, " + label.split()[0])
    ax.set_xscale("log")
    ax.set_yscale("log")
    ax.set_xticks(ARCS)
    ax.set_xticklabels([str(a) for a in ARCS])
    ax.set_yticks([0.25, 0.5, 1, 2, 4, 8])
    ax.set_yticklabels(["0.25", "0.5", "1", "2", "4", "8"])
    ax.set_xlabel("distance (m)")
    ax.set_ylabel("modelled / observed CY/Q")
    ax.set_title("Prairie Grass: ratio against distance (band: factor 2)")
    ax.grid(True, which="major", lw=0.3)
    ax.legend(loc="upper left", fontsize=8)
    _save(fig, path)
