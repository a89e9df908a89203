"""Fourier amplitude spectra of components and the effective amplitude spectrum of pairs."""

from __future__ import annotations

from dataclasses import dataclass

import numpy as np

from . import _sdof
from .spectra import _samples


@dataclass
class FourierSpectrum:
    """A Fourier amplitude spectrum (FAS) or effective amplitude spectrum (EAS).

    Attributes
    ----------
    frequencies : numpy.ndarray
        Hz: the grid it was smoothed at, or the transform's own k df, k = 0 .. L/2.
    amplitudes : numpy.ndarray
        cm/s for accelerations in cm/s²: |X(f_k)| dt, Konno-Ohmachi smoothed unless raw.
    df : float
        The transform's frequency step 1 / (L dt), Hz, L the padded length.
    """

    frequencies: np.ndarray
    amplitudes: np.ndarray
    df: float


def _grid(grid):
    if grid is None:
        return None
    if isinstance(grid, str):
        return _sdof.parse_grid(grid)
    return np.ascontiguousarray(np.atleast_1d(np.asarray(grid, dtype=np.float64)))


def _smoothing(frequencies: str, argument: str = "frequencies") -> bool:
    if frequencies not in ("smoothed", "raw"):
        raise ValueError(f"{argument}: 'smoothed' or 'raw', not {frequencies!r}")
    return frequencies == "raw"


def fourier_spectrum(acc, dt: float, *, frequencies: str = "smoothed", grid=None,
                     ko_b: float = 40.0) -> FourierSpectrum:
    """The Fourier amplitude spectrum of a component, as ``sdofspec --fas`` computes it.

    The acceleration is padded with zeros to L samples (the smallest even 2^a 3^b 5^c at or
    above its length) and transformed: A(f_k) = |sum_j a_j exp(-2 pi i j k / L)| dt.

    Parameters
    ----------
    acc : array_like
        Ground acceleration, cm/s², at intervals of dt (two samples or more, all finite).
    dt : float
        The interval between samples, s.
    frequencies : {"smoothed", "raw"}, default "smoothed"
        Konno-Ohmachi smoothed at the grid's frequencies, or the transform's own k df
        (``--fas-frequencies``).
    grid : str or array_like, optional
        The frequencies to smooth at, Hz, at or below the Nyquist frequency 1 / (2 dt); or
        "log:FMIN:FMAX:N" (``--fas-grid``). By default log:0.1:50:100, capped at the Nyquist
        frequency.
    ko_b : float, default 40
        Konno and Ohmachi's bandwidth b, in (0, 1000] (``--ko-b``).

    Returns
    -------
    FourierSpectrum

    Raises
    ------
    ValueError
        For a record, grid or bandwidth the library refuses.
    """
    raw = _smoothing(frequencies)
    f, a, df = _sdof.fourier_spectrum(_samples(acc), float(dt), raw, _grid(grid), float(ko_b))
    return FourierSpectrum(frequencies=f, amplitudes=a, df=df)


def effective_amplitude_spectrum(acc1, acc2, dt: float, *, frequencies: str = "smoothed",
                                 grid=None, ko_b: float = 40.0) -> FourierSpectrum:
    """The effective amplitude spectrum of a horizontal pair (Goulet et al. 2018):
    sqrt((A1² + A2²) / 2) bin by bin, both components padded to the L of the longer, then
    smoothed as fourier_spectrum smooths. The same for any rotation of the pair's axes.

    Parameters
    ----------
    acc1, acc2 : array_like
        The two horizontal ground accelerations, cm/s², at intervals of dt.
    dt : float
        The interval between samples, s.
    frequencies, grid, ko_b
        As for fourier_spectrum (188.5 is Goulet et al.'s bandwidth for the EAS).

    Returns
    -------
    FourierSpectrum
    """
    raw = _smoothing(frequencies)
    f, a, df = _sdof.effective_amplitude_spectrum(_samples(acc1), _samples(acc2), float(dt), raw,
                                                  _grid(grid), float(ko_b))
    return FourierSpectrum(frequencies=f, amplitudes=a, df=df)


__all__ = ["FourierSpectrum", "effective_amplitude_spectrum", "fourier_spectrum"]
