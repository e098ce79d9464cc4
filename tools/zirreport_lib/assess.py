"""The assessment at the receptor points: the odor-hour frequencies of the
points' table rounded to two decimals, as the odor rules round them, the
assessed value held against each point's limit, and the applicant's
additional load against the irrelevance threshold 0.02.

Rounding works on the exact decimal value of the file's text and rounds a
half up (0.105 gives 0.11), so a value printed as 1.050000e-01 is not
turned into 0.10 by its binary neighbour 0.10499999.
"""

from dataclasses import dataclass
from decimal import ROUND_HALF_UP, Decimal

from zirmap_lib.runfiles import number

STEP = Decimal("0.01")
IRRELEVANT = Decimal("0.02")   # an additional load at most this is irrelevant


def rounded(text):
    """The frequency text rounded to two decimals (a Decimal)."""
    return number(text).quantize(STEP, rounding=ROUND_HALF_UP)


@dataclass
class PointRow:
    number: int
    name: str
    x: str
    y: str
    values: list          # rounded Decimal per column of PointAssessment.columns
    limit: Decimal        # None: no limit given for the point
    above: bool           # the assessed value above the limit; None without a limit
    relevant: bool        # the additional load above 0.02; None without one


@dataclass
class PointAssessment:
    columns: list         # "frh", "frh-<group>"..., "frh-za", "frw" as present
    judged: str           # the column held against the limit: frw if present, else frh
    rows: list


def frequency_columns(columns):
    """The odor-hour columns of a points' table in the report's order: the
    total, the groups, the additional load, the weighted total."""
    groups = [c for c in columns if c.startswith("frh-") and c != "frh-za"]
    order = ["frh"] + groups + ["frh-za", "frw"]
    return [c for c in order if c in columns]


def assess(points, receptors):
    """PointAssessment of a PointTable; receptors: number -> Receptor (names,
    limits, as zirmap_lib.receptors reads them). None when the table has no
    odor-hour frequency of the total."""
    columns = frequency_columns(points.columns)
    if "frh" not in columns:
        return None
    judged = "frw" if "frw" in columns else "frh"
    rows = []
    for row in points.rows:
        n = int(number(row["n"]))
        receptor = receptors.get(n)
        values = [rounded(row[c]) for c in columns]
        # The limit as the decimal it was written as (0.1, not its binary neighbour).
        limit = Decimal(repr(receptor.limit)) if receptor and receptor.limit is not None \
            else None
        value = values[columns.index(judged)]
        above = None if limit is None else value > limit
        relevant = None
        if "frh-za" in columns:
            relevant = values[columns.index("frh-za")] > IRRELEVANT
        rows.append(PointRow(n, receptor.name if receptor else "", row["x"], row["y"],
                             values, limit, above, relevant))
    return PointAssessment(columns, judged, rows)
