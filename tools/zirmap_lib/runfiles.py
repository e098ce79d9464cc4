"""Readers of what a run leaves beside its result grids: the log and the
points' table pnt.csv (the receptors' names and limits are read by
zirmap_lib.receptors).

Values of the tables are kept as the file's text, so that a caller rounds
the number the file holds, not its nearest binary double. Every failure
raises RunFileError with a one-line message; nothing here prints.
"""

import csv
import re
from dataclasses import dataclass, field
from decimal import Decimal, InvalidOperation

LOG_ENCODING = "cp1252"


class RunFileError(Exception):
    """A file of a run that cannot be used; the text says why."""


# The log -----------------------------------------------------------------------

@dataclass
class Listing:
    """A table the log lists under a title line such as "Quellen:": the
    headings as printed, the column names (units cut off) and the rows."""
    headings: list
    columns: list
    rows: list  # dicts column -> text


@dataclass
class RunLog:
    path: str
    lines: list
    program: str = ""        # "ZIRidev Version 1.4.d"
    compiled: str = ""       # build date and time as the banner gives them
    started: str = ""        # ctime text of the start line
    arguments: list = field(default_factory=list)
    closing: str = ""        # last line: "FINISHED at ..." or "*** error exit at ..."
    finished: bool = False   # the run ended normally
    warnings: list = field(default_factory=list)   # lines beginning with "--- "
    errors: list = field(default_factory=list)     # lines beginning with "*** "
    sources: list = field(default_factory=list)    # Listing "Quellen:", in log order
    stacks: list = field(default_factory=list)     # Listing "Schornsteine:", in log order

    def lines_with(self, words):
        """Lines that contain words, case ignored, in log order."""
        w = words.lower()
        return [line for line in self.lines if w in line.lower()]


def _listing(lines, start):
    """The table whose heading follows lines[start], up to the first line that
    is not a row "n: ..."; a row's surplus words belong to its last column
    (a text of several words, such as "nicht frei")."""
    if start + 1 >= len(lines):
        return None
    headings = lines[start + 1].split()
    columns = [re.sub(r"/\(.*\)$", "", c).rstrip(":") for c in headings]
    rows = []
    for line in lines[start + 2:]:
        tokens = line.split()
        if len(tokens) < len(columns) or not tokens[0].endswith(":"):
            break
        tokens[len(columns) - 1:] = [" ".join(tokens[len(columns) - 1:])]
        rows.append(dict(zip(columns, [tokens[0].rstrip(":")] + tokens[1:])))
    return Listing(headings, columns, rows)


def read_log(path):
    """Reads a run's log (Windows-1252)."""
    try:
        with open(path, "rb") as fh:
            text = fh.read().decode(LOG_ENCODING, errors="replace")
    except OSError as e:
        raise RunFileError("can't read the log %s (%s)" % (path, e.strerror or e))
    lines = [line.rstrip("\r") for line in text.split("\n")]
    log = RunLog(path, lines)
    in_arguments = False
    for n, line in enumerate(lines):
        m = re.search(r"(\S+ Version \S+)\s*$", line)
        if m and not log.program:
            log.program = m.group(1)
        if line.startswith("Compiled at ") and not log.compiled:
            log.compiled = line[len("Compiled at "):].strip()
        if line.startswith("STARTING at ") and not log.started:
            log.started = line[len("STARTING at "):].strip()
            in_arguments = True
            continue
        if in_arguments and line.startswith(">"):
            log.arguments.append(line[1:])
            continue
        in_arguments = False
        if line.startswith("--- "):
            log.warnings.append(line)
        elif line.startswith("*** ") and not line.startswith("*** error exit at"):
            log.errors.append(line)
        elif line.strip() in ("Quellen:", "Schornsteine:"):
            listing = _listing(lines, n)
            if listing and listing.rows:
                (log.sources if line.strip() == "Quellen:" else log.stacks).append(listing)
    filled = [line for line in lines if line.strip()]
    log.closing = filled[-1] if filled else ""
    log.finished = log.closing.startswith("FINISHED at ")
    return log


# Tables ------------------------------------------------------------------------

def _read_rows(path, what):
    """Rows of a CSV file (UTF-8, or Windows-1252 as a spreadsheet may save it)."""
    try:
        with open(path, "rb") as fh:
            raw = fh.read()
    except OSError as e:
        raise RunFileError("can't read %s %s (%s)" % (what, path, e.strerror or e))
    try:
        text = raw.decode("utf-8-sig")
    except UnicodeDecodeError:
        text = raw.decode("cp1252", errors="replace")
    rows = [row for row in csv.reader(text.splitlines()) if any(c.strip() for c in row)]
    if not rows:
        raise RunFileError("%s %s is empty" % (what, path))
    return rows


def number(text):
    """The exact decimal value of a table's number text, or None."""
    try:
        value = Decimal(text.strip())
    except InvalidOperation:
        return None
    return value if value.is_finite() else None


@dataclass
class PointTable:
    """pnt.csv: one row per receptor point, values as the file's text."""
    path: str
    columns: list    # after n, x, y: "cnc", "cnc-pigs", ..., "frw"
    rows: list       # dicts: "n", "x", "y" and every column -> text


def read_points(path):
    """Reads pnt.csv: header n,x,y,<columns>; every field a number."""
    rows = _read_rows(path, "the points' table")
    header = [c.strip() for c in rows[0]]
    if header[:3] != ["n", "x", "y"]:
        raise RunFileError('%s: the header must begin with "n,x,y"' % path)
    if len(set(header)) != len(header):
        raise RunFileError("%s: a column is named twice in the header" % path)
    table = PointTable(path, header[3:], [])
    for lineno, row in enumerate(rows[1:], 2):
        if len(row) != len(header):
            raise RunFileError("%s line %d: %d fields, the header has %d"
                               % (path, lineno, len(row), len(header)))
        for name, text in zip(header, row):
            if number(text) is None:
                raise RunFileError('%s line %d: "%s" in column %s is not a number'
                                   % (path, lineno, text.strip(), name))
        table.rows.append({k: v.strip() for k, v in zip(header, row)})
    return table
