#!/usr/bin/python3
"""Loading a recording into numpy arrays: lumivex.read_recording against
numpy.loadtxt and, when pandas is installed, pandas.read_csv of the same
file. Each loader runs in a process of its own; its time is the load's wall
time, its memory the process's peak resident size above what the process
held before the load (the interpreter, numpy, lumivex), beside the bytes of
the arrays the load returned.

    /usr/bin/python3 bench/python/recording_load.py FILE

Make FILE with build/bin/bench-recording make FILE [SECONDS]. PYTHONPATH must
name the built module's folder (build/python).
"""
import subprocess
import sys

LOADERS = {
    "lumivex.read_recording": "arrays = [a for c in lumivex.read_recording(path).values()"
                              " for a in (c.time, c.counter, c.stamp, c.flags, c.poses)]",
    "numpy.loadtxt": "arrays = [numpy.loadtxt(path, delimiter=',', comments='#', skiprows=11)]",
    "pandas.read_csv": "import pandas\n"
                       "arrays = [pandas.read_csv(path, comment='#', skiprows=10).to_numpy()]",
}

MEASURE = """
import resource, sys, time, numpy, lumivex
path = sys.argv[1]
before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
start = time.monotonic()
{load}
seconds = time.monotonic() - start
peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - before
print(seconds, peak * 1024, sum(a.nbytes for a in arrays))
"""


def measure(name, path):
    done = subprocess.run([sys.executable, "-c", MEASURE.format(load=LOADERS[name]), path], capture_output=True,
                          text=True)
    if done.returncode != 0:
        return "{:24} not measured: {}".format(name, done.stderr.strip().splitlines()[-1])
    seconds, peak, arrays = (float(field) for field in done.stdout.split())
    return "{:24} {:8.2f} s   peak {:7.1f} MB above start   arrays {:7.1f} MB   ({:.2f}x the arrays)".format(
        name, seconds, peak / 1e6, arrays / 1e6, peak / arrays)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: recording_load.py FILE")
    for name in LOADERS:
        print(measure(name, sys.argv[1]), flush=True)


main()
