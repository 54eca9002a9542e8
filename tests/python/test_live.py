"""Reading live channels: the values, following a channel through its
server's restart, the trust rule, and waits that end."""
import csv
import os
import signal
import subprocess
import sys

import numpy
import pytest

from conftest import RUN_LIMIT, lumivex, region_path, run, wait_for


def recorded_poses(path):
    """(bin, counter) -> {station: six float32} from a recording, parsed here."""
    poses = {}
    with open(path) as recording:
        rows = (line for line in recording if not line.startswith("#"))
        for row in csv.DictReader(rows):
            values = numpy.array([row[name] for name in ("x", "y", "z", "azimuth", "elevation", "roll")],
                                 dtype=numpy.float32)
            poses.setdefault((int(row["bin"]), int(row["write"])), {})[int(row["station"])] = values
    return poses


def test_writes_are_bit_exact_against_the_monitor_recording(publish, tmp_path):
    publish("--bins", "0-1", "--rate", "200", "--pose", "5=0.1,-2.5e-7,3.4e38,1e-45,-0,6.283185")
    path = str(tmp_path / "live.csv")
    monitor = subprocess.Popen([os.path.join(os.environ["LUMIVEX_BIN"], "lumivex-monitor"), "--bins", "0-1",
                                "--stations", "0-31", "--csv", path], stdout=subprocess.PIPE, text=True)
    assert "recording" in monitor.stdout.readline()
    channels = [lumivex.open(0, 0), lumivex.open(0, 1)]
    seen = {(bin_number, state.counter): state.poses
            for bin_number, channel in enumerate(channels) for state in (channel.next(timeout=RUN_LIMIT)
                                                                         for _ in range(50))}
    monitor.send_signal(signal.SIGINT)
    assert monitor.wait(RUN_LIMIT) == 0
    recorded = recorded_poses(path)
    common = seen.keys() & recorded.keys()
    assert len(common) >= 50
    for key in common:
        for station, values in recorded[key].items():
            assert seen[key][station].tobytes() == values.tobytes(), (key, station)


def test_channels_lists_what_is_published_and_reads_it_whole(publish):
    publish("--bins", "2,5", "--flags", "0x112", "--description", "lab rig", "--rate", "50")
    listed = [(c["bin"], c["description"], c["flags"], c["unit"], c["active"]) for c in lumivex.channels()]
    assert listed == [(2, "lab rig", 0x112, "CMETER", [1]), (5, "lab rig", 0x112, "CMETER", [1])]
    state = lumivex.open(0, 5).read()
    assert (state.flags, state.unit, state.description) == (0x112, "CMETER", "lab rig")
    assert state.poses.shape == (32, 6) and state.poses.dtype == numpy.float32
    assert list(state.active[:5]) == [False, True, False, False, True]


def test_a_channel_removed_and_created_again_is_followed(publish):
    first = publish("--bins", "3", "--rate", "100", "--description", "first")
    channel = lumivex.open(0, 3)
    assert channel.next(timeout=RUN_LIMIT).description == "first"
    first.stop()

    def gone():
        try:
            channel.read()
        except lumivex.ChannelError as error:
            return str(error) == "channel (0,3) gone: its server removed it"
        return False

    wait_for(gone, "the channel to be gone")
    publish("--bins", "3", "--rate", "100", "--description", "second")
    assert channel.next(timeout=RUN_LIMIT).description == "second"


def make_fifo(bin_number):
    os.mkfifo(region_path(bin_number), 0o600)


def chmod_region(mode):
    def change(bin_number):
        run("lumivex-publisher", "--once", "--bins", str(bin_number))
        os.chmod(region_path(bin_number), mode)
    return change


def chown_region(bin_number):
    run("lumivex-publisher", "--once", "--bins", str(bin_number))
    os.chown(region_path(bin_number), 65534, 65534)


REFUSED = [
    pytest.param(make_fifo, "not a regular file", id="fifo"),
    pytest.param(chmod_region(0o602), "writable by every user", id="world-writable"),
    pytest.param(chown_region, "owned by another user", id="foreign-owner",
                 marks=pytest.mark.skipif(os.geteuid() != 0, reason="giving a file away needs root")),
]


@pytest.mark.parametrize("make, reason", REFUSED)
def test_the_trust_rule_refuses_what_the_monitor_refuses(make, reason):
    make(7)
    status, output, errors = run("lumivex-monitor", "--once", "--bins", "7")
    assert status == 1 and reason in errors, output + errors
    said = errors.strip().split("warning: ", 1)[1]
    with pytest.raises(lumivex.ChannelError) as refusal:
        lumivex.open(0, 7).read()
    assert str(refusal.value) == "channel (0,7) refused: " + said
    assert lumivex.channels() == []


def test_a_wait_ends_at_its_timeout_and_at_ctrl_c():
    with pytest.raises(TimeoutError, match=r"no write of channel \(0,9\) within 0.05 s"):
        lumivex.open(0, 9).next(timeout=0.05)
    waiter = subprocess.Popen([sys.executable, "-c", "import lumivex; print('waiting', flush=True); "
                               "lumivex.open(0, 9).next()"], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              text=True)
    assert waiter.stdout.readline() == "waiting\n"
    waiter.send_signal(signal.SIGINT)
    assert waiter.wait(RUN_LIMIT) != 0
    assert "KeyboardInterrupt" in waiter.stderr.read()
