"""The module's processing, inelastic and Fourier functions and the batch's options for them:
the command line's numbers bit for bit where it computes them, independent references where it
does not yet, the shapes documented, failures as exceptions."""

import math

import numpy as np
import pytest

import sdof
from conftest import PEER, table_rows

PERIODS = [0.05, 0.5, 1.0, 3.0]
# Every processing step at once, and inelastic spectra by both targets.
STEPS = dict(pre_event=1.0, taper=0.5, highpass=0.1, lowpass=20.0, order=2, baseline=True)
OPTIONS = ["--periods", "0.05,0.5,1,3", "--pre-event", "1", "--taper", "0.5", "--highpass", "0.1",
           "--lowpass", "20", "--order", "2", "--baseline"]


def test_batch_processes_and_gives_inelastic_spectra_as_the_command_line(records, sdofspec):
    for targets, more in ((["--ductility", "1,2,4"], dict(ductility=[1, 2, 4])),
                          (["--strength-ratio", "2,8", "--alpha", "0.05"],
                           dict(strength_ratio="2,8", alpha=0.05))):
        sdofspec(*OPTIONS, "--rotd", "--ims", "ims.csv", "--inelastic", "inelastic.csv",
                 *targets, "-o", "spectra.csv", *PEER)
        t = sdof.batch(PEER, PERIODS, rotd=True, intensity_measures=True, inelastic=True,
                       **STEPS, **more)
        assert t.to_csv() == (records / "spectra.csv").read_text()
        assert t.intensity.to_csv() == (records / "ims.csv").read_text()
        assert t.inelastic.to_csv() == (records / "inelastic.csv").read_text()
    # Without targets, the command line's ductilities; without processing, no column for it.
    sdofspec("--periods", "0.5,1", "--inelastic", "inelastic.csv", "-o", "spectra.csv", PEER[0])
    t = sdof.batch(PEER[0], [0.5, 1], inelastic=True)
    assert t.inelastic.to_csv() == (records / "inelastic.csv").read_text()
    assert "processing" not in t and t.intensity is None


def test_functions_give_the_tables_numbers(records, sdofspec):
    sdofspec(*OPTIONS, "--inelastic", "inelastic.csv", "--ductility", "1,2,4", "-o",
             "spectra.csv", PEER[0])
    spectra, inelastic = table_rows("spectra.csv"), table_rows("inelastic.csv")
    c = sdof.read(PEER[0])[0]
    p = sdof.process(c.acceleration, c.dt, **STEPS)
    assert "; ".join(p.steps) == spectra[0]["processing"]
    s = sdof.response_spectrum(p.acceleration, p.dt, PERIODS)
    for name, values in (("sd_cm", s.sd), ("sa_g", s.sa), ("psa_g", s.psa)):
        assert np.array_equal(values, [float(r[name]) for r in spectra]), name
    e = sdof.inelastic_spectrum(p.acceleration, p.dt, PERIODS, ductility=[1, 2, 4])
    assert e.fy_norm.shape == e.runs.shape == (len(PERIODS), 3) and e.kind == "ductility"
    for name, values in (("fy_norm", e.fy_norm), ("cy_g", e.cy_g), ("um_cm", e.um_cm),
                         ("ductility", e.ductility), ("vh_cm_s", e.hysteretic_velocity)):
        want = [float(r[name]) if r[name] else np.nan for r in inelastic]
        assert np.array_equal(values.ravel(), want, equal_nan=True), name


def test_processing_pads_and_steps():
    dt, n = 0.01, 3000
    rng = np.random.default_rng(1)
    acc = rng.normal(size=n) + 5.0
    # A high-pass of order n at fc pads ceil(0.75 n / (fc dt)) zeros at each end, and keeps them.
    p = sdof.process(acc, dt, highpass=0.2, order=3)
    pad = math.ceil(0.75 * 3 / (0.2 * dt))
    assert (p.leading_pad, p.trailing_pad) == (pad, pad)
    assert p.acceleration.shape == (n + 2 * pad,) and p.record.shape == (n,)
    # The pre-event mean removed alone: the record less the mean of its samples at t < 10 s;
    # a low-pass adds no pads.
    taken = sdof.process(acc, dt, pre_event=10.0)
    assert np.allclose(taken.acceleration, acc - acc[:1000].mean(), rtol=0, atol=1e-12)
    assert taken.steps[0].startswith("mean")
    assert sdof.process(acc, dt, lowpass=10.0).leading_pad == 0
    # Nothing asked: the record as it came.
    same = sdof.process(acc, dt)
    assert same.steps == [] and np.array_equal(same.acceleration, acc)


def smallest_length(n):
    """The smallest even 2^a 3^b 5^c at or above n, by trying each number in turn."""
    m = max(n, 2)
    while True:
        k = m
        for f in (2, 3, 5):
            while k % f == 0:
                k //= f
        if k == 1 and m % 2 == 0:
            return m
        m += 1


def konno_ohmachi(amplitudes, df, centres, b):
    f = np.arange(len(amplitudes)) * df
    out = []
    for fc in centres:
        with np.errstate(divide="ignore", invalid="ignore"):
            u = b * np.log10(f / fc)
            w = (np.sin(u) / u) ** 4
        w[f == fc] = 1
        w[0] = 0
        out.append(np.sum(w * amplitudes) / np.sum(w))
    return np.array(out)


def test_fourier_spectra_against_numpy():
    dt, n = 0.01, 5346
    rng = np.random.default_rng(2)
    a1, a2 = rng.normal(size=n), rng.normal(size=n - 100)
    raw = sdof.fourier_spectrum(a1, dt, frequencies="raw")
    length = smallest_length(n)
    assert raw.amplitudes.shape == raw.frequencies.shape == (length // 2 + 1,)
    assert raw.df == 1 / (length * dt)
    assert np.array_equal(raw.frequencies, np.arange(length // 2 + 1) * raw.df)
    want = np.abs(np.fft.rfft(a1, length)) * dt
    assert np.max(np.abs(raw.amplitudes - want)) < 1e-12 * np.max(want)
    # Smoothed at the default grid, capped at the Nyquist frequency (50 Hz at 0.01 s).
    smoothed = sdof.fourier_spectrum(a1, dt)
    assert np.allclose(smoothed.frequencies, np.logspace(-1, np.log10(50), 100), rtol=1e-14)
    assert np.allclose(smoothed.amplitudes,
                       konno_ohmachi(raw.amplitudes, raw.df, smoothed.frequencies, 40),
                       rtol=1e-12, atol=0)
    grid = sdof.fourier_spectrum(a1, dt, grid="log:1:10:3", ko_b=188.5)
    assert np.allclose(grid.frequencies, [1, math.sqrt(10), 10], rtol=1e-15)
    # The EAS: both padded to the longer's length, then sqrt((A1² + A2²) / 2) bin by bin.
    eas = sdof.effective_amplitude_spectrum(a1, a2, dt, frequencies="raw")
    other = np.abs(np.fft.rfft(a2, length)) * dt
    assert np.allclose(eas.amplitudes, np.sqrt((want**2 + other**2) / 2), rtol=1e-12,
                       atol=1e-12 * np.max(want))
    rotated = sdof.effective_amplitude_spectrum(a1[:n - 100] * 0.6 + a2 * 0.8,
                                                a2 * 0.6 - a1[:n - 100] * 0.8, dt)
    same = sdof.effective_amplitude_spectrum(a1[:n - 100], a2, dt)
    assert np.allclose(rotated.amplitudes, same.amplitudes, rtol=1e-12)


REFUSED = [
    # The command line's rules, in the library's words.
    (lambda: sdof.process([0, 1, 2, 3], 0.01, taper=1),
     "taper 1 s is longer than half the 0.03 s record"),
    (lambda: sdof.process(np.zeros(100), 0.01, highpass=60),
     "highpass corner 60 Hz is not below the Nyquist frequency 50 Hz"),
    (lambda: sdof.process(np.zeros(100), 0.01, causal=True), "the order and causal need"),
    (lambda: sdof.process(np.zeros(100), 0.01, taper=0.1, causal=True),
     "causal without a filter"),
    (lambda: sdof.inelastic_spectrum([0, 1, 2], 0.01, [1], ductility=0.5),
     "ductility: ductilities are 1 or more, not 0.5"),
    (lambda: sdof.inelastic_spectrum([0, 1, 2], 0.01, [1], strength_ratio="2,x"),
     "not a number: 'x'"),
    (lambda: sdof.inelastic_spectrum([0, 1, 2], 0.01, [1], alpha=1),
     "alpha: alpha, the post-yield stiffness ratio, is from 0 up to (not) 1, not 1"),
    (lambda: sdof.inelastic_spectrum([0, 1, 2], 0.01, [1], ductility=2, strength_ratio=2),
     "ductility or strength_ratio"),
    (lambda: sdof.fourier_spectrum(np.zeros(100), 0.01, grid=[10, 60]), "grid: "),
    (lambda: sdof.fourier_spectrum(np.zeros(100), 0.01, ko_b=0), "ko_b: "),
    (lambda: sdof.fourier_spectrum([1.0], 0.01), "acc: "),
    (lambda: sdof.fourier_spectrum(np.zeros(100), 0.01, frequencies="fine"), "frequencies: "),
    (lambda: sdof.batch(["x.csv"], ductility=2), "ductility, strength_ratio and alpha need"),
    (lambda: sdof.batch(["x.csv"], order=3), "the order and causal need"),
    (lambda: sdof.batch(["x.csv"], highpass=1, lowpass=0.5),
     "highpass corner 1 Hz is not below lowpass corner 0.5 Hz"),
]


@pytest.mark.parametrize("call, words", REFUSED)
def test_refusals_are_value_errors(call, words):
    with pytest.raises(ValueError) as raised:
        call()
    assert words in str(raised.value)
