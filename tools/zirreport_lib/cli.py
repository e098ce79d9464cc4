"""Command line of zirreport: a finished run's working directory in, one
self-contained report.html out (and report.pdf with --pdf).

Exit codes: 0 done; 1 no finished run, or an input that cannot be read
(nothing written); 2 a bad command line; 3 an output file could not be
written (the HTML stays when only the PDF failed); 4 numpy or matplotlib
missing, or Chromium for --pdf (the HTML is written); 5 a fault of the tool
itself.
"""

import argparse
import os
import sys

import zirtool

from .texts import LANGUAGES, TEXTS

EXIT_INPUT, EXIT_USAGE, EXIT_OUTPUT, EXIT_PACKAGES, EXIT_INTERNAL = 1, 2, 3, 4, 5
TAG = "zirreport"
REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.realpath(__file__))))
VERIFICATION = os.path.join(REPO, "out", "verify", "report.md")

USAGE_EPILOG = """\
Examples:
  zirreport out/farm
  zirreport out/farm --lang de --pdf
  zirreport out/farm --title "Pig farm Miller, extension" -o out/farm/assessment.html

Reads what the run left in WORKDIR: the log (odrlog.txt), the command file,
the result files, pnt.csv, receptors.csv (number,name,limit), zirmet's
summary zirmet-summary.txt and windrose.png, zirmap's maps NAME.png. A
missing optional input leaves its part out with a note. Exit codes: 0 done,
1 no finished run or an input unreadable, 2 bad command line, 3 output not
written, 4 numpy/matplotlib missing or Chromium for --pdf (the HTML is
written), 5 internal error."""


def error(text):
    zirtool.error(TAG, text)


def make_parser():
    p = zirtool.Parser(
        prog="zirreport", formatter_class=argparse.RawDescriptionHelpFormatter,
        description="Writes the assessment report of a finished model run: one HTML file\n"
                    "with the sources, the weather, the grid, the maps and the values at\n"
                    "the receptor points against their limits.",
        epilog=USAGE_EPILOG)
    p.add_argument("workdir", metavar="WORKDIR", help="working directory of the run")
    p.add_argument("-o", "--output", metavar="HTML",
                   help="the report (default WORKDIR/report.html); the PDF goes beside it")
    p.add_argument("--pdf", action="store_true",
                   help="also print the report to PDF with headless Chromium")
    p.add_argument("--lang", choices=LANGUAGES, default="en",
                   help="language of the report (default en)")
    p.add_argument("--title", help="title of the report (default: the identification idnt "
                                   "of the result files, else the name of WORKDIR)")
    p.add_argument("--log", metavar="NAME", default="odrlog.txt",
                   help="the run's log in WORKDIR (default odrlog.txt)")
    p.add_argument("--receptors", metavar="CSV",
                   help="names and limits of the receptor points (default "
                        "WORKDIR/receptors.csv)")
    p.add_argument("--weather", metavar="TXT",
                   help="zirmet's summary (default WORKDIR/zirmet-summary.txt)")
    p.add_argument("--rose", metavar="PNG", help="wind rose (default WORKDIR/windrose.png)")
    p.add_argument("--verification", metavar="MD",
                   help="scripts/verify.sh's report (default out/verify/report.md of this "
                        "repository, when it is there)")
    p.add_argument("--browser", metavar="PATH", help="Chromium to print with (default "
                                                     "chromium on the PATH)")
    return p


def default_title(run):
    for g in [run.grid("total")] + run.grids:
        idnt = g.header.text("idnt") if g is not None else None
        if idnt and idnt != "TEST":  # TEST is the model's default, no title
            return idnt
    for s in run.sections:
        for _, name, tokens in s.data:
            if s.word == "*d" and name == "ti" and len(tokens) > 1 and tokens[1] != "TEST":
                return " ".join(tokens[1:]).strip('"')
    return os.path.basename(os.path.abspath(run.workdir))


def main(argv=None):
    argv = sys.argv[1:] if argv is None else argv
    try:
        args = make_parser().parse_args(argv)
        if not os.path.isdir(args.workdir):
            raise zirtool.UsageError("%s is not a directory" % args.workdir)
        for name in ("receptors", "weather", "rose", "verification"):
            path = getattr(args, name)
            if path and not os.path.isfile(path):
                raise zirtool.UsageError("--%s %s: no such file" % (name, path))
    except zirtool.UsageError as e:
        error(str(e))
        return EXIT_USAGE
    missing = zirtool.numpy_missing()
    if missing:
        error(missing)
        return EXIT_PACKAGES
    from zirmap_lib.dmna import DmnaError
    from zirmap_lib.receptors import ReceptorsError
    from zirmap_lib.runfiles import RunFileError

    from . import browser, gather, maps, page

    texts = TEXTS[args.lang]
    try:
        run = gather.gather(args.workdir, args.log, args.receptors, args.weather, args.rose,
                            args.verification or VERIFICATION)
        pictures = maps.maps(run, texts, args.lang)
    except gather.RunRefused as e:
        error(str(e))
        return EXIT_INPUT
    except (RunFileError, DmnaError, ReceptorsError) as e:
        error(str(e))
        return EXIT_INPUT
    for _, key, values in run.notes:
        sys.stderr.write("--- %s (%s)\n" % (TEXTS["en"][key] % values, TAG))

    html_path = args.output or os.path.join(args.workdir, "report.html")
    text = page.render(run, texts, args.lang, args.title or default_title(run), pictures)
    try:
        os.replace(zirtool.stage(html_path, lambda fh: fh.write(text.encode("utf-8"))),
                   html_path)
    except OSError as e:
        error("can't write %s (%s)" % (e.filename or html_path, e.strerror or e))
        return EXIT_OUTPUT
    print("%s -> %s" % (args.workdir, html_path))
    if not args.pdf:
        return 0

    pdf_path = os.path.splitext(html_path)[0] + ".pdf"
    try:
        browser.print_pdf(browser.find(args.browser), html_path, pdf_path)
    except browser.BrowserMissing as e:
        error("%s: the PDF needs Chromium, the package chromium (scripts/setup.sh --report "
              "installs it); %s is written" % (e, html_path))
        return EXIT_PACKAGES
    except (browser.BrowserFailed, OSError) as e:
        error("can't print %s: %s; %s is written" % (pdf_path, e, html_path))
        return EXIT_OUTPUT
    print("%s -> %s" % (args.workdir, pdf_path))
    return 0


def run():
    zirtool.run(main, TAG, EXIT_INTERNAL)
