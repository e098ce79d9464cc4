"""Command line of the verification: runs the analytic checks and the field
data through the model program and writes the report.

Exit codes: 0 every analytic check passed and the field data (when run)
lie inside the acceptance band; 1 an analytic check failed or a measure of
the field data lies outside the band;
2 a bad command line; 3 the model program or the data could not be run or
read, or the report could not be written; 4 numpy or matplotlib missing;
5 a fault of the tool itself.
"""

import argparse
import os
import subprocess
import sys

EXIT_FAILED, EXIT_USAGE, EXIT_RUN, EXIT_PACKAGES, EXIT_INTERNAL = 1, 2, 3, 4, 5
TAG = "verify"
HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))

# The message line and the entry point are the companion tools' own.
sys.path.insert(0, os.path.join(REPO, "tools"))
import zirtool  # noqa: E402


def error(text):
    zirtool.error(TAG, text)


def make_parser():
    p = argparse.ArgumentParser(
        prog="verify",
        description="Runs the model against solutions in closed form and against the "
                    "Prairie Grass field data; writes OUT/report.md and the plots.")
    p.add_argument("--exe", default=os.path.join(REPO, "build", "ZIRidev"),
                   help="the model program (default: build/ZIRidev)")
    p.add_argument("--out", default=os.path.join(REPO, "out", "verify"),
                   help="directory for the report, plots and runs (default: out/verify)")
    p.add_argument("--data", default=os.path.join(REPO, "verification", "data",
                                                  "prairie_grass.csv"),
                   help="the Prairie Grass data file")
    p.add_argument("--analytic", action="store_true",
                   help="only the analytic checks (fast; what CI runs)")
    return p


def program_name(exe):
    """The program as its first line without arguments states it, and the
    commit of the source tree when it is a git checkout."""
    path = os.path.abspath(exe)
    text = "`%s`" % (os.path.relpath(path, REPO) if path.startswith(REPO + os.sep) else path)
    try:
        banner = subprocess.run([exe], capture_output=True, timeout=30).stdout
        first = banner.decode("cp1252").splitlines()[0].strip()
        if first:
            text += " (%s)" % first
        # "-dirty" marks a source tree with changes that are not committed.
        commit = subprocess.run(["git", "-C", REPO, "describe", "--always", "--dirty"],
                                capture_output=True, text=True, timeout=30)
        if commit.returncode == 0 and commit.stdout.strip():
            text += ", source tree %s" % commit.stdout.strip()
    except (OSError, IndexError, subprocess.SubprocessError):
        pass  # the report names the program without its version
    return text


def main(argv=None):
    try:
        args = make_parser().parse_args(argv)
    except SystemExit as e:
        return EXIT_USAGE if e.code else 0
    try:
        import numpy  # noqa: F401
        import matplotlib  # noqa: F401
    except ImportError as e:
        error("%s is missing (install python3-numpy python3-matplotlib)" % e.name)
        return EXIT_PACKAGES
    from . import analytic, field, plots, report
    from .field import DataError
    from .model import ModelError

    if not (os.path.isfile(args.exe) and os.access(args.exe, os.X_OK)):
        error("no model program %s (build it first: scripts/verify.sh does)" % args.exe)
        return EXIT_RUN
    out = args.out
    path = os.path.join(out, "report.md")
    try:
        os.makedirs(out, exist_ok=True)
        # A report of an earlier run must not outlive a run that fails.
        for name in ("report.md", "prairie_grass_scatter.png", "prairie_grass_ratio.png"):
            if os.path.exists(os.path.join(out, name)):
                os.unlink(os.path.join(out, name))
        checks = analytic.run_all(args.exe, os.path.join(out, "analytic"))
        for c in checks:
            print(c.lines())
        field_part = None
        outside = []
        if not args.analytic:
            runs, pairs, change, spread = field.compare(args.exe, args.data, out)
            scatter = os.path.join(out, "prairie_grass_scatter.png")
            ratio = os.path.join(out, "prairie_grass_ratio.png")
            plots.scatter(pairs, scatter)
            plots.ratio_by_distance(pairs, ratio)
            field_part = (runs, pairs, change, scatter, ratio, spread)
            for what, sel in (("CY/Q", pairs), ("sigma-y", spread)):
                rows = report.field_rows(sel)
                print()
                print("Prairie Grass %s, %d runs, %d arcs:" % (what, len(runs), len(sel)))
                print("\n".join(report.field_table(rows)))
                print(report.describe(what, sel))
                bad = field.judge(rows[0][1])
                outside += ["%s: %s" % (what, b) for b in bad]
                print("%s all arcs: %s" % (what, "; ".join(bad) if bad else
                                           "inside the acceptance band (FAC2 >= %.1f, |FB| <= "
                                           "%.1f, MG %.1f to %.1f)" % (field.FAC2_MIN,
                                                                       field.FB_MAX,
                                                                       *field.MG_RANGE)))
        report.write(path, program_name(args.exe), checks, field_part)
    except (ModelError, DataError) as e:
        error(str(e))
        return EXIT_RUN
    except OSError as e:
        error("cannot write in %s: %s" % (out, e.strerror or e))
        return EXIT_RUN
    failed = sum(1 for c in checks if not c.passed)
    print()
    for c in checks:
        if not c.passed:
            print("FAILED: %s (%s)" % (c.name, c.group))
    for text in outside:
        print("FAILED: Prairie Grass %s" % text)
    print("%d analytic checks, %d failed; Prairie Grass %s; report: %s"
          % (len(checks), failed, "not run" if args.analytic else
             ("outside the acceptance band" if outside else "inside the acceptance band"),
             path))
    return EXIT_FAILED if failed or outside else 0


def run():
    """Entry point: no traceback reaches the user, whatever happens."""
    zirtool.run(main, TAG, EXIT_INTERNAL)
