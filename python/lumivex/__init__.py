"""Reading and writing the tracking server's channels, and reading lumivex
recordings, from Python.

    import lumivex
    for summary in lumivex.channels():
        print(summary)
    channel = lumivex.open(0, 1)
    state = channel.read()            # the newest write, copied whole
    for state in channel:             # every write as it comes; Ctrl-C ends
        print(state.counter, state.poses[0])

Errors are lumivex.Error (ChannelError, RecordingError), with the messages
the programs give.
"""
from ._lumivex import (Channel, ChannelError, Error, RecordingError, State, Writer, channels, open,
                       stats)
from ._lumivex import read_recording as _read_recording

__all__ = ["Channel", "ChannelError", "ChannelRecording", "Error", "RecordingError", "State", "Writer",
           "channels", "open", "read_recording", "stats"]

POSE_COLUMNS = ("x", "y", "z", "azimuth", "elevation", "roll")


class ChannelRecording:
    """One channel of a recording, an entry per write of its server: time (s
    since the first write), counter, stamp, flags, poses (writes x stations x
    6, the channel's unit and radians), stations (which station each pose
    row is), descriptions [(first write, text)], gone and died (times)."""

    def __init__(self, columns):
        self.__dict__.update(columns)

    def __repr__(self):
        return "<ChannelRecording ({}, {}): {} writes, stations {}>".format(
            self.instrument, self.bin, len(self.time), self.stations)

    def frame(self):
        """A pandas DataFrame, a row per write and station; needs pandas."""
        import numpy
        import pandas
        writes, stations = len(self.time), len(self.stations)
        frame = pandas.DataFrame({
            "time_s": self.time.repeat(stations),
            "write": self.counter.repeat(stations),
            "stamp_us": self.stamp.repeat(stations),
            "station": numpy.tile(numpy.array(self.stations, dtype=numpy.int32), writes),
        })
        for index, name in enumerate(POSE_COLUMNS):
            frame[name] = self.poses[:, :, index].reshape(-1)
        return frame


def read_recording(path):
    """Every channel of a lumivex recording (plain or gzip; a file cut short
    is read up to its last whole write, with a warning), by (instrument, bin)."""
    return {key: ChannelRecording(columns) for key, columns in _read_recording(path).items()}
