"""Command line of zirmet: weather data in, *PARAMETER run sections out.

Exit codes: 0 done; 1 the weather data or the template cannot be used; 2 a
bad command line; 3 an output file could not be written; 4 matplotlib
missing (for the wind rose); 5 a fault of the tool itself. On any failure
nothing is written.
"""

import argparse
import math
import os
import sys

import zirtool

from . import classification as cls
from .classification import ClassError, Sectors
from .output import (MODEL_NW, MODEL_RE, PER_HOUR, Staged, TemplateError, apportion,
                     fill_template, fragment, num, read_template, situation_lines)
from . import service
from .reading import DEFAULT_MISSING, InputError, Table, read_series, read_statistic
from .situations import MAX_HOURS, SituationError, from_series, from_statistic

EXIT_INPUT, EXIT_USAGE, EXIT_OUTPUT, EXIT_PACKAGES, EXIT_INTERNAL = 1, 2, 3, 4, 5
TAG = "zirmet"

USAGE_EPILOG = """\
Examples:
  zirmet series.akt --z0 0.2 --template case.txt -o odrcmd.txt
  zirmet statistic.aks --z0 0.2 --template case.txt -o odrcmd.txt
  zirmet series.csv --km class --z0 0.5 --ha 10 -o situations.txt
  zirmet series.csv --time date --dir dd --speed ff --lm L --z0 0.2 \\
         --template case.txt -o odrcmd.txt
  zirmet classes.csv --statistic --km ak --freq permille --total 8760 --z0 0.5 -o aks.txt

The weather service's hourly dispersion series and class statistic are
recognised by their content; the column options apply to CSV files only.
Directions are degrees the wind comes from (0 or 360 = north), speeds m/s at
the anemometer height. Exit codes: 0 done, 1 input unusable, 2 bad command
line, 3 output not written, 4 matplotlib missing, 5 internal error."""


def error(text):
    zirtool.error(TAG, text)


UsageError, Parser = zirtool.UsageError, zirtool.Parser


def numbers(text, what):
    try:
        out = [float(v) for v in text.replace(" ", "").split(",") if v]
    except ValueError:
        out = None
    if out is None or not all(math.isfinite(v) for v in out):
        raise UsageError('%s: "%s" is not a list of finite numbers' % (what, text))
    return out


def finite(text):
    """A float option's value; nan and inf are refused as the bad command
    line they are."""
    try:
        value = float(text)
    except ValueError:
        value = math.nan
    if not math.isfinite(value):
        raise argparse.ArgumentTypeError("not a finite number: %s" % text)
    return value


def make_parser():
    p = Parser(prog="zirmet", formatter_class=argparse.RawDescriptionHelpFormatter,
               description="Makes the dispersion situations (*PARAMETER run sections) of the\n"
                           "model from an hourly weather series or a dispersion class statistic.",
               epilog=USAGE_EPILOG)
    p.add_argument("input", metavar="FILE", help="weather data: the weather service's hourly "
                   "series or class statistic, or a CSV file with a header row")
    p.add_argument("-o", "--output", required=True, metavar="FILE",
                   help="command file (with --template) or fragment to write")
    p.add_argument("--template", metavar="FILE",
                   help="command file whose *PARAMETER run sections the situations replace")
    p.add_argument("--z0", type=finite, required=True, metavar="M",
                   help="roughness length z0 (m) of the situations and of the stability classes")
    p.add_argument("--ha", type=finite, metavar="M",
                   help="anemometer height (m) of the speeds (default: the series' + line for "
                        "z0, else the template's ha)")
    p.add_argument("--calms", choices=("next", "all"), default="next",
                   help="how calms and hours of variable direction are spread over the sectors: "
                        "like the same stability class (next, the default) or like all classes "
                        "(all)")
    p.add_argument("--statistic", action="store_true",
                   help="FILE is a class statistic: speed class, sector, stability class, hours")
    g = p.add_argument_group("columns (names from the header row; case is ignored)")
    g.add_argument("--time", metavar="COL",
                   help='time (default "time", when there is such a column); dates such as '
                        '2023-01-31 24:00 or 31.01.2023 24:00 are checked hour by hour')
    g.add_argument("--dir", default="dir", metavar="COL",
                   help='wind direction in degrees, or the sector number of a statistic '
                        '(default "dir")')
    g.add_argument("--speed", default="speed", metavar="COL",
                   help='wind speed in m/s, or the speed class of a statistic (default "speed")')
    g.add_argument("--lm", metavar="COL", help="stability as the Obukhov length L (m)")
    g.add_argument("--km", metavar="COL", help="stability as a Klug/Manier class (I ... V)")
    g.add_argument("--pg", metavar="COL", help="stability as a Pasquill-Gifford class (A ... F)")
    g.add_argument("--class-codes", action="store_true",
                   help="the stability column holds codes 1 to 6 (I to V, or A to F); 7 and 9 "
                        "mark a missing class")
    g.add_argument("--skip", type=int, default=0, metavar="N",
                   help="lines to skip before the header row (default 0)")
    g.add_argument("--variable", type=finite, default=990.0, metavar="CODE",
                   help="direction that marks a variable wind, spread like calms (default 990)")
    g.add_argument("--hours", default="hours", metavar="COL",
                   help='hours of a statistic\'s class (default "hours")')
    g.add_argument("--freq", metavar="COL",
                   help="frequency of a statistic's class instead of hours (needs --total)")
    p.add_argument("--total", type=finite, metavar="H",
                   help="hours that the frequencies of a statistic stand for, e.g. 8760")
    p.add_argument("--bounds", metavar="B1,B2,...",
                   help="upper bounds of the speed classes of a series, m/s (default "
                        + ",".join("%g" % b for b in cls.DEFAULT_BOUNDS) + ")")
    p.add_argument("--class-speeds", metavar="U1,U2,...",
                   help="speed (m/s) of each speed class of a statistic (default "
                        + ",".join("%g" % u for u in cls.DEFAULT_CLASS_SPEEDS) + ")")
    p.add_argument("--stat-sectors", type=int, default=36, metavar="N",
                   help="sectors of a statistic, sector k centred on k*360/N degrees (default 36)")
    p.add_argument("--calm", type=finite, default=0.5, metavar="U",
                   help="speeds below U m/s are calms (default 0.5)")
    p.add_argument("--missing", metavar="A,B,...",
                   help="texts that mark a missing value besides an empty field (default "
                        + ",".join(m for m in DEFAULT_MISSING if m) + ")")
    p.add_argument("--delimiter", metavar="C", help="column separator (default: the first "
                                                    "of ; tab , in the header row)")
    p.add_argument("--nw", type=int, metavar="N",
                   help="number of the model's sectors (default: the template's nw, else 36)")
    p.add_argument("--re", type=finite, metavar="DEG",
                   help="centre of the model's first sector (default: the template's re, else 10)")
    p.add_argument("--rose", metavar="PNG",
                   help="wind rose (default windrose.png beside the output)")
    p.add_argument("--no-rose", action="store_true", help="draw no wind rose")
    return p


COLUMN_OPTIONS = ("time", "dir", "speed", "lm", "km", "pg", "hours", "freq", "class_codes",
                  "skip", "variable", "delimiter", "missing", "stat_sectors", "class_speeds")
COLUMN_DEFAULTS = {"dir": "dir", "speed": "speed", "hours": "hours", "skip": 0,
                   "variable": 990.0, "stat_sectors": 36}


def check_arguments(args):
    """Values of the options, checked; raises UsageError."""
    # The situations write z0 with four decimals and ha with two: smaller
    # values would read as 0, which the model takes for a test profile or 10 m.
    if not 0.0001 <= args.z0 <= 10:
        raise UsageError("--z0 %g: the roughness length must be from 0.0001 to 10 m" % args.z0)
    if not 0 <= args.calm <= 5:
        raise UsageError("--calm %g: the calm threshold must be from 0 to 5 m/s" % args.calm)
    if args.ha is not None and not 0.1 <= args.ha <= 1000:
        raise UsageError("--ha %g: the anemometer height must be from 0.1 to 1000 m" % args.ha)
    if args.re is not None and not -360 <= args.re <= 360:
        raise UsageError("--re %g: the direction must be from -360 to 360 degrees" % args.re)
    if args.nw is not None and not 1 <= args.nw <= 360:
        raise UsageError("--nw %d: from 1 to 360 sectors" % args.nw)
    if args.total is not None and not 0 < args.total <= MAX_HOURS:
        raise UsageError("--total %g: the hours must be above 0 and at most %g" % (args.total,
                                                                                MAX_HOURS))
    args.layout = service.layout(args.input) if os.path.isfile(args.input) else None
    if args.layout:
        given = [o for o in COLUMN_OPTIONS if getattr(args, o) not in (None, False) and
                 getattr(args, o) != COLUMN_DEFAULTS.get(o)]
        if given:
            raise UsageError("--%s: %s is the weather service's %s, whose columns are fixed"
                             % (given[0].replace("_", "-"), args.input,
                                "hourly series" if args.layout == "series" else "class statistic"))
        if args.layout == "series" and args.statistic:
            raise UsageError("--statistic: %s is an hourly series" % args.input)
        args.kind, args.statistic = "km", args.layout == "statistic"
        if args.statistic:
            args.total = 8760.0 if args.total is None else args.total
            args.speeds, args.stat_sectors = list(cls.DEFAULT_CLASS_SPEEDS), 36
            if args.bounds:
                raise UsageError("--bounds belong to a series")
        else:
            if args.total is not None:
                raise UsageError("--total belongs to a statistic")
            args.bounds = numbers(args.bounds, "--bounds") if args.bounds \
                else list(cls.DEFAULT_BOUNDS)
            check_bounds(args.bounds)
        args.missing = []
        check_outputs(args)
        return
    kinds = [k for k in ("lm", "km", "pg") if getattr(args, k)]
    if len(kinds) != 1:
        raise UsageError("name the stability column with exactly one of --lm, --km, --pg")
    args.kind = kinds[0]
    args.stability = getattr(args, args.kind)
    if args.class_codes and args.kind == "lm":
        raise UsageError("--class-codes: --lm names a column of lengths, not of classes")
    if args.skip < 0:
        raise UsageError("--skip %d: a number of lines, 0 or more" % args.skip)
    if args.statistic:
        if args.kind == "lm":
            raise UsageError("a statistic names its stability classes: use --km or --pg")
        if (args.freq is None) != (args.total is None):
            raise UsageError("--freq and --total go together")
        if not 1 <= args.stat_sectors <= 360:
            raise UsageError("--stat-sectors %d: from 1 to 360 sectors" % args.stat_sectors)
        args.speeds = numbers(args.class_speeds, "--class-speeds") if args.class_speeds \
            else list(cls.DEFAULT_CLASS_SPEEDS)
        if not args.speeds or min(args.speeds) <= 0 or max(args.speeds) > 100:
            raise UsageError("--class-speeds: speeds must be above 0 and at most 100 m/s")
    else:
        if args.freq or args.total is not None:
            raise UsageError("--freq and --total belong to a statistic (--statistic)")
        args.bounds = numbers(args.bounds, "--bounds") if args.bounds else list(cls.DEFAULT_BOUNDS)
        check_bounds(args.bounds)
    args.missing = [""] + (args.missing.split(",") if args.missing is not None
                           else list(DEFAULT_MISSING))
    if args.delimiter is not None:
        args.delimiter = {"\\t": "\t", "tab": "\t"}.get(args.delimiter, args.delimiter)
        if len(args.delimiter) != 1:
            raise UsageError("--delimiter: one character")
    check_outputs(args)


def check_bounds(bounds):
    if any(b <= a for a, b in zip(bounds, bounds[1:])) or (bounds and bounds[0] <= 0) or \
            (bounds and bounds[-1] > 100):
        raise UsageError("--bounds: the bounds must be positive, increase and stay at most "
                         "100 m/s")


def check_outputs(args):
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
    """The situations of the input file and what reading found (a
    reading.Series, None for a statistic)."""
    if args.layout == "statistic":
        cells = service.read_statistic(args.input)
        return from_statistic(cells, "km", args.z0, args.speeds, 36, sectors, args.total), None
    if args.layout == "series":
        series = service.read_series(args.input, args.z0, args.calm)
    else:
        table = Table(args.input, args.delimiter, args.skip)
        option = {"dir": "--dir", "speed": "--speed", "stability": "--" + args.kind}
        names = {"dir": args.dir, "speed": args.speed, "stability": args.stability}
        if args.statistic:
            option["value"], names["value"] = ("--freq", args.freq) if args.freq else \
                ("--hours", args.hours)
        columns = {key: table.column(names[key], option[key]) for key in names}
        if args.statistic:
            cells = read_statistic(table, columns, args.kind, len(args.speeds),
                                   args.stat_sectors, args.class_codes)
            return from_statistic(cells, args.kind, args.z0, args.speeds, args.stat_sectors,
                                  sectors, args.total), None
        columns["time"] = table.column(args.time or "time", "--time", args.time is None)
        series = read_series(table, columns, args.kind, args.missing, args.calm,
                             args.class_codes, args.variable)
    result = from_series(series.hours, series.gaps, args.kind, args.z0, args.bounds, args.calm,
                         sectors, args.calms)
    result.hours_read = series.read
    return result, series


def anemometer_height(args, series, template):
    """ha (m) and where it comes from: --ha, the series' + line or the
    template; one that the template contradicts is refused."""
    if args.ha is not None:
        ha, note = args.ha, "--ha"
        if series is not None and series.ha is not None and abs(series.ha - ha) > 1e-6:
            note += "; the series' + line gives %s m" % num(series.ha, 2)
    elif series is not None and series.ha is not None:
        ha, note = series.ha, series.ha_note
    else:
        ha, note = None, ""
    own = [g.ha for g in template.groups if g.ha] if template else []
    if ha is None:
        if len({value for value, _ in own}) > 1:
            raise TemplateError("template %s lines %d and %d: the groups of *PARAMETER run "
                                 "sections have different ha, but the weather has one anemometer "
                                 "height" % (os.path.basename(args.template), own[0][1], own[-1][1]))
        if template and len(own) == len(template.groups):
            return own[0][0], "the template, line %d" % own[0][1]
        raise UsageError("no anemometer height: give --ha M, the height above ground of the wind "
                         "measurements (a weather service's series names it in its + line), or set "
                         "ha in the template%s; the model would take 10 m whatever it was"
                         % (" before every group of *PARAMETER run sections" if own else ""))
    for value, line in own:
        if abs(value - ha) > 1e-6:
            raise TemplateError("template %s line %d: ha %s differs from the anemometer height "
                                "%s m (%s)" % (os.path.basename(args.template), line,
                                               num(value, 2), num(ha, 2), note))
    return ha, note


def summary(args, result, units, sectors, series, speeds, ha, ha_note, template):
    """The lines that tell the user what went into the situations (units:
    the hours written, from apportion()). Lines added since the first
    version are "key: value" lines; warnings begin with "--- "."""
    used = result.hours_used
    kinds = {"series": "hourly series of the weather service", None: "hourly series",
             "statistic": "class statistic of the weather service"}
    lines = ["zirmet: %s, %s" % (args.input, "class statistic" if args.statistic and
                                 not args.layout else kinds[args.layout]),
             "z0 %s m; %d sectors of %d degrees, the first centred on %s degrees"
             % (num(args.z0, 4), sectors.nw, sectors.width, num(sectors.centre(0), 4))]
    read = "%-16s%10s" % ("hours read", num(result.hours_read, 2))
    hours = series.hours if series else []
    period = series.period if series and series.period else \
        (hours[0].time, hours[-1].time) if hours else None
    if period:
        read += "  (%s to %s)" % period
    lines.append(read)
    if series:
        skipped = "%-16s%10d" % ("hours skipped", len(result.gaps))
        if result.gaps:
            skipped += "  (a value missing; lines %s%s)" % (
                ", ".join(str(n) for n in result.gaps[:10]), ", ..." if len(result.gaps) > 10 else "")
        lines.append(skipped)
    lines.append("%-16s%10s" % ("hours used", num(used, 2)))
    rule = ("like the same stability class in the lowest speed class, else like all classes"
            if args.calms == "next" else "like the lowest speed class of all stability classes")
    if series:
        lines.append("%-16s%10d  (speed below %g m/s, spread over the sectors %s)"
                     % ("calms", result.calms, args.calm, rule))
    lines.append("%-16s%10d" % ("situations", len(result.situations)))
    lines.append("ha: %s m (%s)" % (num(ha, 2), ha_note))
    if series:
        lines.append("calm rule: %s" % args.calms)
        lines.append("variable direction: %d h (spread like calms, in their own speed class)"
                     % result.variable)
        if series.timed:
            lines.append("period: %s to %s" % period)
            missing = sum(n for _, _, n in series.holes)
            text = "time gaps: %d, %d h missing" % (len(series.holes), missing)
            if series.holes:
                text += " (%s%s)" % ("; ".join("%d h after %s, line %d" % (n, before, line)
                                               for line, before, n in series.holes[:5]),
                                     "; ..." if len(series.holes) > 5 else "")
            lines.append(text)
            lines.append("hours per month: " + ", ".join(
                "%04d-%02d %d" % (y, m, h) for (y, m), h in sorted(result.months.items())))
        else:
            lines.append("period: unknown (the time column holds no dates; not checked)")
        lines.append("calm share: %s %%" % num(100 * result.calms / used, 1))
        lines.append("variable share: %s %%" % num(100 * result.variable / used, 1))
    shares = result.class_hours()
    lines.append("class shares: " + ", ".join("%s %s %%" % (n, num(100 * h / used, 1))
                                              for n, h in shares))
    if template:
        lines.append("template groups: %d (%s)" % (len(template.groups), "; ".join(
            "%d *PARAMETER run section%s from line %d" % (len(g.runs), "s" * (len(g.runs) > 1),
                                                          g.runs[0])
            for g in template.groups)))
    year = 8760.0
    if hours and hours[0].when and hours[0].when.year == hours[-1].when.year:
        y = hours[0].when.year
        year = 8784.0 if y % 4 == 0 and (y % 100 or y % 400 == 0) else 8760.0
    if used < 0.9 * year:
        lines.append("--- the data cover %s %% of a year (%s h of %d h), less than 90 %%"
                     % (num(100 * used / year, 1), num(used, 2), year))
    for n, h in shares:
        if h == 0:
            lines.append("--- stability class %s is missing entirely" % n)
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
        result, series = compute(args, sectors)
        ha, ha_note = anemometer_height(args, series, template)
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
    lines, table = summary(args, result, units, sectors, series, speeds, ha, ha_note, template)
    text = situation_lines(result, units, args.z0, sectors.re, lambda k: speeds[k][0])
    comment = ("- %d dispersion situations made by zirmet from %s, %s h"
               % (len(result.situations), os.path.basename(args.input),
                  num(result.hours_used, 2))).encode("ascii", "replace").decode("ascii")
    if sectors.nw != MODEL_NW and not template:
        comment += ", for nw %d in *DIMENSIONIERUNG" % sectors.nw
    staged = Staged()
    try:
        content = fill_template(template, comment, text, ha) if template else \
            fragment(comment, text, ha)
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
