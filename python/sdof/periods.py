"""Period grids, in seconds, as ``sdofspec --periods`` takes them.

Attributes
----------
nga_west2 : numpy.ndarray
    The 111 periods of the PEER NGA-West2 flatfile, 0.01 s to 20 s (the default grid).
gmm : numpy.ndarray
    The 21 periods of the NGA-West2 ground-motion models, 0.01 s to 10 s.
"""

from __future__ import annotations

import numpy as np

from . import _sdof


def parse(text: str) -> np.ndarray:
    """The periods a grid's text names, as ``sdofspec --periods TEXT`` reads them.

    Parameters
    ----------
    text : str
        ``"nga-west2"``, ``"gmm"``, a comma list of periods in s (``"0.1,0.2,1"``), or
        ``"log:TMIN:TMAX:N"`` (N periods evenly spaced in the logarithm, both ends included).

    Returns
    -------
    numpy.ndarray
        The periods, s (float64).

    Raises
    ------
    ValueError
        When the text is none of these, or a period is not positive.
    """
    return _sdof.parse_periods(text)


def log(tmin: float, tmax: float, n: int) -> np.ndarray:
    """N periods evenly spaced in the logarithm from tmin to tmax, both included.

    Parameters
    ----------
    tmin : float
        The shortest period, s (above 0).
    tmax : float
        The longest period, s (at least tmin).
    n : int
        How many periods, 1 to 1,000,000 (1 only with tmin equal to tmax).

    Returns
    -------
    numpy.ndarray
        The periods, s: those of ``sdofspec --periods log:TMIN:TMAX:N``, bit for bit.
    """
    # repr gives the shortest text that reads back as the same double.
    return parse(f"log:{float(tmin)!r}:{float(tmax)!r}:{n}")


def _grid(text: str) -> np.ndarray:
    grid = parse(text)
    grid.flags.writeable = False
    return grid


nga_west2 = _grid("nga-west2")
gmm = _grid("gmm")


def as_periods(periods) -> np.ndarray:
    """A grid's text (see parse) or an array-like of periods (s), as float64 periods."""
    if isinstance(periods, str):
        return parse(periods)
    return np.ascontiguousarray(np.atleast_1d(np.asarray(periods, dtype=np.float64)))


__all__ = ["gmm", "log", "nga_west2", "parse"]
