"""Performance measures of a dispersion model against paired observations
Co and model values Cp, all positive. A perfect model has FAC2 = 1,
FB = NMSE = 0 and MG = VG = 1."""

import numpy as np

DEFINITIONS = (
    ("FAC2", "fraction of pairs with 0.5 <= Cp/Co <= 2"),
    ("FB", "fractional bias (mean Co - mean Cp) / (0.5 (mean Co + mean Cp)); "
           "positive when the model underestimates"),
    ("NMSE", "normalised mean square error mean((Co - Cp)^2) / (mean Co * mean Cp)"),
    ("MG", "geometric mean bias exp(mean(ln Co - ln Cp)); above 1 when the model "
           "underestimates"),
    ("VG", "geometric variance exp(mean((ln Co - ln Cp)^2))"),
)
NAMES = tuple(name for name, _ in DEFINITIONS)


def measures(observed, modelled):
    """The five measures of paired positive values, and the pair count n."""
    co = np.asarray(observed, dtype=float)
    cp = np.asarray(modelled, dtype=float)
    if co.shape != cp.shape or co.ndim != 1 or co.size == 0:
        raise ValueError("measures need equally many pairs, at least one")
    if not (np.all(co > 0) and np.all(cp > 0)):
        raise ValueError("measures need positive values")
    ratio = cp / co
    mo, mp = co.mean(), cp.mean()
    d = np.log(co) - np.log(cp)
    return {
        "n": int(co.size),
        "FAC2": float(np.mean((ratio >= 0.5) & (ratio <= 2.0))),
        "FB": float((mo - mp) / (0.5 * (mo + mp))),
        "NMSE": float(np.mean((co - cp) ** 2) / (mo * mp)),
        "MG": float(np.exp(d.mean())),
        "VG": float(np.exp(np.mean(d * d))),
    }
