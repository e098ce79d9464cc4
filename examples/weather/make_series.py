#!/usr/bin/python3
"""Writes a synthetic hourly weather series of one year (2023) as CSV.

Not measured data: a made-up climate for trying zirmet, the same on every
run (fixed seed, Python's own random generator). Each day draws a weather
regime: mostly south-west wind, sometimes east wind, sometimes anything, with
a speed of its own. The hours vary around it: the speed peaks in the
afternoon, the direction wanders. Stability follows the sun: unstable on
sunny days (more so in summer and in light wind), stable in clear nights,
near neutral in strong wind. The Obukhov length L comes from a 1/L built
that way. Light winds give calms; a station outage of 30 hours in March and
a few single missing values (NA) give gaps.

Columns: time (local standard time), dir (degrees the wind comes from, 0
for a calm), speed (m/s at 10 m), L (m).

Usage: make_series.py [OUTPUT.csv]   (default: series.csv in this folder)
"""

import datetime
import math
import os
import random
import sys

SEED = 20230101


def regime(rng):
    """Direction (degrees), spread (degrees) and speed (m/s) of one day."""
    r = rng.random()
    if r < 0.6:
        return rng.gauss(235, 25), 25.0, rng.lognormvariate(math.log(3.6), 0.45)
    if r < 0.85:
        return rng.gauss(80, 20), 20.0, rng.lognormvariate(math.log(2.8), 0.40)
    return rng.uniform(0, 360), 60.0, rng.lognormvariate(math.log(1.8), 0.50)


def inverse_length(day_of_year, hour, speed, cloud):
    """1/L (1/m): the sun heats by day, the clear sky cools at night."""
    season = 0.5 - 0.5 * math.cos(2 * math.pi * (day_of_year - 10) / 365)  # 0 winter, 1 summer
    half_day = 4.5 + 3.5 * season                    # hours from noon to sunset
    sun = math.cos(math.pi * (hour - 12.5) / (2 * half_day))
    calm_factor = 1.0 / max(speed, 0.7) ** 2
    if sun > 0:
        return -0.35 * sun * (0.3 + 0.7 * season) * (1 - cloud) * calm_factor
    return 0.25 * (1 - cloud) * calm_factor


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else \
        os.path.join(os.path.dirname(os.path.abspath(__file__)), "series.csv")
    rng = random.Random(SEED)
    start = datetime.datetime(2023, 1, 1)
    outage = range(24 * 70 + 5, 24 * 70 + 35)  # 11 March, 05:00, 30 hours
    lines = ["# Synthetic hourly weather of one year, made by make_series.py (seed %d)." % SEED,
             "# Not measured data. Columns: time, dir (deg), speed (m/s at 10 m), L (m).",
             "time,dir,speed,L"]
    for day in range(365):
        mean_dir, spread, day_speed = regime(rng)
        cloud = rng.random()
        direction = mean_dir
        for hour in range(24):
            n = day * 24 + hour
            time = (start + datetime.timedelta(hours=n)).strftime("%Y-%m-%d %H:%M")
            direction += rng.gauss(0, spread / 4)
            diurnal = 1 + 0.35 * math.cos(math.pi * (hour - 14) / 12)
            speed = round(day_speed * diurnal * rng.lognormvariate(0, 0.25), 1)
            inv = inverse_length(day, hour, speed, cloud)
            length = 99999.0 if abs(inv) < 1e-5 else max(-99999.0, min(99999.0, 1 / inv))
            d = round(direction) % 360 or 360
            if speed < 0.5:
                d = 0
            if n in outage:
                lines.append("%s,,," % time)
            elif rng.random() < 0.002:
                lines.append("%s,NA,%.1f,%.1f" % (time, speed, length))
            else:
                lines.append("%s,%d,%.1f,%.1f" % (time, d, speed, length))
    with open(out, "w", newline="\n") as fh:
        fh.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
