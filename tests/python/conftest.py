"""Shared fixtures of the Python module's tests: a private name prefix for the
shared objects, the real programs of the build (LUMIVEX_BIN), and publishers
that are stopped and cleaned away after each test."""
import glob
import os
import signal
import subprocess
import time

import pytest

# Set before the module first names a shared object; every program the tests
# start inherits it.
PREFIX = "lvxpy{}_".format(os.getpid())
os.environ["LUMIVEX_SHM_PREFIX"] = PREFIX

import lumivex  # noqa: E402

RUN_LIMIT = 30.0  # seconds a program or an awaited event may take on a loaded machine


def program(name):
    return os.path.join(os.environ["LUMIVEX_BIN"], name)


def run(name, *arguments):
    """Runs a program to its end: (status, standard output, standard error)."""
    done = subprocess.run([program(name), *arguments], capture_output=True, text=True, timeout=RUN_LIMIT)
    return done.returncode, done.stdout, done.stderr


def wait_for(condition, what):
    """Waits for `condition()` to hold, trying again at once: no fixed sleep."""
    end = time.monotonic() + RUN_LIMIT
    while not condition():
        if time.monotonic() > end:
            pytest.fail("waited in vain for " + what)
        time.sleep(0.01)


def region_path(bin_number, instrument=0):
    return "/dev/shm/{}QuillmontShMem{:X}{:X}".format(PREFIX, instrument, bin_number)


class Publisher:
    """A running lumivex-publisher; ready once its channels exist."""

    def __init__(self, arguments):
        self.process = subprocess.Popen([program("lumivex-publisher"), *arguments], stdout=subprocess.PIPE,
                                        stderr=subprocess.STDOUT, text=True)
        self.output = self.process.stdout.readline()  # says what it publishes once the channels are there
        if "publishing" not in self.output:
            pytest.fail("lumivex-publisher did not start: " + self.output + self.process.stdout.read())

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGINT)
        self.output += self.process.communicate(timeout=RUN_LIMIT)[0]
        return self.process.returncode


@pytest.fixture
def publish():
    """publish(*arguments) starts a publisher; all are stopped after the test."""
    started = []

    def start(*arguments):
        started.append(Publisher(list(arguments)))
        return started[-1]

    yield start
    for publisher in started:
        publisher.stop()


@pytest.fixture(autouse=True)
def no_objects_left():
    yield
    for path in glob.glob("/dev/shm/" + PREFIX + "*"):
        os.remove(path)


def channel_line(output, bin_number, instrument=0):
    """The monitor's line about a channel."""
    mark = "channel ({},{})".format(instrument, bin_number)
    return next((line for line in output.splitlines() if line.startswith(mark)), "")


__all__ = ["lumivex", "program", "run", "wait_for", "region_path", "channel_line", "RUN_LIMIT", "PREFIX"]
