"""Response spectra, rotated spectra and response histories of linear oscillators."""

from __future__ import annotations

from dataclasses import dataclass

import numpy as np

from . import _sdof
from .periods import as_periods


def _samples(a) -> np.ndarray:
    # A float64 C-contiguous array passes as it is; anything else is converted once here.
    return np.ascontiguousarray(a, dtype=np.float64)


def _dampings(damping):
    """The damping ratios as an array, and whether one was given alone."""
    if isinstance(damping, str):
        return _sdof.parse_dampings(damping), False
    h = np.asarray(damping, dtype=np.float64)
    return np.ascontiguousarray(np.atleast_1d(h)), h.ndim == 0


@dataclass
class Spectrum:
    """The response spectrum of one component.

    Each array holds one value per period; with several damping ratios, one row per damping
    ratio (shape: dampings x periods).

    Attributes
    ----------
    periods : numpy.ndarray
        The periods, s.
    damping : float or numpy.ndarray
        The damping ratio (fraction of critical), or the ratios of the rows.
    sd : numpy.ndarray
        Peak relative displacement, cm.
    sv : numpy.ndarray
        Peak relative velocity, cm/s.
    sa : numpy.ndarray
        Peak absolute acceleration, g.
    psv : numpy.ndarray
        Pseudo-velocity w Sd, cm/s.
    psa : numpy.ndarray
        Pseudo-acceleration w² Sd, g.
    ve_rel, ve_abs : numpy.ndarray or None
        With energy=True: the equivalent velocities sqrt(2E) of the peak relative and absolute
        input energy per unit mass, cm/s.
    """

    periods: np.ndarray
    damping: float | np.ndarray
    sd: np.ndarray
    sv: np.ndarray
    sa: np.ndarray
    psv: np.ndarray
    psa: np.ndarray
    ve_rel: np.ndarray | None = None
    ve_abs: np.ndarray | None = None


def _spectrum(arrays: dict, prefix: str, periods, dampings, alone: bool) -> Spectrum:
    def field(name):
        a = arrays.get(prefix + name)
        return None if a is None else (a[0] if alone else a)

    return Spectrum(periods=periods, damping=float(dampings[0]) if alone else dampings,
                    sd=field("sd"), sv=field("sv"), sa=field("sa"), psv=field("psv"),
                    psa=field("psa"), ve_rel=field("ve_rel"), ve_abs=field("ve_abs"))


def response_spectrum(acc, dt: float, periods="nga-west2", damping=0.05,
                      energy: bool = False, peaks: str = "sampled") -> Spectrum:
    """The response spectrum of a ground acceleration, as ``sdofspec`` computes it.

    The peaks of a linear oscillator x'' + 2 h w x' + w² x = -a(t) from rest, by the exact
    recurrence for an acceleration linear between samples; a period under ten intervals takes
    sub-steps. The numbers are those of the ``sdofspec`` table, bit for bit.

    Parameters
    ----------
    acc : array_like
        Ground acceleration, cm/s², at intervals of dt (two samples or more, all finite).
    dt : float
        The interval between samples, s.
    periods : str or array_like, default "nga-west2"
        The periods, s, or a grid's name as ``sdof.periods.parse`` takes it.
    damping : float or sequence of float, default 0.05
        The damping ratio, a fraction of critical in [0, 1); a sequence gives one row per ratio.
    energy : bool, default False
        Also the input-energy spectra (``ve_rel``, ``ve_abs``).
    peaks : {"sampled", "continuous"}, default "sampled"
        Where the peaks are taken (``--peaks``): at the samples with sub-steps of at most a
        tenth of the period, or over continuous time, between the samples too.

    Returns
    -------
    Spectrum
        Arrays of one value per period (one row per damping ratio for a sequence).

    Raises
    ------
    ValueError
        For a record or request the library refuses, in its words.
    """
    t = as_periods(periods)
    h, alone = _dampings(damping)
    arrays = _sdof.response_spectrum(_samples(acc), float(dt), t, h, bool(energy), str(peaks))
    return _spectrum(arrays, "", t, h, alone)


@dataclass
class RotD:
    """The rotated spectra of a horizontal pair (Boore 2010): over the angles 0 to 179°, the
    percentiles of the peaks of u1 cos θ + u2 sin θ, for the relative displacement, the
    relative velocity and the absolute acceleration each.

    Arrays have one row per percentile (shape: percentiles x periods), or with several damping
    ratios dampings x percentiles x periods: the rotated rows of ``sdofspec --rotd``.

    Attributes
    ----------
    periods : numpy.ndarray
        The periods, s.
    damping : float or numpy.ndarray
        The damping ratio or ratios.
    percentiles : tuple of float
        The percentiles of the rows, from 0 to 100: 0 is RotD00, 50 RotD50, 100 RotD100.
    sd : numpy.ndarray
        RotDnn of the relative displacement, cm.
    sv : numpy.ndarray
        RotDnn of the relative velocity, cm/s.
    sa : numpy.ndarray
        RotDnn of the absolute acceleration, g.
    psv : numpy.ndarray
        w times RotDnn of the displacement, cm/s.
    psa : numpy.ndarray
        w² times RotDnn of the displacement, g.
    sd_angle, sv_angle, sa_angle : numpy.ndarray
        The angle of each ordinate's RotDnn, whole degrees from the first component towards
        the second: the first angle whose peak is the sorted peak at or below the percentile's
        rank (the table's ``sd_angle_deg``, ``sv_angle_deg``, ``sa_angle_deg``).
    first, second : Spectrum
        The spectra of the two components (Sd, Sv, Sa, PSv, PSa).
    """

    periods: np.ndarray
    damping: float | np.ndarray
    percentiles: tuple
    sd: np.ndarray
    sv: np.ndarray
    sa: np.ndarray
    psv: np.ndarray
    psa: np.ndarray
    sd_angle: np.ndarray
    sv_angle: np.ndarray
    sa_angle: np.ndarray
    first: Spectrum
    second: Spectrum

    @property
    def angle(self) -> np.ndarray:
        """The angle of RotDnn of the displacement, degrees: ``sd_angle``."""
        return self.sd_angle


def rotd(acc1, acc2, dt: float, periods="nga-west2", damping=0.05,
         percentiles=(0, 50, 100), peaks: str = "sampled") -> RotD:
    """RotD of Sd, Sv and Sa of a horizontal pair at any percentiles, with their angles, as
    ``sdofspec --rotd --rotd-percentiles`` computes them, bit for bit.

    Parameters
    ----------
    acc1, acc2 : array_like
        The two horizontal ground accelerations, cm/s², at the same intervals dt; a pair of
        unequal lengths is cut to the shorter, as ``sdofspec`` cuts it.
    dt : float
        The interval between samples, s.
    periods : str or array_like, default "nga-west2"
        The periods, s, or a grid's name.
    damping : float or sequence of float, default 0.05
        The damping ratio in [0, 1); a sequence gives one block of rows per ratio.
    percentiles : sequence of float or str, default (0, 50, 100)
        The percentiles of the 180 angles' peaks, from 0 to 100, none twice, in the rows'
        order (``--rotd-percentiles``: a str is read as its comma list, "0,50,84,100"). A rank
        between two sorted peaks takes the value interpolated linearly between them.
    peaks : {"sampled", "continuous"}, default "sampled"
        Where the peaks of each component and each angle are taken (``--peaks``).

    Returns
    -------
    RotD

    Raises
    ------
    ValueError
        For a record, percentile or request the library refuses.
    """
    q = _percentiles(percentiles)
    t = as_periods(periods)
    h, alone = _dampings(damping)
    arrays = _sdof.rotd(_samples(acc1), _samples(acc2), float(dt), t, h, q, str(peaks))

    def rows(name):
        return arrays[name][0] if alone else arrays[name]

    return RotD(periods=t, damping=float(h[0]) if alone else h,
                percentiles=tuple(float(p) for p in q), sd=rows("sd"), sv=rows("sv"),
                sa=rows("sa"), psv=rows("psv"), psa=rows("psa"), sd_angle=rows("sd_angle"),
                sv_angle=rows("sv_angle"), sa_angle=rows("sa_angle"),
                first=_spectrum(arrays, "first_", t, h, alone),
                second=_spectrum(arrays, "second_", t, h, alone))


def _percentiles(percentiles) -> np.ndarray:
    """RotD percentiles as an array: a comma list as ``--rotd-percentiles`` takes it, or
    numbers."""
    if isinstance(percentiles, str):
        return _sdof.parse_percentiles(percentiles)
    return np.ascontiguousarray(np.atleast_1d(np.asarray(percentiles, dtype=np.float64)))


@dataclass
class Response:
    """The response of one oscillator at every sample of the record.

    Attributes
    ----------
    period : float
        The oscillator's period, s.
    damping : float
        Its damping ratio.
    dt : float
        The interval between samples, s.
    displacement : numpy.ndarray
        Relative displacement, cm.
    velocity : numpy.ndarray
        Relative velocity, cm/s.
    acceleration : numpy.ndarray
        Absolute acceleration of the mass, cm/s² (x'' + a = -2 h w x' - w² x).
    """

    period: float
    damping: float
    dt: float
    displacement: np.ndarray
    velocity: np.ndarray
    acceleration: np.ndarray

    @property
    def time(self) -> np.ndarray:
        """The time of each sample, s: m * dt for sample m."""
        return np.arange(len(self.displacement)) * self.dt


def response(acc, dt: float, period: float, damping: float = 0.05) -> Response:
    """The response histories of one oscillator from rest, at every sample.

    The recurrence and sub-steps of the spectra: where the period takes one step per sample
    (ten intervals or more), the largest |displacement|, |velocity| and |acceleration| over
    the samples are the spectrum's Sd, Sv and Sa (Sa in g: divided by 980.665), bit for bit.

    Parameters
    ----------
    acc : array_like
        Ground acceleration, cm/s², at intervals of dt.
    dt : float
        The interval between samples, s.
    period : float
        The oscillator's period, s.
    damping : float, default 0.05
        Its damping ratio, a fraction of critical in [0, 1).

    Returns
    -------
    Response
        Relative displacement (cm) and velocity (cm/s), absolute acceleration (cm/s²).
    """
    a = _samples(acc)
    x, v, y = _sdof.response(a, float(dt), float(period), float(damping))
    return Response(period=float(period), damping=float(damping), dt=float(dt), displacement=x,
                    velocity=v, acceleration=y)


__all__ = ["Response", "RotD", "Spectrum", "response", "response_spectrum", "rotd"]
