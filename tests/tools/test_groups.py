"""Files of a run with source groups as the tools read them: the points'
table pnt.csv against the log's listing, and the map of the additional load.

Run from this directory with the distribution's Python:
    /usr/bin/python3 -m unittest -v test_groups
ZIR_EXE names the model program.
"""

import csv
import os
import re
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
TOOLS = os.path.join(os.path.dirname(os.path.dirname(HERE)), "tools")
sys.path.insert(0, TOOLS)

os.environ["MPLBACKEND"] = "Agg"
from zirmap_lib import dmna, mapplot  # noqa: E402

# A stack and an area of the applicant's pigs, a point of the neighbour's
# dairy, three receptor points, all directions in one situation.
COMMANDS = """*DIMENSIONIERUNG
nz 40
mp 3
*GITTER
nx 21
ny 21
dr 20
xr -200
yr -200
*AUFPUNKTE
xp 60 -35.5 150
yp 20 80 -120
*QUELLE
sg pigs
fg 0.75
za 1
xq -20
yq -10
aq 20
bq 20
lq 10
hq 0
cq 4
eq 800
*QUELLE add
aq 0
bq 0
xq 10
hq 8
eq 500
*QUELLE add
sg dairy
fg 0.5
za 0
xq 60
yq -40
hq 5
eq 900
*PARAMETER run
ua 2
*LISTE pnt
*SPEICHERN frh pnt
"""


class GroupFilesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        exe = os.environ.get("ZIR_EXE", "")
        if not os.access(exe, os.X_OK):
            raise unittest.SkipTest("no model program in ZIR_EXE")
        cls.tmp = tempfile.TemporaryDirectory()
        with open(os.path.join(cls.tmp.name, "odrcmd.txt"), "w") as fh:
            fh.write(COMMANDS)
        cls.result = subprocess.run([exe, cls.tmp.name, "-q"], capture_output=True)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def path(self, name):
        return os.path.join(self.tmp.name, name)

    def test_points_table_agrees_with_the_log(self):
        self.assertEqual(self.result.returncode, 0, self.result.stdout + self.result.stderr)
        with open(self.path("pnt.csv"), newline="") as fh:
            rows = list(csv.reader(fh))
        columns = ["n", "x", "y"]
        for a in ("cnc", "fro", "frh", "r90"):
            columns += [a, a + "-pigs", a + "-dairy", a + "-za"]
        self.assertEqual(rows[0], columns + ["frw"])
        table = [dict(zip(rows[0], r)) for r in rows[1:]]
        # The log's listing: number, x, y, Cm, Fro, Frh, each as printed.
        with open(self.path("odrlog.txt"), encoding="cp1252") as fh:
            log = fh.read()
        listing = log[log.index("Werte an den Aufpunkten:"):].splitlines()[2:5]
        self.assertEqual(len(table), 3)
        frh = 0.0
        for row, line in zip(table, listing):
            n, x, y, cm, fro, frh_text = re.split(r"[:\s]+", line.strip())
            self.assertEqual(row["n"], n)
            self.assertEqual("%7.1f" % float(row["x"]), "%7.1f" % float(x))
            self.assertEqual("%7.1f" % float(row["y"]), "%7.1f" % float(y))
            for key, printed in (("cnc", cm), ("fro", fro), ("frh", frh_text)):
                self.assertEqual("%.3e" % float(row[key]), printed, key)
            # The pigs are the applicant: the additional load is theirs.
            for a in ("cnc", "fro", "frh", "r90"):
                self.assertEqual(row[a + "-za"], row[a + "-pigs"])
            self.assertLessEqual(float(row["frw"]), float(row["frh"]))
            frh = max(frh, float(row["frh"]))
        self.assertGreater(frh, 0)

    def test_additional_load_map_draws_the_irrelevance_line(self):
        self.assertEqual(self.result.returncode, 0, self.result.stdout + self.result.stderr)
        for name, group, lines in (("frh-za", "za", [0.02]), ("frh", "", [0.10, 0.15])):
            with self.subTest(name=name):
                grid = dmna.read_grid(self.path(name))
                self.assertEqual(grid.group, group)
                fig, drawn = mapplot.build_map(grid)
                mapplot.plt.close(fig)
                self.assertEqual(list(drawn["lines"].levels), lines)
                self.assertTrue(any(label.startswith("%.2f:" % lines[0])
                                    for label in drawn["legend"]), drawn["legend"])


if __name__ == "__main__":
    unittest.main()
