"""Names and limits of the receptor points: the CSV "receptors.csv".

The first row is the heading number,name,limit; each further row gives a
receptor point's number (1 for the first point, as the log lists them), its
name and optionally its limit of the odor-hour frequency (a fraction, such
as 0.10). UTF-8, or Windows-1252 as spreadsheet programs save it.
"""

import csv
import io
from dataclasses import dataclass
import zirtool


class ReceptorsError(Exception):
    """A receptors file that cannot be read; the text says why."""


@dataclass
class Receptor:
    number: int
    name: str
    limit: float = None


def read_receptors(path):
    """The receptors of the file as {number: Receptor}."""
    text = zirtool.read_text(path, ReceptorsError)
    rows = [r for r in csv.reader(io.StringIO(text)) if any(c.strip() for c in r)]
    heading = [c.strip().lower() for c in rows[0]] if rows else []
    if heading[:2] != ["number", "name"] or heading[2:] not in ([], ["limit"]):
        raise ReceptorsError('%s: the first row must be "number,name,limit"' % path)
    receptors = {}
    for line, row in enumerate(rows[1:], 2):
        cells = [c.strip() for c in row] + [""] * 3
        if len(row) > len(heading):
            raise ReceptorsError("%s, row %d: %d columns, at most %d"
                                 % (path, line, len(row), len(heading)))
        try:
            number = int(cells[0])
            limit = float(cells[2]) if cells[2] else None
        except ValueError:
            raise ReceptorsError("%s, row %d: the number must be an integer and the limit "
                                 "a number" % (path, line))
        if number < 1 or number in receptors:
            raise ReceptorsError("%s, row %d: number %d %s" % (
                path, line, number, "given twice" if number in receptors else "below 1"))
        receptors[number] = Receptor(number, cells[1], limit)
    return receptors
