#!/usr/bin/env python3
"""The worked example of docs/python.md: El Centro 1940 (array #9) read, its response
spectrum, RotD50 of its horizontal pair, its intensity measures, one oscillator's response,
and a picture of the spectra where matplotlib is installed.

Usage: python3 examples/python_elcentro.py [PICTURE.svg]
"""

import sys
from pathlib import Path

import numpy as np

import sdof

record = sdof.read(Path(__file__).with_name("elcentro1940-array9.csv"))
ns, ew, ud = record
print(f"{ns.channel}: {len(ns.acceleration)} samples at {ns.dt} s, "
      f"peak {np.abs(ns.acceleration).max() / 980.665:.3f} g")

spectrum = sdof.response_spectrum(ns.acceleration, ns.dt)  # NGA-West2 periods, 5% damping
at_1s = np.searchsorted(spectrum.periods, 1.0)
print(f"T = 1 s: Sd {spectrum.sd[at_1s]:.2f} cm, PSa {spectrum.psa[at_1s]:.3f} g")

pair = sdof.rotd(ns.acceleration, ew.acceleration, ns.dt)
rotd50 = pair.psa[pair.percentiles.index(50)]
rotd100 = pair.percentiles.index(100)
print(f"T = 1 s: RotD50 PSa {rotd50[at_1s]:.3f} g; RotD100 {pair.psa[rotd100][at_1s]:.3f} g "
      f"at {pair.angle[rotd100][at_1s]:.0f} degrees from NS towards EW")

ims = sdof.intensity_measures(ns.acceleration, ns.dt)
print(f"PGA {ims['pga_g']:.3f} g, PGV {ims['pgv_cm_s']:.1f} cm/s, "
      f"Arias {ims['arias_m_s']:.2f} m/s, D5-95 {ims['d5_95_s']:.1f} s")

h = sdof.response(ns.acceleration, ns.dt, period=1.0, damping=0.05)
peak = np.abs(h.displacement).argmax()
print(f"T = 1 s: largest |x| {abs(h.displacement[peak]):.2f} cm at t = {h.time[peak]:.2f} s")

try:
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
except ImportError:
    sys.exit(0)
fig, ax = plt.subplots(figsize=(6, 4))
ax.loglog(spectrum.periods, spectrum.psa, label="NS")
ax.loglog(spectrum.periods, pair.second.psa, label="EW")
ax.loglog(spectrum.periods, rotd50, "k", label="RotD50")
ax.set_xlabel("Period (s)")
ax.set_ylabel("PSa (g), 5% damping")
ax.set_title("El Centro 1940, array #9")
ax.grid(True, which="both", alpha=0.3)
ax.legend()
picture = sys.argv[1] if len(sys.argv) > 1 else "elcentro-spectra.svg"
fig.savefig(picture, metadata={"Date": None})
print(f"picture: {picture}")
