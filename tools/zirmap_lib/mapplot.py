"""Maps of result grids (PNG with matplotlib) and ESRI ASCII grids.

The grid's first index runs east (x), the second north (y); the map shows
north up with equal scales on both axes. With an origin, the national
coordinates of the model's (0, 0), the map and the ESRI grid are in the
national system; markers are still given in the model's coordinates.
"""

import dataclasses
import math
import os
import re
import warnings

import numpy as np
import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
from matplotlib.colors import BoundaryNorm  # noqa: E402
from matplotlib.lines import Line2D  # noqa: E402
from matplotlib.patches import Polygon  # noqa: E402
from matplotlib.ticker import FuncFormatter, MaxNLocator  # noqa: E402

import zirtool  # noqa: E402

from .texts import TEXTS  # noqa: E402

# Frequencies (fractions of the time or of the hours): bands fine near the
# assessment thresholds 0.10 and 0.15; below 1 % the map stays blank.
FREQUENCY_LEVELS = [0.01, 0.02, 0.05, 0.10, 0.15, 0.20, 0.30, 0.50, 1.0]
# The German odor regulation's limits for the odor-hour frequency: 0.10 in
# residential and mixed areas, 0.15 in commercial, industrial and village
# areas.
FRH_THRESHOLDS = [0.10, 0.15]
# Contour polygons of fro and frh for GIS: the limits and the 0.02 below
# which an additional load is irrelevant.
CONTOUR_LEVELS = [0.02, 0.10, 0.15]
# The additional load of the applicant's groups (a file with "sgrp" "za"):
# irrelevant where it does not exceed 0.02.
ZA_THRESHOLDS = [0.02]

# Titles ("mark") that the model writes for its four arrays, lower case.
KIND_BY_MARK = [
    ("konzentration", "cnc"),
    ("kumulative geruchsh", "fro"),
    ("häufigkeit von belästigungsstunden", "frh"),
    ("verhältnis 90-perzentil", "r90"),
]


def array_kind(grid):
    """"cnc", "fro", "frh", "r90", or None: from the title, else the file name."""
    mark = grid.mark.lower()
    for prefix, kind in KIND_BY_MARK:
        if mark.startswith(prefix):
            return kind
    stem = os.path.splitext(os.path.basename(grid.path))[0].lower()
    return stem if stem in ("cnc", "fro", "frh", "r90") else None


def log_levels(vmax, decades=3):
    """Levels 1, 2, 5 per decade from about vmax/10**decades up to the first >= vmax."""
    top = math.floor(math.log10(vmax))
    levels = []
    for e in range(top - decades, top + 1):
        for m in (1, 2, 5):
            levels.append(m * 10.0 ** e)
    levels.append(10.0 ** (top + 1))
    levels = [float("%.6g" % v) for v in levels]
    while len(levels) > 2 and levels[-2] >= vmax:
        levels.pop()
    return levels


def linear_levels(vmin, vmax):
    if vmax <= vmin:
        pad = max(abs(vmin) * 0.1, 1e-12)
        return [vmin - pad, vmin + pad]
    return list(MaxNLocator(10).tick_values(vmin, vmax))


def default_levels(kind, values):
    """Contour levels that suit the array; values are the finite grid values."""
    finite = values[np.isfinite(values)]
    vmax = float(finite.max()) if finite.size else 0.0
    vmin = float(finite.min()) if finite.size else 0.0
    positive = finite[finite > 0]
    if kind in ("fro", "frh"):
        return list(FREQUENCY_LEVELS)
    if kind == "cnc":
        return log_levels(vmax) if vmax > 0 else [1e-6, 1e-5]
    if kind == "r90":
        # r90 is 0 where there is no concentration: leave that blank.
        if positive.size:
            levels = linear_levels(float(positive.min()), vmax)
            return [v for v in levels if v > 0] or levels
        return [0.5, 1.0]
    return linear_levels(vmin, vmax)


def format_level(v):
    return "%g" % v


def concentration_unit(mark, lang="en"):
    """The unit of amount of a concentration title such as "Konzentration (GE/m3)";
    the odor unit in the map's language (OU in English, GE in German)."""
    m = re.search(r"\(([^()/]*)/m3\)\s*$", mark)
    unit = m.group(1) if m else "GE"
    return TEXTS[lang]["odor_unit"] if unit.upper() in ("GE", "OU") else unit


def assessment_levels(grid, kind):
    """Levels whose contour an assessment reads off the map: the limits of
    the odor-hour frequency, or for the applicant's additional load the
    level below which it is irrelevant."""
    if kind != "frh":
        return []
    return list(ZA_THRESHOLDS if grid.group == "za" else FRH_THRESHOLDS)


def area_corners(area):
    """Corners of an area (x, y, a, b, rot): side a turned rot degrees
    counter-clockwise from east, b 90 degrees further."""
    xq, yq, aq, bq, rq = area
    r = math.radians(rq)
    ea = (aq * math.cos(r), aq * math.sin(r))
    eb = (-bq * math.sin(r), bq * math.cos(r))
    return [(xq, yq), (xq + ea[0], yq + ea[1]),
            (xq + ea[0] + eb[0], yq + ea[1] + eb[1]), (xq + eb[0], yq + eb[1])]


def inside_areas(x, y, areas, tolerance=1e-6):
    """Mask of the points (x, y arrays, model coordinates) inside or on the
    outline of any area."""
    inside = np.zeros(np.broadcast(x, y).shape, dtype=bool)
    for xq, yq, aq, bq, rq in areas:
        r = math.radians(rq)
        dx, dy = x - xq, y - yq
        u = dx * math.cos(r) + dy * math.sin(r)
        v = -dx * math.sin(r) + dy * math.cos(r)
        inside |= (u >= -tolerance) & (u <= aq + tolerance) & \
                  (v >= -tolerance) & (v <= bq + tolerance)
    return inside


def edge_levels(values, levels):
    """The levels that the values reach on the outermost nodes: their
    contours leave the grid, and the area beyond is unknown."""
    finite = np.where(np.isfinite(values), values, -np.inf)
    rim = np.concatenate([finite[0, :], finite[-1, :], finite[:, 0], finite[:, -1]])
    return [v for v in levels if rim.size and rim.max() >= v]


def build_map(grid, levels=None, sources=(), areas=(), points=None, title=None, dpi=150,
              origin=None, crs=None, lang="en", percent=False, names=None, basemap=None):
    """Draws the map of a grid; returns the figure and what was drawn.

    sources: [(x, y), ...]; areas: [(x, y, a, b, rot), ...] with the side a
    turned rot degrees counter-clockwise from east and b 90 degrees further;
    points: [(x, y), ...], all in the model's coordinates. origin: (E, N) of
    the model's (0, 0), which puts the axes into national coordinates; crs
    names their system in the axis labels. lang ("en" or "de") is the
    language of every text the map adds; the file's identification is shown
    as it stands. percent draws fro and frh in percent (levels too). names:
    {number: name} of the points, shown beside their markers. basemap: a
    georeferenced raster file drawn under the colours, which become
    translucent. Without origin and crs the file's refx/refy and epsg place
    the map; without areas the file's area sources are drawn, and they are
    left out of the maximum of fro and frh. The returned dict holds "X",
    "Y", "Z" (Z[j, i] at X[j, i], Y[j, i], as drawn), the levels, the axes,
    the colour bar, the threshold lines of frh (or None), the legend's
    texts, "maximum" (value, x, y, outside the areas) or None, and
    "warnings", texts that the map shows and a caller reports.
    """
    from .gis import placement
    text = TEXTS[lang]
    origin, crs = placement(grid, origin, crs)
    if not sources and not areas and grid.sources:
        sources = [(q.x, q.y) for q in grid.sources if not q.is_area]
        areas = [(q.x, q.y, q.a, q.b, q.rot) for q in grid.sources if q.is_area]
    model_x, model_y = grid.x, grid.y
    east, north = origin if origin is not None else (0.0, 0.0)
    if origin is not None:
        grid = dataclasses.replace(grid, x=grid.x + east, y=grid.y + north)
    kind = array_kind(grid)
    scale = 100.0 if percent and kind in ("fro", "frh") else 1.0
    values = grid.values * scale
    if levels is None:
        levels = [v * scale for v in default_levels(kind, grid.values)]
    levels = sorted(levels)
    assessed = assessment_levels(grid, kind)
    thresholds = [v * scale for v in assessed]
    finite = values[np.isfinite(values)]
    vmax = float(finite.max()) if finite.size else 0.0
    extend = "max" if vmax > levels[-1] else "neither"

    X, Y = np.meshgrid(grid.x, grid.y)   # rows run north, columns east
    Z = np.ma.masked_invalid(values.T)
    cmap = plt.get_cmap("YlOrRd" if kind in ("fro", "frh") else "viridis_r" if kind == "cnc"
                        else "viridis")
    norm = BoundaryNorm(levels, cmap.N, extend=extend)

    span_x = grid.x[-1] - grid.x[0] or grid.delt
    span_y = grid.y[-1] - grid.y[0] or grid.delt
    height = min(max(6.5 * span_y / span_x + 1.8, 4.0), 11.5)
    fig, ax = plt.subplots(figsize=(8.0, height), dpi=dpi, layout="constrained")
    legend = []  # (handle, label)
    notes = []   # warnings shown on the map
    alpha = None
    if basemap is not None:
        from .gis import read_basemap
        extent = (grid.x[0], grid.x[-1], grid.y[0], grid.y[-1])
        if extent[0] == extent[1] or extent[2] == extent[3]:
            h = grid.delt / 2
            extent = (extent[0] - h, extent[1] + h, extent[2] - h, extent[3] + h)
        image = read_basemap(basemap, extent, crs)
        if image is None:
            notes.append(text["no_basemap"] % os.path.basename(basemap))
        else:
            ax.imshow(image, extent=extent, origin="upper", interpolation="bilinear", zorder=0)
            alpha = 0.55  # the base map shows through the colours
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        if len(grid.x) >= 2 and len(grid.y) >= 2:
            filled = ax.contourf(X, Y, Z, levels=levels, cmap=cmap, norm=norm, extend=extend,
                                 alpha=alpha, zorder=1)
        else:
            # A single row or column cannot be contoured: draw its cells.
            h = grid.delt / 2
            xe = np.append(grid.x - h, grid.x[-1] + h)
            ye = np.append(grid.y - h, grid.y[-1] + h)
            shown = np.ma.masked_less(Z, levels[0])
            filled = ax.pcolormesh(xe, ye, shown, cmap=cmap, norm=norm, alpha=alpha, zorder=1)
        lines = None
        if thresholds and len(grid.x) >= 2 and len(grid.y) >= 2 and vmax >= min(thresholds):
            styles = (["--", "-"] if len(thresholds) == 2 else [":", "--", "-"])[:len(thresholds)]
            widths = [1.2, 1.8, 2.2][:len(thresholds)]
            lines = ax.contour(X, Y, Z, levels=thresholds, colors="black",
                               linewidths=widths, linestyles=styles)
            ax.clabel(lines, fmt=format_level, fontsize=8)
            meanings = text["za_threshold" if grid.group == "za" else "thresholds"]
            for value, style, width, meaning in zip(thresholds, styles, widths, meanings):
                if vmax >= value:
                    limit = "%g %%" % value if scale != 1 else "%.2f" % value
                    legend.append((Line2D([], [], color="black", linestyle=style,
                                          linewidth=width), "%s: %s" % (limit, meaning)))

    cbar = fig.colorbar(filled, ax=ax, ticks=levels, shrink=0.85, pad=0.03)
    cbar.ax.set_yticklabels([format_level(v) for v in levels])
    if kind is None:
        quantity = grid.mark or os.path.basename(grid.path)
    elif scale != 1:
        quantity = text["percent"][kind]
    elif kind == "cnc":
        quantity = text["quantity"]["cnc"] % concentration_unit(grid.mark, lang)
    else:
        quantity = text["quantity"][kind]
    cbar.set_label(quantity)
    if lines is not None:
        cbar.add_lines(lines)

    for n, area in enumerate(areas):
        corners = [(x + east, y + north) for x, y in area_corners(area)]
        patch = ax.add_patch(Polygon(corners, closed=True, fill=False, edgecolor="blue",
                                     linewidth=1.8, zorder=4, label=text["area"]))
        if n == 0:  # one legend entry however many areas there are
            legend.append((patch, text["area"]))
    if sources:
        marks, = ax.plot([s[0] + east for s in sources], [s[1] + north for s in sources],
                         marker="*", markersize=15, color="blue", markeredgecolor="white",
                         linestyle="none", zorder=5, label=text["source"])
        legend.append((marks, text["source"]))
    if points:
        points = [(x + east, y + north) for x, y in points]
        marks, = ax.plot([p[0] for p in points], [p[1] for p in points], marker="o",
                         markersize=6, markerfacecolor="white", markeredgecolor="black",
                         linestyle="none", zorder=5, label=text["points"])
        for n, (x, y) in enumerate(points, 1):
            label = (names or {}).get(n) or str(n)
            ax.annotate(label, (x, y), xytext=(4, 4), textcoords="offset points",
                        fontsize=8, zorder=5,
                        bbox=dict(boxstyle="round,pad=0.15", facecolor="white", alpha=0.7,
                                  linewidth=0))
        legend.append((marks, text["points"]))
    if legend:
        # Below the map, where it hides nothing.
        ax.legend([h for h, _ in legend], [t for _, t in legend], loc="upper center",
                  bbox_to_anchor=(0.5, -0.1), ncol=1 if lines is not None else len(legend),
                  fontsize=8, frameon=False)

    h = grid.delt / 2 if len(grid.x) < 2 or len(grid.y) < 2 else 0.0
    ax.set_xlim(grid.x[0] - h, grid.x[-1] + h)
    ax.set_ylim(grid.y[0] - h, grid.y[-1] + h)
    ax.set_aspect("equal")
    # Full coordinates (also of seven digits), few enough not to collide.
    for axis in (ax.xaxis, ax.yaxis):
        axis.set_major_locator(MaxNLocator(nbins=6, steps=[1, 2, 5, 10]))
        axis.set_major_formatter(FuncFormatter(lambda v, _pos: "%.10g" % v))
    if origin is None:
        ax.set_xlabel(text["x"])
        ax.set_ylabel(text["y"])
    else:
        system = ", " + crs.upper() if crs else ""
        ax.set_xlabel(text["easting"] + system)
        ax.set_ylabel(text["northing"] + system)
    ax.grid(True, color="grey", alpha=0.3, linewidth=0.5)
    if title is not None:
        heading = title
    elif kind is not None:
        heading = text["title"][kind]
    else:
        heading = grid.mark or os.path.splitext(os.path.basename(grid.path))[0]
    subtitle = [grid.title] if grid.title else []
    maximum = None
    if finite.size and vmax != 0:
        label = text["maximum"]
        search = np.where(np.isfinite(values), values, -np.inf)
        if kind in ("fro", "frh") and areas:
            # A node inside a source area is no place where people live.
            mi, mj = np.meshgrid(model_x, model_y, indexing="ij")
            search = np.where(inside_areas(mi, mj, areas), -np.inf, search)
            label = text["maximum_outside"]
        if np.isfinite(search).any() and search.max() > -np.inf:
            im, jm = np.unravel_index(np.argmax(search), search.shape)
            top = float(search[im, jm])
            shown = "%.3g %%" % top if scale != 1 else "%.3g" % top
            subtitle.append(label % (shown, grid.x[im], grid.y[jm]))
            maximum = (top / scale, float(grid.x[im]), float(grid.y[jm]),
                       label is not text["maximum"])
    elif finite.size:
        subtitle.append(text["zero"])
    if len(grid.x) >= 2 and len(grid.y) >= 2:
        for level in edge_levels(grid.values, assessed):
            notes.append(text["edge"] % ("%g %%" % (level * 100) if scale != 1 else "%.2f" % level))
    if notes:
        ax.text(0.01, 0.99, "\n".join(notes), transform=ax.transAxes, ha="left", va="top",
                fontsize=8, color="darkred", zorder=6,
                bbox=dict(facecolor="white", alpha=0.8, edgecolor="darkred"))
    ax.set_title("\n".join(subtitle), fontsize=9)
    fig.suptitle(heading, fontsize=13)
    return fig, {"X": X, "Y": Y, "Z": Z, "levels": levels, "ax": ax, "colorbar": cbar,
                 "kind": kind, "lines": lines, "legend": [t for _, t in legend],
                 "maximum": maximum, "warnings": notes}


def render_map(grid, png, **options):
    """Draws the map of a grid (a Grid, or the name of a result file) into
    the PNG file png and returns the warnings it shows (texts). options are
    those of build_map, as zirmap's command line sets them: levels, sources,
    areas, points, names, title, dpi, origin, crs, lang, percent, basemap;
    field chooses the field of a file. Raises DmnaError for a file that
    cannot be read, GisError for a base map, OSError when png cannot be
    written."""
    field = options.pop("field", None)
    if isinstance(grid, str):
        from .dmna import read_grid
        grid = read_grid(grid, field)
    fig, drawn = build_map(grid, **options)
    save_png(fig, png)
    return drawn["warnings"]


def replace_file(path, write):
    """Writes path through a temporary file beside it, so no half file is left."""
    os.replace(zirtool.stage(path, write), path)


def save_png(fig, path):
    try:
        replace_file(path, lambda fh: fig.savefig(fh, format="png", bbox_inches="tight",
                                                      pad_inches=0.15))
    finally:
        plt.close(fig)


def asc_text(grid, origin=None, nodata=-9999.0):
    """The grid as an ESRI ASCII grid: nodes are cell centres, rows from north.

    With origin (E, N) the grid lies in national coordinates and the header
    gives the outer corner of the south-west cell, as GIS programs place a
    raster on a base map.
    """
    nx, ny = grid.values.shape
    if origin is None:
        place = ["xllcenter %.10g" % grid.x[0], "yllcenter %.10g" % grid.y[0]]
    else:
        half = grid.delt / 2
        place = ["xllcorner %.12g" % (origin[0] + grid.x[0] - half),
                 "yllcorner %.12g" % (origin[1] + grid.y[0] - half)]
    lines = ["ncols %d" % nx, "nrows %d" % ny, *place,
             "cellsize %.10g" % grid.delt, "NODATA_value %g" % nodata]
    for j in range(ny - 1, -1, -1):
        row = grid.values[:, j]
        lines.append(" ".join("%.7g" % v if math.isfinite(v) else "%g" % nodata for v in row))
    return "\n".join(lines) + "\n"


def save_asc(grid, path, origin=None):
    text = asc_text(grid, origin)
    replace_file(path, lambda fh: fh.write(text.encode("ascii")))
