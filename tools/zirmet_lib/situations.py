"""Dispersion situations: the hours of each stability and speed class by sector.

A situation is one stability class and one speed class with its mean speed
ua (m/s), its Obukhov length lm (m, 0 for neutral) and the hours dw of each
of the model's sectors. Calms (speeds below a threshold) have no meaningful
direction, nor have hours whose direction was given as variable: both are
kept, in the lowest speed class (calms) or in their own, and spread over the
sectors by the directions of other hours, by one of two rules:

- "next": like the hours with a direction of the same stability class in the
  same speed class (for calms the lowest, the next class above them); when
  that has none, as by "all".
- "all": calms like the lowest speed class of all stability classes that has
  hours with a direction; a variable hour like its own speed class of all
  stability classes. When even that has none, like all hours.
"""

import math
from dataclasses import dataclass, field

from .classification import (KM_CLASSES, PG_CLASSES, km_boundaries, km_class_of_length,
                             situation_length, speed_class)


MAX_HOURS = 1e6  # h, the most hours a statistic or --total may stand for


class SituationError(Exception):
    pass


@dataclass
class Situation:
    stability: str
    speed_class: int     # 0-based index of the speed class
    dw: list             # hours per sector (h)
    speed_sum: float = 0.0  # m/s * h, for the mean speed of a series
    ua: float = 0.0      # m/s
    lm: float = 0.0      # m
    calms: float = 0.0   # hours of calms among dw (h)
    variable: float = 0.0  # hours of variable direction among dw (h)

    @property
    def hours(self):
        return sum(self.dw)


@dataclass
class Result:
    situations: list
    kind: str
    n_speeds: int
    hours_read: float
    gaps: list = field(default_factory=list)  # line numbers of skipped hours
    calms: float = 0.0
    variable: float = 0.0   # hours of variable direction
    months: dict = field(default_factory=dict)  # (year, month) -> hours used

    def class_hours(self):
        """Hours used per stability class, in the order of the classes."""
        names = PG_CLASSES if self.kind == "pg" else KM_CLASSES
        return [(n, sum(s.hours for s in self.situations if s.stability == n)) for n in names]

    @property
    def hours_used(self):
        return sum(s.hours for s in self.situations)

    def by_sector_and_speed(self, nw):
        """Hours [sector][speed class] over all stability classes."""
        table = [[0.0] * self.n_speeds for _ in range(nw)]
        for s in self.situations:
            for sector, h in enumerate(s.dw):
                table[sector][s.speed_class] += h
        return table


def ordered(tally, kind, z0):
    """Situations in the order of the stability classes, then of speed."""
    names = PG_CLASSES if kind == "pg" else KM_CLASSES
    out = sorted(tally.values(), key=lambda s: (names.index(s.stability), s.speed_class))
    for s in out:
        s.lm = situation_length("pg" if kind == "pg" else "km", s.stability, z0)
    return out


def from_series(hours, gaps, kind, z0, bounds, calm, sectors, rule="next"):
    """Situations of an hourly series (reading.Hour list); calm in m/s, rule
    "next" or "all" for the hours without a direction."""
    boundaries = km_boundaries(z0) if kind == "lm" else None
    n_speeds = len(bounds) + 1
    tally, loose, months = {}, [], {}

    def entry(stab, k):
        if (stab, k) not in tally:
            tally[(stab, k)] = Situation(stab, k, [0.0] * sectors.nw)
        return tally[(stab, k)]

    for h in hours:
        stab = km_class_of_length(h.stability, boundaries) if boundaries else h.stability
        if h.when is not None:
            key = (h.when.year, h.when.month)
            months[key] = months.get(key, 0) + 1
        if h.speed < calm:
            loose.append((stab, 0, h.speed, True))
            continue
        k = speed_class(h.speed, bounds)
        if h.direction is None:
            loose.append((stab, k, h.speed, False))
            continue
        s = entry(stab, k)
        s.dw[sectors.of(h.direction)] += 1
        s.speed_sum += h.speed
    directed = {key: list(s.dw) for key, s in tally.items()}
    n_calms = sum(1 for item in loose if item[3])
    if loose and not directed:
        raise SituationError("all %d hours used are calms or of variable direction: no wind "
                             "direction to spread them by" % len(loose))

    def pattern(keys):
        out = [0.0] * sectors.nw
        for key in keys:
            out = [a + b for a, b in zip(out, directed[key])]
        return out if sum(out) > 0 else None

    patterns = {}
    for stab, k, speed, is_calm in loose:
        key = (stab, k, is_calm)
        if key not in patterns:
            lowest = min(j for _, j in directed)
            own = pattern([(stab, k)]) if rule == "next" and (stab, k) in directed else None
            same_speed = pattern([d for d in directed if d[1] == (lowest if is_calm else k)])
            patterns[key] = own or same_speed or pattern(list(directed))
        spread = patterns[key]
        total = sum(spread)
        s = entry(stab, k)
        for i, h in enumerate(spread):
            s.dw[i] += h / total
        s.speed_sum += speed
        if is_calm:
            s.calms += 1
        else:
            s.variable += 1
    situations = ordered(tally, kind, z0)
    for s in situations:
        s.ua = s.speed_sum / s.hours
    return Result(situations, kind, n_speeds, len(hours) + len(gaps), gaps, n_calms,
                  len(loose) - n_calms, months)


def from_statistic(cells, kind, z0, class_speeds, n_stat_sectors, sectors, total=None):
    """Situations of a class statistic (reading.Cell list).

    Sector k of the statistic is centred on k * 360 / n_stat_sectors degrees;
    its hours are shared among the model's sectors by their overlap. With
    total (h) the values are frequencies, scaled so that they add up to it.
    """
    width = 360.0 / n_stat_sectors
    shares = {k: sectors.shares(k * width, width) for k in range(1, n_stat_sectors + 1)}
    scale = 1.0
    given = sum(c.value for c in cells)
    if not math.isfinite(given):
        raise SituationError("the values of the statistic add up beyond any number")
    if total is not None:
        if given <= 0:
            raise SituationError("the frequencies add up to 0: nothing to scale to %g h" % total)
        scale = total / given
    elif given > MAX_HOURS:
        raise SituationError("the hours of the statistic add up to %.6g h, more than %g h "
                             "(%d years)" % (given, MAX_HOURS, MAX_HOURS // 8760))
    tally = {}
    for c in cells:
        if c.value == 0:
            continue
        key = (c.stability, c.speed_class - 1)
        if key not in tally:
            tally[key] = Situation(c.stability, c.speed_class - 1, [0.0] * sectors.nw)
        dw = tally[key].dw
        for i, share in enumerate(shares[c.sector]):
            dw[i] += c.value * scale * share
    situations = ordered(tally, kind, z0)
    for s in situations:
        s.ua = class_speeds[s.speed_class]
    read = given * scale
    return Result(situations, kind, len(class_speeds), read)
