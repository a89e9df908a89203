"""Processing speed beside SciPy's, on the same samples in the same run.

Usage: /usr/bin/python3 bench/processing_vs_scipy.py [path/to/processing_bench]

Makes one raw component of 16396 samples 0.005 s apart (filtered noise under an envelope, on
an offset and a drift), runs the Google Benchmark processing_bench on it (the samples passed
through PROCESSING_BENCH_SAMPLES), then times on the same samples, in this process:
  - scipy.signal.sosfiltfilt(butter(4, 0.1 Hz, 'highpass', output='sos'), padtype=None) on the
    padded record (mean removed, 2 s taper, 30 s of zeros at each end): beside
    BM_FilterForwardBackward;
  - the whole chain written with NumPy and SciPy (mean, taper, pads, that filter, the baseline
    by np.linalg.lstsq): beside BM_ProcessComponent.
Ours with fresh memory for each call and with the memory kept from call to call (as a run does
on each thread); times are the fastest of repeated runs (CPU time for ours), on one core.
"""

import json
import os
import subprocess
import sys
import tempfile
import timeit

import numpy as np
from scipy import signal

DT = 0.005
N = 16396


def raw_record(seed=1):
    rng = np.random.default_rng(seed)
    fs = 1 / DT
    sos = signal.butter(2, [1.0, 8.0], "bandpass", fs=fs, output="sos")
    t = np.arange(N) * DT
    envelope = (t / 8) ** 2 * np.exp(2 * (1 - t / 8))
    return 100 * envelope * signal.sosfilt(sos, rng.normal(0, 1, N)) + 3.5 + 0.01 * t


def padded(x, taper=2.0, order=4, fc=0.1):
    y = x - np.mean(x)
    t = np.arange(len(y)) * DT
    w = np.where(t < taper, (1 - np.cos(np.pi * t / taper)) / 2, 1.0)
    y = y * w * w[::-1]
    pad = int(np.ceil(0.75 * order / fc / DT - 1e-9))
    return np.concatenate([np.zeros(pad), y, np.zeros(pad)])


def chain(x, sos):
    y = signal.sosfiltfilt(sos, padded(x), padtype=None)
    v = np.concatenate([[0], np.cumsum((y[:-1] + y[1:]) * (DT / 2))])
    d = np.concatenate([[0], np.cumsum((v[:-1] + v[1:]) * (DT / 2))])
    tau = np.arange(len(y)) / (len(y) - 1)
    basis = np.stack([tau ** k for k in range(2, 7)], axis=1)
    scaled, *_ = np.linalg.lstsq(basis, d, rcond=None)
    span = (len(y) - 1) * DT
    return y - sum(k * (k - 1) * scaled[k - 2] * tau ** (k - 2) for k in range(2, 7)) / span ** 2


def fastest(call, seconds=2.0):
    number = max(1, int(0.05 / max(timeit.timeit(call, number=1), 1e-6)))
    runs = max(5, int(seconds / (timeit.timeit(call, number=number) + 1e-9)))
    return min(timeit.repeat(call, number=number, repeat=runs)) / number


def main():
    bench = sys.argv[1] if len(sys.argv) > 1 else "build/h/bench/processing_bench"
    x = raw_record()
    with tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False) as f:
        f.write("\n".join(repr(float(v)) for v in x))
        samples = f.name
    try:
        done = subprocess.run(
            [bench, "--benchmark_format=json", "--benchmark_repetitions=5",
             "--benchmark_filter=BM_ProcessComponent|BM_FilterForwardBackward(InRoom)?$"],
            env={**os.environ, "PROCESSING_BENCH_SAMPLES": samples},
            capture_output=True, text=True, check=True)
    finally:
        os.unlink(samples)
    ours = {}
    for b in json.loads(done.stdout)["benchmarks"]:
        if b.get("run_type") == "iteration":
            ours[b["run_name"]] = min(ours.get(b["run_name"], 1e30), b["cpu_time"] * 1e-9)

    sos = signal.butter(4, 0.1, "highpass", fs=1 / DT, output="sos")
    p = padded(x)
    scipy_filter = fastest(lambda: signal.sosfiltfilt(sos, p, padtype=None))
    numpy_chain = fastest(lambda: chain(x, sos))

    print(f"one component: {N} samples at {DT} s; padded to {len(p)} for the order-4 high-pass"
          " at 0.1 Hz")
    rows = [("forward-backward filter", "BM_FilterForwardBackward", scipy_filter, "sosfiltfilt"),
            ("  room kept", "BM_FilterForwardBackwardInRoom", scipy_filter, "sosfiltfilt"),
            ("whole chain", "BM_ProcessComponent", numpy_chain, "NumPy+SciPy"),
            ("  workspace kept", "BM_ProcessComponentInWorkspace", numpy_chain, "NumPy+SciPy")]
    for name, benchmark, theirs, what in rows:
        mine = ours[benchmark]
        print(f"{name:26s} {mine * 1e3:7.3f} ms   {what:12s} {theirs * 1e3:7.3f} ms"
              f"   ratio {theirs / mine:5.1f}x")


if __name__ == "__main__":
    main()
