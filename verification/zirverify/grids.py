"""Result grids of the model, read with the reader of the map tool zirmap."""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(
    os.path.abspath(__file__)))), "tools"))
from zirmap_lib import dmna  # noqa: E402

from .model import ModelError  # noqa: E402


def read_grid(name):
    """The values of a result grid, indexed [i, j] (x to the east, y to the north)."""
    try:
        return dmna.read_grid(name).values
    except dmna.DmnaError as e:
        raise ModelError(str(e))
