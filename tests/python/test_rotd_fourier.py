"""RotD at any percentile and the batch's Fourier table: the command line's numbers and bytes,
and the rotated spectra of a pair with one silent component in closed form."""

import numpy as np
import pytest

import sdof
from conftest import PEER, column, table_rows

PERCENTILES = "0,2.5,50,84,100"
NAMES = ["RotD00", "RotD02.5", "RotD50", "RotD84", "RotD100"]


def test_rotd_is_the_command_lines_rotated_rows(records, sdofspec):
    sdofspec("--rotd", "--rotd-percentiles", PERCENTILES, "--damping", "0.02,0.05", "-o",
             "spectra.csv", *PEER[:2])
    rows = table_rows("spectra.csv")
    first, second = sdof.read(PEER[0])[0], sdof.read(PEER[1])[0]
    r = sdof.rotd(first.acceleration, second.acceleration, first.dt, damping=[0.02, 0.05],
                  percentiles=[0, 2.5, 50, 84, 100])
    assert r.percentiles == (0, 2.5, 50, 84, 100) and r.sv.shape == (2, 5, 111)
    for k, h in enumerate(("0.02", "0.05")):
        for p, name in enumerate(NAMES):
            where = dict(component=name, damping=h)
            for field, values in (("sd_cm", r.sd), ("sv_cm_s", r.sv), ("sa_g", r.sa),
                                  ("psv_cm_s", r.psv), ("psa_g", r.psa),
                                  ("sd_angle_deg", r.sd_angle), ("sv_angle_deg", r.sv_angle),
                                  ("sa_angle_deg", r.sa_angle),
                                  ("rotd00_angle_deg", r.sd_angle[:, [0] * 5]),
                                  ("rotd100_angle_deg", r.sd_angle[:, [4] * 5])):
                assert np.array_equal(values[k, p], column(rows, field, **where)), (name, field)
    # The batch writes the same rows, byte for byte, the percentiles as a list or as text.
    sdofspec("--rotd", "--rotd-percentiles", PERCENTILES, "-o", "spectra.csv", *PEER)
    for given in (PERCENTILES, (0, 2.5, 50, 84, 100)):
        t = sdof.batch(PEER, rotd=True, rotd_percentiles=given)
        assert t.to_csv() == (records / "spectra.csv").read_text()


def test_rotd_of_a_pair_with_a_silent_component():
    # With u2 = 0 the peak at angle t is |cos t| times the first component's peak, for the
    # displacement, the velocity and the absolute acceleration alike: RotDp is the sorted
    # |cos t| at rank p * 179 / 100, interpolated, times Sd, Sv, Sa of the first component.
    rng = np.random.default_rng(3)
    acc = rng.normal(scale=150, size=2000)
    periods = [0.05, 0.3, 1, 4]
    percentiles = [0, 2.5, 30, 50, 84, 100]
    r = sdof.rotd(acc, np.zeros_like(acc), 0.01, periods=periods, percentiles=percentiles)
    s = sdof.response_spectrum(acc, 0.01, periods=periods)
    cosines = np.sort(np.abs(np.cos(np.radians(np.arange(180)))))
    for p, q in enumerate(percentiles):
        rank = q * 179 / 100
        factor = np.interp(rank, np.arange(180), cosines)
        for rotated, alone in ((r.sd, s.sd), (r.sv, s.sv), (r.sa, s.sa)):
            np.testing.assert_allclose(rotated[p], factor * alone, rtol=1e-12, atol=0)
        # The angle is one whose peak is the sorted peak at or below the rank.
        at = cosines[int(np.floor(rank))]
        for angle in (r.sd_angle, r.sv_angle, r.sa_angle):
            np.testing.assert_allclose(np.abs(np.cos(np.radians(angle[p]))), at, atol=1e-12)
    assert (r.sd_angle[0] == 90).all() and (r.sd_angle[-1] == 0).all()


FOURIER = [
    # The default: smoothed at log:0.1:50:100 capped at each record's Nyquist frequency.
    ([], dict()),
    # The transform's own frequencies.
    (["--fas-frequencies", "raw"], dict(fas_frequencies="raw")),
    # A grid and a bandwidth given; the grid as text and as its frequencies.
    (["--fas-grid", "log:0.5:20:30", "--ko-b", "188.5"], dict(fas_grid="log:0.5:20:30",
                                                            ko_b=188.5)),
    (["--fas-grid", "log:0.5:20:30"],
     dict(fas_grid=list(sdof._sdof.parse_grid("log:0.5:20:30")))),
]


@pytest.mark.parametrize("options, keywords", FOURIER)
def test_batch_fourier_table_is_the_command_lines(records, sdofspec, options, keywords):
    sdofspec("--rotd", "--fas", "fas.csv", *options, "-o", "spectra.csv", *PEER,
             "elcentro1940-ns-textbook.csv")
    t = sdof.batch(PEER + ["elcentro1940-ns-textbook.csv"], rotd=True, fas=True, **keywords)
    assert t.fourier.to_csv() == (records / "fas.csv").read_text()
    assert t.to_csv() == (records / "spectra.csv").read_text()
    # Chunks of whole jobs joined in order: the same table.
    jobs = sdof.batch_jobs(PEER + ["elcentro1940-ns-textbook.csv"], rotd=True)
    joined = sdof.concat(sdof.batch(j, rotd=True, fas=True, **keywords) for j in jobs)
    assert joined.fourier.to_csv() == t.fourier.to_csv()
    assert "EAS" in t.fourier["component"]


REFUSED = [
    # Percentiles are from 0 to 100, none twice, as --rotd-percentiles takes them.
    (lambda: sdof.rotd([0, 1, 2], [0, 1, 2], 0.01, percentiles=(50, 101)),
     "percentiles: percentiles are numbers from 0 to 100"),
    (lambda: sdof.batch(["x.csv"], rotd_percentiles="50,50"), "the percentile 50 is given twice"),
    # The Fourier options as the command line takes them.
    (lambda: sdof.batch(["x.csv"], fas=True, ko_b=0), "ko_b: the bandwidth b is above 0"),
    (lambda: sdof.batch(["x.csv"], fas=True, fas_grid=[1, -2]),
     "fas_grid: frequencies to smooth at are positive"),
    (lambda: sdof.batch(["x.csv"], fas=True, fas_frequencies="raw", ko_b=100),
     "fas_grid and ko_b smooth"),
    (lambda: sdof.batch(["x.csv"], fas=True, fas_frequencies="fine"), "fas_frequencies: "),
    (lambda: sdof.batch(["x.csv"], fas_grid="log:1:10:3"), "fas_frequencies, fas_grid and ko_b"),
]


@pytest.mark.parametrize("call, words", REFUSED)
def test_refusals(call, words):
    with pytest.raises(ValueError) as raised:
        call()
    assert str(raised.value).startswith(words)
