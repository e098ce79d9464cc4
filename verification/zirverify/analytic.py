"""Analytic limits: the model against solutions in closed form.

Each group writes its command file into a folder of its own under the output
directory, runs the program there and compares what the program listed or
wrote with the closed form. The command files stay behind, so a reviewer can
run them again by hand. Tolerances follow from the numerics: the digits the
listings keep, the second-order error of the vertical grid, the rounding of
single-precision values; they are printed with every check.
"""

import math
import os

import numpy as np

from . import model, stacks
from .checks import Check
from .grids import read_grid

EPS = 2.0 ** -24  # unit roundoff of single precision, in which the model stores its values
LISTING_ROUND = 5e-4  # "%10.3e" of the concentration listing: half a unit in the 4th digit
TABLE_ROUND = 5e-5    # "%12.4e" of the plume table: half a unit in the 5th digit
POINT_ROUND = 5e-4    # "%12.3e" of the receptor-point listing

# Constant wind and diffusivity, set through the internal section *_.
U = 2.0      # m/s
K = 0.5      # m2/s
DZ = 0.5     # m, vertical grid
NZ = 300     # grid top at 150 m, above every plume of these distances
ZP = 1.5     # m, receptor height
LI = 10.0    # m, interval of the plume table
NI = 40      # the table reaches 400 m
DISTANCES = (50, 100, 200, 400)
SOURCES = ((0.0, "ground-level"), (10.0, "elevated"))
ALPHA = 0.5  # explicit weight: the second-order scheme, sub-stepped by the model


def repeat(value, n):
    return " ".join([str(value)] * n)


def internal_profile(nz, u, k):
    """The section *_ that fixes wind and diffusivity at every level; tw 0
    makes the effective diffusivity equal to kz from the source on."""
    return ("*_\n"
            "ux %s\nkz %s\nww %s\n"
            "tw 0\nvv 0.5\nlv 20\n") % (repeat(u, nz + 1), repeat(k, nz + 1), repeat(0, nz + 1))


# Constant wind and diffusivity -------------------------------------------------

def constant_commands(alpha=ALPHA):
    head = ("-:ZIRidev\n"
            "- Constant wind %g m/s and diffusivity %g m2/s on a %g m grid up to %g m:\n"
            "- a ground-level and an elevated point source.\n"
            "*DIMENSIONIERUNG\nop \"intern\"\nnz %d\ndz %g\nmi %d\nzp %g\n"
            % (U, K, DZ, NZ * DZ, NZ, DZ, NI, ZP))
    text = head
    for hq, _ in SOURCES:
        text += ("*QUELLE\nhq %g\nli %g\n"
                 "*PARAMETER\nz0 0\nua %g\nal %g\nmx 5\nmz 1\n" % (hq, LI, U, alpha)
                 + internal_profile(NZ, U, K)
                 + "*PARAMETER run\n*LISTE plm\n")
    return text + "*ENDE\n"


def sigma(x):
    """Vertical spread (m) of a plume in constant wind and diffusivity."""
    return math.sqrt(2 * K * x / U)


def image_sources(h, top, terms=3):
    """Heights of the source and its mirror images in the ground and in the
    top of the grid, both of which let no mass through."""
    return [s * h + 2 * m * top for m in range(-terms, terms + 1) for s in (1, -1)]


def closed_point(z, x, h, top):
    """Crosswind-integrated concentration (s/m2) of a unit point source at
    height h, at height z and distance x."""
    s = sigma(x)
    return sum(math.exp(-(z - c) ** 2 / (2 * s * s)) for c in image_sources(h, top)) / (
        U * math.sqrt(2 * math.pi) * s)


def closed_cell_means(zk, x, h):
    """The same closed form averaged over the cells zk[i-1]..zk[i]."""
    s = sigma(x)
    top = zk[-1]

    def phi(v):
        return 0.5 * (1 + math.erf(v / (s * math.sqrt(2))))
    means = []
    for z0, z1 in zip(zk[:-1], zk[1:]):
        mass = sum(phi(z1 - c) - phi(z0 - c) for c in image_sources(h, top))
        means.append(mass / (U * (z1 - z0)))
    return np.array(means)


def source_layer_variance(hq):
    """Variance (m2) of the layer over which the model spreads a point source:
    its own cell, centred on hq; a layer that starts at the ground forms,
    with its mirror image, one layer of twice the height."""
    lower = max(hq - DZ / 2, 0.0)
    width = 2 * DZ if lower == 0.0 else DZ
    return width * width / 12


def constant_tolerance(x, hq, rounding, interpolated, alpha=ALPHA):
    """Largest deviation from the closed form, relative to the profile peak.

    The source layer and the three-point second difference each widen the
    plume by a variance of order dz^2/12, which changes the profile by at most
    that variance over 2 sigma^2 of its peak; linear interpolation between
    cell centres adds dz^2/(8 sigma^2); the march of N single-precision
    sub-steps (the model's critical step dz^2 u/K) a few roundings per step.
    """
    s2 = sigma(x) ** 2
    steps = x / (DZ * DZ * U / K)
    tol = rounding + (source_layer_variance(hq) + DZ * DZ / 12) / (2 * s2) + 4 * steps * EPS
    if interpolated:
        tol += DZ * DZ / (8 * s2)
    if alpha == 0:
        # The fully implicit march spreads each step of the table with a
        # Laplace kernel of exactly the right variance; after n steps the
        # profile has the excess kurtosis 3/n, which moves it by at most the
        # Edgeworth terms 3/(8n) (first order) and 1.45/n^2 (second) of its peak.
        n = x / LI
        tol += 3 / (8 * n) + 1.45 / (n * n)
    return tol


CLOSED_FORM_TEXT = ("C(x,z) = sum over images H' of exp(-(z-H')^2/(2 s^2)) / (u sqrt(2 pi) s), "
                    "s^2 = 2 K x / u, H' = +-H + 2 m T (ground and grid top T reflect)")


def check_constant(exe, outdir, alpha=ALPHA):
    """Plume-table values at zp and whole vertical profiles against the
    closed form with its reflections; returns the checks and the plume tables
    (whose flux column the flux check also reads)."""
    folder = "constant" if alpha == ALPHA else "constant_al%g" % alpha
    log = model.run(exe, os.path.join(outdir, folder),
                    constant_commands() if alpha == ALPHA else constant_commands(alpha))
    scheme = "" if alpha == ALPHA else ", al %g" % alpha
    tables = model.plume_tables(log)
    listings = model.concentration_listings(log)
    if len(tables) != len(SOURCES) or len(listings) != len(SOURCES):
        raise model.ModelError("constant case: expected %d listings of each kind" % len(SOURCES))
    zk = np.arange(NZ + 1) * DZ
    checks = []
    for (hq, kind), table, prof in zip(SOURCES, tables, listings):
        for x in DISTANCES:
            exact = closed_cell_means(zk, x, hq)
            peak = exact.max()
            c_zp = closed_point(ZP, x, hq, zk[-1])
            got = table.at(x, "cp")
            checks.append(Check(
                "constant", "%s source H=%g m: Cy(z=zp) at x=%d m%s" % (kind, hq, x, scheme),
                CLOSED_FORM_TEXT + " at z = zp",
                abs(got - c_zp) / peak, constant_tolerance(x, hq, TABLE_ROUND, True, alpha),
                "model %.4e, closed form %.4e s/m2; deviation relative to the peak" % (got, c_zp)))
            dev = np.abs(prof.at(x) - exact)
            worst = int(np.argmax(dev))
            checks.append(Check(
                "constant", "%s source H=%g m: vertical profile at x=%d m%s" % (kind, hq, x, scheme),
                CLOSED_FORM_TEXT + ", averaged over each cell",
                dev[worst] / peak, constant_tolerance(x, hq, LISTING_ROUND, False, alpha),
                "%d cells, largest deviation at z=%.2f m; relative to the peak %.4e s/m2"
                % (exact.size, prof.z[worst], peak)))
    return checks, tables


# Flux conservation -------------------------------------------------------------

def stretched_grid(h0=0.1, ratio=1.1, top=2000.0):
    """Levels 0, h0, h0 + h0*ratio, ... up to the first level above top (m):
    fine near the ground, where source and receptors are."""
    zk = [0.0]
    h = h0
    while zk[-1] < top:
        zk.append(zk[-1] + h)
        h *= ratio
    return np.array(zk)


# Boundary-layer situations for the flux check: (label, *PARAMETER lines, *QUELLE lines).
FLUX_SITUATIONS = (
    ("neutral, point source 0.5 m, implicit", "ua 5\nlm 0\nal 0", "hq 0.5\ncq 0"),
    ("unstable L=-10 m, point source 0.5 m", "ua 3\nlm -10\nhm 800\nal 0.5", "hq 0.5\ncq 0"),
    ("stable L=20 m, point source 0.5 m", "ua 3\nlm 20\nal 0.5", "hq 0.5\ncq 0"),
    ("neutral, source layer 2..8 m", "ua 5\nlm 0\nal 0.5", "hq 2\ncq 6"),
)
FLUX_LI = 10.0
FLUX_NI = 100


def flux_commands(zk):
    nz = len(zk) - 1
    text = ("-:ZIRidev\n"
            "- Similarity profiles on a grid stretched from %g m at the ground to %.0f m.\n"
            "*DIMENSIONIERUNG\nnz %d\nmi %d\n" % (zk[1], zk[-1], nz, FLUX_NI))
    for label, met, src in FLUX_SITUATIONS:
        text += ("** %s\n*QUELLE\n%s\nli %g\n*PARAMETER\nz0 0.006\nha 2\n%s\nzk %s\n"
                 "*PARAMETER run\n*LISTE plm\n" % (label, src, FLUX_LI, met,
                                                   model.vector(zk, "%.4f")))
    return text + "*ENDE\n"


# The column prints 4 decimals (5e-5). The scheme conserves the flux exactly,
# but each single-precision solve lets it drift by about the unit roundoff
# times the condition of the step, 1 + 2 theta K dx/(u h^2): 5e-5 after the
# 400 sub-steps of the constant case. 5e-4 covers the at most 2000 steps of
# these runs, and is far below any lost or added share of the emission.
FLUX_TOLERANCE = 5e-4


def check_flux(exe, outdir, constant_tables):
    """Without deposition the flux sum(u h c) of a unit source stays 1 at
    every downwind distance of the plume table."""
    zk = stretched_grid()
    log = model.run(exe, os.path.join(outdir, "flux"), flux_commands(zk))
    tables = model.plume_tables(log)
    if len(tables) != len(FLUX_SITUATIONS):
        raise model.ModelError("flux case: expected %d plume tables" % len(FLUX_SITUATIONS))
    labels = ["constant u and K, %s source H=%g m" % (kind, hq) for hq, kind in SOURCES]
    labels += [label for label, _, _ in FLUX_SITUATIONS]
    checks = []
    for label, table in zip(labels, list(constant_tables) + tables):
        dev = np.abs(table.flux - 1.0)
        worst = int(np.argmax(dev))
        checks.append(Check(
            "flux", "flux = emission, %s" % label,
            "integral of u c dz = Q (unit source: 1) at every x",
            dev[worst], FLUX_TOLERANCE,
            "%d distances up to %g m, " % (table.x.size, table.x[-1])
            + ("largest deviation at x=%g m" % table.x[worst] if dev[worst] > 0
               else "every one listed as 1.0000")))
    return checks


# Odor probability and 90th percentile of one core plume -------------------------

ODOR_NC = 50      # classes per decade: fine enough that the closed form is met closely
ODOR_LL = -100    # the scale runs from 0.01 ...
ODOR_NL = 200     # ... to 100
ODOR_GS = 1.0     # odor threshold
ODOR_LD = 0.5     # spread of ln(threshold)
ODOR_SHAPES = (2.0, 1.5)


SCALE_FINE = (ODOR_NC, ODOR_LL, ODOR_NL)
SCALE_DEFAULT = (5, -10, 20)  # nc, ll, nl as users run them: 0.01 to 100, five classes a decade
ODOR_GA = 0.1     # critical share of the hour with odor (default of ga)


def odor_commands(nu, scale=SCALE_FINE):
    nz = 100
    nc, ll, nl = scale
    return ("-:ZIRidev\n"
            "- One core plume (nm 0) of a point source 2 m high, wind from the west.\n"
            "*DIMENSIONIERUNG\nop \"intern\"\nnz %d\ndz %g\nmi %d\nnm 0\nnc %d\nll %d\nnl %d\n"
            "nw 36\n"
            "*GITTER\nnx 41\nny 21\ndr 10\nxr 0\nyr -100\n"
            "*QUELLE\nhq 2\nli %g\nni 41\neq 500\n"
            "*PARAMETER\nz0 0\nua %g\nal %g\npd %g\ngs %g\nld %g\nnu 1\nre 270\ndw 1 %s\n"
            % (nz, DZ, 41, nc, ll, nl, LI, U, ALPHA, nu, ODOR_GS, ODOR_LD, repeat(0, 35))
            + internal_profile(nz, U, K)
            + "*PARAMETER run\n*SPEICHERN cnc fro frh r90\nmo \"binary\"\n*ENDE\n")


def weibull_scale(mean, nu):
    return mean / math.gamma(1 + 1 / nu)


def perception_probability(mean, nu):
    """Probability that the odor is perceived: the Weibull exceedance
    exp(-(theta/s)^nu) of a threshold theta that is log-normal around gs,
    integrated over ln(theta) on a fine grid in double precision."""
    s = weibull_scale(mean, nu)
    t = np.linspace(math.log(ODOR_GS) - 12 * ODOR_LD, math.log(ODOR_GS) + 12 * ODOR_LD, 12001)
    g = np.exp(-0.5 * ((t - math.log(ODOR_GS)) / ODOR_LD) ** 2)
    g /= np.trapz(g, t)
    return float(np.trapz(np.exp(-(np.exp(t) / s) ** nu) * g, t))


def class_sum_error(mean, nu, scale):
    """How far the perception integral taken as a sum over the classes of
    the scale (normalised Gaussian weights at each class, the method of the
    model) lies from the integral itself, in double precision: the
    quadrature error that a coarse scale adds to the closed form."""
    nc, ll, nl = scale
    t = (ll + np.arange(nl + 1)) * math.log(10) / nc
    w = np.exp(-0.5 * ((t - math.log(ODOR_GS)) / ODOR_LD) ** 2)
    w /= w.sum()
    s = weibull_scale(mean, nu)
    return abs(float(np.sum(w * np.exp(-(np.exp(t) / s) ** nu)))
               - perception_probability(mean, nu))


def ratio90(nu):
    """90th percentile over mean of a Weibull distribution of shape nu."""
    return math.log(10) ** (1 / nu) / math.gamma(1 + 1 / nu)


def percentile_tolerance(nu, nc=ODOR_NC):
    """Relative error bound of a 90th percentile interpolated linearly in
    ln(c) between classes of width d = ln(10)/nc: the interpolated F differs
    by at most d^2/8 max|F''|, which moves the quantile by at most that over
    the smallest F' within one class of it."""
    d = math.log(10) / nc
    y90 = math.log(10)  # (c90/s)^nu
    u = np.linspace(-d, d, 201)
    y = y90 * np.exp(nu * u)
    f2 = np.max(np.abs(nu * nu * y * np.exp(-y) * (1 - y)))
    f1 = np.min(nu * y * np.exp(-y))
    return d * d / 8 * f2 / f1 + 1e-6  # and the float sums of cnc and c90


def interpolation_error(mean, nu, scale):
    """Relative error of the 90th percentile found, as the model finds it,
    by interpolating ln c linearly between the classes of the scale where the
    exact Weibull distribution passes 0.9; in double precision."""
    nc, ll, nl = scale
    t = (ll + np.arange(nl + 1)) * math.log(10) / nc
    f = 1 - np.exp(-(np.exp(t) / weibull_scale(mean, nu)) ** nu)
    k = int(np.argmax(f >= 0.9))
    if k == 0 or f[k] < 0.9:
        return 0.0  # outside the scale; such receptors are not compared
    lnc = t[k - 1] + (0.9 - f[k - 1]) / (f[k] - f[k - 1]) * (t[k] - t[k - 1])
    return abs(math.exp(lnc) / (mean * ratio90(nu)) - 1)


def check_odor(exe, outdir):
    checks = []
    runs = [(nu, SCALE_FINE) for nu in ODOR_SHAPES] + [(2.0, SCALE_DEFAULT)]
    for nu, scale in runs:
        nc, ll, nl = scale
        fine = scale == SCALE_FINE
        work = os.path.join(outdir, "odor_pd%g%s" % (nu, "" if fine else "_defaults"))
        what = "Weibull shape %g%s" % (nu, "" if fine else ", nc 5, ll -10, nl 20 (defaults)")
        model.run(exe, work, odor_commands(nu, scale))
        cnc, fro, frh, r90 = (read_grid(os.path.join(work, n))
                              for n in ("cnc", "fro", "frh", "r90"))
        reached = cnc > 0
        expected = np.array([perception_probability(c, nu) for c in cnc[reached]])
        dev = np.abs(fro[reached] - expected)
        # The model sums nl+1 float products of at most 1; on a coarse scale
        # the sum over the classes is itself an approximation of the integral.
        quad = 0.0 if fine else max((class_sum_error(c, nu, scale) for c in cnc[reached]),
                                     default=0.0)
        checks.append(Check(
            "odor", "odor probability, " + what,
            "p = integral of exp(-(theta/s)^nu) over theta log-normal(ln gs, ld), "
            "s = cnc/Gamma(1+1/nu)", float(dev.max()) if dev.size else float("nan"),
            (nl + 1) * EPS + quad, "%d receptors, p up to %.3g%s"
            % (dev.size, expected.max() if dev.size else 0,
               "" if fine else "; the class sum's own error %.2e" % quad)))
        # An odor hour: p above ga. Receptors whose p lies within the
        # tolerance of ga could go either way and are left out.
        margin = (nl + 1) * EPS + quad
        clear = np.abs(expected - ODOR_GA) > margin
        wrong = int(np.sum((frh[reached][clear] > 0.5) != (expected[clear] > ODOR_GA)))
        wrong += 0 if np.any(reached) else frh.size  # a grid the plume never reaches
        wrong += int(np.sum((frh[reached] != 0) & (frh[reached] != 1)))
        checks.append(Check(
            "odor", "odor hour, " + what,
            "frh = 1 where p > ga (%g), else 0 (one sub-sector, one hour class)" % ODOR_GA,
            float(wrong), 0.0, "receptors that break it, of %d (%d with p above ga)"
            % (int(clear.sum()), int(np.sum(expected[clear] > ODOR_GA)))))
        # Only where the percentile lies inside the concentration scale.
        r = ratio90(nu)
        lo, hi = 2 * 10.0 ** (ll / nc), 0.5 * 10.0 ** ((ll + nl) / nc)
        inside = (cnc * r > lo) & (cnc * r < hi)
        rel = np.abs(r90[inside] / r - 1)
        # On a coarse scale the general bound is loose: the interpolation's
        # own error, computed in double precision, is the tolerance there.
        tol = percentile_tolerance(nu, nc)
        if not fine:
            tol = max((interpolation_error(c, nu, scale) for c in cnc[inside]), default=0.0) + 1e-5
        checks.append(Check(
            "odor", "90th percentile / mean, " + what,
            "c90/c = ln(10)^(1/nu) / Gamma(1+1/nu) = %.6f" % r,
            float(rel.max()) if rel.size else float("nan"), tol,
            "%d receptors, relative deviation" % rel.size))
    return checks


# Rotation -------------------------------------------------------------------------

ROT_NW = 36
ROT_RE = 10.0          # first sector, degrees
ROT_N = 41             # grid of 41 x 41 nodes centred on the source
ROT_DR = 20.0          # m
ROT_DISTANCES = (30.0, 100.0, 250.0, 450.0)  # m downwind
ROT_OFFSETS = (-40.0, -15.0, 0.0, 15.0, 40.0)  # m crosswind
ROT_GRID_TOLERANCE = 1e-5


def rotation_points(phi):
    """Receptor points at fixed downwind and crosswind offsets for the wind
    from phi (degrees clockwise from north)."""
    a = math.radians(phi)
    down = (-math.sin(a), -math.cos(a))   # where the wind blows to
    cross = (math.cos(a), -math.sin(a))   # 90 degrees clockwise of it
    pts = [(d * down[0] + v * cross[0], d * down[1] + v * cross[1])
           for d in ROT_DISTANCES for v in ROT_OFFSETS]
    return [p[0] for p in pts], [p[1] for p in pts]


def rotation_sector_of(phi):
    return int(round((phi - ROT_RE) / (360 / ROT_NW))) % ROT_NW


CARDINAL = (90.0, 180.0, 270.0, 360.0)


def rotation_commands(directions, with_grid):
    """Dispersion runs for the wind from each of the given directions in
    turn (degrees, each the centre of one sector), with receptor points that
    turn with the wind, or with a grid centred on the source."""
    half = (ROT_N - 1) // 2
    n = len(ROT_DISTANCES) * len(ROT_OFFSETS)
    text = ("-:ZIRidev\n"
            "- A point source 10 m high in a neutral boundary layer; the wind comes\n"
            "- from %d directions in turn.\n"
            "*DIMENSIONIERUNG\nmp %d\nnw %d\nmi 70\n"
            % (len(directions), 0 if with_grid else n, ROT_NW))
    if with_grid:
        text += ("*GITTER\nnx %d\nny %d\ndr %g\nxr %g\nyr %g\n"
                 % (ROT_N, ROT_N, ROT_DR, -half * ROT_DR, -half * ROT_DR))
    text += ("*QUELLE\nhq 10\nli 10\nni 70\neq 1000\n"
             "*PARAMETER\nua 3\nlm 0\nz0 0.5\nre %g\n" % ROT_RE)
    for phi in directions:
        dw = ["0"] * ROT_NW
        dw[rotation_sector_of(phi)] = "1"
        text += "** wind from %g degrees\n" % phi
        if not with_grid:
            xs, ys = rotation_points(phi)
            text += "*AUFPUNKTE\nxp %s\nyp %s\n" % (model.vector(xs, "%.4f"),
                                                     model.vector(ys, "%.4f"))
        text += "*PARAMETER run\ndw %s\n" % " ".join(dw)
        if with_grid:
            for name in ("cnc", "fro"):
                text += "*SPEICHERN %s\nmo \"binary\"\nfi \"%s%03d\"\n" % (name, name, phi)
        else:
            text += "*LISTE pnt\n"
        text += "*CLEAR\n"
    return text + "*ENDE\n"


def check_rotation(exe, outdir):
    directions = [ROT_RE + s * 360 / ROT_NW for s in range(ROT_NW)]
    log = model.run(exe, os.path.join(outdir, "rotation_points"),
                    rotation_commands(directions, False))
    listings = model.point_listings(log)
    if len(listings) != ROT_NW:
        raise model.ModelError("rotation case: expected %d point listings" % ROT_NW)
    checks = []
    ref = listings[0]
    for name in ("cnc", "fro"):
        a = getattr(ref, name)
        worst, where = 0.0, ""
        for s, pts in enumerate(listings[1:], start=1):
            b = getattr(pts, name)
            scale = np.maximum(np.abs(a), np.abs(b))
            rel = np.where(scale > 0, np.abs(a - b) / np.where(scale > 0, scale, 1), 0)
            if rel.max() > worst:
                worst, where = float(rel.max()), "sector %d, point %d" % (s + 1, rel.argmax() + 1)
        # Two values that were each rounded to 4 digits differ by at most
        # one unit in the 4th digit: 1e-3 of the larger.
        # Points that all read 0 agree trivially, as they do when the plume
        # blows the wrong way: that is no rotation.
        if not np.any(a > 0):
            worst, where = float("nan"), " (every point of the first direction 0)"
        checks.append(Check(
            "rotation", "%s at receptor points turned with the wind, %d directions" % (
                name, ROT_NW),
            "c(R(phi) p, phi) = c(p, phi0) for every point p",
            worst, 2 * POINT_ROUND,
            "%d points per direction against the first%s"
            % (a.size, ("; largest at " + where if where and where[0] != " " else where))))
    work = os.path.join(outdir, "rotation_grid")
    model.run(exe, work, rotation_commands(CARDINAL, True))
    for name in ("cnc", "fro"):
        grids = [read_grid(os.path.join(work, "%s%03d" % (name, phi))) for phi in CARDINAL]
        worst = 0.0
        for g0, g1 in zip(grids, grids[1:]):
            # The wind from phi + 90 degrees gives the field of phi turned
            # clockwise by 90 degrees: node (i, j) takes (n-1-j, i).
            worst = max(worst, float(np.abs(g1 - np.rot90(g0, -1)).max() / g0.max()))
        checks.append(Check(
            "rotation", "%s grids for the wind from 90, 180, 270, 360 degrees" % name,
            "grid(phi + 90) = grid(phi) turned by 90 degrees about the source",
            worst, ROT_GRID_TOLERANCE,
            "%d x %d nodes, deviation relative to the grid maximum" % (ROT_N, ROT_N)))
    return checks


def run_all(exe, outdir):
    """All analytic checks, in the order of the report."""
    from . import profiles, spread
    checks, tables = check_constant(exe, outdir)
    checks += check_constant(exe, outdir, alpha=0.0)[0]
    checks += check_flux(exe, outdir, tables)
    checks += check_odor(exe, outdir)
    checks += check_rotation(exe, outdir)
    checks += profiles.run(exe, outdir)
    checks += spread.run(exe, outdir)
    checks += stacks.run_all(exe, outdir)
    return checks


# What each group checks and how its tolerance is chosen, for the report.
GROUPS = {
    "constant": (
        "Constant wind and diffusivity",
        "Wind u = %g m/s and diffusivity K = %g m²/s at every level (the vectors `ux`, `kz` "
        "of the internal section `*_`, `tw` 0), a vertical grid of %g m up to %g m, the "
        "scheme `al` %g. A ground-level point source and one at 10 m. Cy(z=zp) is the "
        "plume-table column at zp = %g m (5 digits); the profile is the solver's "
        "concentration listing of every cell (4 digits) against the closed form averaged over "
        "each cell. Value: the largest deviation relative to the peak of the closed-form "
        "profile at that distance. Tolerance: the rounding of the listing, plus the widening "
        "of the plume by the source layer (its variance, with its mirror image for a layer at "
        "the ground) and by the three-point second difference (dz²/12), which moves a profile "
        "by that variance over 2σ² of its peak, plus dz²/(8σ²) for the interpolation to zp, "
        "plus 4 roundings of 6e-8 per sub-step of the march. The same again with `al` 0, the "
        "fully implicit march users run: each step of the table spreads the profile with a "
        "Laplace kernel of exactly the right variance, so after n steps the profile has the "
        "excess kurtosis 3/n and the tolerance adds the Edgeworth terms 3/(8n) + 1.45/n² of "
        "the peak (8 %% at 50 m, 1 %% at 400 m: the error of `al` 0 that the default table "
        "step of %g m carries)."
        % (U, K, DZ, NZ * DZ, ALPHA, ZP, LI)),
    "flux": (
        "Flux of the plume equals the emission",
        "The column \"Fluß\" of the plume table, Σ u·h·c of a unit source, at every listed "
        "distance: the two constant cases above and four boundary layers with similarity "
        "profiles (z0 0.006 m, grid from 0.1 m at the ground stretched by 1.1 per cell to "
        "2 km). Tolerance %g: the column keeps 4 decimals (5e-5) and each single-precision "
        "solve lets the conserved flux drift by about the unit roundoff times the condition "
        "of the step, 5e-5 after the 400 sub-steps of the constant case."
        % FLUX_TOLERANCE),
    "odor": (
        "Odor probability and 90th percentile of one core plume",
        "No meander (`nm` 0), one wind direction, one sub-sector, so every receptor sees one "
        "Weibull distribution with the mean `cnc`. A concentration scale of %d classes per "
        "decade from 0.01 to 100. The odor probability `fro` against the closed form "
        "integrated in double precision (tolerance: the model sums %d single-precision "
        "products of at most 1); `r90` where the percentile lies inside the scale against "
        "the Weibull quantile (tolerance: the error bound of interpolating the distribution "
        "linearly in ln c between classes). The odor hour `frh` is 1 where that probability "
        "exceeds `ga` (%g) and 0 elsewhere (receptors within the tolerance of `ga` left out). "
        "All three again on the scale users run (`nc` 5, `ll` -10, `nl` 20), where the sum "
        "over the classes is itself an approximation of the integral: its error, computed in "
        "double precision, is added to the tolerance of `fro`, and the percentile's "
        "tolerance is the largest error of interpolating the exact distribution between those "
        "classes, also computed in double precision (6 to 8 %% at these concentrations)." % (ODOR_NC, ODOR_NL + 1, ODOR_GA)),
    "rotation": (
        "Rotation with the wind direction",
        "A point source 10 m high, neutral boundary layer, 36 sectors run one at a time "
        "(5 sub-sectors, 19 core plumes). Receptor points at fixed offsets along and across "
        "the wind turn with it: their listed `cnc` and `fro` (4 digits) must agree with "
        "those of the first direction to one unit in the 4th digit. The grids of the wind "
        "from 90, 180, 270 and 360 degrees, written in binary, must be rotations of each "
        "other; tolerance %g of the maximum, since the angles are single precision "
        "(cos 90° is -4e-8, not 0). Points that all read 0 fail: a plume that blows the "
        "wrong way agrees with itself everywhere." % ROT_GRID_TOLERANCE),
    "stacks": stacks.GROUP,
}


def _more_groups():
    from . import profiles, spread
    GROUPS["profiles"] = profiles.GROUP
    GROUPS["spread"] = spread.GROUP


_more_groups()
