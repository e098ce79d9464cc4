"""The report's maps: zirmap's PNG beside a result grid when it is there and
not older than the grid, else drawn here with zirmap's own drawing, the
sources and the receptor points marked.
"""

import dataclasses
import io
import os

from zirmap_lib import dmna, mapplot

from .gather import sha256

# Map roles in the report's order, with the key of their caption.
ROLES = [("total", "map_total"), ("frw", "map_frw"), ("za", "map_za")]
IRRELEVANT = 0.02    # the line an additional-load map needs
FRH_MARK = "Häufigkeit von Belästigungsstunden"


def as_float(text, default=0.0):
    try:
        return float(text)
    except (TypeError, ValueError):
        return default


def markers(run):
    """(point sources, area outlines, receptor points) in the model's coordinates."""
    sources, areas = [], []
    for s in run.sources:
        x, y, a, b, r = (as_float(s.values[k]) for k in ("x", "y", "a", "b", "r"))
        if a == 0 and b == 0:
            sources.append((x, y))
        else:
            areas.append((x, y, a, b, r))
    points = [(as_float(p["x"]), as_float(p["y"])) for p in run.points.rows] \
        if run.points is not None else []
    return sources, areas, points


def draw(run, gridfile, title, lang):
    """PNG bytes of the map of one grid and the warnings the map shows."""
    grid = dmna.read_grid(gridfile.path)
    if mapplot.array_kind(grid) is None:
        # The weighted and additional loads are odor-hour frequencies too: drawn
        # with frh's levels and limit lines whatever title the file carries.
        grid = dataclasses.replace(grid, mark=FRH_MARK)
    sources, areas, points = markers(run)
    names = {n: r.name for n, r in run.receptors.items()}
    # The grid's own refx, refy and epsg place the map, as zirmap does.
    fig, drawn = mapplot.build_map(grid, sources=sources, areas=areas, points=points,
                                   names=names, title=title, dpi=110, lang=lang)
    try:
        drawn_levels = list(drawn["lines"].levels) if drawn.get("lines") is not None else []
        if gridfile.role == "za" and IRRELEVANT not in drawn_levels and \
                grid.values.shape[0] > 1 and grid.values.shape[1] > 1 and \
                float(grid.values.max()) >= IRRELEVANT:
            line = drawn["ax"].contour(drawn["X"], drawn["Y"], drawn["Z"], levels=[IRRELEVANT],
                                       colors="blue", linewidths=1.6, linestyles="-")
            drawn["ax"].clabel(line, fmt="%g", fontsize=8)
        buf = io.BytesIO()
        fig.savefig(buf, format="png", bbox_inches="tight", pad_inches=0.15)
    finally:
        mapplot.plt.close(fig)
    return buf.getvalue(), drawn.get("warnings", [])


def maps(run, texts, lang):
    """[(caption, PNG bytes, where it came from, warnings)] of the total,
    weighted and additional load; a map that cannot be drawn becomes a note.
    The warnings are those of the drawing, such as a contour leaving the grid;
    a map of zirmap's is used as it is."""
    out = []
    for role, key in ROLES:
        grids = [g for g in run.grids if g.role == role and g.kind == "frh"]
        if role == "za":  # one file of a fixed name
            grids = grids[:1]
        for g in sorted(grids, key=lambda g: g.name != "frh.dmna"):
            caption = texts[key]
            title = caption + ("" if len(grids) == 1 else " (%s)" % g.name)
            png = os.path.splitext(g.path)[0] + ".png"
            if os.path.isfile(png) and os.path.getmtime(png) >= os.path.getmtime(g.path):
                with open(png, "rb") as fh:
                    out.append((caption, fh.read(), os.path.basename(png), []))
                run.files.append((png, "file_map", sha256(png)))
                continue
            try:
                png, warnings = draw(run, g, title, lang)
                out.append((caption, png, texts["drawn"] % g.name, warnings))
            except dmna.DmnaError as e:
                run.note("results", "note_map_missing", g.name, str(e))
    return out
