"""NumPy as the reference of sdof's Fourier spectra: the FAS of random records against
numpy.fft.rfft, and the Konno-Ohmachi smoothing against the full matrix of weights evaluated
element by element (the way the seismology libraries in Python do it).

Usage: fourier_reference.py FOURIER_DRIVER. Exits 77 (skipped) where NumPy is missing."""
import subprocess
import sys

try:
    import numpy as np
except ImportError:
    print("NumPy is missing (apt-get install python3-numpy): the reference test is skipped")
    sys.exit(77)


def run(driver, args, x):
    text = "".join("%.17g\n" % v for v in x)
    out = subprocess.run([driver] + args, input=text, capture_output=True, text=True, check=True)
    return out.stdout.split("\n")


def konno_ohmachi(frequencies, amplitudes, centres, b):
    with np.errstate(divide="ignore", invalid="ignore"):
        u = b * np.log10(frequencies[np.newaxis, :] / centres[:, np.newaxis])
        w = (np.sin(u) / u) ** 4
    w[u == 0] = 1
    w[:, frequencies == 0] = 0
    return (w @ amplitudes) / w.sum(axis=1)


def main():
    driver = sys.argv[1]
    rng = np.random.default_rng(23)
    worst_fas = worst_smoothed = 0.0
    for n, dt in [(2, 0.01), (3, 0.02), (100, 0.005), (999, 0.01), (5346, 0.01), (16396, 0.005)]:
        x = rng.normal(0, 50, n) * np.exp(-np.linspace(0, 3, n))
        lines = run(driver, ["fas", repr(dt)], x)
        length, df = int(lines[0].split()[0]), float(lines[0].split()[1])
        ours = np.array([float(v) for v in lines[1:] if v])
        reference = np.abs(np.fft.rfft(x, length)) * dt
        assert ours.shape == reference.shape, (n, ours.shape, reference.shape)
        assert df == 1 / (length * dt), (n, df)
        worst_fas = max(worst_fas, np.max(np.abs(ours - reference)) / np.max(reference))
        if n < 100:
            continue
        for b in (40.0, 188.5):
            grid = "log:0.1:%r:100" % (0.5 / dt)
            smoothed = np.array([float(v) for v in run(driver, ["smooth", repr(dt), repr(b), grid], x) if v])
            centres = np.geomspace(0.1, 0.5 / dt, 100)
            expected = konno_ohmachi(np.arange(len(reference)) * df, reference, centres, b)
            worst_smoothed = max(worst_smoothed, np.max(np.abs(smoothed / expected - 1)))
    print("FAS: largest difference %.3g of the peak; smoothed: largest relative difference %.3g"
          % (worst_fas, worst_smoothed))
    if worst_fas > 1e-12 or worst_smoothed > 1e-12:
        print("more than 1e-12 from NumPy")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
