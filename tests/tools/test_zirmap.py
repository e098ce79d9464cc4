"""Tests of zirmap: reading result files, the map, the ESRI grid, bad input.

Run from this directory with the distribution's Python:
    /usr/bin/python3 -m unittest -v test_zirmap
ZIR_EXE names the model program for the tests that read its own output.
"""

import dataclasses
import os
import re
import struct
import subprocess
import sys
import tempfile
import unittest

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
TOOLS = os.path.join(REPO, "tools")
ZIRMAP = os.path.join(TOOLS, "zirmap")
DATA = os.path.join(HERE, "data")
sys.path.insert(0, TOOLS)

os.environ["MPLBACKEND"] = "Agg"
from matplotlib.text import Text  # noqa: E402
from zirmap_lib import dmna, mapplot, texts  # noqa: E402

# The grid of the fixtures: value (i+1)*10 + (j+1) at node (i, j), 3 x 2 nodes.
EXPECTED_3X2 = np.array([[11, 12], [21, 22], [31, 32]], dtype=float)


def run_zirmap(*args, cwd=None, env=None):
    return subprocess.run([ZIRMAP, *args], cwd=cwd, capture_output=True, text=True,
                          encoding="utf-8", errors="replace", env=env)


def write_dmna(path, header_lines, data_text=None):
    """A descriptor with the given header lines; data_text follows the "*" line."""
    text = "\n".join(header_lines) + "\n*\n"
    if data_text is not None:
        text += data_text
    with open(path, "wb") as fh:
        fh.write(text.encode("cp1252"))


GRID_KEYS = ["xmin\t0", "ymin\t0", "delt\t10"]


class ReadTest(unittest.TestCase):
    def test_text_in_descriptor(self):
        g = dmna.read_grid(os.path.join(DATA, "text2x2.dmna"))
        np.testing.assert_array_equal(g.values, [[0.5, 0.25], [1.5, 0.0]])
        np.testing.assert_array_equal(g.x, [0, 10])
        np.testing.assert_array_equal(g.y, [0, 10])
        self.assertEqual(g.title, "TEST")
        self.assertEqual(g.mark, "Konzentration (GE/m3)")

    def test_every_storage_gives_the_same_grid(self):
        # Text with j-,i+ and factors, binary in storage order, binary with
        # i-,j+ and a named data file, text in a separate file with two fields.
        for name, scale in (("seq_text", 1000.0), ("bin_plain", 1.0), ("bin_seq", 1.0),
                            ("split_text", 1.0)):
            with self.subTest(name=name):
                g = dmna.read_grid(os.path.join(DATA, name))
                np.testing.assert_allclose(g.values * scale, EXPECTED_3X2, rtol=1e-6)
                np.testing.assert_array_equal(g.x, [100, 150, 200])
                np.testing.assert_array_equal(g.y, [200, 250])

    def test_titles_are_windows_1252(self):
        self.assertEqual(dmna.read_grid(os.path.join(DATA, "bin_plain")).mark,
                         "Häufigkeit von Belästigungsstunden")
        self.assertEqual(dmna.read_grid(os.path.join(DATA, "seq_text.dmna")).mark,
                         "Kumulative Geruchshäufigkeit")

    def test_second_field_by_name_and_number(self):
        path = os.path.join(DATA, "split_text")
        for choice in ("Dev", "2"):
            g = dmna.read_grid(path, choice)
            np.testing.assert_array_equal(g.values, [[0, 1], [1, 2], [2, 3]])
        with self.assertRaisesRegex(dmna.DmnaError, "no field named"):
            dmna.read_grid(path, "Xyz")

    def test_width_zero_fields_are_not_in_text(self):
        with tempfile.TemporaryDirectory() as tmp:
            p = os.path.join(tmp, "w0.dmna")
            write_dmna(p, ['mode\t"text"', 'form\t"Skip%[2]0fVal%8.2f"'] + GRID_KEYS +
                       ["dims\t2", "size\t4", "lowb\t0\t0", "hghb\t0\t1"],
                       "\t1.50\t2.50\n\n***\n")
            g = dmna.read_grid(p)
            np.testing.assert_array_equal(g.values, [[1.5, 2.5]])

    def test_bounds_above_zero_shift_the_nodes(self):
        with tempfile.TemporaryDirectory() as tmp:
            p = os.path.join(tmp, "b.dmna")
            write_dmna(p, ['mode\t"text"', 'form\t"%5.1f"', "xmin\t1000", "ymin\t2000",
                           "delt\t100", "dims\t2", "size\t4", "lowb\t1\t-1", "hghb\t2\t-1"],
                       "\t1.0\n\t2.0\n\n***\n")
            g = dmna.read_grid(p)
            np.testing.assert_array_equal(g.x, [1100, 1200])
            np.testing.assert_array_equal(g.y, [1900])

    def test_sequences(self):
        lower, upper = [0, 0], [2, 1]
        cases = {
            # sequence: array indices (i, j) in the order of the data
            "j-,i+": [(0, 1), (1, 1), (2, 1), (0, 0), (1, 0), (2, 0)],
            "i+,j+": [(0, 0), (0, 1), (1, 0), (1, 1), (2, 0), (2, 1)],
            "j+|i-": [(2, 0), (1, 0), (0, 0), (2, 1), (1, 1), (0, 1)],
            "i=2..0;j=1": [(2, 1), (1, 1), (0, 1)],
            "j=..1/5:i=1": [(1, 0), (1, 1)],
        }
        for spec, order in cases.items():
            with self.subTest(spec=spec):
                shape, idx = dmna.parse_sequence(spec, lower, upper)
                self.assertEqual(list(zip(idx[0].tolist(), idx[1].tolist())), order)
        for spec, message in (("i+", "undefined index j"), ("k+,i+,j+", "invalid index k"),
                              ("i*,j+", "invalid specification"),
                              ("i=3,j+", "invalid range"), ("i=0..5,j+", "invalid range"),
                              ("i+,j+,i+", "index i named twice"),
                              ("j-,i+j-,i+", "invalid specification i\\+j-")):
            with self.subTest(spec=spec), self.assertRaisesRegex(dmna.DmnaError, message):
                dmna.parse_sequence(spec, lower, upper)

    def test_formats(self):
        f = dmna.parse_format("A%[3]13.5e")
        self.assertEqual([x.name for x in f], ["A", "B", "C"])
        f = dmna.parse_format("%(*1000)10.1fn%5hdd%8.3lfc%c")
        self.assertEqual([(x.kind, x.size, x.width, x.factor) for x in f],
                         [("f", 4, 10, 1000.0), ("h", 2, 5, 1.0), ("d", 8, 8, 1.0),
                          ("c", 1, -1, 1.0)])
        for bad, message in (("%12.4q", "unknown conversion"), ("%[x]f", "repetition"),
                             ("%(1000)f", "without"), ("%" + "1" * 20 + "f", "width too long"),
                             ("%[2f", "missing")):
            with self.subTest(form=bad), self.assertRaisesRegex(dmna.DmnaError, message):
                dmna.parse_format(bad)

    def test_factors_and_integer_conversions_in_text(self):
        with tempfile.TemporaryDirectory() as tmp:
            p = os.path.join(tmp, "f.dmna")
            write_dmna(p, ['mode\t"text"', 'form\t"%(*2)6.1f%4x%3d"', "fact\t10"] + GRID_KEYS +
                       ["dims\t2", "size\t12", "lowb\t0\t0", "hghb\t0\t0"], "\t  30.0\t  1f\t -7\n\n***\n")
            df = dmna.read_dmna(p)
            self.assertEqual([df.all_fields[n][0, 0] for n in range(3)], [1.5, 31, -7])


class BadInputTest(unittest.TestCase):
    """Each bad input: one message line on stderr, a non-zero exit, no traceback, no PNG."""

    def check_fails(self, args, message, code=1, cwd=None):
        r = run_zirmap(*args, cwd=cwd)
        self.assertEqual(r.returncode, code, r.stderr)
        self.assertNotIn("Traceback", r.stderr)
        self.assertRegex(r.stderr, message)
        return r

    def test_bad_files(self):
        header = ['mode\t"text"', 'form\t"%6.2f"']
        shape = ["dims\t2", "size\t4", "lowb\t0\t0", "hghb\t1\t1"]
        cases = {
            "nogrid": (header + shape, "\t1\t2\n\t3\t4\n\n***\n", r"lacks the grid keys xmin, ymin, delt"),
            "few": (header + GRID_KEYS + shape, "\t1\t2\n\t3\n\n***\n", r"holds 3 values, dims/lowb/hghb need 4"),
            "many": (header + GRID_KEYS + shape, "\t1\t2\n\t3\t4\t5\n\n***\n", r"more values than dims/lowb/hghb"),
            "nodims": (header + GRID_KEYS + ["size\t4"], "", r'missing parameter "dims"'),
            "bounds": (header + GRID_KEYS + ["dims\t2", "size\t4", "lowb\t0", "hghb\t1\t1"], "",
                       r'"lowb"/"hghb" do not give 2 bounds'),
            "form": (['mode\t"text"', 'form\t"%6.2q"'] + GRID_KEYS + shape, "\t1\t2\n\t3\t4\n",
                     r'invalid format "%6.2q"'),
            "item": (header + GRID_KEYS + shape, "\t1\t2\n\t3\tx4\n\n***\n",
                     r'can\'t read item "x4" in line 2'),
            "sequ": (header + ['sequ\t"j-,i+,k+"'] + GRID_KEYS + shape, "\t1\t2\n\t3\t4\n",
                     r'invalid index k in sequence'),
            "three": (header + GRID_KEYS + ["dims\t3", "size\t4", "lowb\t0\t0\t0", "hghb\t0\t1\t1"],
                      "\t1\t2\n\t3\t4\n\n***\n", r"has 3 dimensions, a map needs 2"),
            "binsize": (['form\t"%6.2f"'] + GRID_KEYS + shape, None, r"holds 12 bytes, .* need 16"),
            "binform": (['form\t"%6.2lf"'] + GRID_KEYS + shape, None, r"format of 8 bytes does not match element size 4"),
        }
        with tempfile.TemporaryDirectory() as tmp:
            for name, (lines, data, _) in cases.items():
                write_dmna(os.path.join(tmp, name + ".dmna"), lines, data)
                if data is None:
                    with open(os.path.join(tmp, name + ".dmnb"), "wb") as fh:
                        fh.write(struct.pack("<3f", 1, 2, 3))
            # One run for all: each file gets its own line, in order.
            r = self.check_fails([name + ".dmna" for name in cases], r"\(zirmap\)", cwd=tmp)
            messages = r.stderr.splitlines()
            self.assertEqual(len(messages), len(cases), r.stderr)
            for (name, (_, _, message)), line in zip(cases.items(), messages):
                with self.subTest(case=name):
                    self.assertRegex(line, r"^\*\*\* .*" + message + r".*! \(zirmap\)$")
            self.assertEqual([n for n in os.listdir(tmp) if n.endswith(".png")], [])

    def test_cut_and_garbled_text_data(self):
        """A text file cut anywhere before its end mark "***" is refused as
        truncated, never read short (a number cut to "1.5000e+0" still reads
        as one); a value that is not a whole finite number is refused."""
        with open(os.path.join(DATA, "text2x2.dmna"), "rb") as fh:
            whole = fh.read()
        data_at = whole.index(b"\n*\n") + 3
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "cut.dmna")
            for end in range(data_at, len(whole) + 1):
                with open(path, "wb") as fh:
                    fh.write(whole[:end])
                with self.subTest(cut=len(whole) - end):
                    if whole[:end].rstrip(b"\n").endswith(b"\n***"):
                        self.assertEqual(dmna.read_grid(path).values[1, 0], 1.5)
                    else:
                        with self.assertRaisesRegex(dmna.DmnaError, r"cut\.dmna is truncated"):
                            dmna.read_grid(path)
            for bad in ("1.5000e+", "1.5e", "1.5x", "nan", "inf", "1_5", "1e999", "0x1p0", "+-1"):
                with open(path, "wb") as fh:
                    fh.write(whole.replace(b"1.5000e+00", bad.encode()))
                with self.subTest(value=bad), \
                        self.assertRaisesRegex(dmna.DmnaError, r"can't read item \"%s\" in line 2" % re.escape(bad)):
                    dmna.read_grid(path)
            # The program's way: exit 1 with the file named.
            with open(path, "wb") as fh:
                fh.write(whole[:-8])
            self.check_fails(["cut.dmna"], r"cut\.dmna is truncated", cwd=tmp)

    def test_missing_files(self):
        with tempfile.TemporaryDirectory() as tmp:
            self.check_fails(["absent.dmna"], r"can't open descriptor file absent\.dmna", cwd=tmp)
            write_dmna(os.path.join(tmp, "nodata.dmna"), ['data\tgone'] + GRID_KEYS +
                       ["dims\t2", "size\t4", "lowb\t0\t0", "hghb\t1\t1"])
            self.check_fails(["nodata"], r"can't open data file gone\.dmnb", cwd=tmp)

    def test_one_bad_file_does_not_stop_the_others(self):
        with tempfile.TemporaryDirectory() as tmp:
            r = self.check_fails([os.path.join(DATA, "text2x2.dmna"), "absent.dmna",
                                  "--outdir", tmp], "absent", cwd=tmp)
            self.assertTrue(os.path.isfile(os.path.join(tmp, "text2x2.png")))
            self.assertIn("text2x2.png", r.stdout)

    def test_bad_command_lines(self):
        f = os.path.join(DATA, "text2x2.dmna")
        for args, message in (([f, "--source", "1"], r"--source: 2 values expected"),
                              ([f, "--area", "1,2,x,4"], r"not a list of numbers"),
                              ([f, "--levels", "0.2,0.1"], r"levels must increase"),
                              ([f, f, "-o", "x.png"], r"-o names one map"),
                              ([f, "--no-png"], r"writes nothing"),
                              ([f, "--crs", "EPSG:25832"], r"give one of them"),
                              ([f, "--asc", "x.asc", "--crs", "25832"], r"EPSG:NNNN expected"),
                              ([f, "--asc", "x.asc", "--crs", "EPSG:4326"], r"not in metres"),
                              ([f, "--origin", "5e5"], r"--origin: 2 values expected")):
            with self.subTest(args=args):
                self.check_fails(args, message, code=2)
        # argparse's own complaints too, in the tool's style.
        for args, message in (([f, "--bogus"], r"unrecognized arguments: --bogus"),
                              ([], r"the following arguments are required: FILE"),
                              ([f, "--lang", "fr"], r"argument --lang: invalid choice: 'fr'"),
                              ([f, "--dpi", "x"], r"argument --dpi: invalid int value")):
            with self.subTest(args=args):
                r = self.check_fails(args, message, code=2)
                self.assertRegex(r.stderr, r"^\*\*\* [^\n]*! \(zirmap\)\n$")

    def test_unwritable_output(self):
        r = run_zirmap(os.path.join(DATA, "text2x2.dmna"), "-o", "/nonexistent/dir/m.png")
        self.assertEqual(r.returncode, 3, r.stderr)
        self.assertIn("can't write", r.stderr)
        self.assertNotIn("Traceback", r.stderr)
        with tempfile.TemporaryDirectory() as tmp:
            blocked = os.path.join(tmp, "file")
            open(blocked, "w").close()
            self.check_fails([os.path.join(DATA, "text2x2.dmna"), "-d", blocked + "/maps"],
                             r"can't make the directory .*/file/maps", code=3)

    def test_outdir_is_made(self):
        with tempfile.TemporaryDirectory() as tmp:
            maps = os.path.join(tmp, "new", "maps")
            r = run_zirmap(os.path.join(DATA, "text2x2.dmna"), "-d", maps)
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertEqual(os.listdir(maps), ["text2x2.png"])


def corner_grid(tmp, mode):
    """A 5 x 4 grid of zeros with 1 at the north-east node (i = 4, j = 3)."""
    nx, ny = 5, 4
    v = np.zeros((nx, ny), dtype=np.float32)
    v[nx - 1, ny - 1] = 1.0
    header = ['idnt\t"corner"', 'mode\t"%s"' % mode, 'sequ\t"j-,i+"', 'form\t"%5.1f"',
              "xmin\t-200", "ymin\t300", "delt\t100", 'mark\t"Häufigkeit von Belästigungsstunden"',
              "dims\t2", "size\t4", "lowb\t0\t0", "hghb\t%d\t%d" % (nx - 1, ny - 1)]
    path = os.path.join(tmp, "corner_%s.dmna" % mode)
    if mode == "text":
        rows = ["".join("\t%5.1f" % v[i, j] for i in range(nx)) for j in range(ny - 1, -1, -1)]
        write_dmna(path, header, "\n".join(rows) + "\n\n***\n")
    else:
        write_dmna(path, header)
        with open(path[:-5] + ".dmnb", "wb") as fh:
            fh.write(v[:, ::-1].T.astype("<f4").tobytes())
    return path


class MapTest(unittest.TestCase):
    def test_north_east_corner_is_drawn_north_east(self):
        with tempfile.TemporaryDirectory() as tmp:
            for mode in ("text", "binary"):
                with self.subTest(mode=mode):
                    g = dmna.read_grid(corner_grid(tmp, mode))
                    fig, drawn = mapplot.build_map(g)
                    X, Y, Z = drawn["X"], drawn["Y"], drawn["Z"]
                    self.assertEqual((X[-1, -1], Y[-1, -1], Z[-1, -1]), (200, 600, 1.0))
                    self.assertEqual(float(Z.sum()), 1.0)
                    # In the rendered picture the colour sits at the top right.
                    fig.canvas.draw()
                    rgba = np.asarray(fig.canvas.buffer_rgba())
                    height = rgba.shape[0]
                    ax = drawn["ax"]

                    def pixel(x, y):
                        px, py = ax.transData.transform((x, y))
                        return rgba[int(height - py), int(px), :3]

                    ne, sw = pixel(190, 590), pixel(-190, 310)
                    mapplot.plt.close(fig)
                    self.assertTrue((sw > 245).all(), sw)       # blank
                    self.assertTrue((ne < 200).any(), ne)       # coloured

    def test_levels_and_titles_per_array(self):
        frh = dmna.read_grid(os.path.join(DATA, "bin_plain"))
        frh.values = EXPECTED_3X2 / 100.0
        fig, drawn = mapplot.build_map(frh)
        self.assertEqual(drawn["kind"], "frh")
        self.assertIn(0.10, drawn["levels"])
        self.assertIn(0.15, drawn["levels"])
        self.assertEqual(list(drawn["lines"].levels), [0.10, 0.15])
        mapplot.plt.close(fig)

        cnc = dmna.read_grid(os.path.join(DATA, "text2x2.dmna"))
        self.assertEqual(mapplot.array_kind(cnc), "cnc")
        levels = mapplot.default_levels("cnc", cnc.values)
        self.assertGreaterEqual(levels[-1], 1.5)
        self.assertLess(levels[-2], 1.5)
        self.assertLessEqual(levels[0], 1.5e-3)

    def test_every_text_in_one_language(self):
        # The model's German title of each array (mark), in English and German
        # maps: the map's own texts come from one language only, the title by
        # array unless --title gives one, the file's identification as it is.
        g = dmna.read_grid(os.path.join(DATA, "bin_plain"))
        g.values = EXPECTED_3X2 / 100.0   # 0.11 to 0.32: both threshold lines
        marks = {"cnc": "Konzentration (OU/m3)", "fro": "Kumulative Geruchshäufigkeit",
                 "frh": "Häufigkeit von Belästigungsstunden",
                 "r90": "Verhältnis 90-Perzentil zu Mittelwert"}

        def phrases(table):
            out = set()
            for value in table.values():
                for v in (value.values() if isinstance(value, dict) else
                          value if isinstance(value, tuple) else [value]):
                    out.update(p.strip(" ,(") for p in re.split(r"%[-.\w]*", v) if p.strip(" ,("))
            return out

        for lang, other in (("en", "de"), ("de", "en")):
            foreign = phrases(texts.TEXTS[other]) - phrases(texts.TEXTS[lang]) - {"Maximum", "m"}
            for kind, mark in marks.items():
                for title, origin in ((None, None), ("Farm", (5e5, 5e6))):
                    with self.subTest(lang=lang, kind=kind, title=title):
                        grid = dataclasses.replace(g, mark=mark, title="Stall Nord")
                        fig, drawn = mapplot.build_map(grid, sources=[(150, 220)],
                                                       areas=[(140, 210, 20, 10, 0)],
                                                       points=[(110, 240)], title=title,
                                                       lang=lang, origin=origin)
                        shown = [t.get_text() for t in fig.findobj(Text) if t.get_text()]
                        mapplot.plt.close(fig)
                        for text in shown:
                            self.assertNotIn(mark, text)
                            for phrase in foreign:
                                self.assertNotIn(phrase, text)
                        self.assertEqual(fig._suptitle.get_text(),
                                         title or texts.TEXTS[lang]["title"][kind])
                        self.assertTrue(drawn["ax"].get_title().startswith("Stall Nord\n"))
                        if kind == "cnc":  # the odor unit in the map's language
                            self.assertIn("(%s/m³)" % ("OU" if lang == "en" else "GE"),
                                          drawn["colorbar"].ax.get_ylabel())
                        expected = [texts.TEXTS[lang][k] for k in ("area", "source", "points")]
                        if kind == "frh":
                            expected = ["%.2f: %s" % (v, meaning) for v, meaning in
                                        zip((0.10, 0.15), texts.TEXTS[lang]["thresholds"])] + expected
                        self.assertEqual(drawn["legend"], expected)

    def test_percent_for_frequencies_only(self):
        g = dmna.read_grid(os.path.join(DATA, "bin_plain"))
        g.values = EXPECTED_3X2 / 100.0
        for mark, scale in (("Häufigkeit von Belästigungsstunden", 100),
                            ("Kumulative Geruchshäufigkeit", 100), ("Konzentration (GE/m3)", 1)):
            with self.subTest(mark=mark):
                grid = dataclasses.replace(g, mark=mark)
                plain = mapplot.build_map(grid)[1]
                fig, drawn = mapplot.build_map(grid, percent=True)
                mapplot.plt.close("all")
                np.testing.assert_allclose(drawn["Z"], plain["Z"] * scale)
                np.testing.assert_allclose(drawn["levels"], np.array(plain["levels"]) * scale)
                self.assertIn("Maximum %s" % ("32 %" if scale == 100 else "0.32"),
                              drawn["ax"].get_title())
                if mark.startswith("H"):
                    self.assertEqual(list(drawn["lines"].levels), [10, 15])
                    self.assertTrue(drawn["legend"][0].startswith("10 %: "), drawn["legend"])

    def test_sources_areas_and_points_in_national_coordinates(self):
        # Markers are model coordinates; the origin moves grid and markers alike.
        g = dmna.read_grid(os.path.join(DATA, "seq_text.dmna"))
        e, n = 497000.0, 5427000.0
        for origin in (None, (e, n)):
            de, dn = origin or (0.0, 0.0)
            with self.subTest(origin=origin):
                fig, drawn = mapplot.build_map(
                    g, sources=[(150, 220), (120, 240)],
                    areas=[(140, 210, 20, 10, 90), (100, 200, 10, 10, 0)],
                    points=[(110, 240), (190, 210)], origin=origin, crs="EPSG:25832")
                ax = drawn["ax"]
                np.testing.assert_array_equal(drawn["X"][0], g.x + de)
                np.testing.assert_array_equal(drawn["Y"][:, 0], g.y + dn)
                outlines = [p.get_xy()[:4] - (de, dn) for p in ax.patches]
                np.testing.assert_allclose(outlines, [[[140, 210], [140, 230], [130, 230], [130, 210]],
                                                      [[100, 200], [110, 200], [110, 210], [100, 210]]],
                                           atol=1e-6)
                stars = [line for line in ax.lines if line.get_label() == "Source"][0]
                np.testing.assert_allclose(np.column_stack(stars.get_data()) - (de, dn),
                                           [[150, 220], [120, 240]], atol=1e-6)
                self.assertEqual(ax.get_xlim()[0], 100 + de)
                labels = [t.get_text() for t in ax.get_legend().get_texts()]
                self.assertEqual(labels, ["Source area", "Source", "Receptor points"])
                self.assertIn("EPSG:25832" if origin else "x (m)", ax.get_xlabel())
                mapplot.plt.close(fig)

    def test_source_list_of_the_header_outlines_the_areas_the_maximum_skips(self):
        # Two sources of a run with groups: a point source and an area turned
        # 90 degrees (corner 40,0, side a 20 m north, side b 10 m west).
        v = np.zeros((5, 4))
        v[3, 1] = 0.9    # x 30, y 10: inside the area
        v[1, 2] = 0.4    # x 10, y 20: outside
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "frh.dmna")
            write_dmna(path, ['mode\t"text"', 'mark\t"Häufigkeit von Belästigungsstunden"',
                              "xmin\t0", "ymin\t0", "delt\t10", 'sqsg\t"barn"\t"tank"',
                              "sqxq\t0\t40", "sqyq\t0\t0", "sqaq\t0\t20", "sqbq\t0\t10",
                              "sqrq\t0\t90", "dims\t2", "size\t4", "lowb\t0\t0", "hghb\t4\t3"],
                       "\n".join("".join("\t%g" % x for x in row) for row in v) + "\n***\n")
            g = dmna.read_grid(path)
        self.assertEqual([(q.group, q.is_area) for q in g.sources], [("barn", False), ("tank", True)])
        fig, drawn = mapplot.build_map(g)
        mapplot.plt.close(fig)
        self.assertEqual(drawn["maximum"], (0.4, 10.0, 20.0, True))
        self.assertIn(texts.TEXTS["en"]["area"], drawn["legend"])
        self.assertIn(texts.TEXTS["en"]["source"], drawn["legend"])

    def test_png_from_the_command_line(self):
        with tempfile.TemporaryDirectory() as tmp:
            out = os.path.join(tmp, "m.png")
            r = run_zirmap(os.path.join(DATA, "seq_text.dmna"), "-o", out, "--source", "-150,220",
                           "--area=140,210,20,10", "--points", "110,240;190,210", "--title", "T")
            self.assertEqual(r.returncode, 0, r.stderr)
            with open(out, "rb") as fh:
                self.assertEqual(fh.read(8), b"\x89PNG\r\n\x1a\n")
            self.assertEqual([n for n in os.listdir(tmp) if n != "m.png"], [])


def read_asc(path):
    with open(path) as fh:
        lines = fh.read().splitlines()
    head = dict(line.split() for line in lines[:6])
    rows = np.array([[float(v) for v in line.split()] for line in lines[6:]])
    return head, rows


class AscTest(unittest.TestCase):
    def test_asc_matches_grid(self):
        with tempfile.TemporaryDirectory() as tmp:
            out = os.path.join(tmp, "g.asc")
            r = run_zirmap(os.path.join(DATA, "seq_text.dmna"), "--asc", out, "--no-png")
            self.assertEqual(r.returncode, 0, r.stderr)
            head, rows = read_asc(out)
            self.assertEqual(head, {"ncols": "3", "nrows": "2", "xllcenter": "100",
                                    "yllcenter": "200", "cellsize": "50",
                                    "NODATA_value": "-9999"})
            # First row is the northern one (j = 1), west to east.
            np.testing.assert_allclose(rows, [[0.012, 0.022, 0.032], [0.011, 0.021, 0.031]],
                                       rtol=1e-6)

    def test_asc_per_file_into_a_directory(self):
        with tempfile.TemporaryDirectory() as tmp:
            r = run_zirmap(os.path.join(DATA, "bin_plain"), os.path.join(DATA, "bin_seq.dmna"),
                           "--asc", tmp, "--outdir", tmp)
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertEqual(sorted(os.listdir(tmp)),
                             ["bin_plain.asc", "bin_plain.png", "bin_seq.asc", "bin_seq.png"])
            for name in ("bin_plain", "bin_seq"):
                _, rows = read_asc(os.path.join(tmp, name + ".asc"))
                np.testing.assert_array_equal(rows, EXPECTED_3X2[:, ::-1].T)

    def test_national_grid_with_origin_and_crs(self):
        # Nodes at 100, 150, 200 (x) and 200, 250 (y), mesh 50: the outer
        # corner lies half a mesh south-west of the first node.
        src = os.path.join(DATA, "seq_text.dmna")
        with tempfile.TemporaryDirectory() as tmp:
            r = run_zirmap(src, "--origin", "-497000.5,5427000", "--crs", "epsg:25832",
                           "--asc", tmp, "--outdir", tmp)
            self.assertEqual(r.returncode, 0, r.stderr)
            head, rows = read_asc(os.path.join(tmp, "seq_text.asc"))
            self.assertEqual((head["xllcorner"], head["yllcorner"], head["cellsize"]),
                             ("-496925.5", "5427175", "50"))
            self.assertEqual(rows.shape, (2, 3))
            with open(os.path.join(tmp, "seq_text.prj")) as fh:
                self.assertTrue(fh.read().startswith('PROJCS["ETRS89 / UTM zone 32N",'))
            self.assertEqual(sorted(os.listdir(tmp)), ["seq_text.asc", "seq_text.png", "seq_text.prj"])

    def test_without_pyproj_only_crs_fails(self):
        with tempfile.TemporaryDirectory() as tmp:
            hidden = os.path.join(tmp, "hide", "pyproj")
            os.makedirs(hidden)
            with open(os.path.join(hidden, "__init__.py"), "w") as fh:
                fh.write('raise ImportError("No module named \'pyproj\'")\n')
            env = dict(os.environ, PYTHONPATH=os.path.dirname(hidden))
            src = os.path.join(DATA, "seq_text.dmna")
            r = run_zirmap(src, "--crs", "EPSG:25832", "--asc", tmp, "--no-png", env=env)
            self.assertEqual(r.returncode, 4, r.stderr)
            self.assertRegex(r.stderr, r"^\*\*\* No module named 'pyproj'; --crs needs the "
                                       r"package python3-pyproj .*! \(zirmap\)\n$")
            self.assertFalse(os.path.exists(os.path.join(tmp, "seq_text.asc")))
            r = run_zirmap(src, "--origin", "1000,2000", "--asc", tmp, "--no-png", env=env)
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertEqual(read_asc(os.path.join(tmp, "seq_text.asc"))[0]["xllcorner"], "1075")

    def test_missing_values_become_nodata(self):
        g = dmna.read_grid(os.path.join(DATA, "text2x2.dmna"))
        g.values[1, 1] = np.nan
        self.assertEqual(mapplot.asc_text(g).splitlines()[6], "0.25 -9999")


COMMANDS = """\
*DIMENSIONIERUNG
*GITTER
nx 21
ny 17
dr 20
xr -200
yr -100
*QUELLE
xq 0
yq 0
hq 5
eq 1000
*PARAMETER run
ua 3
dw {dw}
*SPEICHERN cnc
mo "binary"
*SPEICHERN frh
fi "frhbin"
*SPEICHERN frh
mo "text"
se "j-,i+"
fa 1000
*ENDE
"""


@unittest.skipUnless(os.access(os.environ.get("ZIR_EXE", ""), os.X_OK),
                     "ZIR_EXE does not name the model program")
class ProgramOutputTest(unittest.TestCase):
    """Reads the files that the model itself writes."""

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        # All hours in sector 18: wind from 190 degrees, so the plume lies north.
        dw = " ".join("1" if s == 18 else "0" for s in range(36))
        with open(os.path.join(cls.tmp.name, "odrcmd.txt"), "w") as fh:
            fh.write(COMMANDS.format(dw=dw))
        cls.result = subprocess.run([os.environ["ZIR_EXE"], cls.tmp.name], capture_output=True)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_binary_and_text_results(self):
        self.assertEqual(self.result.returncode, 0, self.result.stdout + self.result.stderr)
        d = self.tmp.name
        self.assertTrue(os.path.isfile(os.path.join(d, "cnc.dmnb")))
        self.assertTrue(os.path.isfile(os.path.join(d, "frhbin.dmnb")))
        for name in ("cnc", "frh", "frhbin"):
            with self.subTest(name=name):
                g = dmna.read_grid(os.path.join(d, name))
                self.assertEqual(g.values.shape, (21, 17))
                np.testing.assert_array_equal(g.x, -200 + 20 * np.arange(21))
                np.testing.assert_array_equal(g.y, -100 + 20 * np.arange(17))
                self.assertTrue((g.values >= 0).all())
                # Wind from the south: the largest values lie north of the source.
                i, j = np.unravel_index(np.argmax(g.values), g.values.shape)
                self.assertGreater(g.y[j], 0)
                self.assertLess(abs(g.x[i]), g.y[j])
                self.assertEqual(float(g.values[:, g.y < 0].max()), 0.0)
        # Text with a sequence and a factor of 1000 holds the binary values
        # to the 5 digits of %12.4e.
        text, binary = dmna.read_grid(os.path.join(d, "frh")), dmna.read_grid(os.path.join(d, "frhbin"))
        self.assertGreater(text.values.max(), 0.1)
        np.testing.assert_allclose(text.values, binary.values, rtol=1e-4, atol=1e-12)
        r = run_zirmap("cnc", "frh", "--source", "0,0", "--asc", d, cwd=d)
        self.assertEqual(r.returncode, 0, r.stderr)
        for f in ("cnc.png", "frh.png", "cnc.asc", "frh.asc"):
            self.assertTrue(os.path.isfile(os.path.join(d, f)), f)


E2E = os.path.join(REPO, "tests", "e2e", "cases")


def render_pixels(fig, drawn):
    """Renders a map; returns the RGB of a point in map coordinates."""
    fig.canvas.draw()
    rgba = np.asarray(fig.canvas.buffer_rgba()).astype(int)

    def pixel(x, y):
        px, py = drawn["ax"].transData.transform((x, y))
        return rgba[int(rgba.shape[0] - py), int(px), :3]
    return pixel


def demo_commands():
    """The demo case with its reference point in UTM zone 32N."""
    with open(os.path.join(REPO, "examples", "demo", "odrcmd.txt"), encoding="cp1252") as fh:
        text = fh.read()
    return text.replace("*DIMENSIONIERUNG\n",
                        "*DIMENSIONIERUNG\nxf 512400.25\nyf 5734050\nep 25832\n", 1)


@unittest.skipUnless(os.access(os.environ.get("ZIR_EXE", ""), os.X_OK),
                     "ZIR_EXE does not name the model program")
class GisTest(unittest.TestCase):
    """Placement, GeoTIFF, GeoPackage and the maps' assessment aids, on the
    model's own files: the demo run with xf, yf and ep, and the end-to-end
    case of a grid given in UTM coordinates."""

    @classmethod
    def setUpClass(cls):
        from osgeo import gdal, ogr
        gdal.UseExceptions()
        cls.gdal, cls.ogr = gdal, ogr
        cls.tmp = tempfile.TemporaryDirectory()
        cls.dir = cls.tmp.name
        with open(os.path.join(cls.dir, "odrcmd.txt"), "w", encoding="cp1252") as fh:
            fh.write(demo_commands())
        r = subprocess.run([os.environ["ZIR_EXE"], cls.dir], capture_output=True)
        assert r.returncode == 0, r.stdout + r.stderr
        cls.frh = os.path.join(cls.dir, "frh.dmna")

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_grid_given_in_utm_lies_where_it_was_given(self):
        src = os.path.join(E2E, "geo_national_grid_direct", "expected", "files", "cnc.dmna")
        g = dmna.read_grid(src)
        np.testing.assert_array_equal(g.x, 512400 + 12.5 * np.arange(3))
        np.testing.assert_array_equal(g.y, 5734050 + 12.5 * np.arange(2))
        out = os.path.join(self.dir, "utm.asc")
        r = run_zirmap(src, "--asc", out, "--no-png")
        self.assertEqual(r.returncode, 0, r.stderr)
        head, _ = read_asc(out)
        self.assertEqual((head["xllcenter"], head["yllcenter"]), ("512400", "5734050"))

    def test_geotiff_from_the_header_is_the_one_of_the_options(self):
        a, b = os.path.join(self.dir, "a.tif"), os.path.join(self.dir, "b.tif")
        r = run_zirmap(self.frh, "--tif", a, "--no-png")
        self.assertEqual(r.returncode, 0, r.stderr)
        r = run_zirmap(self.frh, "--tif", b, "--no-png", "--origin", "512400.25,5734050",
                       "--crs", "EPSG:25832")
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(a, "rb") as fa, open(b, "rb") as fb:
            self.assertEqual(fa.read(), fb.read())
        g = dmna.read_grid(self.frh)
        ds = self.gdal.Open(a)
        self.assertEqual(ds.GetSpatialRef().GetAuthorityCode(None), "25832")
        self.assertEqual(ds.GetRasterBand(1).DataType, self.gdal.GDT_Float32)
        self.assertEqual(ds.GetRasterBand(1).GetNoDataValue(), -9999)
        self.assertEqual(ds.GetMetadataItem("NAME"), "frh")
        x0, dx, _, y0, _, dy = ds.GetGeoTransform()
        rows = ds.ReadAsArray()
        ny = rows.shape[0]
        # Node (i, j) at xf + xmin + i*dr, yf + ymin + j*dr, to 0.01 m, with its value.
        for i, j in ((0, 0), (48, 0), (0, 48), (17, 31), (48, 48)):
            col, row = i, ny - 1 - j
            self.assertAlmostEqual(x0 + (col + 0.5) * dx, 512400.25 - 600 + 25 * i, delta=0.01)
            self.assertAlmostEqual(y0 + (row + 0.5) * dy, 5734050 - 600 + 25 * j, delta=0.01)
            self.assertEqual(rows[row, col], np.float32(g.values[i, j]))

    def test_contour_polygons_cover_the_nodes_above_their_level(self):
        gpkg = os.path.join(self.dir, "frh.gpkg")
        r = run_zirmap(self.frh, "--gpkg", gpkg, "--no-png")
        self.assertEqual(r.returncode, 0, r.stderr)
        ds = self.ogr.Open(gpkg)
        layer = ds.GetLayerByName("frh")
        self.assertEqual(layer.GetSpatialRef().GetAuthorityCode(None), "25832")
        areas = {}
        for f in layer:
            areas[f.GetField("level")] = areas.get(f.GetField("level"), 0) + \
                f.GetGeometryRef().GetArea()
        self.assertEqual(sorted(areas), [0.02, 0.10, 0.15])
        g = dmna.read_grid(self.frh)
        # The polygons run between the nodes: 5 % for the demo's 25 m mesh.
        for level, area in areas.items():
            nodes = int((g.values >= level).sum())
            self.assertAlmostEqual(area, nodes * 25.0 ** 2, delta=0.05 * nodes * 25.0 ** 2)

    def test_edge_warning_only_for_a_line_that_leaves_the_grid(self):
        # The demo's 0.10 line closes; on its inner 11 x 11 nodes it does not.
        g = dmna.read_grid(self.frh)
        inner = g.values[19:30, 19:30]
        self.assertGreater(inner[-1, :].max(), 0.15)   # east edge
        cut = os.path.join(self.dir, "cut.dmna")
        write_dmna(cut, ['mode\t"text"', 'mark\t"%s"' % g.mark, "xmin\t-125", "ymin\t-125",
                         "delt\t25", "dims\t2", "size\t4", "lowb\t0\t0", "hghb\t10\t10"],
                   "\n".join("".join("\t%.6e" % v for v in row) for row in inner) + "\n***\n")
        for path, lang, warned in ((self.frh, "en", []), (cut, "en", ["0.10", "0.15"]),
                                   (cut, "de", ["0.10", "0.15"])):
            with self.subTest(path=path, lang=lang):
                r = run_zirmap(path, "--lang", lang, "--outdir", self.dir)
                self.assertEqual(r.returncode, 0, r.stderr)
                phrase = texts.TEXTS[lang]["edge"]
                self.assertEqual(r.stderr, "".join("--- %s: %s! (zirmap)\n" % (path, phrase % v)
                                                   for v in warned))

    def test_map_over_a_base_map_with_names_and_the_maximum_outside_the_source(self):
        # East-west stripes of 100 m, red and blue, in UTM zone 32N.
        base = os.path.join(self.dir, "base.tif")
        ds = self.gdal.GetDriverByName("GTiff").Create(base, 150, 150, 3, self.gdal.GDT_Byte)
        ds.SetGeoTransform((511700.25, 10, 0, 5734750, 0, -10))
        ds.SetProjection(self._wkt())
        stripes = (np.arange(150)[:, None] // 10 % 2).repeat(150, axis=1)  # rows from north
        for band, colour in zip((1, 2, 3), ((230, 0), (0, 0), (0, 230))):
            ds.GetRasterBand(band).WriteArray(np.where(stripes == 0, *colour).astype(np.uint8))
        ds = None
        names = os.path.join(self.dir, "receptors.csv")
        with open(names, "w", encoding="utf-8") as fh:
            fh.write("number,name,limit\n2,Hof Süd,0.15\n")
        g = dmna.read_grid(self.frh)
        from zirmap_lib.receptors import read_receptors
        fig, drawn = mapplot.build_map(
            g, areas=[(-20, -10, 40, 20, 0)], points=[(130, 75), (260, 150)],
            names={n: r.name for n, r in read_receptors(names).items()}, basemap=base)
        labels = [t.get_text() for t in drawn["ax"].texts]
        self.assertIn("1", labels)
        self.assertIn("Hof Süd", labels)
        # The largest value lies on the building; the label skips it.
        value, x, y, outside = drawn["maximum"]
        xs, ys = np.meshgrid(g.x, g.y, indexing="ij")
        building = (xs >= -20) & (xs <= 20) & (ys >= -10) & (ys <= 10)
        self.assertGreater(g.values[building].max(), g.values[~building].max())
        self.assertTrue(outside)
        self.assertAlmostEqual(value, g.values[~building].max())
        self.assertFalse(-20 <= x - 512400.25 <= 20 and -10 <= y - 5734050 <= 10)
        self.assertTrue(drawn["ax"].get_title().startswith("Maximum outside the source areas"))
        # Pixels: the stripes (red from y 0 to 100 m, blue from -100 to 0)
        # show in the blank corner, and through the colours near the source.
        plain, plain_drawn = mapplot.build_map(g, areas=[(-20, -10, 40, 20, 0)])
        shots = [render_pixels(f, d) for f, d in ((fig, drawn), (plain, plain_drawn))]
        for f in (fig, plain):
            mapplot.plt.close(f)
        west = shots[0](-590 + 512400.25, 5734050 - 50), shots[0](-590 + 512400.25, 5734050 + 50)
        self.assertGreater(west[0][2] - west[0][0], 100, west)   # blue
        self.assertGreater(west[1][0] - west[1][2], 100, west)   # red
        self.assertGreater(g.values[32, 22:27].min(), 0.02)      # coloured at x = 200 m
        for y, colour in ((-50, 2), (50, 0)):
            at = (200 + 512400.25, 5734050 + y)
            shift = shots[0](*at) - shots[1](*at)   # what the base map adds
            with self.subTest(y=y):
                self.assertEqual(int(np.argmax(shift)), colour, shift)

    @staticmethod
    def _wkt():
        from osgeo import osr
        srs = osr.SpatialReference()
        srs.ImportFromEPSG(25832)
        return srs.ExportToWkt()


if __name__ == "__main__":
    unittest.main()
