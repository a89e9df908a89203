"""The whole ``sdofspec`` run on many record files, its tables as columns."""

from __future__ import annotations

import os

import numpy as np

from . import _sdof
from .measures import _average_periods
from .periods import as_periods
from .fourier import _grid, _smoothing
from .spectra import _dampings, _percentiles


class Table(dict):
    """A table of ``sdofspec`` as columns: the column's name (the CSV header's) to a NumPy
    array, float64 for numbers (NaN where the field is empty) and of str objects for the
    record, component and station, rows in the command line's order.

    Attributes
    ----------
    intensity : Table or None
        With intensity_measures=True, the intensity-measure table (``--ims``).
    inelastic : Table or None
        With inelastic=True, the inelastic-spectra table (``--inelastic``).
    fourier : Table or None
        With fas=True, the Fourier-spectra table (``--fas``).
    failures : list of str
        The records that could not be read or computed, as ``file:line: what is wrong``.
    warnings : list of str
        The command line's warnings.
    """

    def __init__(self, columns=(), intensity=None, failures=(), warnings=(), inelastic=None,
                 fourier=None):
        super().__init__(columns)
        self.intensity = intensity
        self.inelastic = inelastic
        self.fourier = fourier
        self.failures = list(failures)
        self.warnings = list(warnings)

    @property
    def rows(self) -> int:
        """The number of rows."""
        return len(next(iter(self.values()))) if self else 0

    def to_csv(self, path=None) -> str:
        """The table as the command line writes it, byte for byte.

        Parameters
        ----------
        path : str or os.PathLike, optional
            Where to write it.

        Returns
        -------
        str
            The CSV text.
        """
        text = _sdof.write_table(list(self.items()))
        if path is not None:
            with open(path, "w", encoding="utf-8", newline="") as out:
                out.write(text)
        return text

    def to_pandas(self):
        """The table as a pandas DataFrame (pandas must be installed)."""
        import pandas

        return pandas.DataFrame(self)

    def __repr__(self) -> str:
        return f"<sdof.Table: {self.rows} rows, columns {', '.join(self)}>"


class BatchError(ValueError):
    """Records of a batch that could not be read or computed.

    Attributes
    ----------
    table : Table
        The table of the others, with the failures.
    """

    def __init__(self, table: Table):
        super().__init__("\n".join(table.failures))
        self.table = table


def _table(columns, **more) -> Table:
    return Table(((name, np.array(values, dtype=object) if isinstance(values, list) else values)
                  for name, values in columns), **more)


def _paths(paths) -> list[str]:
    if isinstance(paths, (str, os.PathLike)):
        paths = [paths]
    return [os.fspath(p) for p in paths]


def _targets(values, parse):
    if values is None or isinstance(values, str):
        return None if values is None else parse(values)
    return np.ascontiguousarray(np.atleast_1d(np.asarray(values, dtype=np.float64)))


def batch(paths, periods="nga-west2", damping=0.05, *, rotd: bool = False, pairs=(),
          energy: bool = False, intensity_measures: bool = False, detrend: bool = False,
          units: str | None = None, format: str | None = None,
          counts_per_unit: float | None = None, si_tolerance: float | None = None,
          bracket: float | None = None, avgsa=None, pre_event: float | None = None,
          taper: float | None = None, highpass: float | None = None,
          lowpass: float | None = None, order: int = 4, causal: bool = False,
          baseline: bool = False, inelastic: bool = False, ductility=None,
          strength_ratio=None, alpha: float = 0.0, rotd_percentiles=None, fas: bool = False,
          fas_frequencies: str = "smoothed", fas_grid=None, ko_b: float = 40.0,
          peaks: str = "sampled", jobs: int | None = None, errors: str = "raise") -> Table:
    """The ``sdofspec`` run on many record files, on the library's own threads.

    The table is the command line's: ``sdofspec [options] PATHS -o out.csv`` writes
    ``batch(PATHS, ...).to_csv()``, byte for byte.

    Parameters
    ----------
    paths : str, os.PathLike or sequence of them
        The record files, in the table's order; ``"@FILE"`` is a list of paths, one a line.
    periods : str or array_like, default "nga-west2"
        The periods, s, or a grid's name (``--periods``).
    damping : float, sequence of float or str, default 0.05
        The damping ratios, fractions in [0, 1) (``--damping``).
    rotd : bool, default False
        Rotated spectra of horizontal pairs (``--rotd``).
    pairs : sequence of (str, str), default ()
        Files that make a horizontal pair (``--pair H1 H2``).
    energy : bool, default False
        Input-energy spectra (``--energy``).
    intensity_measures : bool, default False
        Also the intensity-measure table, as ``Table.intensity`` (``--ims``).
    detrend : bool, default False
        Remove the ground displacement's least-squares line for PGV and PGD (``--detrend``).
    units : str, optional
        The unit of records whose header names none: "g", "gal" or "m/s2" (``--units``).
    format : str, optional
        Read every record as this format (``--format``).
    counts_per_unit : float, optional
        For records of counts: counts per unit of `units` (``--counts-per-unit``).
    si_tolerance : float, optional
        The spectral integrals' halving criterion in (0, 0.01], default 1e-6.
    bracket : float, optional
        The bracketed duration's threshold, g, default 0.05 (``--bracket``).
    avgsa : str or array_like, optional
        The periods of Sa_avg, s (``--avgsa``).
    pre_event, taper, highpass, lowpass, order, causal, baseline
        Processing of every component before any measure, as sdof.process does it
        (``--pre-event S --taper S --highpass FC --lowpass FC --order N --causal
        --baseline``); the tables gain the ``processing`` column.
    inelastic : bool, default False
        Also the inelastic spectra, as ``Table.inelastic`` (``--inelastic``).
    ductility, strength_ratio : sequence of float or str, optional
        Their targets (``--ductility``, ``--strength-ratio``); with neither, ductilities 1.5,
        2, 4 and 6.
    alpha : float, default 0
        The post-yield stiffness ratio, in [0, 1) (``--alpha``).
    rotd_percentiles : sequence of float or str, optional
        The rotated rows: RotD of Sd, Sv and Sa at these percentiles, from 0 to 100, in this
        order (``--rotd-percentiles``); by default 0, 50 and 100.
    fas : bool, default False
        Also the Fourier amplitude spectra of the components and the effective amplitude
        spectra of the pairs, as ``Table.fourier`` (``--fas``).
    fas_frequencies : {"smoothed", "raw"}, default "smoothed"
        Konno-Ohmachi smoothed at the grid, or the transform's own frequencies
        (``--fas-frequencies``).
    fas_grid : str or array_like, optional
        Where to smooth, Hz: "log:FMIN:FMAX:N" or the frequencies (``--fas-grid``); a record
        whose Nyquist frequency it passes fails. By default log:0.1:50:100, capped at each
        record's Nyquist frequency.
    ko_b : float, default 40
        Konno and Ohmachi's bandwidth b, in (0, 1000] (``--ko-b``).
    peaks : {"sampled", "continuous"}, default "sampled"
        Where the spectra's peaks are taken (``--peaks``).
    jobs : int, optional
        Threads; by default, and at most, one per core (``--jobs``).
    errors : {"raise", "keep"}, default "raise"
        With "raise", records that fail raise BatchError (which holds the table of the
        others); with "keep", the failures are only listed in ``Table.failures``.

    Returns
    -------
    Table
        The spectra table as columns (and ``.intensity``, ``.inelastic``, ``.fourier``,
        ``.failures``, ``.warnings``).

    Raises
    ------
    BatchError
        With errors="raise", when a record could not be read or computed.
    ValueError
        For an option the command line would refuse.
    """
    if errors not in ("raise", "keep"):
        raise ValueError(f"errors: 'raise' or 'keep', not {errors!r}")
    t = as_periods(periods)
    h, _ = _dampings(damping)
    pairs = [(os.fspath(a), os.fspath(b)) for a, b in pairs]
    steps = {"pre_event": pre_event, "taper": taper, "highpass": highpass, "lowpass": lowpass,
             "order": int(order), "causal": bool(causal), "baseline": bool(baseline)}
    request = None
    if inelastic:
        request = {"ductility": _targets(ductility, _sdof.parse_ductilities),
                   "strength_ratio": _targets(strength_ratio, _sdof.parse_strength_ratios),
                   "alpha": float(alpha)}
        if ductility is None and strength_ratio is None:
            request["ductility"] = _sdof.parse_ductilities(_sdof.default_ductilities)
    elif ductility is not None or strength_ratio is not None or alpha != 0:
        raise ValueError("ductility, strength_ratio and alpha need inelastic=True")
    fourier = None
    if fas:
        fourier = {"raw": _smoothing(fas_frequencies, "fas_frequencies"), "grid": _grid(fas_grid),
                   "ko_b": float(ko_b)}
        if fourier["raw"] and (fas_grid is not None or ko_b != 40):
            raise ValueError("fas_grid and ko_b smooth: not with fas_frequencies='raw'")
    elif fas_frequencies != "smoothed" or fas_grid is not None or ko_b != 40:
        raise ValueError("fas_frequencies, fas_grid and ko_b need fas=True")
    run = _sdof.batch(_paths(paths), pairs, t, h, bool(rotd), bool(energy),
                      bool(intensity_measures), bool(detrend), units, format, counts_per_unit,
                      si_tolerance, bracket, _average_periods(avgsa), steps, request,
                      None if rotd_percentiles is None else _percentiles(rotd_percentiles),
                      fourier, str(peaks), int(jobs or 0))
    intensity = None if run["intensity"] is None else _table(run["intensity"])
    table = _table(run["spectra"], intensity=intensity, failures=run["failures"],
                   warnings=run["warnings"],
                   inelastic=None if run["inelastic"] is None else _table(run["inelastic"]),
                   fourier=None if run["fourier"] is None else _table(run["fourier"]))
    if errors == "raise" and table.failures:
        raise BatchError(table)
    return table


def batch_jobs(paths, *, rotd: bool = False, pairs=()) -> list[list[str]]:
    """The files of each job of a batch, in the table's order: a job is a file, or the files
    of a horizontal pair (one PEER record's, with rotd). Chunks of whole jobs, run apart and
    joined with concat in their order, give the batch's table.

    Parameters
    ----------
    paths : str, os.PathLike or sequence of them
        As for batch (``"@FILE"`` lists are read).
    rotd, pairs
        As for batch: they decide which files go together.

    Returns
    -------
    list of list of str
    """
    pairs = [(os.fspath(a), os.fspath(b)) for a, b in pairs]
    jobs, failures = _sdof.plan(_paths(paths), pairs, bool(rotd))
    if failures:
        raise OSError("\n".join(failures))
    return jobs


def _joined(tables) -> Table:
    tables = list(tables)
    # A chunk without pairs has no angle columns: the widest table has every column.
    names = list(max(tables, key=len)) if tables else []
    columns = {}
    for name in names:
        parts = []
        for t in tables:
            if name in t:
                parts.append(t[name])
            else:
                parts.append(np.full(t.rows, np.nan))
        columns[name] = np.concatenate(parts) if parts else np.empty(0)
    return Table(columns)


def concat(tables) -> Table:
    """Tables of chunks of a batch joined in the order given, with their intensity,
    inelastic and Fourier tables, failures and warnings.

    Parameters
    ----------
    tables : iterable of Table

    Returns
    -------
    Table
    """
    tables = list(tables)
    joined = _joined(tables)
    if any(t.intensity is not None for t in tables):
        joined.intensity = _joined(t.intensity for t in tables if t.intensity is not None)
    if any(t.inelastic is not None for t in tables):
        joined.inelastic = _joined(t.inelastic for t in tables if t.inelastic is not None)
    if any(t.fourier is not None for t in tables):
        joined.fourier = _joined(t.fourier for t in tables if t.fourier is not None)
    for t in tables:
        joined.failures += t.failures
        joined.warnings += t.warnings
    return joined


__all__ = ["BatchError", "Table", "batch", "batch_jobs", "concat"]
