"""Ground-motion record files, read as the programs read them."""

from __future__ import annotations

import datetime
import os
from dataclasses import dataclass

import numpy as np

from . import _sdof

_EPOCH = datetime.datetime(1970, 1, 1, tzinfo=datetime.timezone.utc)


@dataclass
class Component:
    """One component of a record, whatever the file's format.

    Attributes
    ----------
    acceleration : numpy.ndarray
        The samples, cm/s² (float64), one per interval of dt.
    dt : float
        The interval between samples, s.
    channel : str
        The file's own name for the component: HNE, 360, N-S, EW2, UP...
    station : str
        The station's code or name, where the file gives one ("" where not).
    azimuth : float or None
        Degrees clockwise from north, where the file says.
    start : datetime.datetime or None
        The time of the first sample, UTC (timezone-aware), where the file says.
    unit : str
        The unit the file gave its values in ("g", "cm/s2", "counts"), before they were turned
        into cm/s².
    vertical : bool
        Whether the file (or the component's name) says it is vertical.
    network, location, event : str
        The network code, the SEED location code (KiK-net: "borehole" or "surface") and the
        event's id or origin time, where the file gives them.
    path : str
        The file it was read from.
    """

    acceleration: np.ndarray
    dt: float
    channel: str = ""
    station: str = ""
    azimuth: float | None = None
    start: datetime.datetime | None = None
    unit: str = ""
    vertical: bool = False
    network: str = ""
    location: str = ""
    event: str = ""
    path: str = ""

    @property
    def time(self) -> np.ndarray:
        """The time of each sample from the first, s: m * dt for sample m."""
        return np.arange(len(self.acceleration)) * self.dt


class Record(list):
    """The components of a record file, in the file's order (a list of Component).

    Attributes
    ----------
    path : str
        The file read.
    warnings : list of str
        What the reader read but found worth a word, as ``file:line: what``.
    """

    def __init__(self, components, path: str = "", warnings=()):
        super().__init__(components)
        self.path = path
        self.warnings = list(warnings)


def read(path, format: str | None = None, units: str | None = None,
         counts_per_unit: float | None = None) -> Record:
    """The components of a record file, read as ``sdofspec`` reads it.

    Parameters
    ----------
    path : str or os.PathLike
        The record file; ``"-"`` is standard input.
    format : str, optional
        Read the file as this format (``sdof.formats()`` names them) rather than the one its
        content shows.
    units : str, optional
        The unit of values whose file names none: ``"g"``, ``"gal"`` (cm/s²) or ``"m/s2"``.
    counts_per_unit : float, optional
        For files of counts (miniSEED, SAC of counts): counts per unit of `units`.

    Returns
    -------
    Record
        A list of Component, accelerations in cm/s².

    Raises
    ------
    ValueError
        When the file cannot be read as a record: ``file:line: what is wrong``.
    OSError
        When the system refuses the file (missing, unreadable).
    """
    path = os.fspath(path)
    found, warnings = _sdof.read(path, format, units, counts_per_unit)
    components = []
    for c in found:
        start = c.pop("start")
        if start is not None:
            start = _EPOCH + datetime.timedelta(microseconds=start)
        components.append(Component(start=start, path=path, **c))
    return Record(components, path, warnings)


def formats() -> list[tuple[str, str]]:
    """The formats records are read in, in the order they are tried: (name, description)."""
    return [tuple(f) for f in _sdof.formats()]


__all__ = ["Component", "Record", "formats", "read"]
