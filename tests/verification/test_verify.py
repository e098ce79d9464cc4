"""Tests of the verification: its statistics, its reading of the field data,
and that its analytic checks fail when the model's physics is wrong.

Run from this directory with the distribution's Python:
    /usr/bin/python3 -m unittest -v test_verify
ZIR_EXE names the model program for the test that runs it.
"""

import math
import os
import sys
import tempfile
import unittest
from unittest import mock

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(REPO, "verification"))

from zirverify import analytic, field, stats  # noqa: E402

DATA = os.path.join(REPO, "verification", "data", "prairie_grass.csv")


class StatsTest(unittest.TestCase):
    def test_measures_of_a_constant_factor(self):
        # For Cp = k Co every measure has a closed form in k.
        rng = np.random.default_rng(16)
        for _ in range(200):
            co = rng.lognormal(-4, 1.5, size=rng.integers(1, 40))
            k = float(np.exp(rng.uniform(-1.5, 1.5)))
            m = stats.measures(co, k * co)
            self.assertEqual(m["n"], co.size)
            self.assertAlmostEqual(m["FB"], 2 * (1 - k) / (1 + k), places=12)
            spread = np.mean(co * co) / np.mean(co) ** 2
            self.assertAlmostEqual(m["NMSE"], (1 - k) ** 2 / k * spread, places=10)
            self.assertAlmostEqual(m["MG"], 1 / k, places=12)
            self.assertAlmostEqual(m["VG"], math.exp(math.log(k) ** 2), places=10)
            if abs(math.log(k)) < math.log(2) - 1e-9:
                self.assertEqual(m["FAC2"], 1.0)
            elif abs(math.log(k)) > math.log(2) + 1e-9:
                self.assertEqual(m["FAC2"], 0.0)

    def test_factor_two_is_inside_and_fractions_count(self):
        co = np.array([1.0, 2.0, 4.0, 8.0])
        self.assertEqual(stats.measures(co, [2.0, 1.0, 8.0, 4.0])["FAC2"], 1.0)
        self.assertEqual(stats.measures(co, [2.0, 1.0, 8.01, 3.99])["FAC2"], 0.5)
        perfect = stats.measures(co, co)
        self.assertEqual([perfect[k] for k in stats.NAMES], [1.0, 0.0, 0.0, 1.0, 1.0])

    def test_rejects_what_has_no_measure(self):
        for co, cp in (([], []), ([1.0, 2.0], [1.0]), ([1.0, 0.0], [1.0, 1.0]),
                       ([1.0], [-1.0])):
            with self.assertRaises(ValueError):
                stats.measures(co, cp)


class AcceptanceTest(unittest.TestCase):
    def test_the_band_names_every_measure_outside_it(self):
        inside = {"FAC2": 0.8, "FB": -0.3, "MG": 1.3}
        self.assertEqual(field.judge(inside), [])
        for key, value, word in (("FAC2", 0.79, "FAC2"), ("FB", 0.31, "|FB|"),
                                 ("FB", -0.31, "|FB|"), ("MG", 0.69, "MG"),
                                 ("MG", 1.31, "MG"), ("MG", float("nan"), "MG")):
            m = dict(inside, **{key: value})
            bad = field.judge(m)
            self.assertEqual(len(bad), 1, (key, value))
            self.assertTrue(bad[0].startswith(word), bad)


class FieldDataTest(unittest.TestCase):
    def test_the_runs_with_meteorology(self):
        runs = field.read_runs(DATA)
        self.assertEqual(len(runs), 53)
        self.assertEqual(sum(r.stable for r in runs), 24)
        self.assertEqual({(r.h_src, r.z_rcv, r.z_ref) for r in runs}, {(0.46, 1.5, 2.0)})
        # A mixing height for the 29 unstable runs and run 46.
        self.assertEqual(sorted(r.number for r in runs if r.h_mix > 0 and r.stable), [46])
        self.assertEqual(sum(r.h_mix > 0 for r in runs), 30)
        self.assertEqual(sum(len(r.cwic) for r in runs), 265)
        self.assertTrue(all(r.cwic[a] > 0 for r in runs for a in field.ARCS))

    def test_unusable_files_are_refused(self):
        with open(DATA, encoding="utf-8") as fh:
            lines = fh.read().splitlines()
        header = lines[0].split(",")
        row5 = next(line for line in lines if line.startswith("5,"))

        def with_value(column, value):
            cells = row5.split(",")
            cells[header.index(column)] = value
            return ",".join(cells)
        cases = {
            "no meteorology": [lines[0], lines[1]],
            "L not a number": [lines[0], with_value("L", "abc")],
            "no wind": [lines[0], with_value("u_ref", "")],
            "L zero": [lines[0], with_value("L", "0")],
            "binary": None,
        }
        with tempfile.TemporaryDirectory() as tmp:
            for label, content in cases.items():
                path = os.path.join(tmp, "data.csv")
                with open(path, "wb") as fh:
                    fh.write(b"\xff\xfe\x00" if content is None
                             else "\n".join(content).encode("utf-8"))
                with self.assertRaises(field.DataError, msg=label):
                    field.read_runs(path)
            with self.assertRaises(field.DataError):
                field.read_runs(os.path.join(tmp, "missing.csv"))


def model_program():
    exe = os.environ.get("ZIR_EXE", os.path.join(REPO, "build", "ZIRidev"))
    return exe if os.path.isfile(exe) and os.access(exe, os.X_OK) else None


class PlantedFaultTest(unittest.TestCase):
    def test_a_ground_that_absorbs_fails_the_constant_and_flux_checks(self):
        # Deposition at the ground is what a lost ground reflection looks
        # like: mass leaves the plume. The checks must notice it.
        exe = model_program()
        if not exe:
            self.skipTest("no model program (ZIR_EXE)")
        original = analytic.constant_commands

        def absorbing():
            return original().replace("*PARAMETER\nz0 0\n", "*PARAMETER\nz0 0\nvd 0.01\n")
        with tempfile.TemporaryDirectory() as tmp, \
                mock.patch.object(analytic, "constant_commands", absorbing):
            checks, tables = analytic.check_constant(exe, tmp)
            checks += analytic.check_flux(exe, tmp, tables)
        failed = {c.name for c in checks if not c.passed}
        self.assertIn("flux = emission, constant u and K, ground-level source H=0 m", failed)
        self.assertIn("ground-level source H=0 m: vertical profile at x=400 m", failed)
        self.assertIn("elevated source H=10 m: Cy(z=zp) at x=400 m", failed)
        # The similarity cases run without deposition and still pass.
        self.assertNotIn("flux = emission, neutral, source layer 2..8 m", failed)


if __name__ == "__main__":
    unittest.main()
