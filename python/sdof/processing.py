"""The processing of a raw component before any measure, as ``sdofspec`` applies it."""

from __future__ import annotations

from dataclasses import dataclass

import numpy as np

from . import _sdof
from .spectra import _samples


@dataclass
class Processed:
    """A processed component.

    Attributes
    ----------
    acceleration : numpy.ndarray
        The processed acceleration, cm/s², with the zero pads the high-pass filter adds at each
        end (kept, as ``sdofspec`` keeps them).
    dt : float
        The interval between samples, s.
    leading_pad, trailing_pad : int
        The samples added before the record's first sample and after its last.
    steps : list of str
        What was done, one text per step in the order they ran, as the tables' ``processing``
        column says it ("mean removed", "highpass 0.1 Hz order 4 acausal"...).
    """

    acceleration: np.ndarray
    dt: float
    leading_pad: int
    trailing_pad: int
    steps: list

    @property
    def record(self) -> np.ndarray:
        """The samples of the record's own times, without the pads (a view)."""
        return self.acceleration[self.leading_pad:len(self.acceleration) - self.trailing_pad]


def process(acc, dt: float, *, pre_event: float | None = None, taper: float | None = None,
            highpass: float | None = None, lowpass: float | None = None, order: int = 4,
            causal: bool = False, baseline: bool = False) -> Processed:
    """Mean removal, taper, zero pads, Butterworth filters and baseline correction, in that
    order, as ``sdofspec --pre-event --taper --highpass --lowpass --order --causal --baseline``
    applies them to every component before any measure, bit for bit.

    With any step asked, the mean (of the whole record, or of the samples before `pre_event`)
    is removed first; with nothing asked, the record comes back unchanged.

    Parameters
    ----------
    acc : array_like
        Ground acceleration, cm/s², at intervals of dt.
    dt : float
        The interval between samples, s.
    pre_event : float, optional
        Remove the mean of the samples at t < pre_event, s, rather than the whole record's.
    taper : float, optional
        A half-cosine (Hann) taper this long at each end, s (at most half the record).
    highpass, lowpass : float, optional
        Butterworth corners, Hz: a high-pass, a low-pass, or both (band-pass); each below the
        Nyquist frequency and above 1 / duration. A high-pass adds ceil(0.75 order / (fc dt))
        zeros at each end.
    order : int, default 4
        The filters' order, 1 to 8.
    causal : bool, default False
        One pass forward (magnitude |H|) rather than forward and backward (zero phase,
        magnitude |H|²); needs a filter.
    baseline : bool, default False
        Remove the degree-6 polynomial fitted to the displacement (without its constant and
        linear terms) after filtering.

    Returns
    -------
    Processed

    Raises
    ------
    ValueError
        For steps the command line refuses, in its words (a corner at or above the Nyquist
        frequency, causal without a filter, ...).
    """
    a, padded_before, padded_after, steps = _sdof.process(
        _samples(acc), float(dt), pre_event, taper, highpass, lowpass, int(order), bool(causal),
        bool(baseline))
    return Processed(acceleration=a, dt=float(dt), leading_pad=padded_before,
                     trailing_pad=padded_after, steps=steps)


__all__ = ["Processed", "process"]
