"""Constant-ductility and constant-strength spectra of bilinear oscillators."""

from __future__ import annotations

from dataclasses import dataclass

import numpy as np

from . import _sdof
from .periods import as_periods
from .spectra import _samples


@dataclass
class InelasticSpectrum:
    """An inelastic spectrum: arrays of one row per period and one column per target
    (shape: periods x targets). Where a target is not reached the row's values are NaN and
    ``warnings`` says why. Columns as in ``sdofspec --inelastic``'s table.

    Attributes
    ----------
    kind : str
        "ductility" (the largest strength with u_m = mu u_y) or "strength" (the ductility a
        strength ratio R = f_0 / f_y gets).
    periods : numpy.ndarray
        The periods, s.
    targets : numpy.ndarray
        The ductilities sought, or the strength ratios given.
    damping, alpha : float
        The damping ratio and the post-yield over the initial stiffness.
    fy_norm : numpy.ndarray
        f_y / f_0 (f_0 the peak force of the elastic oscillator of the same period).
    r_mu : numpy.ndarray
        f_0 / f_y.
    cy_g : numpy.ndarray
        f_y / (m g), the yield strength coefficient.
    dy_cm : numpy.ndarray
        u_y, the yield deformation, cm.
    ay_g : numpy.ndarray
        w² u_y / g, the pseudo-acceleration at yield.
    um_cm : numpy.ndarray
        u_m, the peak deformation, cm.
    c_mu : numpy.ndarray
        u_m / u_0 (u_0 the elastic oscillator's peak deformation).
    ductility : numpy.ndarray
        u_m / u_y reached.
    hysteretic_velocity : numpy.ndarray
        sqrt(2 E_H), E_H the hysteretic energy per unit mass at the record's end, cm/s.
    runs : numpy.ndarray
        The oscillator runs behind each value.
    warnings : list of str
    """

    kind: str
    periods: np.ndarray
    targets: np.ndarray
    damping: float
    alpha: float
    fy_norm: np.ndarray
    r_mu: np.ndarray
    cy_g: np.ndarray
    dy_cm: np.ndarray
    ay_g: np.ndarray
    um_cm: np.ndarray
    c_mu: np.ndarray
    ductility: np.ndarray
    hysteretic_velocity: np.ndarray
    runs: np.ndarray
    warnings: list


def _targets(values, parse) -> np.ndarray:
    if isinstance(values, str):
        return parse(values)
    return np.ascontiguousarray(np.atleast_1d(np.asarray(values, dtype=np.float64)))


def inelastic_spectrum(acc, dt: float, periods="nga-west2", damping: float = 0.05, *,
                       ductility=None, strength_ratio=None,
                       alpha: float = 0.0) -> InelasticSpectrum:
    """The constant-ductility or constant-strength spectrum of bilinear oscillators, as
    ``sdofspec --inelastic --ductility --strength-ratio --alpha`` computes it, bit for bit.

    Give `ductility` or `strength_ratio`; with neither, the command line's ductilities
    1.5, 2, 4 and 6.

    Parameters
    ----------
    acc : array_like
        Ground acceleration, cm/s², at intervals of dt.
    dt : float
        The interval between samples, s.
    periods : str or array_like, default "nga-west2"
        The periods, s, or a grid's name.
    damping : float, default 0.05
        The damping ratio, a fraction of critical in [0, 1).
    ductility : float, sequence of float or str, optional
        Target ductilities mu = u_m / u_y, each 1 or more: for each, the largest yield
        strength whose peak deformation is mu u_y.
    strength_ratio : float, sequence of float or str, optional
        Strength ratios R = f_0 / f_y, each 1 or more: the ductility each gets.
    alpha : float, default 0
        The post-yield stiffness over the initial stiffness, in [0, 1).

    Returns
    -------
    InelasticSpectrum
        Arrays of periods x targets.

    Raises
    ------
    ValueError
        For a record or value the library refuses, or both ductility and strength_ratio.
    """
    if ductility is not None and strength_ratio is not None:
        raise ValueError("ductility or strength_ratio: one spectrum a call")
    by_ductility = strength_ratio is None
    if by_ductility:
        targets = _targets(_sdof.default_ductilities if ductility is None else ductility,
                           _sdof.parse_ductilities)
    else:
        targets = _targets(strength_ratio, _sdof.parse_strength_ratios)
    t = as_periods(periods)
    rows = _sdof.inelastic(_samples(acc), float(dt), t, float(damping), targets, by_ductility,
                           float(alpha))
    return InelasticSpectrum(kind="ductility" if by_ductility else "strength", periods=t,
                             targets=targets, damping=float(damping), alpha=float(alpha), **rows)


__all__ = ["InelasticSpectrum", "inelastic_spectrum"]
