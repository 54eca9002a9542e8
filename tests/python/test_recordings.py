"""Recordings read into arrays, and their statistics, against what the
programs make and say of the same files."""
import contextlib
import csv
import gzip
import math
import os
import signal
import subprocess

import numpy
import pytest

from conftest import RUN_LIMIT, lumivex, program, run, wait_for


def rows_of(path):
    with open(path) as recording:
        return [row for row in csv.reader(line for line in recording if not line.startswith("#"))][1:]


@pytest.fixture(scope="module")
def recording(tmp_path_factory):
    """A recording by lumivex-monitor of two bins whose server stops and
    starts again, so that it holds a gap and the channels' `gone` lines."""
    path = str(tmp_path_factory.mktemp("recording") / "session.csv")
    arguments = [program("lumivex-publisher"), "--bins", "0-1", "--rate", "200"]
    monitor = subprocess.Popen([program("lumivex-monitor"), "--bins", "0-1", "--csv", path],
                               stderr=subprocess.DEVNULL)
    for round_number in range(2):
        publisher = subprocess.Popen(arguments, stderr=subprocess.PIPE, text=True)
        publisher.stderr.readline()
        enough = 200 * (round_number + 1)
        wait_for(lambda: os.path.exists(path) and len(rows_of(path)) >= enough, "rows in the recording")
        publisher.send_signal(signal.SIGINT)
        publisher.communicate(timeout=RUN_LIMIT)
        wait_for(lambda: open(path).read().count(" gone\n") >= 2 * (round_number + 1), "the channels gone")
    monitor.send_signal(signal.SIGINT)
    assert monitor.wait(RUN_LIMIT) == 0
    return path


def variant(recording, kind, folder):
    """The recording as the test reads it: as made, compressed, or cut short
    in the middle of a line."""
    if kind == "plain":
        return recording
    path = str(folder / ("session.csv.gz" if kind == "gzip" else "cut.csv"))
    with open(recording, "rb") as source:
        text = source.read()
    if kind == "gzip":
        with gzip.open(path, "wb") as target:
            target.write(text)
    else:
        with open(path, "wb") as target:
            target.write(text[:len(text) * 2 // 3])
    return path


@pytest.mark.parametrize("kind", ["plain", "gzip", "cut"])
def test_read_recording_and_stats_agree_with_the_programs(recording, kind, tmp_path):
    path = variant(recording, kind, tmp_path)

    def warned():
        return pytest.warns(UserWarning, match="cut short") if kind == "cut" else contextlib.nullcontext()

    with warned():
        channels = lumivex.read_recording(path)
    rows = rows_of(recording)
    for (instrument, bin_number), channel in channels.items():
        mine = [row for row in rows if row[1:3] == [str(instrument), str(bin_number)] and row[5] == "0"]
        count = len(channel.time)
        assert channel.counter.tolist() == [int(row[3]) for row in mine[:count]]
        assert channel.poses[:, 0, :].tobytes() == numpy.array([row[6:] for row in mine[:count]],
                                                              dtype=numpy.float32).tobytes()
        assert channel.stations == [0, 1, 2, 3]
        if kind != "cut":
            assert len(channel.gone) == 2
    assert sorted(channels) == [(0, 0), (0, 1)]

    status, output, errors = run("lumivex-plot", "--stats", "--csv", path)
    assert status == 0, errors
    table = list(csv.DictReader(output.splitlines()))
    with warned():
        figures = lumivex.stats(path)
    assert len(figures) == len(table) == 8
    for mine, theirs in zip(figures, table):
        for heading, text in theirs.items():
            if text == "":
                assert math.isnan(mine[heading]), heading
            else:
                assert mine[heading] == pytest.approx(float(text), rel=1e-8, abs=0), heading


@pytest.mark.parametrize("path", ["/nonexistent/session.csv", os.devnull])
def test_unreadable_recordings_raise_the_message_of_the_plot(path):
    status, output, errors = run("lumivex-plot", "--stats", path)
    assert status == 2
    for read in (lumivex.read_recording, lumivex.stats):
        with pytest.raises(lumivex.RecordingError) as failure:
            read(path)
        assert str(failure.value) in errors


def test_a_recorded_channel_as_a_pandas_frame(recording):
    pytest.importorskip("pandas", reason="pandas is optional")
    channel = lumivex.read_recording(recording)[(0, 1)]
    frame = channel.frame()
    assert len(frame) == len(channel.time) * len(channel.stations)
    row = frame.iloc[len(channel.stations) + 1]  # the second write's second station
    assert (row["station"], row["write"]) == (channel.stations[1], channel.counter[1])
    assert row[["x", "y", "z", "azimuth", "elevation", "roll"]].tolist() == channel.poses[1, 1].tolist()
