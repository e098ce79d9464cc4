"""Reading weather data: an hourly series or a class statistic as CSV.

A file has a header row that names the columns; empty lines and lines that
begin with "#" are skipped. The separator is the first of ";", tab and ","
found in the header unless given; with ";" or tab a decimal comma is read as
a point. Every fault raises InputError with the file name and line number;
nothing here prints.
"""

import csv
import math
import os
import re
from dataclasses import dataclass

from .classification import ClassError, km_name, pg_name

DEFAULT_MISSING = ("", "NA", "N/A", "NaN", "-")
NUMBER = re.compile(r"[+-]?(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?")


class InputError(Exception):
    """A file that cannot be read or a line that cannot be used."""


class Table:
    """The rows of a CSV file with their line numbers."""

    def __init__(self, path, delimiter=None):
        self.name = os.path.basename(path)
        try:
            with open(path, "rb") as fh:
                raw = fh.read()
        except OSError as e:
            raise InputError("can't read %s (%s)" % (path, e.strerror or e))
        try:
            text = raw.decode("utf-8-sig")
        except UnicodeDecodeError:
            text = raw.decode("cp1252", errors="replace")
        lines = [(n, line) for n, line in enumerate(text.splitlines(), 1)
                 if line.strip() and not line.lstrip().startswith("#")]
        if not lines:
            raise InputError("%s holds no header row" % path)
        self.header_line, first = lines[0]
        if delimiter is None:
            delimiter = next((d for d in (";", "\t", ",") if d in first), ",")
        self.decimal_comma = delimiter != ","
        self.rows = [(n, [f.strip() for f in fields]) for n, fields in
                     zip((n for n, _ in lines), csv.reader((l for _, l in lines),
                                                           delimiter=delimiter))]
        self.header = self.rows.pop(0)[1]

    def fail(self, line, text):
        return InputError("%s line %d: %s" % (self.name, line, text))

    def column(self, name, option):
        """Index of the column called name (case is ignored)."""
        for i, title in enumerate(self.header):
            if title.lower() == name.lower():
                return i
        raise self.fail(self.header_line, 'no column "%s" (%s); the columns are %s'
                        % (name, option, ", ".join(self.header)))

    def field(self, line, fields, index):
        if index >= len(fields):
            raise self.fail(line, "%d fields, but column \"%s\" is field %d"
                            % (len(fields), self.header[index], index + 1))
        return fields[index]

    def number(self, line, text, what):
        t = text.replace(",", ".") if self.decimal_comma else text
        if not NUMBER.fullmatch(t):
            raise self.fail(line, 'unreadable %s "%s"' % (what, text))
        value = float(t)
        if not math.isfinite(value):
            raise self.fail(line, 'unreadable %s "%s"' % (what, text))
        return value


@dataclass
class Hour:
    line: int
    time: str
    direction: float  # degrees the wind comes from; None for a calm without one
    speed: float      # m/s at the anemometer height
    stability: object  # L (m) for kind "lm", else the class name


def stability_reader(table, kind):
    """Function (line, text) -> L or class name for a stability column."""
    if kind == "lm":
        return lambda line, text: table.number(line, text, "Obukhov length")

    names = km_name if kind == "km" else pg_name

    def read(line, text):
        try:
            return names(text)
        except ClassError as e:
            raise table.fail(line, str(e))
    return read


def read_series(table, columns, kind, missing=DEFAULT_MISSING, calm=0.0):
    """Hours of a series and the line numbers of the hours with a gap.

    columns: dict of column indices "time", "dir", "speed", "stability";
    kind: "lm", "km" or "pg". An hour with a missing value in a used column
    is a gap, except a calm (speed below calm m/s) without a direction.
    """
    absent = {m.lower() for m in missing}
    stability = stability_reader(table, kind)
    hours, gaps = [], []
    for line, fields in table.rows:
        values = {key: table.field(line, fields, i) for key, i in columns.items()}
        lack = {key for key, text in values.items() if text.lower() in absent}
        if lack - {"dir", "time"}:
            gaps.append(line)
            continue
        speed = table.number(line, values["speed"], "wind speed")
        if speed < 0:
            raise table.fail(line, "negative wind speed %s" % values["speed"])
        direction = None
        if "dir" in lack:
            if speed >= calm:
                gaps.append(line)
                continue
        else:
            direction = table.number(line, values["dir"], "wind direction")
            if not 0 <= direction <= 360:
                raise table.fail(line, "wind direction %s outside 0 to 360" % values["dir"])
        hours.append(Hour(line, values["time"], direction, speed,
                          stability(line, values["stability"])))
    return hours, gaps


@dataclass
class Cell:
    line: int
    speed_class: int  # 1 ...
    sector: int       # 1 ... number of the statistic's sectors
    stability: str
    value: float      # hours, or a frequency in any unit


def read_statistic(table, columns, kind, n_speeds, n_sectors):
    """Cells of a class statistic; columns as for read_series plus "value"."""
    stability = stability_reader(table, kind)

    def index(line, text, what, top):
        v = table.number(line, text, what)
        if v != int(v) or not 1 <= v <= top:
            raise table.fail(line, "%s %s is not a number from 1 to %d" % (what, text, top))
        return int(v)

    cells = []
    for line, fields in table.rows:
        values = {key: table.field(line, fields, i) for key, i in columns.items()}
        value = table.number(line, values["value"], "number of hours")
        if value < 0:
            raise table.fail(line, "negative number of hours %s" % values["value"])
        cells.append(Cell(line, index(line, values["speed"], "speed class", n_speeds),
                          index(line, values["dir"], "sector", n_sectors),
                          stability(line, values["stability"]), value))
    return cells
