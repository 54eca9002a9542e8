"""Writing a channel from Python: the programs read it, and the writer's
rules are the programs' rules."""
import threading

import pytest

from conftest import RUN_LIMIT, channel_line, lumivex, run

POSE = [1.5, -0.25, 2.0, 0.5, 0.0, -0.125]


def test_the_monitor_reads_a_python_writer():
    with lumivex.Writer(0, 4, description="lab tracker", flags=0x112, mode=0o640) as writer:
        writer.write([POSE, POSE])
        status, output, errors = run("lumivex-monitor", "--once", "--bins", "4", "--stations", "1")
        assert status == 0, errors
        assert channel_line(output, 4) == 'channel (0,4) flags 0x00000112 active 1 CART CMETER "lab tracker"'
        station = next(line for line in output.splitlines() if "(0,4,1)" in line)
        assert station.split()[1:4] == ["1.5000", "-0.2500", "2.0000"], output
    status, output, errors = run("lumivex-monitor", "--once", "--bins", "4")
    assert status == 1 and "nothing is published" in errors


def test_a_reader_waiting_in_another_thread_lets_the_writer_run():
    channel = lumivex.open(0, 6)
    seen = []
    reader = threading.Thread(target=lambda: seen.append(channel.next(timeout=RUN_LIMIT)))
    reader.start()
    with lumivex.Writer(0, 6, poses=[POSE]) as writer:  # needs the interpreter while the reader waits
        reader.join(RUN_LIMIT)
        assert [state.counter for state in seen] == [writer.counter]
    assert seen[0].poses[0].tolist() == POSE


@pytest.mark.parametrize("make, error, message", [
    (lambda: lumivex.Writer(0, 1, mode=0o666), ValueError, "mode 666: other users could write the channels"),
    (lambda: lumivex.Writer(0, 1, mode=0o660), ValueError, "mode 660: the group could write the channels"),
    (lambda: lumivex.Writer(16, 1), ValueError, "instrument and bin must be 0..15"),
    (lambda: lumivex.Writer(0, 1).write([[0.0] * 5]), ValueError, r"poses must be an array of shape \(n, 6\)"),
])
def test_writers_refuse_what_the_publisher_refuses(make, error, message):
    with pytest.raises(error, match=message):
        make()


def test_a_channel_has_one_writer(publish):
    publisher = publish("--bins", "1", "--rate", "50")
    with pytest.raises(lumivex.ChannelError, match="has a live writer, process {}".format(publisher.process.pid)):
        lumivex.Writer(0, 1)
    writer = lumivex.Writer(0, 2)
    writer.close()
    with pytest.raises(lumivex.ChannelError, match="is closed"):
        writer.write()
