"""Runs the model program on a command file and reads its listings.

Every number the checks use comes out of the real program: the plume table
of "*LISTE plm", the concentration listing of the plume solver (parameter
mx), the receptor-point listing of "*LISTE pnt" and the result grids written
by "*SPEICHERN". Failures raise ModelError with a one-line message.
"""

import os
import re
import subprocess
from dataclasses import dataclass

import numpy as np

ENCODING = "cp1252"  # the program's files and log
RUN_TIMEOUT = 120     # s; a run of the verification takes well under a second


class ModelError(Exception):
    """The program failed or wrote a listing that cannot be read."""


def vector(values, fmt="%.6g"):
    """The values of a vector parameter on one command-file line."""
    return " ".join(fmt % v for v in values)


def run(exe, workdir, commands):
    """Writes commands as odrcmd.txt into workdir, runs the program there and
    returns its log text. A non-zero exit code raises ModelError with the
    last message of the log."""
    os.makedirs(workdir, exist_ok=True)
    # Files of an earlier run must not pass for results of this one.
    for name in os.listdir(workdir):
        if name in ("odrcmd.txt", "odrlog.txt") or name.endswith((".dmna", ".dmnb", ".dmnt")):
            os.unlink(os.path.join(workdir, name))
    log_path = os.path.join(workdir, "odrlog.txt")
    with open(os.path.join(workdir, "odrcmd.txt"), "wb") as fh:
        fh.write(commands.encode(ENCODING))
    try:
        proc = subprocess.run([exe, workdir, "-q2"], capture_output=True, timeout=RUN_TIMEOUT)
    except (OSError, subprocess.TimeoutExpired) as e:
        raise ModelError("cannot run %s: %s" % (exe, e))
    try:
        with open(log_path, "rb") as fh:
            log = fh.read().decode(ENCODING)
    except OSError as e:
        raise ModelError("no log from %s in %s: %s" % (exe, workdir, e.strerror))
    if proc.returncode != 0:
        errors = [line for line in log.splitlines() if line.startswith("***")]
        raise ModelError("%s ended with exit code %d in %s%s" % (
            os.path.basename(exe), proc.returncode, workdir,
            (": " + errors[0]) if errors else ""))
    return log


def _numbers(line):
    try:
        return [float(t) for t in line.replace("|", " ").replace(":", " ").split()]
    except ValueError:
        raise ModelError("not a line of numbers: %r" % line)


@dataclass
class PlumeTable:
    """One "*LISTE plm" listing: columns over the downwind distance x (m)."""
    x: np.ndarray
    cg: np.ndarray    # s/m2, crosswind-integrated concentration at the ground
    cp: np.ndarray    # s/m2, the same at the receptor height zp
    ca: np.ndarray    # s/m2, the same in the source cell
    sy: np.ndarray    # m
    sd: np.ndarray    # m
    cm: np.ndarray    # concentration under the plume axis at zp
    flux: np.ndarray  # vertical flux integral of a unit source

    def at(self, distance, column):
        """The value of a column at a listed distance (m)."""
        hit = np.nonzero(np.abs(self.x - distance) < 0.5)[0]
        if hit.size == 0:
            raise ModelError("the plume table does not list x = %g m" % distance)
        return getattr(self, column)[hit[0]]


def _listings(log, heading, skip):
    """The rows of numbers of every listing under a heading line: from skip
    lines below the heading up to the next empty line."""
    lines = log.splitlines()
    for k, line in enumerate(lines):
        if line != heading:
            continue
        rows = []
        for row in lines[k + skip:]:
            if not row.strip():
                break
            rows.append(_numbers(row))
        yield rows


def plume_tables(log):
    """Every plume-table listing of the log, in order."""
    return [PlumeTable(*np.array(rows, dtype=float).reshape(-1, 8).T)
            for rows in _listings(log, "Werte der Fahnenfunktionen", 3)]


@dataclass
class Profiles:
    """One concentration listing of the plume solver: the mean concentration
    c[n, i] of the listed cells (centres z, m) at the distances x[n] (m), and
    per distance the flux, the travel time (s) and the plume wind (m/s)."""
    z: np.ndarray
    x: np.ndarray
    c: np.ndarray
    flux: np.ndarray
    time: np.ndarray
    wind: np.ndarray

    def at(self, distance):
        hit = np.nonzero(np.abs(self.x - distance) < 0.5)[0]
        if hit.size == 0:
            raise ModelError("the concentration listing has no line for x = %g m" % distance)
        return self.c[hit[0]]


def concentration_listings(log):
    """Every concentration listing of the plume solver in the log, in order."""
    result = []
    lines = log.splitlines()
    for k, line in enumerate(lines):
        if line != "Vertikal-Profil von Konzentration/Eq":
            continue
        z = np.array(_numbers(lines[k + 1].split(":", 1)[1]))
        rows = []
        for row in lines[k + 2:]:
            if not re.match(r"^\s*-?\d+:", row):
                break
            rows.append(_numbers(row))
        a = np.array(rows, dtype=float)
        if a.ndim != 2 or a.shape[1] != z.size + 4:
            raise ModelError("concentration listing %d cannot be read" % (len(result) + 1))
        result.append(Profiles(z, a[:, 0], a[:, 1:1 + z.size], a[:, -3], a[:, -2], a[:, -1]))
    return result


@dataclass
class Points:
    """One "*LISTE pnt" listing: per receptor point x, y (m), cnc, fro, frh."""
    x: np.ndarray
    y: np.ndarray
    cnc: np.ndarray
    fro: np.ndarray
    frh: np.ndarray


def point_listings(log):
    """Every receptor-point listing of the log, in order."""
    # Each row begins with the point's number.
    return [Points(*np.array([r[1:] for r in rows], dtype=float).reshape(-1, 5).T)
            for rows in _listings(log, "Werte an den Aufpunkten:", 2)]
