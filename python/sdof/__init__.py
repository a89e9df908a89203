"""Response spectra of ground-motion records by the exact recurrence of Nigam and Jennings.

The same library as the command-line programs ``sdofresp`` and ``sdofspec``, from NumPy:
the numbers are theirs, bit for bit. Units are those of the tables: accelerations in cm/s²,
times and periods in s, Sd in cm, Sv and PSv in cm/s, Sa and PSa in g.

Functions
---------
read
    The components of a record file in any format the programs read.
response_spectrum
    Sd, Sv, Sa, PSv, PSa (and the input-energy velocities) of one component.
rotd
    RotD00, RotD50 and RotD100 of a horizontal pair, with their angles.
intensity_measures, rotated_intensity_measures
    PGA, PGV, Arias intensity, durations, CAV, SI... of a component, or RotD of a pair.
response
    The response histories of one oscillator: relative displacement and velocity, absolute
    acceleration.
batch
    The whole ``sdofspec`` run on many files, on the library's own threads: its table as
    columns.
batch_jobs, concat
    A batch split into chunks of whole jobs, and the chunks' tables joined again (for a
    cluster: see examples/dask_batch.py).
process
    Mean removal, taper, Butterworth filters and baseline correction of a component.
inelastic_spectrum
    Constant-ductility and constant-strength spectra of bilinear oscillators.
fourier_spectrum, effective_amplitude_spectrum
    Fourier amplitude spectra, smoothed or raw, and the EAS of a horizontal pair.
periods
    Period grids: ``periods.nga_west2``, ``periods.gmm``, ``periods.log``.

Every function takes any array-like of numbers; a float64 C-contiguous array is used as it is,
without a copy. The computation runs without the GIL. Nothing is printed: warnings are kept on
the results, failures raised as exceptions (``ValueError``, ``OSError`` where the system
refused) with the library's words, ``file:line: what is wrong``.
"""

from . import periods
from ._sdof import version as __version__
from .batch import BatchError, Table, batch, batch_jobs, concat
from .fourier import FourierSpectrum, effective_amplitude_spectrum, fourier_spectrum
from .inelastic import InelasticSpectrum, inelastic_spectrum
from .measures import IntensityMeasures, intensity_measures, rotated_intensity_measures
from .processing import Processed, process
from .records import Component, Record, formats, read
from .spectra import Response, RotD, Spectrum, response, response_spectrum, rotd

# A capability that joins the library joins here as one function, in a module of its own.

__all__ = [
    "BatchError",
    "Component",
    "FourierSpectrum",
    "InelasticSpectrum",
    "IntensityMeasures",
    "Processed",
    "Record",
    "Response",
    "RotD",
    "Spectrum",
    "Table",
    "__version__",
    "batch",
    "batch_jobs",
    "concat",
    "effective_amplitude_spectrum",
    "formats",
    "fourier_spectrum",
    "inelastic_spectrum",
    "intensity_measures",
    "periods",
    "process",
    "read",
    "response",
    "response_spectrum",
    "rotated_intensity_measures",
    "rotd",
]
