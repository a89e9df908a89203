"""What the Python module's tests share: the bundled records and sdofspec itself, named by
CTest in the environment (SDOF_TEST_DATA, SDOF_EXAMPLES, SDOFSPEC)."""

import os
import shutil
import subprocess
from pathlib import Path

import pytest

here = Path(__file__).resolve().parent
DATA = Path(os.environ.get("SDOF_TEST_DATA", here.parent / "data"))
EXAMPLES = Path(os.environ.get("SDOF_EXAMPLES", here.parent.parent / "examples"))
PEER = ["RSN6_IMPVALL.I_I-ELC180.AT2", "RSN6_IMPVALL.I_I-ELC270.AT2",
        "RSN6_IMPVALL.I_I-ELC-UP.AT2"]


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
