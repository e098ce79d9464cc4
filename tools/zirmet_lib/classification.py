"""Classification of weather hours: stability, speed class, wind sector.

Stability becomes an Obukhov length L (m) at the roughness length z0 (m):
Klug/Manier classes by the table of the German air-quality regulation,
Pasquill-Gifford classes by Golder's relation. Sectors follow the model: nw
sectors of 360 div nw degrees, sector s centred on s * width + re (degrees
clockwise from north, the direction the wind comes from), each reaching half
a width to either side, as the model spreads its sub-sectors.
"""

import bisect
import math

KM_CLASSES = ("I", "II", "III/1", "III/2", "IV", "V")  # stable to unstable
KM_Z0 = (0.01, 0.02, 0.05, 0.10, 0.20, 0.50, 1.00, 1.50, 2.00)
KM_L = {
    "I": (7, 9, 13, 17, 24, 40, 65, 90, 118),
    "II": (25, 31, 44, 60, 83, 139, 223, 310, 406),
    "III/1": (99999,) * 9,
    "III/2": (-25, -32, -45, -60, -81, -130, -196, -260, -326),
    "IV": (-10, -13, -19, -25, -34, -55, -83, -110, -137),
    "V": (-4, -5, -7, -10, -14, -22, -34, -45, -56),
}
NEUTRAL = ("III/1", "D")

# Golder's relation as fitted by Seinfeld and Pandis (2006):
# 1/L = a + b * log10(z0), (a, b) per class.
PG_CLASSES = ("A", "B", "C", "D", "E", "F")
PG_FIT = {"A": (-0.096, 0.029), "B": (-0.037, 0.029), "C": (-0.002, 0.018),
          "D": (0.0, 0.0), "E": (0.004, -0.018), "F": (0.035, -0.036)}

# Speed classes of the weather service's dispersion class statistics: upper
# bounds (m/s, a bound belongs to the class below it) and the speed that
# stands for each of the nine classes in a statistic.
DEFAULT_BOUNDS = (1.4, 1.8, 2.3, 3.8, 5.4, 6.9, 8.4, 10.0)
DEFAULT_CLASS_SPEEDS = (1.0, 1.5, 2.0, 3.0, 4.5, 6.0, 7.5, 9.0, 12.0)


class ClassError(Exception):
    """A class name or a parameter that cannot be classified."""


def km_name(text):
    """The Klug/Manier class of a text such as "III/2", "iii2" or "IV"."""
    key = text.strip().upper().replace(" ", "").replace(".", "/")
    if key in ("III1", "III2"):
        key = key[:3] + "/" + key[3]
    if key not in KM_L:
        raise ClassError('unknown Klug/Manier class "%s" (I, II, III/1, III/2, IV, V)' % text)
    return key


def pg_name(text):
    key = text.strip().upper()
    if key not in PG_FIT:
        raise ClassError('unknown Pasquill-Gifford class "%s" (A to F)' % text)
    return key


def km_length(name, z0):
    """L (m) of a Klug/Manier class at z0 (m).

    At the tabulated z0 the table's value; between them 1/L interpolated
    linearly in ln z0; outside the table the value of its first or last
    column.
    """
    row = KM_L[name]
    if z0 <= KM_Z0[0]:
        return float(row[0])
    if z0 >= KM_Z0[-1]:
        return float(row[-1])
    i = bisect.bisect_right(KM_Z0, z0) - 1
    if z0 == KM_Z0[i]:
        return float(row[i])
    t = (math.log(z0) - math.log(KM_Z0[i])) / (math.log(KM_Z0[i + 1]) - math.log(KM_Z0[i]))
    return 1.0 / ((1 - t) / row[i] + t / row[i + 1])


def km_boundaries(z0):
    """1/L (1/m) at the five boundaries between neighbouring classes at z0.

    The regulation puts a boundary at the harmonic mean of the two classes'
    L, that is at the mean of their 1/L; the values fall from I towards V.
    """
    inverse = [1.0 / km_length(name, z0) for name in KM_CLASSES]
    return [(a + b) / 2 for a, b in zip(inverse, inverse[1:])]


def km_class_of_length(length, boundaries):
    """Klug/Manier class of an Obukhov length (m); 0 counts as neutral."""
    inverse = 0.0 if length == 0 else 1.0 / length
    for name, bound in zip(KM_CLASSES, boundaries):
        if inverse > bound:
            return name
    return KM_CLASSES[-1]


def pg_length(name, z0):
    """L (m) of a Pasquill-Gifford class at z0 (m), 0 for neutral.

    Where the fit gives the class the wrong sign (C above z0 = 1.3 m, E above
    1.7 m), the class is taken as neutral: a fit must not turn an unstable
    class into a stable one.
    """
    a, b = PG_FIT[name]
    inverse = a + b * math.log10(z0)
    if name == "D" or inverse == 0 or (inverse > 0) != (name in ("E", "F")):
        return 0.0
    return 1.0 / inverse


def situation_length(kind, name, z0):
    """lm of a situation of a stability class: 0 for the neutral classes."""
    if name in NEUTRAL:
        return 0.0
    return km_length(name, z0) if kind == "km" else pg_length(name, z0)


def speed_class(speed, bounds):
    """Index of the speed class of a speed (m/s): 0 up to bounds[0], and so on."""
    return bisect.bisect_left(bounds, speed)


class Sectors:
    """The model's wind sectors: nw of them, the first centred on re degrees."""

    def __init__(self, nw, re):
        if nw < 1 or 360 % nw:
            raise ClassError("nw=%d: the model's sectors are 360 div nw degrees wide, so nw must "
                             "divide 360 for the sectors to cover every direction" % nw)
        self.nw, self.re, self.width = nw, re, 360 // nw

    def centre(self, s):
        """Direction of the centre of sector s, 0 < centre <= 360."""
        c = math.fmod(s * self.width + self.re, 360.0)
        return c + 360 if c <= 0 else c

    def of(self, direction):
        """Sector that holds a direction (degrees the wind comes from)."""
        return math.floor((direction - self.re) / self.width + 0.5) % self.nw

    def shares(self, centre, width):
        """Shares of the sectors in an arc of the given centre and width (degrees)."""
        out = []
        for s in range(self.nw):
            delta = s * self.width + self.re - centre
            delta -= 360 * round(delta / 360)
            part = 0.0
            for shift in (-360, 0, 360):
                lo = max(-width / 2, delta + shift - self.width / 2)
                hi = min(width / 2, delta + shift + self.width / 2)
                part += max(0.0, hi - lo)
            out.append(part / width)
        return out
