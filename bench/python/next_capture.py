#!/usr/bin/python3
"""How much of a fast server Python sees through lumivex's Channel.next(),
and what waiting for every write costs: the real lumivex-publisher writes two
bins at 1 kHz, one Python thread per bin takes every write with next(), and
the process's CPU time (both threads, and the interpreter) comes from
getrusage over the measurement. A write is seen when next() handed it out;
the writes made are each bin's counter span from the first write seen to the
last.

    /usr/bin/python3 bench/python/next_capture.py [SECONDS [RATE]]   (default 10 s at 1000 Hz)

LUMIVEX_BIN names the directory that holds the programs (default build/bin);
PYTHONPATH must name the built module's folder (build/python).
"""
import os
import resource
import subprocess
import sys
import threading
import time

PREFIX = "lvxbenchpython{}_".format(os.getpid())
os.environ["LUMIVEX_SHM_PREFIX"] = PREFIX

import lumivex  # noqa: E402


def usage():
    sys.exit("usage: next_capture.py [SECONDS [RATE]]  (SECONDS above 0, at most 3600; RATE 1..10000 Hz)")


def arguments():
    if len(sys.argv) > 3:
        usage()
    try:
        seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 10.0
        rate = int(sys.argv[2]) if len(sys.argv) > 2 else 1000
    except ValueError:
        usage()
    if not (0 < seconds <= 3600 and 1 <= rate <= 10000):
        usage()
    return seconds, rate


def follow(bin_number, stop, results):
    channel = lumivex.open(0, bin_number)
    first = last = channel.next(timeout=10).counter
    seen = 1
    while not stop.is_set():
        last = channel.next(timeout=1).counter
        seen += 1
    results[bin_number] = (seen, last - first + 1)


def cpu_seconds():
    usage = resource.getrusage(resource.RUSAGE_SELF)
    return usage.ru_utime + usage.ru_stime


def main():
    seconds, rate = arguments()
    programs = os.environ.get("LUMIVEX_BIN", "build/bin")
    publisher = subprocess.Popen([os.path.join(programs, "lumivex-publisher"), "--bins", "0,1", "--rate", str(rate)],
                                 stderr=subprocess.PIPE, text=True)
    if "publishing" not in publisher.stderr.readline():
        sys.exit("lumivex-publisher did not start")
    stop, results = threading.Event(), {}
    threads = [threading.Thread(target=follow, args=(b, stop, results)) for b in (0, 1)]
    start_cpu, start = cpu_seconds(), time.monotonic()
    for thread in threads:
        thread.start()
    time.sleep(seconds)
    stop.set()
    for thread in threads:
        thread.join()
    cpu, wall = cpu_seconds() - start_cpu, time.monotonic() - start
    publisher.terminate()
    publisher.wait()
    if len(results) != 2:
        sys.exit("a bin was not followed to the end")
    seen = sum(result[0] for result in results.values())
    made = sum(result[1] for result in results.values())
    print("two bins at {} Hz, {:.0f} s: seen {:.3f} % of {} writes, CPU {:.2f} % of a core".format(
        rate, seconds, 100.0 * seen / made, made, 100.0 * cpu / wall))


main()
