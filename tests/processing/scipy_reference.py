"""The processing against SciPy and NumPy on random records.

Usage: scipy_reference.py path/to/process_tool

1. The Butterworth filters alone (process_tool --filter-only) against scipy.signal: butter(...,
   output='sos') (a band-pass as the high-pass's sections then the low-pass's), sosfilt for the
   causal filter and sosfiltfilt(..., padtype=None) for the acausal one, within 1e-12 of the
   record's peak, for corners from 1e-3 of the sampling rate (or 1 / duration) to 0.4 of it.
   Records start away from zero, so that the acausal filter's starting states count, and are of
   every length, so that long records' blocks and the samples past them count.
2. Lower corners: there the output hangs on the last bits of the coefficients, and SciPy's own
   result differs from the exact filter by more than 1e-12 of the peak (6e-12 at 1.3e-4 of the
   sampling rate, order 4). Both are compared with the exact filter (the same design and passes
   in 30-digit arithmetic, mpmath), and ours must be within 4 times SciPy's error.
3. The whole chain (mean, taper, pads, filter, baseline) against the same steps written here
   with NumPy (np.linalg.lstsq for the baseline fit), within 1e-9 of the record's peak.

Exits with 77 (reported by CTest as skipped) where NumPy or SciPy is missing.
"""

import subprocess
import sys

try:
    import mpmath as mp
    import numpy as np
    from scipy import signal
except ImportError as missing:
    print(f"skipped: the reference needs NumPy, SciPy and mpmath ({missing})")
    sys.exit(77)


def run(tool, samples, dt, options):
    text = "\n".join(repr(float(v)) for v in samples)
    done = subprocess.run([tool, "--dt", repr(dt)] + options, input=text, capture_output=True,
                          text=True, check=True)
    values = done.stdout.split()
    return int(values[0]), np.array([float(v) for v in values[1:]])


def sos_of(kind, order, fc, dt):
    fs = 1 / dt
    if kind == "highpass":
        return signal.butter(order, fc[0], "highpass", fs=fs, output="sos")
    if kind == "lowpass":
        return signal.butter(order, fc[1], "lowpass", fs=fs, output="sos")
    return np.vstack([signal.butter(order, fc[0], "highpass", fs=fs, output="sos"),
                      signal.butter(order, fc[1], "lowpass", fs=fs, output="sos")])


def options_of(kind, order, fc, causal):
    options = ["--order", str(order)]
    if kind in ("highpass", "bandpass"):
        options += ["--highpass", repr(fc[0])]
    if kind in ("lowpass", "bandpass"):
        options += ["--lowpass", repr(fc[1])]
    if causal:
        options.append("--causal")
    return options


def random_case(rng, lowest=0.0):
    dt = float(rng.choice([0.005, 0.01, 0.02]))
    n = int(rng.choice([rng.integers(50, 1000), rng.integers(1000, 40000)]))
    duration = (n - 1) * dt
    nyquist = 0.5 / dt
    # Corners from 1 / duration (or `lowest` of the sampling rate) to 0.8 of the Nyquist
    # frequency, evenly in their logarithm.
    low = np.log(max(1.0 / duration, lowest / dt))
    high = np.log(0.8 * nyquist)
    fc = np.sort(np.exp(rng.uniform(low, high, 2)))
    if fc[1] < fc[0] * 1.01:
        fc[1] = min(fc[0] * 2, 0.9 * nyquist)
    kind = str(rng.choice(["highpass", "lowpass", "bandpass"]))
    order = int(rng.integers(1, 9))
    causal = bool(rng.integers(0, 2))
    # Noise on a random walk and an offset: every frequency, and a first value far from zero.
    x = rng.normal(0, 50, n) + np.cumsum(rng.normal(0, 5, n)) + rng.uniform(-200, 200)
    return dt, x, kind, order, [float(f) for f in fc], causal


def check_filters(tool, rng, cases):
    worst = 0.0
    for case in range(cases):
        dt, x, kind, order, fc, causal = random_case(rng, lowest=1e-3)
        sos = sos_of(kind, order, fc, dt)
        expected = signal.sosfilt(sos, x) if causal else signal.sosfiltfilt(sos, x, padtype=None)
        _, got = run(tool, x, dt, options_of(kind, order, fc, causal) + ["--filter-only"])
        error = np.max(np.abs(got - expected)) / np.max(np.abs(x))
        worst = max(worst, error)
        if not error <= 1e-12:
            print(f"filter case {case}: {kind} order {order} at {fc} Hz, dt {dt}, {len(x)} samples,"
                  f" {'causal' if causal else 'acausal'}: error {error:.3g} of the peak")
            return False
    print(f"filters: {cases} records, largest difference {worst:.3g} of the peak")
    return True


def exact_design(kind, order, fc, dt):
    """The sections of butterworth.cc, in mpmath: the bilinear transform of the prototype."""
    k = mp.tan(mp.pi * mp.mpf(fc) * mp.mpf(dt))
    sign = 1 if kind == "lowpass" else -1
    sections = []
    gain = mp.mpf(1)
    if order % 2:
        gain = k / (1 + k) if kind == "lowpass" else 1 / (1 + k)
        sections.append([1, sign, 0, (k - 1) / (1 + k), 0])
    for pair in range(order // 2 - 1, -1, -1):
        sigma = -mp.sin(mp.pi * (2 * pair + 1) / (2 * order))
        d = 1 - 2 * sigma * k + k * k
        gain *= k * k / d if kind == "lowpass" else 1 / d
        sections.append([1, 2 * sign, 1, -2 * (1 - k * k) / d, (1 + 2 * sigma * k + k * k) / d])
    sections[0][:3] = [c * gain for c in sections[0][:3]]
    return sections


def exact_forward_backward(sections, x):
    def steady(value):
        state, u = [], value
        for b0, b1, b2, a1, a2 in sections:
            y = u * (b0 + b1 + b2) / (1 + a1 + a2)
            z2 = b2 * u - a2 * y
            state.append([b1 * u + z2 - a1 * y, z2])
            u = y
        return state

    def run(values, state):
        out = []
        for v in values:
            for z, (b0, b1, b2, a1, a2) in zip(state, sections):
                y = b0 * v + z[0]
                z[0] = b1 * v + z[1] - a1 * y
                z[1] = b2 * v - a2 * y
                v = y
            out.append(v)
        return out

    values = [mp.mpf(float(v)) for v in x]
    forward = run(values, steady(values[0]))
    return np.array([float(v) for v in run(forward[::-1], steady(forward[-1]))[::-1]])


def check_low_corners(tool, rng):
    mp.mp.dps = 30
    ok = True
    # (kind, order, corner as a share of the sampling rate): high-passes at low corners, a
    # low-pass near the Nyquist frequency, where the poles crowd z = -1.
    for kind, order, share in [("highpass", 4, 1.3e-4), ("highpass", 3, 2e-4),
                               ("highpass", 8, 4e-4), ("lowpass", 5, 0.48)]:
        dt = 0.005
        fc = share / dt
        n = int(rng.integers(3000, 6000))
        pad = int(np.ceil(0.75 * order / fc / dt)) if kind == "highpass" else 0
        x = np.concatenate([np.zeros(pad), rng.normal(0, 50, n) + np.cumsum(rng.normal(0, 5, n)),
                            np.zeros(pad)])
        exact = exact_forward_backward(exact_design(kind, order, fc, dt), x)
        sos = sos_of(kind, order, [fc, fc], dt)
        peak = np.max(np.abs(x))
        scipy_error = np.max(np.abs(signal.sosfiltfilt(sos, x, padtype=None) - exact)) / peak
        fcs = [fc, fc]
        _, got = run(tool, x, dt, options_of(kind, order, fcs, False) + ["--filter-only"])
        error = np.max(np.abs(got - exact)) / peak
        print(f"{kind} order {order} at {share:g} of the sampling rate, {len(x)} samples: error"
              f" {error:.3g} of the peak (SciPy's {scipy_error:.3g})")
        ok = ok and error <= 4 * scipy_error
    return ok


def numpy_chain(x, dt, kind, order, fc, causal, taper, pre_event, baseline):
    n = len(x)
    y = np.array(x, dtype=float)
    window = n if pre_event is None else int(np.ceil(pre_event / dt - 1e-9))
    y -= np.mean(y[:window])
    if taper is not None:
        t = np.arange(n) * dt
        w = np.where(t < taper, (1 - np.cos(np.pi * t / taper)) / 2, 1.0)
        y *= w * w[::-1]
    pad = 0
    if kind in ("highpass", "bandpass"):
        pad = int(np.ceil(0.75 * order / fc[0] / dt - 1e-9))
    y = np.concatenate([np.zeros(pad), y, np.zeros(pad)])
    sos = sos_of(kind, order, fc, dt)
    y = signal.sosfilt(sos, y) if causal else signal.sosfiltfilt(sos, y, padtype=None)
    if baseline:
        v = np.concatenate([[0], np.cumsum((y[:-1] + y[1:]) * (dt / 2))])
        d = np.concatenate([[0], np.cumsum((v[:-1] + v[1:]) * (dt / 2))])
        tau = np.arange(len(y)) / (len(y) - 1)
        basis = np.stack([tau ** k for k in range(2, 7)], axis=1)
        scaled, *_ = np.linalg.lstsq(basis, d, rcond=None)
        span = (len(y) - 1) * dt
        curvature = sum(k * (k - 1) * scaled[k - 2] * tau ** (k - 2) for k in range(2, 7))
        y = y - curvature / span ** 2
    return pad, y


def check_chain(tool, rng, cases):
    worst = 0.0
    for case in range(cases):
        dt, x, kind, order, fc, causal = random_case(rng)
        duration = (len(x) - 1) * dt
        taper = float(rng.uniform(0.01, 0.5) * duration) if rng.integers(0, 2) else None
        pre_event = float(rng.uniform(0.01, 1) * duration) if rng.integers(0, 2) else None
        baseline = bool(rng.integers(0, 2))
        options = options_of(kind, order, fc, causal)
        if taper is not None:
            options += ["--taper", repr(taper)]
        if pre_event is not None:
            options += ["--pre-event", repr(pre_event)]
        if baseline:
            options.append("--baseline")
        pad, expected = numpy_chain(x, dt, kind, order, fc, causal, taper, pre_event, baseline)
        got_pad, got = run(tool, x, dt, options)
        error = np.max(np.abs(got - expected)) / np.max(np.abs(x))
        worst = max(worst, error)
        if got_pad != pad or len(got) != len(expected) or not error <= 1e-9:
            print(f"chain case {case}: {' '.join(options)}, dt {dt}, {len(x)} samples: pads"
                  f" {got_pad} (expected {pad}), error {error:.3g} of the peak")
            return False
    print(f"whole chain: {cases} records, largest difference {worst:.3g} of the peak")
    return True


def main():
    tool = sys.argv[1]
    rng = np.random.default_rng(20240601)
    ok = check_filters(tool, rng, 60)
    ok = check_low_corners(tool, rng) and ok
    ok = check_chain(tool, rng, 30) and ok
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
