"""Intensity measures of a component or a horizontal pair: the columns of ``sdofspec --ims``."""

from __future__ import annotations

import numpy as np

from . import _sdof
from .periods import as_periods
from .spectra import _samples


class IntensityMeasures(dict):
    """The measures keyed by the intensity table's column names, each in the unit its name
    ends with (``pga_g`` in g, ``pgv_cm_s`` in cm/s, ``arias_m_s`` in m/s, ``d5_95_s`` in s,
    ``cav_g_s`` in g s, ``si_cm`` in cm...); NaN where a measure has no value (``saavg_g``
    without avgsa, ``bracketed_s`` when |a| never reaches the threshold).

    Attributes
    ----------
    warnings : list of str
        A measure's words where one is due (a spectral integral that did not settle).
    """

    def __init__(self, values, warnings=()):
        super().__init__(values)
        self.warnings = list(warnings)


def _average_periods(avgsa) -> np.ndarray:
    return np.empty(0) if avgsa is None else as_periods(avgsa)


def intensity_measures(acc, dt: float, *, periods="nga-west2", detrend: bool = False,
                       si_tolerance: float | None = None, bracket: float | None = None,
                       avgsa=None) -> IntensityMeasures:
    """Every intensity measure of one component, as a row of ``sdofspec --ims``.

    Parameters
    ----------
    acc : array_like
        Ground acceleration, cm/s², at intervals of dt.
    dt : float
        The interval between samples, s.
    periods : str or array_like, default "nga-west2"
        The table's periods, s: where the period of the peak PSa at 5% (``tp_psa_s``) is
        looked for.
    detrend : bool, default False
        Remove the least-squares line of the ground displacement first (PGV, PGD), as
        ``--detrend``.
    si_tolerance : float, optional
        The spectral integrals' halving criterion, relative, in (0, 0.01] (default 1e-6).
    bracket : float, optional
        The bracketed duration's threshold of |a|, g (default 0.05).
    avgsa : str or array_like, optional
        The periods of Sa_avg (``saavg_g``), s: the geometric mean of PSa at 5% over them.

    Returns
    -------
    IntensityMeasures
        A dict keyed by the measures' own column names, in the table's order.
    """
    names, values, warnings = _sdof.intensity_measures(
        _samples(acc), float(dt), as_periods(periods), bool(detrend), si_tolerance, bracket,
        _average_periods(avgsa))
    return IntensityMeasures(zip(names, values.tolist()), warnings)


def rotated_intensity_measures(acc1, acc2, dt: float, *, detrend: bool = False) -> dict:
    """The rotated intensity measures of a horizontal pair: the RotD00, RotD50 and RotD100
    rows of ``sdofspec --rotd --ims``.

    Parameters
    ----------
    acc1, acc2 : array_like
        The two horizontal ground accelerations, cm/s², at the same intervals (cut to the
        shorter).
    dt : float
        The interval between samples, s.
    detrend : bool, default False
        As in intensity_measures.

    Returns
    -------
    dict
        Column name to an array of three values (RotD00, RotD50, RotD100) in the column's
        unit; NaN for a measure without a rotated value.
    """
    names, rows = _sdof.rotated_intensity_measures(_samples(acc1), _samples(acc2), float(dt),
                                                   bool(detrend))
    return {name: rows[:, i] for i, name in enumerate(names)}


__all__ = ["IntensityMeasures", "intensity_measures", "rotated_intensity_measures"]
