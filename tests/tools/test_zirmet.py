"""Tests of zirmet: stability and sectors, series and statistics, templates,
bad input, and a generated command file run by the model.

Run from this directory with the distribution's Python:
    /usr/bin/python3 -m unittest -v test_zirmet
ZIR_EXE names the model program for the tests that run it.
"""

import datetime
import math
import os
import random
import re
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
TOOLS = os.path.join(REPO, "tools")
ZIRMET = os.path.join(TOOLS, "zirmet")
sys.path.insert(0, TOOLS)

from zirmet_lib import classification as cls  # noqa: E402


def run_zirmet(*args, cwd=None):
    return subprocess.run([ZIRMET, *args], cwd=cwd, capture_output=True, text=True,
                          encoding="utf-8", errors="replace")


def write(path, text):
    with open(path, "wb") as fh:
        fh.write(text.encode("cp1252"))


def situations(path):
    """The generated sections of a command file: dicts of ua, lm, z0, re, dw."""
    out = []
    with open(path, encoding="cp1252") as fh:
        for line in fh:
            words = line.split()
            if line.startswith("*PARAMETER run"):
                out.append({})
            elif out and words and words[0] in ("ua", "lm", "z0", "re"):
                out[-1][words[0]] = float(words[1])
            elif out and words and words[0] == "dw":
                out[-1]["dw"] = [float(v) for v in words[1:]]
    return out


class ClassificationTest(unittest.TestCase):
    def test_klug_manier_table_boundaries_and_interpolation(self):
        for n, z0 in enumerate(cls.KM_Z0):
            bounds = cls.km_boundaries(z0)
            for k, name in enumerate(cls.KM_CLASSES):
                table = cls.KM_L[name][n]
                with self.subTest(z0=z0, name=name):
                    self.assertEqual(cls.km_length(name, z0), table)
                    self.assertEqual(cls.km_class_of_length(table, bounds), name)
                if k + 1 < len(cls.KM_CLASSES):
                    # The boundary is the mean of the neighbours' 1/L.
                    mean = (1 / table + 1 / cls.KM_L[cls.KM_CLASSES[k + 1]][n]) / 2
                    self.assertAlmostEqual(bounds[k], mean, delta=1e-15)
                    self.assertEqual(cls.km_class_of_length(1 / (mean + 1e-6), bounds), name)
                    self.assertEqual(cls.km_class_of_length(1 / (mean - 1e-6), bounds),
                                     cls.KM_CLASSES[k + 1])
            self.assertEqual(cls.km_class_of_length(0, bounds), "III/1")
            if n + 1 < len(cls.KM_Z0):
                # Halfway in ln z0, 1/L is halfway between the columns.
                mid = math.sqrt(z0 * cls.KM_Z0[n + 1])
                for name in ("I", "V"):
                    a, b = cls.KM_L[name][n], cls.KM_L[name][n + 1]
                    self.assertAlmostEqual(1 / cls.km_length(name, mid), (1 / a + 1 / b) / 2, 12)
        self.assertEqual(cls.km_length("IV", 0.001), -10)
        self.assertEqual(cls.km_length("IV", 3.0), -137)

    def test_pasquill_gifford_by_golder(self):
        # At z0 = 0.1 m, log10 z0 = -1: 1/L = a - b.
        for name, (a, b) in cls.PG_FIT.items():
            with self.subTest(name=name):
                expected = 0.0 if name == "D" else 1 / (a - b)
                self.assertAlmostEqual(cls.pg_length(name, 0.1), expected, 9)
                self.assertEqual(cls.situation_length("pg", name, 0.1), expected)
        self.assertAlmostEqual(cls.pg_length("A", 0.1), -8.0, 9)
        # Beyond its range the fit would make C stable and E unstable.
        self.assertEqual(cls.pg_length("C", 2.0), 0.0)
        self.assertEqual(cls.pg_length("E", 2.0), 0.0)

    def test_sectors_hold_their_directions(self):
        rng = random.Random(7)
        for nw in (1, 4, 12, 36, 72, 360):
            for re_ in (10.0, 0.0, 5.0, -7.5):
                s = cls.Sectors(nw, re_)
                for d in [rng.uniform(0, 360) for _ in range(200)] + [0, 360, re_ - s.width / 2]:
                    k = s.of(d)
                    off = (d - s.centre(k) + 180) % 360 - 180
                    self.assertTrue(-s.width / 2 <= off < s.width / 2, (nw, re_, d, k))
                    self.assertTrue(0 <= k < nw)
                for width in (360 / 36, 30.0, 45.0, 360.0):
                    shares = s.shares(rng.uniform(0, 360), width)
                    self.assertAlmostEqual(sum(shares), 1.0, 12)
        with self.assertRaisesRegex(cls.ClassError, "nw=7"):
            cls.Sectors(7, 10)


def series_text(rng, n, gap_share, calm_share):
    """A random series; returns the text, the gap lines and the number of calms."""
    lines, gaps, calms = ["time;dd;ff;ak"], [], 0
    for i in range(n):
        line = len(lines) + 1
        speed = 0.2 if rng.random() < calm_share else round(rng.uniform(0.5, 14), 1)
        row = ["2023-%d" % i, str(rng.randrange(0, 361)), ("%.1f" % speed).replace(".", ","),
               rng.choice(cls.KM_CLASSES)]
        if rng.random() < gap_share:
            row[rng.choice((1, 2, 3))] = rng.choice(("", "NA"))
            if row[1] not in ("", "NA") or speed >= 0.5:  # a calm needs no direction
                gaps.append(line)
            else:
                calms += 1
        else:
            calms += speed < 0.5
        lines.append(";".join(row))
    return "\n".join(lines) + "\n", gaps, calms


class SeriesTest(unittest.TestCase):
    def test_gaps_and_calms_reported_and_hours_add_up(self):
        with tempfile.TemporaryDirectory() as tmp:
            for seed in range(4):
                rng = random.Random(seed)
                n = rng.randrange(50, 400)
                text, gaps, calms = series_text(rng, n, 0.1, 0.1)
                write(os.path.join(tmp, "s.csv"), text)
                r = run_zirmet("s.csv", "--dir", "DD", "--speed", "ff", "--km", "ak", "--z0",
                               "0.3", "--ha", "10", "-o", "frag.txt", "--no-rose", cwd=tmp)
                with self.subTest(seed=seed):
                    self.assertEqual(r.returncode, 0, r.stderr)
                    out = r.stdout
                    self.assertRegex(out, r"hours read +%d  \(2023-0 to " % n)
                    self.assertRegex(out, r"hours skipped +%d  \(a value missing; lines %s"
                                     % (len(gaps), ", ".join(map(str, gaps[:10]))))
                    self.assertRegex(out, r"hours used +%d\n" % (n - len(gaps)))
                    self.assertRegex(out, r"calms +%d  " % calms)
                    found = situations(os.path.join(tmp, "frag.txt"))
                    self.assertRegex(out, r"situations +%d\n" % len(found))
                    self.assertAlmostEqual(sum(sum(s["dw"]) for s in found), n - len(gaps), 6)
                    for s in found:
                        self.assertEqual(len(s["dw"]), 36)
                        self.assertEqual(s["z0"], 0.3)
            # Calms follow the directions of the lowest speed class: 3 h from
            # 90 degrees, 1 h from 180 degrees (sectors 8 and 17).
            write(os.path.join(tmp, "s.csv"), "time,dd,ff,ak\n1,90,1,I\n2,90,1,I\n3,90,1,II\n"
                  "4,180,1.2,I\n5,,0.1,III/1\n6,0,0,III/1\n7,10,5,III/1\n")
            r = run_zirmet("s.csv", "--dir", "dd", "--speed", "ff", "--km", "ak", "--z0", "0.3",
                           "--ha", "10", "--calms", "all", "-o", "frag.txt", "--no-rose", cwd=tmp)
            self.assertEqual(r.returncode, 0, r.stderr)
            calm = situations(os.path.join(tmp, "frag.txt"))[2]
            self.assertEqual(calm["ua"], 0.05)
            self.assertEqual([(k, h) for k, h in enumerate(calm["dw"]) if h], [(8, 1.5), (17, 0.5)])

    def test_bad_input_is_reported_and_nothing_written(self):
        head = "time,dir,speed,L\n"
        good = "t1,270,3,-50\n"
        template_run = "*DIMENSIONIERUNG\n*PARAMETER run\nha %s\nua 3\n"
        cases = [  # data, template, extra options, message
            (head + good + "t2,270,3.x,-50\n", None, [], r"s\.csv line 3: unreadable wind speed \"3\.x\""),
            (head + good * 3 + "t5,400,3,-50\n", None, [], r"s\.csv line 5: wind direction 400 outside 0 to 360"),
            (head + "t1,-10,3,-50\n", None, [], r"s\.csv line 2: wind direction -10 outside"),
            (head + good + "t3,90,-1,-50\n", None, [], r"s\.csv line 3: negative wind speed -1"),
            (head + good + "t3,90,2\n", None, [], r"s\.csv line 3: 3 fields, but column \"L\" is field 4"),
            (head + good, None, ["--dir", "dd"], r"s\.csv line 1: no column \"dd\" \(--dir\)"),
            (head + "t1,270,3,IV\nt3,90,2,VII\n", None, ["--km", "L"], r"s\.csv line 3: unknown Klug/Manier class \"VII\""),
            (head + "t1,90,2,G\n", None, ["--pg", "L"], r"s\.csv line 2: unknown Pasquill-Gifford class \"G\""),
            (head + good, template_run % 10 + "*PARAMETER run\nha 12\n", [],
             r"template t\.txt lines 3 and 6: ha differs between"),
            (head + good, "*DIMENSIONIERUNG\n*loop 1\n*PARAMETER run\n*next\n", [],
             r"template t\.txt line 3: a \*PARAMETER run section between \*loop"),
            (head + good, "*DIMENSIONIERUNG\n*PARAMETER\n", [], r"template t\.txt has no \*PARAMETER run"),
            (head + good, template_run % 10, ["--re", "0"], r"--re 0 differs from re 10 of the template"),
            (head + "t1,,0.1,-50\n", None, [], r"all 1 hours used are calms"),
            (head + good, template_run % 10 + "*LISTE pnt\n*PARAMETER run\n", [],
             r"template t\.txt lines 2 and 6: two groups of \*PARAMETER run sections without "
             r"\*CLEAR between them"),
            (head + good, template_run % 10, ["--ha", "4"],
             r"template t\.txt line 3: ha 10 differs from the anemometer height 4 m \(--ha\)"),
            (head + good, None, [], r"no anemometer height: give --ha M"),
        ]
        for data, template, extra, message in cases:
            with self.subTest(message=message), tempfile.TemporaryDirectory() as tmp:
                write(os.path.join(tmp, "s.csv"), data)
                args = ["s.csv", "--z0", "0.5", "-o", "out.txt", *extra]
                if not {"--km", "--pg"} & set(extra):
                    args += ["--lm", "L"]
                if template is not None:
                    write(os.path.join(tmp, "t.txt"), template)
                    args += ["--template", "t.txt"]
                write(os.path.join(tmp, "out.txt"), "before\n")
                r = run_zirmet(*args, cwd=tmp)
                self.assertIn(r.returncode, (1, 2), r.stderr)
                self.assertRegex(r.stderr, r"^\*\*\* " + message + r".*! \(zirmet\)\n$")
                self.assertEqual(r.stdout, "")
                with open(os.path.join(tmp, "out.txt")) as fh:
                    self.assertEqual(fh.read(), "before\n")
                self.assertEqual(sorted(os.listdir(tmp)), sorted(
                    ["s.csv", "out.txt"] + (["t.txt"] if template is not None else [])))


class StatisticTest(unittest.TestCase):
    def test_frequencies_scaled_and_sectors_shared(self):
        # 12 sectors of 30 degrees; sector 12 is centred on north. Each
        # spreads evenly over three of the model's 36 sectors.
        with tempfile.TemporaryDirectory() as tmp:
            write(os.path.join(tmp, "aks.csv"),
                  "ff\tdd\tpg\tf\n1\t9\tD\t10,5\n4\t9\tf\t20\n4\t3\tB\t0\n9\t12\tA\t5\n")
            r = run_zirmet("aks.csv", "--statistic", "--speed", "ff", "--dir", "dd", "--pg", "pg",
                           "--freq", "f", "--total", "8760", "--stat-sectors", "12", "--z0", "0.1", "--ha", "10",
                           "-o", "frag.txt", "--rose", "rose.png", cwd=tmp)
            self.assertEqual(r.returncode, 0, r.stderr)
            found = situations(os.path.join(tmp, "frag.txt"))
            self.assertEqual([(s["ua"], s["lm"]) for s in found],
                             [(12, round(1 / (-0.096 - 0.029), 1)), (1, 0),
                              (3, round(1 / (0.035 + 0.036), 1))])
            for s, share, sectors in zip(found, (5, 10.5, 20), ((34, 35, 0), (25, 26, 27), (25, 26, 27))):
                hours = 8760 * share / 35.5
                self.assertAlmostEqual(sum(s["dw"]), hours, delta=0.01)
                for k in range(36):
                    self.assertAlmostEqual(s["dw"][k], hours / 3 if k in sectors else 0, delta=0.01)
            self.assertAlmostEqual(sum(sum(s["dw"]) for s in found), 8760, 6)
            with open(os.path.join(tmp, "rose.png"), "rb") as fh:
                self.assertEqual(fh.read(8), b"\x89PNG\r\n\x1a\n")



def service_year(rng, year=2023, precipitation=False, heights=(40, 45, 52, 61, 73, 92, 118, 140, 160)):
    """A year in the weather service's hourly layout and the same hours as a
    CSV (;-separated, decimal comma, class codes, 990 variable, 24:00 ends a
    day). Returns both texts and the number of hours with a usable value."""
    head = ["* zirmet test series, station 10999, year %d" % year,
            "* made up: not measured" + ("; Niederschlag in 0.1 mm" if precipitation else ""),
            "+ Anemometerhoehen (0.1 m):" + "".join(" %d" % h for h in heights)]
    csv = ["time;dd;ff;ak"]
    used = 0
    start = datetime.datetime(year, 1, 1)
    for i in range((datetime.datetime(year + 1, 1, 1) - start).days * 24):
        end = start + datetime.timedelta(hours=i + 1)
        day = end - datetime.timedelta(hours=1)
        qdd, qff = rng.choice((0, 1, 2)), rng.choice((0, 1, 2, 3))
        direction = rng.randrange(1, 37) * 10 if rng.random() < 0.9 else rng.randrange(0, 361)
        if qdd == 0:
            direction = 10 * round(direction / 10)
        ff = rng.choice((0, 1, 2, 3)) if rng.random() < 0.05 else rng.randrange(1, 25 if qff == 0 else 130)
        km = rng.choice((1, 2, 3, 3, 4, 5, 6))
        r = rng.random()
        if r < 0.02:
            qdd = 9
        elif r < 0.03:
            qff = 9
        elif r < 0.04:
            km = rng.choice((7, 9))
        elif r < 0.07:
            direction = 990  # variable
        dd = direction // 10 if qdd == 0 else direction
        speed = ff * 0.514 if qff == 0 else ff / 10
        fields = ["AK", "10999", "%04d" % day.year, "%02d" % day.month, "%02d" % day.day,
                  "%02d" % (end.hour or 24), "00", str(qdd), str(qff), "%3d" % dd, "%3d" % ff,
                  "1", str(km), "1", "-999", "9"] + (["%d" % rng.randrange(0, 30), "1"]
                                                      if precipitation else [])
        head.append(" ".join(fields))
        usable = qff != 9 and km not in (7, 9) and (qdd != 9 or speed < 0.5)
        used += usable
        csv.append(";".join(["%04d-%02d-%02d %02d:00" % (day.year, day.month, day.day, end.hour or 24),
                             "" if qdd == 9 else str(direction),
                             "NA" if qff == 9 else repr(speed).replace(".", ","), str(km)]))
    return "\n".join(head) + "\n", "\n".join(csv) + "\n", used


def sections_text(path):
    """The generated lines of a fragment after its comment line."""
    with open(path, encoding="cp1252") as fh:
        return fh.read().split("\n", 1)[1]


class ServiceTest(unittest.TestCase):
    def test_series_reads_as_the_same_hours_in_csv(self):
        # Knots and tenths, decadegrees and degrees, missing codes, classes
        # 7 and 9, variable directions, with and without precipitation: the
        # situations are those of the same hours as a CSV, ha is the fifth
        # height at z0 = 0.2 m, and the hours of the situations add up.
        with tempfile.TemporaryDirectory() as tmp:
            for seed, rule in ((1, "next"), (2, "all"), (3, "next")):
                rng = random.Random(seed)
                series, csv, used = service_year(rng, 2023 + seed % 2, precipitation=seed != 1)
                write(os.path.join(tmp, "year.akt"), series)
                write(os.path.join(tmp, "year.csv"), "# exported\nstation 10999\n" + csv)
                a = run_zirmet("year.akt", "--z0", "0.2", "--calms", rule, "-o", "a.txt",
                               "--no-rose", cwd=tmp)
                b = run_zirmet("year.csv", "--skip", "2", "--dir", "dd", "--speed", "ff", "--km",
                               "ak", "--class-codes", "--z0", "0.2", "--ha", "7.3", "--calms", rule,
                               "-o", "b.txt", "--no-rose", cwd=tmp)
                with self.subTest(seed=seed):
                    self.assertEqual((a.returncode, b.returncode), (0, 0), a.stderr + b.stderr)
                    made = sections_text(os.path.join(tmp, "a.txt"))
                    self.assertTrue(made == sections_text(os.path.join(tmp, "b.txt")))
                    self.assertTrue(made.startswith("*PARAMETER\nha 7.3\n** Situation 1:"))
                    self.assertIn("ha: 7.3 m (the series' + line, roughness class 0.2 m)", a.stdout)
                    self.assertRegex(a.stdout, r"hours used +%d\n" % used)
                    variable = int(re.search(r"variable direction: (\d+) h", a.stdout).group(1))
                    self.assertGreater(variable, 100)
                    self.assertIn("variable direction: %d h" % variable, b.stdout)
                    self.assertIn("calm rule: %s\n" % rule, a.stdout)
                    self.assertIn("time gaps: 0, 0 h missing", b.stdout)
                    found = situations(os.path.join(tmp, "a.txt"))
                    self.assertAlmostEqual(sum(sum(s["dw"]) for s in found), used, 6)
                    months = re.search(r"hours per month: (.*)", a.stdout).group(1)
                    self.assertEqual(sum(int(m.split()[1]) for m in months.split(", ")), used)

    def test_time_faults(self):
        rng = random.Random(5)
        series, csv, _ = service_year(rng)
        ak = series.splitlines(keepends=True)
        rows = csv.splitlines(keepends=True)
        first = 4  # line of the first AK line, the first CSV row is line 2
        cases = [  # name, text, message
            ("s.akt", "".join(ak[:first + 9] + ak[first + 8:]),
             r"s\.akt line %d: the hour 2023-01-01 10:00 repeats the hour of line %d"
             % (first + 10, first + 9)),
            ("s.akt", "".join(ak[:first + 9] + ak[first + 14:]),
             r"s\.akt line %d: 5 hours missing after 2023-01-01 10:00" % (first + 10)),
            ("s.akt", "".join(ak) + "".join(ak[first - 1:]),
             r"s\.akt line %d: the hour 2023-01-01 01:00 comes before 2023-12-31 24:00 of line "
             r"%d \(a second series appended\?\)" % (len(ak) + 1, len(ak))),
            ("s.csv", "".join(rows) + "".join(rows[1:]),
             r"s\.csv line %d: the hour 2023-01-01 01:00 comes before" % (len(rows) + 1)),
            ("s.csv", "".join(rows[:30] + rows[29:]),
             r"s\.csv line 31: the hour 2023-01-02 05:00 repeats the hour of line 30"),
            ("s.akt", series.replace("* made up", "+ heights: 1 2 3\n* made up"),
             r"s\.akt line 2: the anemometer heights are not nine"),
        ]
        with tempfile.TemporaryDirectory() as tmp:
            for name, text, message in cases:
                with self.subTest(message=message):
                    write(os.path.join(tmp, name), text)
                    r = run_zirmet(name, "--dir", "dd", "--speed", "ff", "--km", "ak",
                                   "--class-codes", "--z0", "0.2", "--ha", "10", "-o", "x.txt",
                                   "--no-rose", cwd=tmp) if name.endswith(".csv") else \
                        run_zirmet(name, "--z0", "0.2", "-o", "x.txt", "--no-rose", cwd=tmp)
                    self.assertEqual(r.returncode, 1, r.stderr)
                    self.assertRegex(r.stderr, r"^\*\*\* " + message + r".*! \(zirmet\)\n$")
            # A CSV may have gaps: counted, reported with the first few, and
            # the year check warns when less than 90 % of a year is left.
            gappy = rows[:100] + rows[130:131] + rows[4000:]
            write(os.path.join(tmp, "g.csv"), "".join(gappy))
            r = run_zirmet("g.csv", "--dir", "dd", "--speed", "ff", "--km", "ak", "--class-codes",
                           "--z0", "0.2", "--ha", "10", "-o", "x.txt", "--no-rose", cwd=tmp)
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertIn("time gaps: 2, 3899 h missing (30 h after 2023-01-05 03:00, line 101; "
                          "3869 h after 2023-01-06 10:00, line 102)", r.stdout)
            self.assertRegex(r.stdout, r"--- the data cover 5\d\.\d % of a year")
            # The hour that the end of daylight saving time repeats is none
            # when the offsets are given.
            write(os.path.join(tmp, "d.csv"), "time,dd,ff,ak\n" + "".join(
                "2023-10-29T%s,90,3,III/1\n" % t for t in ("01:00+02:00", "02:00+02:00",
                                                           "02:00+01:00", "03:00+01:00")))
            r = run_zirmet("d.csv", "--dir", "dd", "--speed", "ff", "--km", "ak", "--z0", "0.2",
                           "--ha", "10", "-o", "x.txt", "--no-rose", cwd=tmp)
            self.assertIn("hours used               4\n", r.stdout, r.stderr)
            self.assertIn("time gaps: 0, 0 h missing", r.stdout)

    def test_statistic_reads_as_the_same_frequencies_in_csv(self):
        rng = random.Random(11)
        with tempfile.TemporaryDirectory() as tmp:
            for head in (4, 5):
                rows, long = [], ["ff;dd;ak;f"]
                for c in range(6):
                    for k in range(9):
                        values = [rng.choice((0, 0, rng.randrange(1, 400))) for _ in range(36)]
                        rows.append(" ".join("%5d" % v for v in values))
                        long += ["%d;%d;%d;%d" % (k + 1, s + 1, c + 1, v)
                                 for s, v in enumerate(values) if v]
                header = ["Station 10999 Testdorf", "1991-2020", "AKS, 36 Sektoren, 1/100000",
                          "Klassen I bis V", "Summe 100000"][:head]
                write(os.path.join(tmp, "s.aks"), "\n".join(header + rows) + "\n")
                write(os.path.join(tmp, "s.csv"), "\n".join(long) + "\n")
                a = run_zirmet("s.aks", "--z0", "0.2", "--ha", "10", "-o", "a.txt", "--no-rose",
                               cwd=tmp)
                b = run_zirmet("s.csv", "--statistic", "--speed", "ff", "--dir", "dd", "--km", "ak",
                               "--class-codes", "--freq", "f", "--total", "8760", "--z0", "0.2",
                               "--ha", "10", "-o", "b.txt", "--no-rose", cwd=tmp)
                with self.subTest(head=head):
                    self.assertEqual((a.returncode, b.returncode), (0, 0), a.stderr + b.stderr)
                    self.assertTrue(sections_text(os.path.join(tmp, "a.txt")) ==
                                    sections_text(os.path.join(tmp, "b.txt")))
                    self.assertIn("class statistic of the weather service", a.stdout)
                    self.assertAlmostEqual(sum(sum(s["dw"]) for s in situations(
                        os.path.join(tmp, "a.txt"))), 8760, 6)
            body = "\n".join(header[:4] + rows)
            bad = [(body.replace(rows[7], rows[7].rsplit(" ", 1)[0]),
                    r"s\.aks line 12: 35 values, 36 expected \(class I, speed class 8\)"),
                   (body.replace(rows[20], rows[20].replace("  0", " -1", 1)),
                    r"s\.aks line 25: negative frequency -1"),
                   ("\n".join(header[:4] + rows[:45]),
                    r"s\.aks: 45 rows of frequencies, 54 expected; the rows from class V, speed "
                    r"class 1 on are missing"),
                   (body.replace(rows[0], rows[0].replace("  0", " 1e308")),
                    r"the values of the statistic add up beyond any number")]
            for text, message in bad:
                with self.subTest(message=message):
                    write(os.path.join(tmp, "s.aks"), text + "\n")
                    r = run_zirmet("s.aks", "--z0", "0.2", "--ha", "10", "-o", "a.txt",
                                   "--no-rose", cwd=tmp)
                    self.assertEqual(r.returncode, 1, r.stderr)
                    self.assertRegex(r.stderr, r"^\*\*\* " + message + r".*! \(zirmet\)\n$")

    def test_options_and_inputs_not_finite_or_out_of_range(self):
        # Every float option: nan and inf are a bad command line; then the
        # ranges, and data beyond them.
        finite = ["--%s=%s" % (o, v) for o in ("re", "z0", "calm", "ha", "variable", "total")
                  for v in ("nan", "inf", "-inf")]
        stat = ["st.csv", "--statistic", "--speed", "ff", "--dir", "dd", "--km", "ak"]
        cases = [([opt], 2, "argument %s: not a finite number" % opt.split("=")[0])
                 for opt in finite] + [
            (["--z0", "1e-9"], 2, "--z0 1e-09: the roughness length"),
            (["--z0", "20"], 2, "--z0 20: the roughness length"), (["--z0", "0.0001"], 0, ""),
            (["--bounds", "1,nan"], 2, '--bounds: "1,nan" is not a list'),
            (["--bounds", "1,1e309"], 2, '--bounds: "1,1e309" is not a list'),
            (["--ha", "-4"], 2, "--ha -4: the anemometer height"),
            (["--re", "1e300"], 2, "--re 1e+300: the direction"),
            (["big.csv", "--lm", "L"], 1, "big.csv line 2: wind speed 1e300 above 100 m/s"),
            (stat + ["--hours", "h"], 1, "the values of the statistic add up beyond any number")]
        with tempfile.TemporaryDirectory() as tmp:
            write(os.path.join(tmp, "s.csv"), "time,dir,speed,L\nt1,270,3,-50\n")
            write(os.path.join(tmp, "st.csv"), "ff,dd,ak,h\n1,1,I,1e308\n2,1,I,1e308\n")
            write(os.path.join(tmp, "big.csv"), "time,dir,speed,L\nt1,270,1e300,-50\n")
            for argv, code, message in cases:
                with self.subTest(argv=argv):
                    data = [] if argv[0].endswith(".csv") else ["s.csv", "--lm", "L"]
                    r = run_zirmet(*data, "--z0", "0.5", "--ha", "10", *argv, "-o", "x.txt",
                                   "--no-rose", cwd=tmp)
                    self.assertEqual(r.returncode, code, r.stderr)
                    self.assertRegex(r.stderr, r"^\*\*\* " + re.escape(message) +
                                     r".*! \(zirmet\)\n$" if message else "^$")


TEMPLATE = """\
-:ZIRidev
- Test case: a point source at 5 m; the weather comes from zirmet. Gr\xfc\xdfe.
*DIMENSIONIERUNG
*GITTER
nx 21
ny 21
dr 20
xr -200
yr -200
*QUELLE
hq 5
eq 1000
{re}** Situation: placeholder
*PARAMETER run
ha 10         ' anemometer height
ua 5
*LISTE prf
** another placeholder
*PARAMETER   run
ha 10
dw 1
*
*SPEICHERN cnc
*ENDE
"""


@unittest.skipUnless(os.access(os.environ.get("ZIR_EXE", ""), os.X_OK),
                     "ZIR_EXE does not name the model program")
class ProgramTest(unittest.TestCase):
    def test_constant_west_wind_gives_a_plume_to_the_east(self):
        # 100 hours from 270 degrees at 3 m/s, neutral. With the default re
        # the sector centred on 270 degrees is number 26; with re 5 the
        # sectors are centred on 5, 15, ..., so 270 opens sector 27.
        from zirmap_lib import dmna  # the map tool's reader of result files
        data = "time,dir,speed,class\n" + "".join("h%d,270,3,III/1\n" % i for i in range(100))
        for re_line, sector in (("", 26), ("*PARAMETER\nre 5\n", 27)):
            with self.subTest(re=re_line), tempfile.TemporaryDirectory() as tmp:
                template = TEMPLATE.format(re=re_line)
                write(os.path.join(tmp, "wind.csv"), data)
                write(os.path.join(tmp, "template.txt"), template)
                r = run_zirmet("wind.csv", "--km", "class", "--z0", "0.5", "--no-rose",
                               "--template", "template.txt", "-o", "odrcmd.txt", cwd=tmp)
                self.assertEqual(r.returncode, 0, r.stderr)
                found = situations(os.path.join(tmp, "odrcmd.txt"))
                self.assertEqual(len(found), 1)
                self.assertEqual((found[0]["ua"], found[0]["lm"], found[0]["z0"]), (3, 0, 0.5))
                self.assertEqual(found[0]["dw"], [100 if k == sector else 0 for k in range(36)])
                # Everything but the run sections and their remarks is kept
                # byte for byte; the other parameters of those sections once.
                with open(os.path.join(tmp, "odrcmd.txt"), "rb") as fh:
                    made = fh.read().decode("cp1252")
                start = made.index("- 1 dispersion situations")
                block = made[start:made.index("*LISTE")]
                self.assertEqual(made[:start] + made[start + len(block):],
                                 re.sub(r"\*\* Situation.*?(?=\*LISTE)|\*\* another.*?\*\n", "",
                                        template, flags=re.S))
                self.assertIn("*PARAMETER\nha 10         ' anemometer height\n** Situation 1:", block)
                self.assertNotIn("placeholder", made)
                run = subprocess.run([os.environ["ZIR_EXE"], tmp], capture_output=True)
                self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
                g = dmna.read_grid(os.path.join(tmp, "cnc"))
                east, west = g.values[g.x > 0, :].sum(), g.values[g.x < 0, :].sum()
                i, j = divmod(int(g.values.argmax()), g.values.shape[1])
                self.assertGreater(g.x[i], 0)
                self.assertLessEqual(abs(g.y[j]), 20)
                self.assertEqual(west, 0.0)
                self.assertGreater(east, 0.0)


    def test_two_groups_get_the_same_situations_and_both_are_computed(self):
        # The total load of two sources, then after *CLEAR the additional
        # load of one: each placeholder group gets all situations, and the
        # model writes both parts.
        from zirmap_lib import dmna
        template = TWO_GROUPS
        rng = random.Random(3)
        data = "time,dir,speed,class\n" + "".join(
            "2023-01-%02d %02d:00,%d,%.1f,%s\n" % (1 + i // 24, i % 24, rng.choice((250, 260, 990)),
                                                 rng.uniform(0.2, 6), rng.choice(cls.KM_CLASSES))
            for i in range(48))
        with tempfile.TemporaryDirectory() as tmp:
            write(os.path.join(tmp, "wind.csv"), data)
            write(os.path.join(tmp, "template.txt"), template)
            r = run_zirmet("wind.csv", "--km", "class", "--z0", "0.2", "--no-rose",
                           "--template", "template.txt", "-o", "odrcmd.txt", cwd=tmp)
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertIn("template groups: 2 (1 *PARAMETER run section from line 18; "
                          "2 *PARAMETER run sections from line 31)", r.stdout)
            self.assertIn("ha: 6.5 m (the template, line 19)", r.stdout)
            with open(os.path.join(tmp, "odrcmd.txt"), encoding="cp1252") as fh:
                made = fh.read()
            parts = made.split("*CLEAR\n")
            for n, part in enumerate(parts):
                write(os.path.join(tmp, "part%d" % n), part)
                self.assertIn("*PARAMETER\nha 6.5\n** Situation 1:", part)
            first, second = (situations(os.path.join(tmp, "part%d" % n)) for n in (0, 1))
            self.assertGreater(len(first), 5)
            self.assertEqual(first, second)
            self.assertNotIn("placeholder", made)
            self.assertIn("*LISTE prf\n- %d dispersion" % len(first), made)
            run = subprocess.run([os.environ["ZIR_EXE"], tmp], capture_output=True)
            self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
            both = dmna.read_grid(os.path.join(tmp, "total-cnc")).values
            one = dmna.read_grid(os.path.join(tmp, "extra-cnc")).values
            # cnc adds over sources: the total is the additional load plus
            # the second source's share, to float precision.
            self.assertTrue((both >= one * (1 - 1e-5)).all())
            self.assertGreater(both.sum(), one.sum() * 1.05)
            self.assertGreater(one.sum(), 0)


TWO_GROUPS = """\
-:ZIRidev
- Two parts: the total load of two sources, then the additional load.
*DIMENSIONIERUNG
*GITTER
nx 15
ny 15
dr 20
xr -150
yr -150
*QUELLE
hq 3
eq 1000
*QUELLE add
xq 40
yq 30
eq 800
** Situations of the total load: placeholder
*PARAMETER run
ha 6.5
*SPEICHERN cnc
fi "total-cnc"
*CLEAR
*QUELLE
xq 0
yq 0
eq 1000
*PARAMETER
ha 6.5
** the profile of the first situation
*LISTE prf
*PARAMETER run
ua 3
*
** the parameters
*TABELLE
*PARAMETER run
ua 2
*SPEICHERN cnc
fi "extra-cnc"
*ENDE
"""


class ExampleTest(unittest.TestCase):
    def test_example_command_file_is_what_the_chain_makes(self):
        with tempfile.TemporaryDirectory() as tmp:
            r = subprocess.run(["bash", os.path.join(REPO, "examples", "weather", "build.sh"), tmp],
                               capture_output=True, text=True)
            self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
            with open(os.path.join(tmp, "odrcmd.txt"), "rb") as made, \
                    open(os.path.join(REPO, "examples", "weather", "odrcmd.txt"), "rb") as kept:
                self.assertEqual(made.read(), kept.read())
            self.assertTrue(os.path.isfile(os.path.join(tmp, "windrose.png")))


if __name__ == "__main__":
    unittest.main()
