"""Reading weather data: an hourly series or a class statistic as CSV.

A file has a header row that names the columns; empty lines and lines that
begin with "#" are skipped, and so are the first lines that --skip names. The
separator is the first of ";", tab and "," found in the header unless given;
with ";" or tab a decimal comma is read as a point. Every fault raises
InputError with the file name and line number; nothing here prints. The
weather service's own layouts are read by the module service.
"""

import csv
import datetime
import math
import os
import re
from dataclasses import dataclass, field
import zirtool

from .classification import KM_CLASSES, PG_CLASSES, ClassError, km_name, pg_name

DEFAULT_MISSING = ("", "NA", "N/A", "NaN", "-")
NUMBER = re.compile(r"[+-]?(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?")


class InputError(Exception):
    """A file that cannot be read or a line that cannot be used."""


class Table:
    """The rows of a CSV file with their line numbers."""

    def __init__(self, path, delimiter=None, skip=0):
        self.name = os.path.basename(path)
        text = zirtool.read_text(path, InputError)
        lines = [(n, line) for n, line in enumerate(text.splitlines(), 1)
                 if n > skip and line.strip() and not line.lstrip().startswith("#")]
        if not lines:
            raise InputError("%s holds no header row%s" % (path, " after line %d" % skip
                                                            if skip else ""))
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

    def column(self, name, option, optional=False):
        """Index of the column called name (case is ignored); None for an
        optional column that is not there."""
        for i, title in enumerate(self.header):
            if title.lower() == name.lower():
                return i
        if optional:
            return None
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
    direction: float  # degrees the wind comes from; None for an hour without one
    speed: float      # m/s at the anemometer height
    stability: object  # L (m) for kind "lm", else the class name
    when: object = None     # datetime.datetime of the hour's start, when the time is known
    variable: bool = False  # the direction was given as variable


@dataclass
class Series:
    """The hours of a series and what reading them found."""
    hours: list
    gaps: list                  # line numbers of hours skipped for a missing value
    read: int                   # hours read, skipped ones included
    timed: bool = False         # the times were read as dates and checked
    holes: list = field(default_factory=list)  # (line, time before, missing hours)
    ha: float = None            # anemometer height (m) the file names, if any
    ha_note: str = ""
    period: tuple = None        # time texts of the first and the last hour read, when timed


MAX_SPEED = 100.0  # m/s; a faster hourly mean is a fault of the data
TIME = re.compile(r"(\d{4})-(\d{1,2})-(\d{1,2})(?:[T ](\d{1,2})(?::(\d{2})(?::(\d{2}))?)?)?"
                  r"(?:Z|([+-])(\d{2}):?(\d{2}))?|(\d{1,2})\.(\d{1,2})\.(\d{4})[ T]+(\d{1,2})"
                  r"(?::(\d{2})(?::(\d{2}))?)?")


TIME24 = re.compile(r"[T ]24(?::00){0,2}$")


def parse_time(text):
    """A date and hour such as "2023-01-31 24:00", "2023-01-31T23" or
    "31.01.2023 24:00" as datetime (hour 24 is the next day's 0 h); a time
    with an offset such as "+01:00" is taken to UTC, so that the hour that a
    change to or from daylight saving time repeats is no repeat. None for a
    text that is no date, ValueError for an impossible one."""
    m = TIME.fullmatch(text.strip())
    if not m:
        return None
    g = m.groups()
    offset = datetime.timedelta(0)
    if g[0] is not None:
        y, mo, d, h, mi, sec = g[0], g[1], g[2], g[3] or 0, g[4] or 0, g[5] or 0
        if g[6]:
            offset = (1 if g[6] == "+" else -1) * datetime.timedelta(hours=int(g[7]),
                                                                      minutes=int(g[8]))
    else:
        d, mo, y, h, mi, sec = g[9], g[10], g[11], g[12], g[13] or 0, g[14] or 0
    h, mi, sec = int(h), int(mi), int(sec)
    if h > 24 or (h == 24 and (mi or sec)):
        raise ValueError("hour %d" % h)
    return datetime.datetime(int(y), int(mo), int(d), 0, mi, sec) + \
        datetime.timedelta(hours=h) - offset


def hour_text(when):
    """The hour's end as the weather service writes it: 24:00, not 0:00."""
    if when.hour == 0 and when.minute == 0:
        return (when - datetime.timedelta(days=1)).strftime("%Y-%m-%d 24:00")
    return when.strftime("%Y-%m-%d %H:%M")


class Clock:
    """Checks that the times of a series follow each other hour by hour: a
    repeated or earlier time is refused, a gap is counted."""

    def __init__(self, fail):
        self.fail, self.first, self.last, self.holes = fail, None, None, []

    def period(self):
        return (self.first, self.last[2]) if self.last else None

    def tick(self, line, when, text):
        if self.last is not None:
            before_line, before, before_text = self.last
            step = (when - before).total_seconds() / 3600
            if step == 0:
                raise self.fail(line, "the hour %s repeats the hour of line %d"
                                % (text, before_line))
            if step < 0:
                raise self.fail(line, "the hour %s comes before %s of line %d (a second series "
                                "appended?)" % (text, before_text, before_line))
            if step != int(step):
                raise self.fail(line, "the hour %s is %g h after %s of line %d: not an hourly "
                                "series" % (text, step, before_text, before_line))
            if step > 1:
                self.holes.append((line, before_text, int(step) - 1))
        self.last = (line, when, text)
        self.first = self.first or text


def stability_reader(table, kind, codes=False):
    """Function (line, text) -> L or class name for a stability column; None
    for a class coded as missing. codes: numbers 1 to 6 name the classes from
    the most stable (I) to the most unstable (V), 7 and 9 mark a
    missing class, as the weather service codes them; for Pasquill-Gifford
    1 to 6 are A to F."""
    if kind == "lm":
        return lambda line, text: table.number(line, text, "Obukhov length")

    names = km_name if kind == "km" else pg_name
    ordered = KM_CLASSES if kind == "km" else PG_CLASSES

    def read(line, text):
        if codes and re.fullmatch(r"\d+", text.strip()):
            code = int(text)
            if 1 <= code <= 6:
                return ordered[code - 1]
            if code in (7, 9):
                return None
            raise table.fail(line, 'unknown stability class code "%s" (1 to 6; 7 and 9: '
                             'missing)' % text)
        try:
            return names(text)
        except ClassError as e:
            raise table.fail(line, str(e))
    return read


def read_series(table, columns, kind, missing=DEFAULT_MISSING, calm=0.0, codes=False,
                variable=990.0):
    """The hours of a CSV series (Series).

    columns: dict of column indices "time" (None without a time column),
    "dir", "speed", "stability"; kind: "lm", "km" or "pg". An hour with a
    missing value in a used column is a gap, except a calm (speed below calm
    m/s) without a direction. A direction equal to variable is an hour
    without a direction, kept and spread as calms are. Times that read as
    dates must follow each other hour by hour (gaps are counted); other
    time texts are only echoed.
    """
    absent = {m.lower() for m in missing}
    stability = stability_reader(table, kind, codes)
    clock = Clock(table.fail)
    timed = None  # decided by the first time text given
    hours, gaps = [], []
    for line, fields in table.rows:
        values = {key: table.field(line, fields, i) for key, i in columns.items()
                  if i is not None}
        values.setdefault("time", "")
        lack = {key for key, text in values.items() if text.lower() in absent}
        when = None
        if "time" not in lack:
            if timed is None:
                try:
                    timed = parse_time(values["time"]) is not None
                except ValueError:
                    timed = True
            if timed:
                try:
                    when = parse_time(values["time"])
                except ValueError:
                    when = None
                if when is None:
                    raise table.fail(line, 'unreadable time "%s"' % values["time"])
                clock.tick(line, when, values["time"])
        if lack - {"dir", "time"} or (timed and "time" in lack):
            gaps.append(line)
            continue
        speed = table.number(line, values["speed"], "wind speed")
        if speed < 0:
            raise table.fail(line, "negative wind speed %s" % values["speed"])
        if speed > MAX_SPEED:
            raise table.fail(line, "wind speed %s above %g m/s" % (values["speed"], MAX_SPEED))
        stab = stability(line, values["stability"])
        if stab is None:
            gaps.append(line)
            continue
        direction, var = None, False
        if "dir" in lack:
            if speed >= calm:
                gaps.append(line)
                continue
        else:
            direction = table.number(line, values["dir"], "wind direction")
            if direction == variable:
                direction, var = None, True
            elif not 0 <= direction <= 360:
                raise table.fail(line, "wind direction %s outside 0 to 360" % values["dir"])
        hours.append(Hour(line, values["time"], direction, speed, stab, when, var))
    if any(h.when and h.when.hour == 0 and TIME24.search(h.time) for h in hours):
        # Times such as 24:00 mark the end of the hour.
        for h in hours:
            h.when -= datetime.timedelta(hours=1)
    return Series(hours, gaps, len(hours) + len(gaps), bool(timed), clock.holes,
                  period=clock.period())


@dataclass
class Cell:
    line: int
    speed_class: int  # 1 ...
    sector: int       # 1 ... number of the statistic's sectors
    stability: str
    value: float      # hours, or a frequency in any unit


def read_statistic(table, columns, kind, n_speeds, n_sectors, codes=False):
    """Cells of a class statistic; columns as for read_series plus "value"."""
    stability = stability_reader(table, kind, codes)

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
        stab = stability(line, values["stability"])
        if stab is None:
            raise table.fail(line, 'a statistic\'s class can\'t be missing ("%s")'
                             % values["stability"])
        cells.append(Cell(line, index(line, values["speed"], "speed class", n_speeds),
                          index(line, values["dir"], "sector", n_sectors), stab, value))
    return cells
