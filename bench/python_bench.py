#!/usr/bin/env python3
"""The Python module's speed against the library's own and the command line's:

1. sdof.response_spectrum on a record of 16,396 samples at the 111 NGA-West2 periods, 5%,
   against the library's time for the same work (bench/binding_bench.cc): the binding's
   overhead;
2. sdof.batch on the 200-record benchmark (the records of bench/batch_end_to_end.sh, --rotd
   and the intensity measures) against sdofspec's run, and their tables compared;
3. the same spectrum from the peers' Python functions where they are installed, and from the
   same recurrence in NumPy, vectorised over the periods as the peers vectorise it.

Usage: /usr/bin/python3 bench/python_bench.py [BUILD] [--records N] [--rounds N] [--no-batch]
BUILD is a build folder with the benchmarks (-DSDOFRESP_BENCH=ON) and the module (default
build/bench). The machine's load is printed with the figures: other work on the cores shows in
them.
"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

here = Path(__file__).resolve().parent
parser = argparse.ArgumentParser()
parser.add_argument("build", nargs="?", default="build/bench")
parser.add_argument("--records", type=int, default=200)
parser.add_argument("--rounds", type=int, default=3)
parser.add_argument("--no-batch", action="store_true")
arguments = parser.parse_args()
build = Path(arguments.build).resolve()
count, rounds = arguments.records, arguments.rounds
sys.path.insert(0, str(build / "python"))

import numpy as np  # noqa: E402

import sdof  # noqa: E402


def synthetic_record(path: Path, seed: int) -> None:
    """One record of bench/batch_end_to_end.sh: 16,396 samples at 0.005 s, three components."""
    with open(path, "w") as out:
        subprocess.run(["awk", "-v", "samples=16396", "-v", f"seed={seed}", "-v", "peak=8",
                        "-v", "noise=1000", "-f", str(here / "synthetic_record.awk")],
                       stdout=out, check=True)


def best_and_median(call, number: int, repeat: int):
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        for _ in range(number):
            call()
        times.append((time.perf_counter() - start) / number)
    return min(times), float(np.median(times))


def library_time(record: Path):
    done = subprocess.run(
        [str(build / "bench" / "binding_bench"), "--benchmark_format=json",
         "--benchmark_repetitions=15", "--benchmark_min_time=0.3"],
        env={**os.environ, "SDOF_BENCH_RECORD": str(record)}, capture_output=True, text=True,
        check=True)
    runs = [b for b in json.loads(done.stdout)["benchmarks"] if b.get("run_type") == "iteration"]
    per_call = [b["real_time"] / 1e3 for b in runs]  # ms to s
    return min(per_call), float(np.median(per_call))


def numpy_spectrum(acc, dt, periods, damping):
    """Sd at each period by the piecewise-exact recurrence for a load linear between samples
    (the coefficients of Chopra's Dynamics of Structures, table 5.2.1), one step per sample,
    each step on arrays over the periods: the way the Python peers loop."""
    w = 2 * np.pi / periods
    k = w * w
    root = np.sqrt(1 - damping**2)
    wd = w * root
    e = np.exp(-damping * w * dt)
    s, c = np.sin(wd * dt), np.cos(wd * dt)
    r = 2 * damping / (w * dt)
    a = e * (damping / root * s + c)
    b = e * s / wd
    cc = (r + e * (((1 - 2 * damping**2) / (wd * dt) - damping / root) * s - (1 + r) * c)) / k
    d = (1 - r + e * ((2 * damping**2 - 1) / (wd * dt) * s + r * c)) / k
    a_ = -e * w / root * s
    b_ = e * (c - damping / root * s)
    c_ = (-1 / dt + e * ((w / root + damping / (dt * root)) * s + c / dt)) / k
    d_ = (1 - e * (damping / root * s + c)) / (k * dt)
    load = -acc
    x = np.zeros_like(periods)
    v = np.zeros_like(periods)
    peak = np.zeros_like(periods)
    for m in range(1, len(acc)):
        x, v = (a * x + b * v + cc * load[m - 1] + d * load[m],
                a_ * x + b_ * v + c_ * load[m - 1] + d_ * load[m])
        np.maximum(peak, np.abs(x), out=peak)
    return peak


def lsim_spectrum(acc, dt, periods, damping):
    """Sd at each period by scipy.signal.lsim (the state-space solution for an input linear
    between samples, one period at a time): the plain SciPy way."""
    from scipy import signal

    t = np.arange(len(acc)) * dt
    peak = np.empty_like(periods)
    for i, period in enumerate(periods):
        w = 2 * np.pi / period
        system = signal.lti([[0, 1], [-w * w, -2 * damping * w]], [[0], [-1]], [[1, 0]], [[0]])
        _, x, _ = signal.lsim(system, acc, t)
        peak[i] = np.max(np.abs(x))
    return peak


def main():
    work = Path(tempfile.mkdtemp())
    try:
        measure(work)
    finally:
        shutil.rmtree(work)


def measure(work: Path):
    record = work / "record.csv"
    synthetic_record(record, 1)
    c = sdof.read(record)[0]
    acc, dt = c.acceleration, c.dt
    periods = sdof.periods.nga_west2
    print(f"load            {os.getloadavg()[0]:.1f} (1-minute average) on {os.cpu_count()} cores")
    print(f"record          {len(acc)} samples at {dt} s, 111 periods, 5% damping")

    # 1. The binding's overhead, the two measured in turn, each sample about 0.3 s long as
    # Google Benchmark's (--benchmark_min_time=0.3): shorter samples would catch more of the
    # other work on the machine in their median.
    spectrum = lambda: sdof.response_spectrum(acc, dt, periods)  # noqa: E731
    number = max(20, round(0.3 / best_and_median(spectrum, 20, 3)[0]))
    library, binding = [], []
    for _ in range(rounds):
        library.append(library_time(record))
        binding.append(best_and_median(spectrum, number, 15))
    # The best of each round's best, and the median of the rounds' medians.
    lib_best, lib_median = min(t[0] for t in library), float(np.median([t[1] for t in library]))
    py_best, py_median = min(t[0] for t in binding), float(np.median([t[1] for t in binding]))
    print(f"library         best {lib_best * 1e3:.3f} ms, median {lib_median * 1e3:.3f} ms")
    print(f"sdof (Python)   best {py_best * 1e3:.3f} ms, median {py_median * 1e3:.3f} ms")
    print(f"overhead        best {100 * (py_best / lib_best - 1):+.2f} %, "
          f"median {100 * (py_median / lib_median - 1):+.2f} %")
    call = best_and_median(lambda: sdof.response_spectrum(acc[:2], dt, [1.0]), 2000, 5)[0]
    print(f"one call        {call * 1e6:.1f} us on two samples at one period (the fixed cost): "
          f"{100 * call / lib_best:.2f} % of the library's best")

    # 3. Peers, on the same record and periods.
    print("peers (5% PSa at the 111 periods):")
    ours = sdof.response_spectrum(acc, dt, periods).psa
    for name, run in (
            ("pyrotd.calc_spec_accels",
             lambda m: m.calc_spec_accels(dt, acc / 980.665, 1 / periods, 0.05)),
            ("eqsig.sdof.pseudo_response_spectra",
             lambda m: m.sdof.pseudo_response_spectra(acc / 980.665, dt, periods, 0.05))):
        module = name.split(".")[0]
        try:
            peer = __import__(module)
        except ImportError:
            print(f"  {name:38s} not installed (not packaged in Debian)")
            continue
        best, _ = best_and_median(lambda: run(peer), 1, 3)
        print(f"  {name:38s} {best * 1e3:9.1f} ms  ({best / py_best:.0f} x sdof)")
    best, _ = best_and_median(lambda: numpy_spectrum(acc, dt, periods, 0.05), 1, 3)
    sd = numpy_spectrum(acc, dt, periods, 0.05)
    one_step = periods >= 10 * dt
    agree = np.max(np.abs(sd[one_step] * (2 * np.pi / periods[one_step]) ** 2 / 980.665
                          / ours[one_step] - 1))
    print(f"  {'NumPy, vectorised over the periods':38s} {best * 1e3:9.1f} ms  "
          f"({best / py_best:.0f} x sdof; PSa within {agree:.1e} where no sub-steps)")
    try:
        best, _ = best_and_median(lambda: lsim_spectrum(acc, dt, periods, 0.05), 1, 3)
        sd = lsim_spectrum(acc, dt, periods, 0.05)
        agree = np.max(np.abs(sd[one_step] * (2 * np.pi / periods[one_step]) ** 2 / 980.665
                              / ours[one_step] - 1))
        print(f"  {'SciPy, signal.lsim period by period':38s} {best * 1e3:9.1f} ms  "
              f"({best / py_best:.0f} x sdof; PSa within {agree:.1e} where no sub-steps)")
    except ImportError:
        print(f"  {'SciPy, signal.lsim period by period':38s} not installed")
    print(f"  {'sdof.response_spectrum':38s} {py_best * 1e3:9.1f} ms")

    # 2. The batch against the command line.
    if arguments.no_batch:
        return
    for r in range(count):
        synthetic_record(work / f"record{r}.csv", r + 1)
    (work / "list").write_text("".join(f"{work}/record{r}.csv\n" for r in range(count)))
    cli, module = [], []
    for _ in range(rounds):
        start = time.perf_counter()
        subprocess.run([str(build / "sdofspec"), "--rotd", "--ims", str(work / "ims.csv"),
                        "-o", str(work / "spectra.csv"), f"@{work}/list"], check=True)
        cli.append(time.perf_counter() - start)
        start = time.perf_counter()
        table = sdof.batch([f"@{work}/list"], rotd=True, intensity_measures=True)
        module.append(time.perf_counter() - start)
    same = (table.to_csv() == (work / "spectra.csv").read_text()
            and table.intensity.to_csv() == (work / "ims.csv").read_text())
    print(f"batch           {count} records x 16396 samples x 3 components, 111 periods, RotD, "
          f"IMs, {os.cpu_count()} threads")
    cli_median, module_median = float(np.median(cli)), float(np.median(module))
    print(f"  sdofspec      best {min(cli):.2f} s, median {cli_median:.2f} s")
    print(f"  sdof.batch    best {min(module):.2f} s, median {module_median:.2f} s "
          f"({100 * (module_median / cli_median - 1):+.1f} % on the medians), "
          f"tables {'the same' if same else 'DIFFERENT'}")
    print(f"load            {os.getloadavg()[0]:.1f} at the end")


if __name__ == "__main__":
    main()
