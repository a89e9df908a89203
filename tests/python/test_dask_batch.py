"""examples/dask_batch.py on a local cluster of two workers: its tables are sdofspec's, byte
for byte."""

import subprocess
import sys
from pathlib import Path

import pytest

from conftest import EXAMPLES, PEER


def test_dask_batch_is_the_command_line(records, sdofspec):
    pytest.importorskip("distributed")
    files = ["elcentro1940-ns-textbook.csv", PEER[0], "CE89146.V2", PEER[2],
             "np01002p_4225a_a.smc", PEER[1]]
    Path("records.list").write_text("".join(f + "\n" for f in files))
    sdofspec("--rotd", "--damping", "0.02,0.05", "--ims", "ims.csv", "-o", "spectra.csv",
             "@records.list")
    # Chunks of two jobs: the PEER record's three files, spread over the list, are one job.
    done = subprocess.run(
        [sys.executable, str(EXAMPLES / "dask_batch.py"), "--local", "2", "--chunk", "2",
         "--rotd", "--damping", "0.02,0.05", "--ims", "dask-ims.csv", "-o", "dask.csv",
         "@records.list"],
        capture_output=True, text=True, timeout=240)
    assert done.returncode == 0, done.stderr
    assert Path("dask.csv").read_bytes() == Path("spectra.csv").read_bytes()
    assert Path("dask-ims.csv").read_bytes() == Path("ims.csv").read_bytes()
