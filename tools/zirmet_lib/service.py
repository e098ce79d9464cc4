"""The weather service's own layouts: the hourly dispersion series and the
dispersion class statistic, recognised by their content.

The series: lines beginning "*" are free text (one that mentions
"Niederschlag" or "precipitation" announces two more columns), one line
beginning "+" gives after a colon nine anemometer heights in 0.1 m, one per
roughness class of ROUGHNESS, and every hour is a line "AK" followed by
whitespace-separated integers: station, year, month, day, hour, 00,
direction code, speed code, direction, speed, status, Klug/Manier class
(1 to 6 for I to V, 7 and 9 missing), status, mixing height, status, and with
precipitation two more. Direction code 0: tens of degrees, 1 or 2: degrees,
9: missing; speed code 0: knots, 1 to 3: tenths of m/s, 9: missing; a
direction above 360 with a valid code is variable.

The statistic: header lines (four, the third naming the format; five are
accepted too), then for each Klug/Manier class from I to V nine rows, one
per speed class, of 36 sector frequencies, sector k centred on 10 k degrees.

Faults raise reading.InputError with the file name and line number.
"""

import datetime
import math
import os
import re
import zirtool

from .classification import KM_CLASSES
from .reading import MAX_SPEED, NUMBER, Cell, Clock, Hour, InputError, Series, hour_text

ROUGHNESS = (0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1.0, 1.5, 2.0)  # m, the nine classes
KNOT = 0.514  # m/s
FIELDS = 16   # "AK" and 15 numbers; precipitation adds two
STAT_ROWS, STAT_SECTORS = 6 * 9, 36
ROW = re.compile(r"\s*(?:[+-]?(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?\s+){35}"
                 r"[+-]?(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?\s*")


def read_lines(path):
    return zirtool.read_text(path, InputError).splitlines()


def layout(path):
    """"series", "statistic" or None (a CSV file) by the file's content."""
    lines = read_lines(path)
    heads = [line.strip() for line in lines[:200] if line.strip()]
    if heads and (heads[0][0] in "*+" or re.match(r"AK\s", heads[0])) and \
            any(re.match(r"AK\s", h) for h in heads):
        return "series"
    body = [line for line in lines if line.strip()]
    if any(ROW.fullmatch(line) for line in body[4:6]) and \
            not any(ROW.fullmatch(line) for line in body[:4]):
        return "statistic"
    return None


def nearest_class(z0):
    """Index of the roughness class nearest to z0 (m); halfway goes up."""
    return min(range(len(ROUGHNESS)), key=lambda i: (abs(ROUGHNESS[i] - z0), -i))


def read_series(path, z0, calm):
    """The hours of a series (reading.Series) and the anemometer height of
    the roughness class nearest to z0 (m) from the "+" line."""
    name = os.path.basename(path)

    def fail(line, text):
        return InputError("%s line %d: %s" % (name, line, text))

    clock = Clock(fail)
    width, heights = FIELDS, None
    hours, gaps, read = [], [], 0
    for n, raw in enumerate(read_lines(path), 1):
        text = raw.strip()
        if not text:
            continue
        if text.startswith("*"):
            if re.search("niederschlag|precipitation", text, re.I):
                width = FIELDS + 2
            continue
        if text.startswith("+"):
            if heights is not None:
                raise fail(n, "a second line of anemometer heights")
            values = text.split(":", 1)[1].split() if ":" in text else []
            if len(values) != len(ROUGHNESS) or not all(re.fullmatch(r"\d+", v) for v in values):
                raise fail(n, "the anemometer heights are not nine whole numbers (0.1 m) after "
                           "a colon")
            heights = [int(v) / 10 for v in values]
            if min(heights) <= 0:
                raise fail(n, "an anemometer height of 0")
            continue
        fields = text.split()
        if fields[0] != "AK":
            raise fail(n, 'a line that is none of "*", "+" and "AK"')
        if len(fields) != width:
            raise fail(n, "%d fields, %d expected%s" % (
                len(fields), width, " (with precipitation)" if width > FIELDS else ""))
        try:
            v = [int(f) for f in fields[1:]]
        except ValueError:
            raise fail(n, "a field that is not a whole number")
        _, year, month, day, hour, _, qdd, qff, dd, ff, _, km = v[:12]
        try:
            if not 0 <= hour <= 24:
                raise ValueError
            # The hour's end is given; the hour counts where it starts.
            when = datetime.datetime(year, month, day) + datetime.timedelta(hours=hour - 1)
        except (ValueError, OverflowError):
            raise fail(n, "no such hour: %04d-%02d-%02d %02d h" % (year, month, day, hour))
        stamp = hour_text(when + datetime.timedelta(hours=1))
        clock.tick(n, when, stamp)
        read += 1
        if qdd not in (0, 1, 2, 9):
            raise fail(n, "direction code %d (0, 1, 2 or 9)" % qdd)
        if qff not in (0, 1, 2, 3, 9):
            raise fail(n, "speed code %d (0 to 3 or 9)" % qff)
        if km not in range(1, 8) and km != 9:
            raise fail(n, "stability class %d (1 to 6; 7 and 9: missing)" % km)
        if qff == 9 or km in (7, 9):
            gaps.append(n)
            continue
        speed = ff * KNOT if qff == 0 else ff / 10
        if not 0 <= speed <= MAX_SPEED:
            raise fail(n, "wind speed %g m/s outside 0 to %g m/s" % (speed, MAX_SPEED))
        direction, variable = None, False
        if qdd == 9:
            if speed >= calm:
                gaps.append(n)
                continue
        else:
            direction = dd * 10 if qdd == 0 else dd
            if direction > 360:
                direction, variable = None, True
            elif direction < 0:
                raise fail(n, "wind direction %d below 0" % direction)
        hours.append(Hour(n, stamp, direction, speed, KM_CLASSES[km - 1], when, variable))
    if not read:
        raise InputError("%s holds no hours (AK lines)" % path)
    series = Series(hours, gaps, read, True, clock.holes, period=clock.period())
    if series.holes:
        line, before, missing = series.holes[0]
        raise fail(line, "%d hours missing after %s: the series must go on hour by hour"
                   % (missing, before))
    if heights:
        k = nearest_class(z0)
        series.ha = heights[k]
        series.ha_note = "the series' + line, roughness class %g m" % ROUGHNESS[k]
    return series


def read_statistic(path):
    """The cells of a class statistic (reading.Cell list): stability class,
    speed class 1 to 9, sector 1 to 36, frequency."""
    name = os.path.basename(path)
    lines = [(n, raw) for n, raw in enumerate(read_lines(path), 1) if raw.strip()]
    head = 4 if len(lines) > 4 and ROW.fullmatch(lines[4][1]) else 5
    rows = lines[head:]
    cells = []
    for k, (n, raw) in enumerate(rows):
        if k >= STAT_ROWS:
            raise InputError("%s line %d: more than %d rows of frequencies" % (name, n, STAT_ROWS))
        values = raw.split()
        if len(values) != STAT_SECTORS:
            raise InputError("%s line %d: %d values, %d expected (class %s, speed class %d)"
                             % (name, n, len(values), STAT_SECTORS, KM_CLASSES[k // 9], k % 9 + 1))
        for s, text in enumerate(values, 1):
            value = float(text) if NUMBER.fullmatch(text) else math.inf
            if not math.isfinite(value):
                raise InputError('%s line %d: unreadable frequency "%s"' % (name, n, text))
            if value < 0:
                raise InputError("%s line %d: negative frequency %s" % (name, n, text))
            cells.append(Cell(n, k % 9 + 1, s, KM_CLASSES[k // 9], value))
    if len(rows) < STAT_ROWS:
        k = len(rows)
        raise InputError("%s: %d rows of frequencies, %d expected; the rows from class %s, "
                         "speed class %d on are missing" % (name, len(rows), STAT_ROWS,
                                                            KM_CLASSES[k // 9], k % 9 + 1))
    return cells
