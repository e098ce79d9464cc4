"""Command line of zirmet: weather data in, *PARAMETER run sections out.

Exit codes: 0 done; 1 the weather data or the template cannot be used; 2 a
bad command line; 3 an output file could not be written; 4 matplotlib
missing (for the wind rose); 5 a fault of the tool itself. On any failure
nothing is written.
"""

import argparse
import os
import sys

import zirtool

from . import classification as cls
from .classification import ClassError, Sectors
from .output import (MODEL_NW, MODEL_RE, PER_HOUR, Staged, TemplateError, apportion,
                     fill_template, fragment, num, read_template, situation_lines)
from .reading import DEFAULT_MISSING, InputError, Table, read_series, read_statistic
from .situations import SituationError, from_series, from_statistic

EXIT_INPUT, EXIT_USAGE, EXIT_OUTPUT, EXIT_PACKAGES, EXIT_INTERNAL = 1, 2, 3, 4, 5
TAG = "zirmet"

USAGE_EPILOG = """\
Examples:
  zirmet series.csv --km class --z0 0.5 -o situations.txt
  zirmet series.csv --time date --dir dd --speed ff --lm L --z0 0.2 \\
         --template case.txt -o odrcmd.txt
  zirmet classes.csv --statistic --km ak --freq permille --total 8760 --z0 0.5 -o aks.txt

Directions are degrees the wind comes from (0 or 360 = north), speeds m/s at
the anemometer height. Exit codes: 0 done, 1 input unusable, 2 bad command
line, 3 output not written, 4 matplotlib missing, 5 internal error."""


def error(text):
    zirtool.error(TAG, text)


UsageError, Parser = zirtool.UsageError, zirtool.Parser


def numbers(text, what):
    try:
        return [float(v) for v in text.replace(" ", "").split(",") if v]
    except ValueError:
        raise UsageError('%s: "%s" is not a list of numbers' % (what, text))


def make_parser():
    p = Parser(prog="zirmet", formatter_class=argparse.RawDescriptionHelpFormatter,
               description="Makes the dispersion situations (*PARAMETER run sections) of the\n"
                           "model from an hourly weather series or a dispersion class statistic.",
               epilog=USAGE_EPILOG)
    p.add_argument("input", metavar="FILE.csv", help="weather data with a header row")
    p.add_argument("-o", "--output", required=True, metavar="FILE",
                   help="command file (with --template) or fragment to write")
    p.add_argument("--template", metavar="FILE",
                   help="command file whose *PARAMETER run sections the situations replace")
    p.add_argument("--z0", type=float, required=True, metavar="M",
                   help="roughness length z0 (m) of the situations and of the stability classes")
    p.add_argument("--statistic", action="store_true",
                   help="FILE is a class statistic: speed class, sector, stability class, hours")
    g = p.add_argument_group("columns (names from the header row; case is ignored)")
    g.add_argument("--time", default="time", metavar="COL", help='time (default "time")')
    g.add_argument("--dir", default="dir", metavar="COL",
                   help='wind direction in degrees, or the sector number of a statistic '
                        '(default "dir")')
    g.add_argument("--speed", default="speed", metavar="COL",
                   help='wind speed in m/s, or the speed class of a statistic (default "speed")')
    g.add_argument("--lm", metavar="COL", help="stability as the Obukhov length L (m)")
    g.add_argument("--km", metavar="COL", help="stability as a Klug/Manier class (I ... V)")
    g.add_argument("--pg", metavar="COL", help="stability as a Pasquill-Gifford class (A ... F)")
    g.add_argument("--hours", default="hours", metavar="COL",
                   help='hours of a statistic\'s class (default "hours")')
    g.add_argument("--freq", metavar="COL",
                   help="frequency of a statistic's class instead of hours (needs --total)")
    p.add_argument("--total", type=float, metavar="H",
                   help="hours that the frequencies of a statistic stand for, e.g. 8760")
    p.add_argument("--bounds", metavar="B1,B2,...",
                   help="upper bounds of the speed classes of a series, m/s (default "
                        + ",".join("%g" % b for b in cls.DEFAULT_BOUNDS) + ")")
    p.add_argument("--class-speeds", metavar="U1,U2,...",
                   help="speed (m/s) of each speed class of a statistic (default "
                        + ",".join("%g" % u for u in cls.DEFAULT_CLASS_SPEEDS) + ")")
    p.add_argument("--stat-sectors", type=int, default=36, metavar="N",
                   help="sectors of a statistic, sector k centred on k*360/N degrees (default 36)")
    p.add_argument("--calm", type=float, default=0.5, metavar="U",
                   help="speeds below U m/s are calms (default 0.5)")
    p.add_argument("--missing", metavar="A,B,...",
                   help="texts that mark a missing value besides an empty field (default "
                        + ",".join(m for m in DEFAULT_MISSING if m) + ")")
    p.add_argument("--delimiter", metavar="C", help="column separator (default: the first "
                                                    "of ; tab , in the header row)")
    p.add_argument("--nw", type=int, metavar="N",
                   help="number of the model's sectors (default: the template's nw, else 36)")
    p.add_argument("--re", type=float, metavar="DEG",
                   help="centre of the model's first sector (default: the template's re, else 10)")
    p.add_argument("--rose", metavar="PNG",
                   help="wind rose (default windrose.png beside the output)")
    p.add_argument("--no-rose", action="store_true", help="draw no wind rose")
    return p


def check_arguments(args):
    """Values of the options, checked; raises UsageError."""
    kinds = [k for k in ("lm", "km", "pg") if getattr(args, k)]
    if len(kinds) != 1:
        raise UsageError("name the stability column with exactly one of --lm, --km, --pg")
    args.kind = kinds[0]
    args.stability = getattr(args, args.kind)
    if not args.z0 > 0:
        raise UsageError("--z0 %g: the roughness length must be positive" % args.z0)
    if not args.calm >= 0:
        raise UsageError("--calm %g: the calm threshold must not be negative" % args.calm)
    if args.statistic:
        if args.kind == "lm":
            raise UsageError("a statistic names its stability classes: use --km or --pg")
        if (args.freq is None) != (args.total is None):
            raise UsageError("--freq and --total go together")
        if args.total is not None and not args.total > 0:
            raise UsageError("--total %g: the hours must be positive" % args.total)
        if args.stat_sectors < 1:
            raise UsageError("--stat-sectors %d: at least one sector" % args.stat_sectors)
        args.speeds = numbers(args.class_speeds, "--class-speeds") if args.class_speeds \
            else list(cls.DEFAULT_CLASS_SPEEDS)
        if not args.speeds or min(args.speeds) <= 0:
            raise UsageError("--class-speeds: speeds must be positive")
    else:
        if args.freq or args.total is not None:
            raise UsageError("--freq and --total belong to a statistic (--statistic)")
        args.bounds = numbers(args.bounds, "--bounds") if args.bounds else list(cls.DEFAULT_BOUNDS)
        if any(b <= a for a, b in zip(args.bounds, args.bounds[1:])) or \
                (args.bounds and args.bounds[0] <= 0):
            raise UsageError("--bounds: the bounds must be positive and increase")
    args.missing = [""] + (args.missing.split(",") if args.missing is not None
                           else list(DEFAULT_MISSING))
    if args.delimiter is not None:
        args.delimiter = {"\\t": "\t", "tab": "\t"}.get(args.delimiter, args.delimiter)
        if len(args.delimiter) != 1:
            raise UsageError("--delimiter: one character")
    if not args.no_rose and args.rose is None:
        args.rose = os.path.join(os.path.dirname(args.output), "windrose.png")
    out = os.path.abspath(args.output)
    for path, option in ((args.input, "the weather data"),
                         (None if args.no_rose else args.rose, "--rose")):
        if path is not None and os.path.abspath(path) == out:
            raise UsageError("-o %s would overwrite %s" % (args.output, option))


def model_sectors(args, template):
    """The model's sectors: the template's nw and re unless the options say."""
    nw = template.nw if template else MODEL_NW
    re_ = template.re if template else MODEL_RE
    for option, own, given in (("--nw", nw, args.nw), ("--re", re_, args.re)):
        if given is not None and template and given != own:
            raise UsageError("%s %g differs from %s %g of the template" % (option, given,
                                                                        option[2:], own))
    return Sectors(args.nw if args.nw is not None else nw,
                   args.re if args.re is not None else re_)


def speed_texts(args):
    """Long and short description of each speed class."""
    if args.statistic:
        return [("%g m/s" % u, "%g" % u) for u in args.speeds]
    b = args.bounds
    out = [("up to %g m/s" % b[0], "<=%g" % b[0])] if b else [("all speeds", "all")]
    out += [("%g to %g m/s" % (lo, hi), "%g-%g" % (lo, hi)) for lo, hi in zip(b, b[1:])]
    if b:
        out.append(("above %g m/s" % b[-1], ">%g" % b[-1]))
    return out


def compute(args, sectors):
    """The situations of the input file."""
    table = Table(args.input, args.delimiter)
    option = {"dir": "--dir", "speed": "--speed", "stability": "--" + args.kind}
    names = {"dir": args.dir, "speed": args.speed, "stability": args.stability}
    if args.statistic:
        option["value"], names["value"] = ("--freq", args.freq) if args.freq else \
            ("--hours", args.hours)
    else:
        option["time"], names["time"] = "--time", args.time
    columns = {key: table.column(names[key], option[key]) for key in names}
    if args.statistic:
        cells = read_statistic(table, columns, args.kind, len(args.speeds), args.stat_sectors)
        return from_statistic(cells, args.kind, args.z0, args.speeds, args.stat_sectors,
                              sectors, args.total), None
    hours, gaps = read_series(table, columns, args.kind, args.missing, args.calm)
    period = (hours[0].time, hours[-1].time) if hours else None
    return from_series(hours, gaps, args.kind, args.z0, args.bounds, args.calm,
                       sectors), period


def summary(args, result, units, sectors, period, speeds):
    """The lines that tell the user what went into the situations (units:
    the hours written, from apportion())."""
    used = result.hours_used
    lines = ["zirmet: %s, %s" % (args.input, "class statistic" if args.statistic
                                  else "hourly series"),
             "z0 %s m; %d sectors of %d degrees, the first centred on %s degrees"
             % (num(args.z0, 4), sectors.nw, sectors.width, num(sectors.centre(0), 4))]
    read = "%-16s%10s" % ("hours read", num(result.hours_read, 2))
    if period:
        read += "  (%s to %s)" % period
    lines.append(read)
    if not args.statistic:
        skipped = "%-16s%10d" % ("hours skipped", len(result.gaps))
        if result.gaps:
            skipped += "  (a value missing; lines %s%s)" % (
                ", ".join(str(n) for n in result.gaps[:10]), ", ..." if len(result.gaps) > 10 else "")
        lines.append(skipped)
    lines.append("%-16s%10s" % ("hours used", num(used, 2)))
    if not args.statistic:
        lines.append("%-16s%10d  (speed below %g m/s, spread over the sectors like the lowest "
                     "speed class)" % ("calms", result.calms, args.calm))
    lines.append("%-16s%10d" % ("situations", len(result.situations)))
    lines += ["", "Situations: class, speed class, ua (m/s), lm (m), hours"]
    for n, (s, u) in enumerate(zip(result.situations, units), 1):
        lines.append("%4d  %-6s %2d  %6s  %8s  %9s" % (n, s.stability, s.speed_class + 1, num(s.ua, 2),
                                                        num(s.lm, 1), num(sum(u) / PER_HOUR, 2)))
    table = result.by_sector_and_speed(sectors.nw)
    lines += ["", "Hours by sector (centre, degrees the wind comes from) and speed class (m/s)",
              "sector" + "".join("%9s" % short for _, short in speeds) + "%10s" % "total"]
    for s, row in enumerate(table):
        lines.append("%6s" % num(sectors.centre(s), 2) + "".join("%9.1f" % h for h in row)
                     + "%10.1f" % sum(row))
    lines.append("%6s" % "total" + "".join("%9.1f" % sum(r[k] for r in table)
                                           for k in range(len(speeds))) + "%10.1f" % used)
    return lines, table


def main(argv=None):
    argv = sys.argv[1:] if argv is None else argv
    parser = make_parser()
    try:
        args = parser.parse_args(argv)
        check_arguments(args)
        if not args.no_rose:
            try:
                from . import windrose
            except ImportError as e:
                error("%s; the wind rose needs python3-matplotlib (scripts/setup.sh installs "
                      "it), or give --no-rose" % e)
                return EXIT_PACKAGES
        template = read_template(args.template) if args.template else None
        sectors = model_sectors(args, template)
        result, period = compute(args, sectors)
    except UsageError as e:
        error(str(e))
        return EXIT_USAGE
    except ClassError as e:
        error(str(e))
        return EXIT_USAGE
    except (InputError, TemplateError, SituationError) as e:
        error(str(e))
        return EXIT_INPUT
    if not result.situations:
        error("%s holds no hours to use" % args.input)
        return EXIT_INPUT

    speeds = speed_texts(args)
    units = apportion(result.situations)
    lines, table = summary(args, result, units, sectors, period, speeds)
    text = situation_lines(result, units, args.z0, sectors.re, lambda k: speeds[k][0])
    comment = ("- %d dispersion situations made by zirmet from %s, %s h"
               % (len(result.situations), os.path.basename(args.input),
                  num(result.hours_used, 2))).encode("ascii", "replace").decode("ascii")
    if sectors.nw != MODEL_NW and not template:
        comment += ", for nw %d in *DIMENSIONIERUNG" % sectors.nw
    staged = Staged()
    try:
        content = fill_template(template, comment, text) if template else fragment(comment, text)
        staged.add(args.output, lambda fh: fh.write(content))
        if not args.no_rose:
            title = "%s: %s h, calms %s %%" % (os.path.basename(args.input),
                                               num(result.hours_used, 0),
                                               num(100 * result.calms / result.hours_used, 1))
            staged.add(args.rose, lambda fh: windrose.draw(
                fh, table, sectors, [long for long, _ in speeds], title))
        staged.commit()
    except OSError as e:
        staged.discard()
        error("can't write %s (%s)" % (e.filename or "output", e.strerror or e))
        return EXIT_OUTPUT
    except BaseException:
        staged.discard()
        raise
    print("\n".join(lines))
    print("\n%s -> %s" % (args.input, args.output))
    if not args.no_rose:
        print("%s -> %s" % (args.input, args.rose))
    return 0


def run():
    zirtool.run(main, TAG, EXIT_INTERNAL)
