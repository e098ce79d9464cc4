"""Tests of zirreport: the report of a run made in the test, its table at the
receptor points against the points' table, missing inputs, refused runs, and
the page as headless Chromium renders and prints it.

Run from this directory with the distribution's Python:
    /usr/bin/python3 -m unittest -v test_zirreport
ZIR_EXE names the model program for the test of the farm example.
"""

import csv
import html
import html.parser
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
from fractions import Fraction

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
TOOLS = os.path.join(REPO, "tools")
ZIRREPORT = os.path.join(TOOLS, "zirreport")
sys.path.insert(0, TOOLS)

os.environ["MPLBACKEND"] = "Agg"
import matplotlib.image  # noqa: E402
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

from zirmap_lib import runfiles  # noqa: E402
from zirreport_lib import browser  # noqa: E402

# The weighted total and the additional load of the first points, at the
# edges of the rounding and of the limits, and the points' limits.
EDGES = ["1.050000e-01", "1.049999e-01", "1.500000e-01", "1.550000e-01", "2.500000e-02",
         "2.499999e-02", "0.000000e+00", "9.950000e-01"]
EDGE_LIMITS = ["0.10", "0.10", "0.15", "0.15", None, None, "0.10", "0.10"]


def limit_of(n):
    return EDGE_LIMITS[n - 1] if n <= len(EDGES) else ["0.10", "0.15", None][n % 3]


FIXTURE_LIMITS = {str(n): limit_of(n) for n in range(1, 100)}
VERTICAL_WARNING = ("--- source 2, situation 2, 100 m: the vertical grid changes the ground "
                    "value by 37 % (finer layers near the ground, e.g. dz 1)!")
SMALLER_WARNING = VERTICAL_WARNING.replace("37 %", "12 %").replace("situation 2", "situation 1")


def run_report(*args):
    return subprocess.run([ZIRREPORT, *args], capture_output=True, text=True,
                          encoding="utf-8", errors="replace")


def half_up(text):
    """A frequency text rounded to two decimals, a half up, in exact fractions."""
    hundredths = Fraction(text.strip()) * 100
    return Fraction(int(hundredths + Fraction(1, 2)) if hundredths >= 0 else
                    -int(-hundredths + Fraction(1, 2)), 100)


def write_grid(path, values, mark, extra=()):
    """A result grid in the model's text layout: one line per column i."""
    nx, ny = values.shape
    header = ['idnt\t"Fixture farm"', 'mode\t"text"', 'form\t"%12.4e"', "xmin\t-100",
              "ymin\t-50", "delt\t50", 'mark\t"%s"' % mark, *extra, "dims\t2", "size\t4",
              "lowb\t0\t0", "hghb\t%d\t%d" % (nx - 1, ny - 1), "*"]
    body = ["".join(" %12.4e" % v for v in values[i]) for i in range(nx)]
    with open(path, "wb") as fh:
        fh.write(("\n".join(header + body) + "\n\n***\n").encode("cp1252"))


def make_run(d, closing="FINISHED at Wed Dec  9 20:00:05 2026", points=40, seed=1, grids=True):
    """A finished run with two groups in d: the log with a vertical-grid
    warning, the command file, frh grids of the total, a group, the additional
    load and the weighted total (grids=True), pnt.csv, receptors.csv, zirmet's summary and a
    wind rose. The points' frequencies are random, with the cases at the
    rounding and limit edges first. Returns the rows of pnt.csv as texts."""
    log = ["Odor Dispersion Model VALKO, ZIRidev Version 1.4.d",
           "Program by the ZIRidev development team", "Compiled at Dec  9 2026  19:00:00",
           "STARTING at Wed Dec  9 20:00:00 2026", ">build/ZIRidev", ">" + d, "Fixture",
           VERTICAL_WARNING, "--- another warning of the run!", SMALLER_WARNING,
           "largest difference of the vertical grid: 37 % (source 2, situation 2)"]
    if closing:
        log.append(closing)
    with open(os.path.join(d, "odrlog.txt"), "wb") as fh:
        fh.write(("\n".join(log) + "\n").encode("cp1252"))
    with open(os.path.join(d, "odrcmd.txt"), "w") as fh:
        fh.write("-:ZIRidev\n*DIMENSIONIERUNG\nmp 3\nnz 100\ndz 2\n*GITTER\nnx 5\nny 3\n"
                 "dr 50\nxr -100\nyr -50\n** Situation A, stable\n*PARAMETER run\nua 1.5\n"
                 "lm 40\nz0 0.2\ndw " + " ".join(["100"] * 36) + "\n*PARAMETER run\nua 4\n"
                 "lm 0\ndw " + " ".join(["143.333"] * 36) + "\n*SPEICHERN frh frw pnt\n"
                 "*QUELLE\nxq 7\naq 5\nbq 4\neq 300\n*QUELLE\nsg pigs\nfg 0.75\nza 1\nxq -60\n"
                 "yq -20\naq 50\nbq 15\neq 2500\n*QUELLE add\nsg dairy\nfg 0.5\nza 0\nxq 20\n"
                 "aq 0\nbq 0\nhq 12\neq 1200\n")
    sources = ['sqsg\t"pigs" "pigs" "dairy"', "sqxq\t-60 20 380", "sqyq\t-20 15 -10",
               "sqaq\t50 0 40", "sqbq\t15 0 16", "sqrq\t0 0 20", "sqhq\t0 12 0",
               "sqcq\t6 0 5", "sqeq\t2.5e+03 1.2e+03 1.5e+03", "refx\t512400", "refy\t5734050",
               "epsg\t25832"]
    x, y = np.meshgrid(np.arange(5), np.arange(3), indexing="ij")
    base = 0.3 * np.exp(-((x - 1.5) ** 2 + (y - 1) ** 2) / 2)
    mark = "Häufigkeit von Belästigungsstunden"
    for name, scale, keys in (("frh", 1, []), ("frh-pigs", 0.7, ['sgrp\t"pigs"', "fgrp\t0.75"]),
                              ("frh-dairy", 0.3, ['sgrp\t"dairy"', "fgrp\t0.5"]),
                              ("frh-za", 0.2, ['sgrp\t"za"']), ("frw", 0.6, ['sgrp\t"frw"'])):
        if grids:  # without them there are no maps to draw, which is quicker
            write_grid(os.path.join(d, name + ".dmna"), base * scale, mark, keys + sources)

    rng = random.Random(seed)
    columns = ["frh", "frh-pigs", "frh-dairy", "frh-za", "frw"]
    rows = []
    for n in range(1, points + 1):
        row = {"n": str(n), "x": "%.1f" % rng.uniform(-100, 100),
               "y": "%.1f" % rng.uniform(-50, 50)}
        for c in columns:
            row[c] = "%.6e" % rng.choice([rng.uniform(0, 0.3), rng.uniform(0, 0.04)])
        if n <= len(EDGES):
            row["frw"] = row["frh-za"] = EDGES[n - 1]
        rows.append(row)
    with open(os.path.join(d, "pnt.csv"), "w") as fh:
        fh.write("n,x,y,cnc," + ",".join(columns) + "\n")
        for r in rows:
            fh.write(",".join([r["n"], r["x"], r["y"], "1.000000e-01"] + [r[c] for c in columns])
                     + "\n")
    with open(os.path.join(d, "receptors.csv"), "w") as fh:
        fh.write("number,name,limit\n")
        for n in range(1, points + 1):
            fh.write('%d,"House %d, Main St.",%s\n' % (n, n, limit_of(n) or ""))
    with open(os.path.join(d, "zirmet-summary.txt"), "w") as fh:
        fh.write("zirmet: series.csv, hourly series\nhours read            8760  (2023-01-01 "
                 "00:00 to 2023-12-31 23:00)\nhours used            8717\ncalms                 "
                 "   6  (speed below 0.5 m/s)\nsituations               2\n")
    fig = plt.figure(figsize=(2, 2), dpi=50)
    fig.add_subplot(projection="polar").bar([0, 1, 2], [3, 1, 2])
    fig.savefig(os.path.join(d, "windrose.png"))
    plt.close(fig)
    return rows


class Cells(html.parser.HTMLParser):
    """The receptor table's cells by point and column (data-col), the ids of
    the sections in order, the figures and every img source."""

    def __init__(self, text):
        super().__init__()
        self.table, self.sections, self.figures, self.images = {}, [], [], []
        self.row, self.col, self.in_table = None, None, False
        self.cell_n = 0
        self.feed(text)

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "section":
            self.sections.append(a.get("id"))
        if tag == "figure":
            self.figures.append(a.get("id"))
        if tag == "img":
            self.images.append(a.get("src", ""))
        if tag == "table" and a.get("id") == "receptors":
            self.in_table = True
        if self.in_table and tag == "tr":
            self.row, self.cell_n = {}, 0
        if self.in_table and tag == "td":
            self.col = a.get("data-col") or ("n" if self.cell_n == 0 else None)
            self.cell_n += 1

    def handle_endtag(self, tag):
        if tag == "table":
            self.in_table = False
        if self.in_table and tag == "tr" and self.row and "n" in self.row:
            self.table[self.row["n"]] = self.row
        if tag == "td":
            self.col = None

    def handle_data(self, data):
        if self.in_table and self.col and data.strip():
            self.row[self.col] = self.row.get(self.col, "") + data.strip()


def check_table(test, page, rows, limits):
    """The page's receptor table shows every frequency of the points' table
    rounded a half up, and the verdicts that follow from them and the limits
    (point number -> limit text or None)."""
    cells = Cells(page).table
    test.assertEqual(sorted(cells), sorted(r["n"] for r in rows))
    seen = set()
    for r in rows:
        shown = cells[r["n"]]
        for c in [c for c in r if c in ("frh", "frw") or c.startswith("frh-")]:
            test.assertEqual(Fraction(shown[c].replace(",", ".")), half_up(r[c]),
                             "point %s, %s" % (r["n"], c))
        judged = half_up(r["frw"] if "frw" in r else r["frh"])
        limit = limits.get(r["n"])
        if limit is not None:
            test.assertEqual(Fraction(shown["limit"].replace(",", ".")), Fraction(limit))
            verdict = "above the limit" if judged > Fraction(limit) else "within the limit"
            test.assertEqual(shown["verdict"], verdict, "point %s" % r["n"])
            seen.add(verdict)
        if "frh-za" in r:
            relevant = half_up(r["frh-za"]) > Fraction(2, 100)
            test.assertEqual(shown["additional"].startswith("relevant"), relevant)
            seen.add(relevant)
    return seen


# The stacks' listing of the log, as the program prints it.
STACKS = ["Schornsteine:",
          "  n:  Hb/(m)  Bb/(m)  Bn/(°)   Dq/(m) Vq/(m/s)  Tq/(°C) Qw Qr  Hg/(m)   Hq/Hg Klasse  "
          "Abströmung",
          "  1:     8.0     0.0     0.0     0.00     0.00     10.0  0  0     8.0    1.12 wake    "
          "nicht frei",
          "  2:     8.0     0.0     0.0     0.80     7.00     20.0  0  1     8.0    1.75 free    "
          "frei"]


class ReportTest(unittest.TestCase):
    """The report of a complete run with groups."""

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.rows = make_run(cls.tmp.name)
        verification = os.path.join(cls.tmp.name, "verify.md")
        with open(verification, "w") as fh:
            fh.write("# Verification\n\nProduced by `verification/verify` on 2026-12-09 19:00 "
                     "with ZIRidev 1.4.d.\n\n## Analytic limits\n\n46 checks, 46 passed, 0 "
                     "failed.\n\n### CY/Q\n\nJudged: inside the band\n\n### Lateral spread "
                     "σy\n\nJudged: MG 1.41 outside 0.7 to 1.3\n")
        cls.result = run_report(cls.tmp.name, "--verification", verification)
        with open(os.path.join(cls.tmp.name, "report.html"), encoding="utf-8") as fh:
            cls.page = fh.read()

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_receptor_table_is_the_csv_rounded_with_verdicts(self):
        self.assertEqual(self.result.returncode, 0, self.result.stderr)
        seen = check_table(self, self.page, self.rows, FIXTURE_LIMITS)
        # Every verdict occurs, among them the edges: 0.105 is 0.11 above 0.10,
        # 0.155 is 0.16 above 0.15, 0.025 is 0.03 and relevant.
        self.assertEqual(seen, {"above the limit", "within the limit", True, False})
        cells = Cells(self.page).table
        self.assertEqual((cells["1"]["frw"], cells["1"]["verdict"]), ("0.11", "above the limit"))
        self.assertEqual((cells["5"]["frh-za"], cells["5"]["additional"]),
                         ("0.03", "relevant (> 0.02)"))
        self.assertEqual((cells["6"]["frh-za"], cells["6"]["additional"]),
                         ("0.02", "irrelevant (≤ 0.02)"))

    def test_contents_in_order_self_contained(self):
        parsed = Cells(self.page)
        self.assertEqual(parsed.sections, ["what", "sources", "weather", "grid", "results",
                                           "warnings", "limits"])
        self.assertEqual(parsed.figures, ["rose", "map1", "map2", "map3"])
        self.assertTrue(all(s.startswith("data:image/png;base64,") for s in parsed.images))
        self.assertNotRegex(self.page, r"(?i)(src|href)=\"(https?:|file:|//)")
        # The warning of the vertical grid beside the grid and among all warnings.
        grid = self.page[self.page.index('id="grid"'):self.page.index('id="results"')]
        self.assertIn("37 %", grid)
        self.assertIn("vertical grid changes the ground value by 37 %", grid)
        self.assertIn("Warnings of the vertical grid: 2", grid)
        self.assertNotIn("12 %", grid)  # the largest only; all of them under the warnings
        warnings = self.page[self.page.index('id="warnings"'):self.page.index('id="limits"')]
        for line in (VERTICAL_WARNING, "--- another warning of the run!", SMALLER_WARNING,
                     "on 2026-12-09 19:00 with ZIRidev 1.4.d.", "46 checks, 46 passed, 0 failed.",
                     "CY/Q: inside the band", "Lateral spread σy: MG 1.41 outside 0.7 to 1.3",
                     "The verification report shows failed checks or measures outside"):
            self.assertIn(line, warnings)
        # Sources by group with their factors and national coordinates.
        self.assertIn("Group pigs, weighting factor 0.75, the applicant&#x27;s (additional "
                      "load)", self.page)
        self.assertIn("Group dairy, weighting factor 0.5</h3>", self.page)
        self.assertIn(">512340<", self.page)  # E of the origin 512400, x -60
        self.assertIn("<tr><th>Hours used</th><td>8717</td></tr>", self.page)
        self.assertIn("<tr><th>Calms</th><td>6</td></tr>", self.page)
        self.assertIn(">Fixture farm<", self.page)

    def test_log_reader(self):
        # The run's facts, and the last of two source listings as the log prints it.
        listing = ["Quellen:", "  n:     Xq/(m)     Yq/(m)   Aq/(m)   Bq/(m) Rq/(Grad)  Hq/(m)  "
                   "Cq/(m)   Eq/(GE/s)  Lq/(m)    Zellen"]
        rows = ["  %d:      -60.0      -20.0     50.0     15.0       0.0     0.0     6.0   "
                "%.3e    10.0        10" % (n, e) for n, e in ((1, 2500), (2, 1800))]
        path = os.path.join(self.tmp.name, "listing.txt")
        with open(os.path.join(self.tmp.name, "odrlog.txt"), "rb") as fh:
            lines = fh.read().decode("cp1252").splitlines()
        with open(path, "w", encoding="cp1252") as fh:
            fh.write("\n".join(lines[:7] + listing + rows[:1] + [""] + listing + rows + [""]
                               + STACKS + [""] + lines[7:]) + "\n")
        log = runfiles.read_log(path)
        self.assertEqual((log.program, log.compiled, log.started, log.arguments, log.finished),
                         ("ZIRidev Version 1.4.d", "Dec  9 2026  19:00:00",
                          "Wed Dec  9 20:00:00 2026", ["build/ZIRidev", self.tmp.name], True))
        self.assertEqual([len(s.rows) for s in log.sources], [1, 2])
        self.assertEqual([(r["n"], r["Xq"], r["Eq"], r["Zellen"]) for r in log.sources[-1].rows],
                         [("1", "-60.0", "2.500e+03", "10"), ("2", "-60.0", "1.800e+03", "10")])
        # A listing's last column may hold several words.
        self.assertEqual([(r["n"], r["Hq/Hg"], r["Klasse"], r["Abströmung"])
                          for r in log.stacks[0].rows],
                         [("1", "1.12", "wake", "nicht frei"), ("2", "1.75", "free", "frei")])
        self.assertEqual(log.warnings, [VERTICAL_WARNING, "--- another warning of the run!",
                                        SMALLER_WARNING])

    def test_german(self):
        out = os.path.join(self.tmp.name, "de.html")
        r = run_report(self.tmp.name, "--lang", "de", "-o", out)
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(out, encoding="utf-8") as fh:
            page = fh.read()
        self.assertIn('<html lang="de">', page)
        self.assertIn("Gegenstand der Beurteilung", page)
        cells = Cells(page).table
        self.assertEqual((cells["1"]["frw"], cells["1"]["verdict"]), ("0,11", "überschritten"))


class MissingTest(unittest.TestCase):
    """Missing inputs leave their part out with a note; unfinished runs are refused."""

    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.d = self.tmp.name

    def tearDown(self):
        self.tmp.cleanup()

    def test_each_missing_input_leaves_its_part_out(self):
        cases = {  # file: (what must be gone from the page, the note)
            "pnt.csv": ('id="receptors"', "No points' table (pnt.csv"),
            "windrose.png": ('id="rose"', "No wind rose (windrose.png)"),
            "zirmet-summary.txt": ("Hours used", "No weather summary of zirmet"),
            "receptors.csv": ("above the limit", "No receptors.csv: the points have no names"),
        }
        make_run(self.d, grids=False)
        for name, (gone, note) in cases.items():
            with self.subTest(missing=name):
                os.rename(os.path.join(self.d, name), os.path.join(self.d, "away"))
                r = run_report(self.d)
                os.rename(os.path.join(self.d, "away"), os.path.join(self.d, name))
                self.assertEqual(r.returncode, 0, r.stderr)
                with open(os.path.join(self.d, "report.html"), encoding="utf-8") as fh:
                    page = html.unescape(fh.read())
                self.assertTrue(gone not in page and note in page and note in r.stderr,
                                r.stderr)

    def test_sources_from_the_command_file(self):
        # Without the grids' source list and a log listing: the list in force at
        # the end, each parameter kept from the section before.
        make_run(self.d, grids=False)
        self.assertEqual(run_report(self.d).returncode, 0)
        with open(os.path.join(self.d, "report.html"), encoding="utf-8") as fh:
            page = fh.read()
        section = page[page.index('id="sources"'):page.index('id="weather"')]
        self.assertIn("Group pigs, weighting factor 0.75, the applicant&#x27;s", section)
        cells = [re.findall(r"<td[^>]*>([^<]*)</td>", row) for row in section.split("<tr>")
                 if "<td" in row]
        self.assertEqual(cells, [["1", "area", "-60", "-20", "50 × 15", "0", "10", "0", "2500"],
                                 ["2", "point", "20", "-20", "–", "–", "12", "0", "1200"]])

    def test_several_assessments_each_mapped_with_a_note(self):
        make_run(self.d)
        shutil.copy(os.path.join(self.d, "frh.dmna"), os.path.join(self.d, "part2-frh.dmna"))
        r = run_report(self.d)
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(os.path.join(self.d, "report.html"), encoding="utf-8") as fh:
            page = fh.read()
        self.assertIn("holds 2 grids of the total odor-hour frequency (frh.dmna, part2-frh.dmna)",
                      page)
        self.assertEqual(Cells(page).figures, ["rose", "map1", "map2", "map3", "map4"])

    def test_unfinished_runs_are_refused(self):
        for closing, why in (("*** error exit at Wed Dec  9 20:00:05 2026", "ended with an error"),
                             ("", "did not finish")):
            with self.subTest(closing=closing):
                make_run(self.d, closing=closing, grids=False)
                r = run_report(self.d)
                self.assertEqual(r.returncode, 1)
                self.assertRegex(r.stderr, r"^\*\*\* the run in .* %s.*! \(zirreport\)\n$" % why)
                self.assertFalse(os.path.exists(os.path.join(self.d, "report.html")))

    def test_bad_input_and_command_line(self):
        r = run_report(os.path.join(self.d, "none"))
        self.assertEqual((r.returncode, r.stderr), (2, "*** %s is not a directory! (zirreport)\n"
                                                    % os.path.join(self.d, "none")))
        r = run_report(self.d)
        self.assertEqual(r.returncode, 1)
        self.assertIn("has no log odrlog.txt", r.stderr)
        make_run(self.d, grids=False)
        with open(os.path.join(self.d, "pnt.csv"), "a") as fh:
            fh.write("41,0,0,x,1,1,1,1,1\n")
        r = run_report(self.d)
        self.assertEqual(r.returncode, 1)
        self.assertIn('line 42: "x" in column cnc is not a number', r.stderr)
        self.assertFalse(os.path.exists(os.path.join(self.d, "report.html")))


def chromium():
    try:
        return browser.find()
    except browser.BrowserMissing:
        return None


def not_blank(test, png):
    """A picture with drawing on it: a tenth of its pixels not background, many colours."""
    image = matplotlib.image.imread(png)[..., :3]
    background = np.all(np.abs(image - image[0, 0]) < 0.02, axis=-1)
    test.assertGreater(1 - background.mean(), 0.1, png)
    test.assertGreater(len(np.unique((image * 255).astype(int).reshape(-1, 3), axis=0)), 20)


def check_rendered(test, d, rows, limits):
    """The report in d rendered by Chromium: a picture that is not blank, the
    receptor table of the browser's document equal to the CSV rounded, and the
    PDF's first page not blank."""
    b = chromium()
    page, shot = os.path.join(d, "report.html"), os.path.join(d, "shot.png")
    browser.screenshot(b, page, shot)
    not_blank(test, shot)
    check_table(test, browser.dump_dom(b, page), rows, limits)
    subprocess.run(["pdftoppm", "-png", "-r", "60", "-f", "1", "-l", "1",
                    os.path.join(d, "report.pdf"), os.path.join(d, "page")], check=True)
    not_blank(test, os.path.join(d, "page-1.png"))


@unittest.skipIf(chromium() is None or shutil.which("pdftoppm") is None,
                 "no chromium or pdftoppm (scripts/setup.sh --report installs them)")
class BrowserTest(unittest.TestCase):
    """The page as Chromium shows and prints it."""

    def test_render_print_and_no_browser(self):
        with tempfile.TemporaryDirectory() as d:
            rows = make_run(d, points=6)
            r = run_report(d, "--pdf")
            self.assertEqual(r.returncode, 0, r.stderr)
            check_rendered(self, d, rows, FIXTURE_LIMITS)
            os.unlink(os.path.join(d, "report.html"))
            r = run_report(d, "--pdf", "--browser", os.path.join(d, "no-chromium"))
            self.assertEqual(r.returncode, 4)
            self.assertIn("the PDF needs Chromium", r.stderr)
            self.assertTrue(os.path.isfile(os.path.join(d, "report.html")))


@unittest.skipIf(chromium() is None or shutil.which("pdftoppm") is None,
                 "no chromium or pdftoppm (scripts/setup.sh --report installs them)")
class FarmTest(unittest.TestCase):
    """The farm example end to end: the model's run, its report and PDF, the
    page as Chromium renders it against the run's points' table."""

    def test_farm_example(self):
        farm = os.path.join(REPO, "examples", "farm")
        with tempfile.TemporaryDirectory() as d:
            for name in ("odrcmd.txt", "receptors.csv"):
                shutil.copy(os.path.join(farm, name), d)
            run = subprocess.run([os.environ["ZIR_EXE"], d, "-q"], capture_output=True)
            self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
            with open(os.path.join(d, "pnt.csv"), newline="") as fh:
                rows = list(csv.DictReader(fh))
            with open(os.path.join(d, "receptors.csv"), newline="") as fh:
                limits = {r["number"]: r["limit"] or None for r in csv.DictReader(fh)}
            self.assertEqual(len(rows), 3)
            r = run_report(d, "--pdf")
            self.assertEqual(r.returncode, 0, r.stderr)
            check_rendered(self, d, rows, limits)
            with open(os.path.join(d, "report.html"), encoding="utf-8") as fh:
                parsed = Cells(fh.read())
            # The maps of the total, the weighted and the additional load.
            self.assertEqual(parsed.figures, ["map1", "map2", "map3"])
