"""Stacks: the plume rise the program reports against its closed forms, the
flux of a plume lifted in the downwind march, and its far field against a
source placed at the height of the final rise.
"""

import math
import os
import re

import numpy as np

from . import analytic, model
from .checks import Check

ZERO_C = 273.15  # K
AMBIENT = 10.0   # degrees C: the guideline's reference temperature and Briggs' ambient air
G = 9.81         # m/s2

# Inner diameter (m), exit velocity (m/s), exit temperature (degrees C) and
# the wind at the stack top (m/s); the first is the example of the guideline
# formula: Q = 0.0446 MW, dh = 6.57 m, xe = 41.4 m. 0.5 m/s is raised to 1;
# at 6 m/s the exit (8 m/s) is slower than 1.5 u: Briggs' stack-tip downwash.
RISE_CASES = (
    (0.8, 7.0, 20.0, 3.0),
    (0.5, 10.0, 20.0, 3.0),
    (1.0, 8.0, 30.0, 2.0),
    (0.6, 12.0, 15.0, 5.0),
    (0.8, 7.0, 10.0, 3.0),
    (1.2, 9.0, 60.0, 1.5),
    (0.4, 7.0, 25.0, 0.5),
    (1.0, 8.0, 40.0, 6.0),
)
MODELS = ((1, "guideline 1985"), (2, "Briggs"))
RISE_LINE = re.compile(r"^Quelle (\d+): Überhöhung (\S+) m, erreicht bei xe=(\S+) m, "
                       r"u=(\S+) m/s, Absenkung (\S+) m$", re.M)
# Printed with two decimals: half a unit of the last digit, and the
# single-precision inputs (relative 1e-7) on top.
RISE_TOLERANCE = 0.005 + 1e-5


def heat_flux(d, v, t):
    """MW: 1.36e-3 R (t - 10), R the volume flow at 0 degrees C."""
    if t <= AMBIENT:
        return 0.0
    return 1.36e-3 * math.pi / 4 * d * d * v * ZERO_C / (t + ZERO_C) * (t - AMBIENT)


def guideline(d, v, t, u):
    """Final rise (m), its distance (m) and no downwash."""
    u = max(u, 1.0)
    q = heat_flux(d, v, t)
    return (max((84 * math.sqrt(q) + 0.35 * v * d) / u, 3 * v * d / u),
            209.8 * q ** 0.522, 0.0)


def briggs(d, v, t, u):
    """Final rise (m) of the larger of buoyancy and momentum, its distance
    (m), and the stack-tip downwash (m)."""
    u = max(u, 1.0)
    ts, ta = t + ZERO_C, AMBIENT + ZERO_C
    fb = G * v * d * d / 4 * (ts - ta) / ts if ts > ta else 0.0
    fm = v * v * d * d / 4 * ta / ts
    if fb <= 0:
        dhb = xb = 0.0
    elif fb < 55:
        dhb, xb = 21.425 * fb ** 0.75 / u, 49 * fb ** 0.625
    else:
        dhb, xb = 38.71 * fb ** 0.6 / u, 119 * fb ** 0.4
    dhm = 3 * d * v / u
    beta = 1.0 / 3 + u / v
    if dhb >= dhm:
        dh, xe = dhb, xb
    else:
        # the momentum rise (3 Fm x / (beta^2 u^2))^(1/3) reaches 3 d v / u
        dh, xe = dhm, dhm ** 3 * beta ** 2 * u ** 2 / (3 * fm)
    downwash = 2 * d * (1.5 - v / u) if v < 1.5 * u else 0.0
    return dh, xe, downwash


def rise_commands():
    """One situation per wind speed, a source per case and model, 50 m apart."""
    text = ("-:ZIRidev\n- Plume rise of stacks in constant wind.\n"
            "*DIMENSIONIERUNG\nop \"intern\"\nnz %d\ndz %g\nmi 20\n"
            % (analytic.NZ, analytic.DZ))
    for u in sorted({c[3] for c in RISE_CASES}):
        k = 0
        for d, v, t, cu in RISE_CASES:
            if cu != u:
                continue
            for qr, _ in MODELS:
                text += ("*QUELLE%s\nxq %d\nhq 20\nli 10\nni 20\ndq %g\nvq %g\ntq %g\nqr %d\n"
                         % (" add" if k else "", 50 * k, d, v, t, qr))
                k += 1
        text += ("*PARAMETER\nz0 0\nua %g\nal 0.5\n" % u
                 + analytic.internal_profile(analytic.NZ, u, analytic.K)
                 + "*PARAMETER run\n")
    return text + "*ENDE\n"


def check_rise(exe, outdir):
    """The final rise and its distance of every case and model, as the
    program reports them, against the closed forms."""
    log = model.run(exe, os.path.join(outdir, "stacks_rise"), rise_commands())
    lines = RISE_LINE.findall(log)
    expected = []
    for u in sorted({c[3] for c in RISE_CASES}):
        for d, v, t, cu in RISE_CASES:
            if cu == u:
                expected += [(qr, label, d, v, t, u) for qr, label in MODELS]
    if len(lines) != len(expected):
        raise model.ModelError("stacks: %d rise lines, expected %d" % (len(lines), len(expected)))
    checks = []
    for (qr, label, d, v, t, u), line in zip(expected, lines):
        got = [float(x) for x in line[1:]]
        want = (guideline if qr == 1 else briggs)(d, v, t, u)
        dev = max(abs(got[0] - want[0]), abs(got[1] - want[1]), abs(got[3] - want[2]),
                  abs(got[2] - max(u, 1.0)))
        checks.append(Check(
            "stacks", "rise %s, d=%g m v=%g m/s T=%g C u=%g m/s" % (label, d, v, t, u),
            "dh = %.2f m, xe = %.2f m, downwash %.2f m" % want,
            dev, RISE_TOLERANCE,
            "reported dh = %.2f m, xe = %.2f m, u = %.2f m/s, downwash %.2f m"
            % (got[0], got[1], got[2], got[3])))
    return checks


FAR_HQ = 10.0
FAR_LI = 5.0
FAR_NI = 200       # the table reaches 1000 m
FAR_FROM = 5       # ground values compared from 5 xe on
FAR_TOLERANCE = 0.02


def far_commands(qr, hq):
    """A 10 m stack with rise qr in a neutral boundary layer, or (qr 0) a
    plain source at hq."""
    stack = ("dq 0.8\nvq 7\ntq 20\nqr %d\n" % qr) if qr else ""
    return ("-:ZIRidev\n- Plume rise against a source at the final height.\n"
            "*DIMENSIONIERUNG\nnz 400\ndz 0.5\nmi %d\n*QUELLE\nhq %g\nli %g\n%s"
            "*PARAMETER\nua 3\n*PARAMETER run\n*LISTE plm\n*ENDE\n"
            % (FAR_NI, hq, FAR_LI, stack))


def check_far(exe, outdir):
    """The flux of the lifted plume stays 1, and beyond a few xe its ground
    values are those of a plain source at hq + dh."""
    checks = []
    for qr, label in MODELS:
        log = model.run(exe, os.path.join(outdir, "stacks_far%d" % qr), far_commands(qr, FAR_HQ))
        rise = RISE_LINE.findall(log)
        if len(rise) != 1:
            raise model.ModelError("stacks: no rise line in the far-field case")
        dh, xe = float(rise[0][1]), float(rise[0][2])
        lifted = model.plume_tables(log)[0]
        flux = np.abs(lifted.flux - 1.0)
        checks.append(Check(
            "stacks", "flux = emission with rise, %s" % label,
            "integral of u c dz = Q (unit source: 1) at every x while the profile is lifted",
            flux.max(), analytic.FLUX_TOLERANCE,
            "%d distances up to %g m" % (lifted.x.size, lifted.x[-1])))
        plain_log = model.run(exe, os.path.join(outdir, "stacks_at%d" % qr),
                              far_commands(0, FAR_HQ + dh))
        plain = model.plume_tables(plain_log)[0]
        far = lifted.x >= FAR_FROM * xe
        dev = np.abs(lifted.cg[far] / plain.cg[far] - 1)
        worst = int(np.argmax(dev))
        checks.append(Check(
            "stacks", "far field with rise = source at hq + dh, %s" % label,
            "cg(x) of the lifted plume = cg(x) of a source at %g + %.2f m, x >= %d xe"
            % (FAR_HQ, dh, FAR_FROM),
            dev[worst], FAR_TOLERANCE,
            "x from %.0f to %g m, largest deviation at x=%g m"
            % (lifted.x[far][0], lifted.x[-1], lifted.x[far][worst])))
    return checks


def run_all(exe, outdir):
    return check_rise(exe, outdir) + check_far(exe, outdir)


GROUP = (
    "Stacks: plume rise",
    "Stacks without buildings (`dq`, `vq`, `tq`, `qr`) in constant wind (the internal "
    "profile of the constant group; 0.5 m/s is raised to 1 m/s): the final rise, its distance "
    "and the stack-tip downwash the program writes into the log (two decimals) against the "
    "guideline formula of 1985 and Briggs' neutral formulas, evaluated in double precision "
    "(tolerance: half a unit of the second decimal). Then a 10 m stack (d = 0.8 m, v = 7 m/s, "
    "T = 20 °C) in a neutral boundary layer with ua 3 m/s: the flux column of its plume table "
    "while the profile is lifted (tolerance as in the flux group), and its ground values from "
    "%d xe to 1000 m against those of a plain source at hq + dh (tolerance %g: the rise is "
    "reached gradually, so the plume spent its first metres lower)." % (FAR_FROM, FAR_TOLERANCE))
