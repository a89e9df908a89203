"""What the Python module's tests share: the bundled records and sdofspec itself, named by
CTest in the environment (SDOF_TEST_DATA, SDOF_EXAMPLES, SDOFSPEC), and the reading of the
tables sdofspec writes."""

import csv
import os
import shutil
import subprocess
from pathlib import Path

import numpy as np
import pytest

here = Path(__file__).resolve().parent
DATA = Path(os.environ.get("SDOF_TEST_DATA", here.parent / "data"))
EXAMPLES = Path(os.environ.get("SDOF_EXAMPLES", here.parent.parent / "examples"))
PEER = ["RSN6_IMPVALL.I_I-ELC180.AT2", "RSN6_IMPVALL.I_I-ELC270.AT2",
        "RSN6_IMPVALL.I_I-ELC-UP.AT2"]


def table_rows(path):
    """A CSV table as sdofspec wrote it, read by Python's own csv module (values as text)."""
    with open(path, newline="") as f:
        return list(csv.DictReader(f))


def column(rows, name, **where):
    """A column of the rows that match where, as floats (NaN for an empty field)."""
    return np.array([float(r[name]) if r[name] else np.nan for r in rows
                     if all(r[k] == v for k, v in where.items())])


@pytest.fixture
def records(tmp_path, monkeypatch):
    """The bundled records in a fresh folder, which is the current one: paths as typed."""
    for name in PEER + ["elcentro1940-ns-textbook.csv"]:
        shutil.copy(DATA / name, tmp_path / name)
    for name in ("dmg/CE89146.V2", "smc/np01002p_4225a_a.smc"):
        shutil.copy(DATA / "formats" / name, tmp_path / Path(name).name)
    monkeypatch.chdir(tmp_path)
    return tmp_path


@pytest.fixture
def sdofspec():
    """Runs sdofspec with the arguments; its standard error, its status 0 checked."""
    program = os.environ.get("SDOFSPEC")
    if not program:
        pytest.skip("SDOFSPEC names no sdofspec to compare with")

    def run(*arguments):
        done = subprocess.run([program, *arguments], capture_output=True, text=True)
        assert done.returncode == 0, done.stderr
        return done.stderr

    return run
