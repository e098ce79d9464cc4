"""The verification report: out/verify/report.md with tables and plots."""

import datetime
import os

from . import analytic, field, stats
from .stats import NAMES


def _md_cell(text):
    return str(text).replace("|", "\\|")


def analytic_section(checks):
    failed = [c for c in checks if not c.passed]
    out = ["## Analytic limits", "",
           "%d checks, %d passed, %d failed." % (len(checks), len(checks) - len(failed),
                                                 len(failed)), ""]
    for group, (title, text) in analytic.GROUPS.items():
        rows = [c for c in checks if c.group == group]
        if not rows:
            continue
        out += ["### " + title, "", text, "",
                "| Result | Check | Value | Tolerance | Detail |",
                "|---|---|---:|---:|---|"]
        for c in rows:
            out.append("| %s | %s | %.3e | %.3e | %s |" % (
                "passed" if c.passed else "**FAILED**", _md_cell(c.name), c.value, c.tolerance,
                _md_cell(c.detail)))
        forms = sorted({c.closed_form for c in rows})
        out += ["", "Closed form" + ("s" if len(forms) > 1 else "") + ":", ""]
        out += ["- `%s`" % f for f in forms]
        out.append("")
    return out


def field_rows(pairs):
    """(label, measures) for all arcs, unstable and stable runs, and each arc."""
    groups = [("all arcs", pairs),
              ("unstable runs", [p for p in pairs if not p.stable]),
              ("stable runs", [p for p in pairs if p.stable])]
    groups += [("%d m" % a, [p for p in pairs if p.arc == a]) for a in field.ARCS]
    return [(label, stats.measures([p.observed for p in sel], [p.modelled for p in sel]))
            for label, sel in groups if sel]


def field_table(rows):
    lines = ["| Pairs | n | " + " | ".join(NAMES) + " |",
             "|---|---:|" + "---:|" * len(NAMES)]
    for label, m in rows:
        lines.append("| %s | %d | %s |" % (label, m["n"], " | ".join(
            "%.2f" % m[k] for k in NAMES)))
    return lines


def _factor(mg):
    """A geometric mean bias in words: over- or under-prediction by a factor."""
    if mg < 1:
        return "over-predicts by a factor %.2f" % (1 / mg)
    return "under-predicts by a factor %.2f" % mg


def describe(what, pairs):
    """Where the model over- or under-predicts, in words: overall, by
    stability and along the arcs (MG: observed over modelled, geometric)."""
    rows = dict(field_rows(pairs))
    arcs = [(a, rows["%d m" % a]["MG"]) for a in field.ARCS if "%d m" % a in rows]
    text = "For %s the model %s on all arcs (MG %.2f)" % (what, _factor(rows["all arcs"]["MG"]),
                                                           rows["all arcs"]["MG"])
    parts = ["in %s runs it %s" % (k, _factor(rows["%s runs" % k]["MG"]))
             for k in ("unstable", "stable") if "%s runs" % k in rows]
    if parts:
        text += "; " + " and ".join(parts)
    text += ". Along the arcs MG goes " + ", ".join("%.2f at %d m" % (mg, a) for a, mg in arcs)
    if len(arcs) > 1:
        first, last = arcs[0][1], arcs[-1][1]
        if last < first:
            text += ": the model's values grow against the observed ones with distance, "
        else:
            text += ": the model's values fall behind the observed ones with distance, "
        text += "from a model that %s at %d m to one that %s at %d m" % (
            _factor(first), arcs[0][0], _factor(last), arcs[-1][0])
    return text + "."


def field_section(runs, pairs, change, scatter_png, ratio_png, spread=()):
    n_stable = sum(1 for r in runs if r.stable)
    out = ["## Field data: Project Prairie Grass (1956)", "",
           "Data: `verification/data/prairie_grass.csv`, described in "
           "`verification/data/prairie_grass.md`. %d runs with meteorology (%d unstable, "
           "%d stable); %d pairs of modelled and observed crosswind-integrated concentration "
           "per unit emission, CY/Q, on the arcs at 50, 100, 200, 400 and 800 m; run 39 at "
           "800 m and run 40 at 400 m are left out (blocks of missing samplers)."
           % (len(runs), len(runs) - n_stable, n_stable, len(pairs)), "",
           "Model set-up per run: a point source at %g m (`hq`), receptor height %g m (`zp`), "
           "`ua` = `u_ref` at `ha` = %g m, `lm` = `L`, `hm` = the mixing height where given "
           "(else the model's own), `z0` %g m, `tm` %g s, a vertical grid from %g m at the "
           "ground stretched by %g per cell to 2 km, plume table every %g m, `al` %g. The "
           "modelled value is the column Cy(z=zp) of the `*LISTE plm` listing."
           % (runs[0].h_src, runs[0].z_rcv, runs[0].z_ref, field.Z0, field.TM,
              field.GRID["h0"], field.GRID["ratio"], field.LI, field.ALPHA), "",
           "Both comparisons are judged on all arcs by the acceptance band FAC2 ≥ %.1f, "
           "|FB| ≤ %.1f and %.1f ≤ MG ≤ %.1f (Chang and Hanna 2004 for FB and MG; their FAC2 "
           "bound of 0.5 is raised to 0.8 for this project); `scripts/verify.sh` ends with a "
           "non-zero exit code when a measure lies outside it."
           % (field.FAC2_MIN, field.FB_MAX, *field.MG_RANGE), "",
           "### CY/Q", ""]
    out += field_table(field_rows(pairs)) + [""]
    out += [describe("CY/Q", pairs), ""]
    out += ["Judged: " + ("; ".join(field.judge(field_rows(pairs)[0][1])) or "inside the band"),
            ""]
    if spread:
        out += ["### Lateral spread σy", "",
                "The observed σy of each arc (the concentration-weighted second moment of the "
                "sampler positions, including the meander of the 10 minutes) against the "
                "model's Sy, the width of the meandering plume, from the same plume tables.",
                ""]
        out += field_table(field_rows(spread)) + [""]
        out += [describe("σy", spread), ""]
        out += ["Judged: " + ("; ".join(field.judge(field_rows(spread)[0][1]))
                              or "inside the band"), ""]
    out += ["Definitions:", ""]
    out += ["- %s: %s" % (name, text.replace("<=", "≤")) for name, text in stats.DEFINITIONS]
    out += ["- Co observed, Cp modelled; a perfect model has FAC2 = 1, FB = NMSE = 0, "
            "MG = VG = 1.", ""]
    out += ["Numerical check: on a vertical grid of half the spacing (%g m at the ground, "
            "stretched by %g) the modelled values change by at most %.2f %%."
            % (field.FINE_GRID["h0"], field.FINE_GRID["ratio"], 100 * change), ""]
    out += ["![Model against observation](%s)" % os.path.basename(scatter_png), "",
            "![Ratio against distance](%s)" % os.path.basename(ratio_png), ""]
    return out


def write(path, program, checks, field_part=None):
    """Writes the report; field_part is (runs, pairs, change, scatter, ratio,
    spread) or None when only the analytic part ran."""
    lines = ["# Verification of the odor dispersion model", "",
             "Produced by `verification/verify` (which `scripts/verify.sh` runs) on %s "
             "with %s."
             % (datetime.datetime.now().strftime("%Y-%m-%d %H:%M"), program), ""]
    lines += analytic_section(checks)
    if field_part:
        lines += field_section(*field_part)
    else:
        lines += ["## Field data", "", "Not run (analytic part only).", ""]
    tmp = path + ".tmp"
    with open(tmp, "w", encoding="utf-8") as fh:
        fh.write("\n".join(lines))
    os.replace(tmp, path)
