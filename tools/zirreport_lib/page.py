"""The report as one self-contained HTML page: styles in the page, pictures
as data URIs, laid out for A4 when printed. Every text of the files is
escaped; nothing is fetched when the page is opened.
"""

import base64
import datetime
import html
import os
import re

from . import assess as assessment

STYLE = """
@page { size: A4; margin: 16mm 15mm 18mm 15mm; }
body { font-family: "DejaVu Sans", "Liberation Sans", Arial, sans-serif; font-size: 9.5pt;
       color: #111; max-width: 180mm; margin: 0 auto; padding: 8mm 0; background: #fff; }
h1 { font-size: 17pt; margin: 0 0 2pt; }
h2 { font-size: 12.5pt; border-bottom: 1px solid #777; margin: 14pt 0 4pt;
     break-after: avoid; page-break-after: avoid; }
h3 { font-size: 10.5pt; margin: 8pt 0 2pt; break-after: avoid; page-break-after: avoid; }
p { margin: 3pt 0; }
.sub { color: #444; margin-bottom: 8pt; }
table { border-collapse: collapse; width: 100%; margin: 3pt 0 8pt; font-size: 8.5pt; }
th, td { border: 1px solid #b8b8b8; padding: 1.5pt 4pt; text-align: left;
         vertical-align: top; }
th { background: #eee; }
thead { display: table-header-group; }
tr { break-inside: avoid; page-break-inside: avoid; }
td.num, th.num { text-align: right; font-variant-numeric: tabular-nums; }
td.num { white-space: nowrap; }
table.facts th { width: 32%; }
.mono { font-family: "DejaVu Sans Mono", "Liberation Mono", monospace; font-size: 8pt;
        word-break: break-all; }
figure { margin: 6pt 0 10pt; text-align: center; break-inside: avoid;
         page-break-inside: avoid; }
figure img { max-width: 100%; max-height: 200mm; }
figcaption { font-size: 8.5pt; color: #333; }
.note { border-left: 3pt solid #c9a000; background: #fff8dc; padding: 2pt 6pt; margin: 4pt 0; }
.warn { border-left: 3pt solid #c00000; background: #fdeaea; padding: 2pt 6pt; margin: 4pt 0; }
.above, .relevant { color: #b00000; font-weight: bold; }
.within, .irrelevant { color: #006400; }
ul.limits li { margin-bottom: 3pt; }
td.name { min-width: 22mm; }
#receptors { font-size: 7.5pt; }
#receptors th, #receptors td { padding: 1.5pt 2.5pt; }
"""


# The sections whose parameters are settings, by the two characters the reader keeps.
SECTIONS = {"*d": "*DIMENSIONIERUNG", "*p": "*PARAMETER", "*q": "*QUELLE", "*_": "*_"}


def esc(text):
    return html.escape(str(text), quote=True)


class Page:
    """Builds the page; texts are the chosen language's."""

    def __init__(self, run, texts, lang, title, maps):
        self.run, self.t, self.lang, self.title, self.maps = run, texts, lang, title, maps
        self.out = []
        self.number = 0

    def num(self, text):
        """A number as the language writes it (the file's digits, a decimal comma in German)."""
        text = str(text)
        return text.replace(".", ",") if self.lang == "de" else text

    def g(self, text):
        """A float text of a file shown with up to ten digits (2.500e+03 as 2500)."""
        try:
            return self.num("%.10g" % float(text))
        except (TypeError, ValueError):
            return esc(text)

    def w(self, *parts):
        self.out.extend(parts)

    def section(self, key, anchor):
        self.number += 1
        self.w('<section id="%s">' % anchor, "<h2>%d %s</h2>" % (self.number, esc(self.t[key])))

    def notes(self, section):
        for sec, key, args in self.run.notes:
            if sec == section:
                self.w('<p class="note"><b>%s:</b> %s</p>' % (esc(self.t["note"]),
                                                               esc(self.t[key] % args)))

    def facts(self, rows):
        self.w('<table class="facts">')
        for name, value in rows:
            self.w("<tr><th>%s</th><td>%s</td></tr>" % (esc(name), value))
        self.w("</table>")

    def table(self, head, rows, attrs=""):
        """head: [(text, is_number)], rows: [[cell html]] (already escaped)."""
        self.w("<table%s><thead><tr>" % attrs + "".join(
            '<th%s>%s</th>' % (' class="num"' if n else "", esc(h)) for h, n in head)
            + "</tr></thead><tbody>")
        for row in rows:
            self.w("<tr>" + "".join(
                '<td%s>%s</td>' % (' class="num"' if n else "", cell)
                for (_, n), cell in zip(head, row)) + "</tr>")
        self.w("</tbody></table>")

    # Sections ------------------------------------------------------------------

    def what(self):
        run, t, log = self.run, self.t, self.run.log
        self.section("s_what", "what")
        made = datetime.datetime.now().astimezone().strftime("%Y-%m-%d %H:%M %Z")
        self.facts([(t["title"], esc(self.title)), (t["run"], esc(log.started)),
                    (t["program"], esc(log.program)), (t["build"], esc(log.compiled)),
                    (t["command_line"], '<span class="mono">%s</span>' % esc(" ".join(
                        log.arguments))),
                    (t["workdir"], '<span class="mono">%s</span>'
                     % esc(os.path.abspath(run.workdir))),
                    (t["made"], esc(made))])
        self.w("<h3>%s</h3>" % esc(t["files"]))
        self.table([(t["file"], False), (t["content"], False), ("SHA-256", False)],
                   [[esc(os.path.relpath(p, run.workdir)), esc(t[role]),
                     '<span class="mono">%s</span>' % h] for p, role, h in run.files])
        self.w("</section>")

    def sources(self):
        run, t = self.run, self.t
        self.section("s_sources", "sources")
        self.notes("sources")
        if run.sources:
            origin = run.origin
            self.w("<p>%s</p>" % esc(t["from_" + run.sources_from]))
            if origin:
                self.w("<p>%s</p>" % esc(t["origin"] % (
                    self.g(origin[0]), self.g(origin[1]),
                    ", EPSG:%s" % run.epsg if run.epsg else "")))
            unit = self.unit()
            head = [(t["no"], True), (t["kind"], False), (t["x"], True), (t["y"], True)]
            if origin:
                head += [(t["east"], True), (t["north"], True)]
            head += [(t["size"], True), (t["rotation"], True), (t["height"], True),
                     (t["extent"], True), (t["emission"] % unit, True)]
            groups = []
            for s in run.sources:
                if s.group not in groups:
                    groups.append(s.group)
            for group in groups:
                if group:
                    factor = run.factors.get(group)
                    self.w("<h3>%s%s%s</h3>" % (esc(t["group"] % group), esc(
                        ", " + t["group_factor"] % self.num(factor) if factor else ""),
                        esc(", " + t["applicant"] if group in run.applicant else "")))
                elif len(groups) > 1:
                    self.w("<h3>%s</h3>" % esc(t["ungrouped"]))
                rows = []
                for s in run.sources:
                    if s.group != group:
                        continue
                    v = s.values
                    area = any(float(v[k] or 0) != 0 for k in ("a", "b"))
                    row = [str(s.number), esc(t["area_source" if area else "point_source"]),
                           self.g(v["x"]), self.g(v["y"])]
                    if origin:
                        row += [self.g("%.2f" % (origin[0] + float(v["x"]))),
                                self.g("%.2f" % (origin[1] + float(v["y"])))]
                    row += ["%s × %s" % (self.g(v["a"]), self.g(v["b"])) if area else "–",
                            self.g(v["r"]) if area else "–", self.g(v["h"]), self.g(v["c"]),
                            self.g(v["e"])]
                    rows.append(row)
                self.table(head, rows, ' class="sources"')
        if run.log.stacks:
            # As the program prints it: its own headings, classes and words.
            listing = run.log.stacks[-1]
            self.w("<h3>%s</h3>" % esc(t["stacks"]))
            self.table([(h, i not in (0, len(listing.headings) - 1, len(listing.headings) - 2))
                        for i, h in enumerate(listing.headings)],
                       [[esc(row[c]) for c in listing.columns] for row in listing.rows])
        self.w("</section>")

    def unit(self):
        """The odor unit as zirmap names it in the report's language (OU, GE)."""
        from zirmap_lib.mapplot import concentration_unit
        mark = next((g.header.text("mark") or "" for g in self.run.grids if g.kind == "cnc"), "")
        return concentration_unit(mark, self.lang)

    def weather(self):
        run, t = self.run, self.t
        self.section("s_weather", "weather")
        self.notes("weather")
        if run.weather:
            w = run.weather
            rows = []
            for key, label in (("data", "w_data"), ("period", "w_period"), ("read", "w_read"),
                               ("skipped", "w_skipped"), ("gaps", "w_gaps"), ("used", "w_used"),
                               ("calms", "w_calms"), ("calm_share", "w_calm_share"),
                               ("classes", "w_classes"), ("ha", "w_ha"),
                               ("situations", "w_situations")):
                if key in w:
                    value = t["period"] % w[key] if key == "period" else w[key]
                    rows.append((t[label], esc(value)))
            self.facts(rows)
        if run.situations:
            self.w("<h3>%s</h3>" % esc(t["situations"]))
            rows = [[str(n), esc(s.remark) + (" (%s)" % esc(t["in_loop"]) if s.in_loop else ""),
                     self.g(s.ua), self.g(s.lm), self.g(s.z0), self.g("%.2f" % s.hours)]
                    for n, s in enumerate(run.situations, 1)]
            rows.append(["", "<b>%s</b>" % esc(t["total_hours"]), "", "", "",
                         "<b>%s</b>" % self.g("%.2f" % sum(s.hours for s in run.situations))])
            self.table([(t["no"], True), (t["remark"], False), ("ua (m/s)", True),
                        ("lm (m)", True), ("z0 (m)", True), (t["hours"], True)], rows)
        if run.rose:
            with open(run.rose, "rb") as fh:
                self.figure(fh.read(), t["rose"], "rose")
        self.w("</section>")

    def figure(self, png, caption, ident):
        data = base64.b64encode(png).decode("ascii")
        self.w('<figure id="%s"><img alt="%s" src="data:image/png;base64,%s">'
               '<figcaption>%s</figcaption></figure>' % (esc(ident), esc(caption), data,
                                                         esc(caption)))

    def grid(self):
        run, t = self.run, self.t
        self.section("s_grid", "grid")
        g = run.grid("total") or next(iter(run.grids), None)
        rows = []
        if g is not None:
            h = g.header
            low, high = h.ints("lowb") or [0, 0], h.ints("hghb") or [0, 0]
            x0, y0, d = h.number("xmin"), h.number("ymin"), h.number("delt")
            if None not in (x0, y0, d) and len(low) == len(high) == 2:
                xs = [self.g(x0 + i * d) for i in (low[0], high[0])]
                ys = [self.g(y0 + j * d) for j in (low[1], high[1])]
                rows += [(t["extent_x"], esc(t["m_range"] % tuple(xs))),
                         (t["extent_y"], esc(t["m_range"] % tuple(ys))),
                         (t["spacing"], "%s m" % self.g(d)),
                         (t["nodes"], "%d × %d" % (high[0] - low[0] + 1, high[1] - low[1] + 1))]
                if run.origin:
                    east, north = (run.origin[0] + x0 + low[0] * d, run.origin[1] + y0 + low[1] * d)
                    rows.append((t["sw_national"], "E %s, N %s%s" % (
                        self.g("%.2f" % east), self.g("%.2f" % north),
                        esc(", EPSG:%s" % run.epsg if run.epsg else ""))))
        if run.points is not None:
            rows.append((t["points_n"], str(len(run.points.rows))))
        v = run.vertical
        if "zk" in v:
            rows.append((t["vgrid"], esc(t["vgrid_zk"] % (len(v["zk"]), self.g(v["zk"][-1])))))
        else:
            try:
                nz = int(float(v.get("nz", 200)))
                dz = float(v.get("dz", 5))
                rows.append((t["vgrid"], esc(t["vgrid_dz"] % (nz, self.g(dz), self.g(nz * dz)))))
            except ValueError:
                pass
        summary = [line for line in run.log.lines_with("vertical grid")
                   if not line.startswith("--- ")]
        rows.append((t["vgrid_error"], "<br>".join(
            '<span class="mono">%s</span>' % esc(line.strip()) for line in summary[-1:])
            or esc(t["vgrid_none"])))
        self.facts(rows)
        vertical = dedupe([w for w in run.log.warnings if "vertical grid" in w.lower()])
        if vertical:
            # Every one is listed under the warnings; here the count and the worst.
            worst = max(vertical, key=percent)
            self.w("<p>%s</p>" % esc(t["vgrid_warnings"] % len(vertical)),
                   '<p class="warn mono">%s</p>' % esc(worst))
        if run.settings:
            self.w("<h3>%s</h3>" % esc(t["settings"]))
            self.table([(t["section"], False), (t["parameter"], False), (t["value"], False)],
                       [[esc(SECTIONS.get(s, s)), esc(n), '<span class="mono">%s</span>' % esc(v)]
                        for s, n, v in run.settings])
        self.w("</section>")

    def results(self):
        run, t = self.run, self.t
        self.section("s_results", "results")
        self.notes("results")
        for n, (caption, png, origin, warnings) in enumerate(self.maps, 1):
            self.figure(png, "%s (%s)" % (caption, origin), "map%d" % n)
            for line in warnings:
                self.w('<p class="warn">%s</p>' % esc(line))
        if run.points is not None:
            table = assessment.assess(run.points, run.receptors)
            if table is None:
                self.w('<p class="note"><b>%s:</b> %s</p>' % (esc(t["note"]),
                                                               esc(t["note_no_frh_points"])))
            else:
                self.points(table)
        self.w("</section>")

    def points(self, table):
        t = self.t
        self.w("<h3>%s</h3>" % esc(t["points_table"]))
        self.w("<p>%s</p>" % esc(t["points_intro"] % (
            os.path.basename(self.run.points.path), t["judged_" + table.judged])))
        names = {"frh": t["col_frh"], "frh-za": t["col_za"], "frw": t["col_frw"]}
        head = [(t["no"], True), (t["name"], False), (t["x"], True), (t["y"], True)]
        head += [(names.get(c) or t["col_group"] % c[4:], True) for c in table.columns]
        head += [(t["limit"], True), (t["verdict"], False)]
        za = "frh-za" in table.columns
        if za:
            head.append((t["verdict_za"], False))
        self.w('<table id="receptors"><thead><tr>' + "".join(
            '<th%s>%s</th>' % (' class="num"' if n else "", esc(h)) for h, n in head)
            + "</tr></thead><tbody>")
        for r in table.rows:
            cells = ['<td class="num">%d</td>' % r.number, '<td class="name">%s</td>' % esc(r.name),
                     '<td class="num">%s</td>' % self.g(r.x),
                     '<td class="num">%s</td>' % self.g(r.y)]
            cells += ['<td class="num" data-col="%s">%s</td>' % (esc(c), self.num(v))
                      for c, v in zip(table.columns, r.values)]
            cells.append('<td class="num" data-col="limit">%s</td>'
                         % (self.num(limit_text(r.limit)) if r.limit is not None else "–"))
            verdict = "no_limit" if r.above is None else "above" if r.above else "within"
            cells.append('<td class="%s" data-col="verdict">%s</td>' % (verdict, esc(t[verdict])))
            if za:
                v = "relevant" if r.relevant else "irrelevant"
                cells.append('<td class="%s" data-col="additional">%s</td>' % (v, esc(t[v])))
            self.w("<tr>" + "".join(cells) + "</tr>")
        self.w("</tbody></table>")

    def warnings(self):
        run, t = self.run, self.t
        self.section("s_warnings", "warnings")
        self.w("<h3>%s</h3>" % esc(t["run_warnings"]))
        counted = dedupe(run.log.warnings, counts=True)
        if counted:
            for line, n in counted:
                self.w('<p class="warn mono">%s%s</p>' % (esc(line), " " + esc(t["times"] % n)
                                                          if n > 1 else ""))
        else:
            self.w("<p>%s</p>" % esc(t["no_warnings"]))
        self.w("<h3>%s</h3>" % esc(t["verification"]))
        self.notes("warnings")
        v = run.verification
        if v:
            lines = [v["made"]] + v["counts"] + v["judged"]
            self.w("".join("<p>%s</p>" % esc(line) for line in lines if line))
            if v["failed"]:
                self.w('<p class="warn">%s</p>' % esc(t["verification_failed"]))
        self.w("</section>")

    def limits(self):
        self.section("s_limits", "limits")
        self.w('<ul class="limits">' + "".join("<li>%s</li>" % esc(p) for p in self.t["limits"])
               + "</ul></section>")

    def render(self):
        t = self.t
        self.w("<!DOCTYPE html>", '<html lang="%s">' % self.lang, "<head>",
               '<meta charset="utf-8">',
               "<title>%s: %s</title>" % (esc(t["heading"]), esc(self.title)),
               "<style>%s</style>" % STYLE, "</head>", "<body>",
               "<h1>%s</h1>" % esc(t["heading"]),
               '<p class="sub">%s &middot; %s</p>' % (esc(self.title), esc(self.run.log.started)))
        self.what()
        self.sources()
        self.weather()
        self.grid()
        self.results()
        self.warnings()
        self.limits()
        self.w("</body>", "</html>")
        return "\n".join(self.out) + "\n"


def limit_text(limit):
    """A limit with two decimals like the values (0.1 as 0.10), more where it has them."""
    two = limit.quantize(assessment.STEP)
    return str(two if two == limit else limit)


def percent(line):
    """The largest "N %" of a line, 0 without one."""
    return max([float(v) for v in re.findall(r"(\d+(?:\.\d+)?) ?%", line)] or [0.0])


def dedupe(lines, counts=False):
    """Lines once each in their first order; with counts, (line, times) pairs."""
    seen = {}
    for line in lines:
        seen[line] = seen.get(line, 0) + 1
    return list(seen.items()) if counts else list(seen)


def render(run, texts, lang, title, maps):
    return Page(run, texts, lang, title, maps).render()
