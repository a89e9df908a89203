"""Konno-Ohmachi smoothing in NumPy as Python's seismology libraries do it (the whole matrix of
weights at once, vectorised) against sdof's on the same spectrum: El Centro's NS repeated to
16,396 samples (sample j is sample j mod 5346, as bench/fourier_bench.cc builds it), padded to
17,280, smoothed with b = 40 at 100 log-spaced frequencies from 0.1 to 50 Hz. Also: the share
of the weights that a cut could leave out while changing no smoothed value by more than 1e-9.

Usage: /usr/bin/python3 bench/fourier_vs_numpy.py [BUILD/bench/fourier_bench]
"""
import json
import os
import subprocess
import sys
import time

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
SAMPLES, LENGTH, B = 16396, 17280, 40.0


def spectra():
    table = np.loadtxt(os.path.join(HERE, "..", "examples", "elcentro1940-array9.csv"),
                       delimiter=",", skiprows=1)
    dt = table[1, 0] - table[0, 0]
    rows = np.arange(SAMPLES) % len(table)
    fas = [np.abs(np.fft.rfft(table[rows, c], LENGTH)) * dt for c in (1, 2, 3)]
    fas.append(np.sqrt((fas[0] ** 2 + fas[1] ** 2) / 2))
    return np.arange(LENGTH // 2 + 1) / (LENGTH * dt), np.array(fas)


def weights(frequencies, centres, b):
    """W(f, fc) = [sin(b log10(f/fc)) / (b log10(f/fc))]^4, a row per centre."""
    with np.errstate(divide="ignore", invalid="ignore"):
        u = b * np.log10(frequencies[np.newaxis, :] / centres[:, np.newaxis])
        w = (np.sin(u) / u) ** 4
    w[u == 0] = 1
    w[:, frequencies == 0] = 0
    return w, u


def smooth(frequencies, amplitudes, centres, b):
    w, _ = weights(frequencies, centres, b)
    return (amplitudes @ w.T) / w.sum(axis=1)


def best_time(f, runs=15):
    """The least processor time of some runs (a shared machine's other work left out)."""
    best = float("inf")
    for _ in range(runs):
        start = time.process_time()
        f()
        best = min(best, time.process_time() - start)
    return best


def kept_by_best_cut(frequencies, amplitudes, centres, b, tolerance=1e-9):
    """The share of the weights that the narrowest window in |u| about each centre keeps such
    that the weights outside change neither the numerator nor the denominator by more than
    tolerance of the kept part (which bounds the change of the mean by the same): a cut that
    knows the whole spectrum, the best any cut could do."""
    w, u = weights(frequencies, centres, b)
    kept = 0
    for j in range(len(centres)):
        order = np.argsort(np.abs(u[j]))
        denominator = np.cumsum(w[j][order])
        numerator = np.cumsum((w[j] * amplitudes)[order])
        fits = ((numerator[-1] - numerator <= tolerance * numerator) &
                (denominator[-1] - denominator <= tolerance * denominator))
        misses = np.nonzero(~fits)[0]
        kept += misses[-1] + 2 if len(misses) else 1
    return kept / w.size


def ours(bench):
    out = subprocess.run([bench, "--benchmark_filter=^Smoothing/|^RecordWithPlan",
                          "--benchmark_repetitions=10", "--benchmark_min_time=0.05", "--benchmark_format=json"],
                         capture_output=True, text=True, check=True)
    times = {}
    for run in json.loads(out.stdout)["benchmarks"]:
        if run.get("run_type") == "iteration":
            name = run["run_name"]
            times[name] = min(times.get(name, float("inf")), run["cpu_time"] * 1e-6)
    return times


def main():
    frequencies, amplitudes = spectra()
    centres = np.geomspace(0.1, 50, 100)
    numpy_one = best_time(lambda: smooth(frequencies, amplitudes[0], centres, B))
    numpy_four = best_time(lambda: smooth(frequencies, amplitudes, centres, B))
    print("NumPy %s, %d bins, %d centres, b = %g; least processor time of several runs"
          % (np.__version__, len(frequencies), len(centres), B))
    print("  NumPy smoothing, 1 spectrum:  %8.2f ms" % (numpy_one * 1e3))
    print("  NumPy smoothing, 4 spectra:   %8.2f ms" % (numpy_four * 1e3))
    if len(sys.argv) > 1:
        t = ours(sys.argv[1])
        one, four = t["Smoothing/1"], t["Smoothing/4"]
        print("  sdof smoothing, 1 spectrum:   %8.3f ms  (NumPy / sdof = %.0f)"
              % (one * 1e3, numpy_one / one))
        print("  sdof smoothing, 4 spectra:    %8.3f ms  (NumPy / sdof = %.0f)"
              % (four * 1e3, numpy_four / four))
        print("  sdof, whole record (3 FAS, EAS, smoothing of 4): %.3f ms"
              % (t["RecordWithPlan"] * 1e3))
    for b in (40.0, 188.5):
        print("  a cut within 1e-9 keeps %.1f %% of the weights at b = %g"
              % (100 * kept_by_best_cut(frequencies, amplitudes[0], centres, b), b))


if __name__ == "__main__":
    main()
