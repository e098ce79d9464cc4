"""Dispersion situations: the hours of each stability and speed class by sector.

A situation is one stability class and one speed class with its mean speed
ua (m/s), its Obukhov length lm (m, 0 for neutral) and the hours dw of each
of the model's sectors. Calms (speeds below a threshold) have no meaningful
direction: they join the lowest speed class of their stability class and are
spread over the sectors like the hours of the lowest speed class that has
any.
"""

from dataclasses import dataclass, field

from .classification import (KM_CLASSES, PG_CLASSES, km_boundaries, km_class_of_length,
                             situation_length, speed_class)


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


def from_series(hours, gaps, kind, z0, bounds, calm, sectors):
    """Situations of an hourly series (reading.Hour list); calm in m/s."""
    boundaries = km_boundaries(z0) if kind == "lm" else None
    n_speeds = len(bounds) + 1
    tally, calms = {}, {}

    def entry(stab, k):
        if (stab, k) not in tally:
            tally[(stab, k)] = Situation(stab, k, [0.0] * sectors.nw)
        return tally[(stab, k)]

    for h in hours:
        stab = km_class_of_length(h.stability, boundaries) if boundaries else h.stability
        if h.speed < calm:
            calms.setdefault(stab, []).append(h.speed)
            continue
        s = entry(stab, speed_class(h.speed, bounds))
        s.dw[sectors.of(h.direction)] += 1
        s.speed_sum += h.speed
    n_calms = sum(len(v) for v in calms.values())
    if calms:
        if not tally:
            raise SituationError("all %d hours used are calms: no wind direction to spread "
                                 "them by" % n_calms)
        low = min(k for _, k in tally)
        spread = [sum(s.dw[i] for (_, k), s in tally.items() if k == low)
                  for i in range(sectors.nw)]
        total = sum(spread)
        for stab, speeds in calms.items():
            s = entry(stab, 0)
            for i, h in enumerate(spread):
                s.dw[i] += len(speeds) * h / total
            s.speed_sum += sum(speeds)
            s.calms += len(speeds)
    situations = ordered(tally, kind, z0)
    for s in situations:
        s.ua = s.speed_sum / s.hours
    return Result(situations, kind, n_speeds, len(hours) + len(gaps), gaps, n_calms)


def from_statistic(cells, kind, z0, class_speeds, n_stat_sectors, sectors, total=None):
    """Situations of a class statistic (reading.Cell list).

    Sector k of the statistic is centred on k * 360 / n_stat_sectors degrees;
    its hours are shared among the model's sectors by their overlap. With
    total (h) the values are frequencies, scaled so that they add up to it.
    """
    width = 360.0 / n_stat_sectors
    shares = {k: sectors.shares(k * width, width) for k in range(1, n_stat_sectors + 1)}
    scale = 1.0
    if total is not None:
        given = sum(c.value for c in cells)
        if given <= 0:
            raise SituationError("the frequencies add up to 0: nothing to scale to %g h" % total)
        scale = total / given
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
    read = sum(c.value for c in cells) * scale
    return Result(situations, kind, len(class_speeds), read)
