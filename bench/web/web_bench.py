#!/usr/bin/python3
"""lumivex-web beside a publisher of 16 channels at 1 kHz, with one page open
in headless Chromium: the program's CPU share of a core and its memory over
the run, the age of a pose when the page first draws it (from the write's
stamp to the browser's frame) beside the age lumivex-monitor reports of the
changes it reads in the same run. It measures; it asserts nothing."""
import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as handle:
        fields = handle.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime, stime


def resident_kib(pid):
    with open("/proc/%d/status" % pid) as handle:
        return next(int(line.split()[1]) for line in handle if line.startswith("VmRSS:"))


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))] if ordered else float("nan")


def monitor_ages(process, ages):
    """The age_ms column of every station line of the monitor's line output."""
    for line in process.stdout:
        fields = line.split()
        if len(fields) == 11 and fields[1].startswith("(") and fields[10] not in ("-", "stale"):
            ages.append(float(fields[10]))


def browser(folder):
    options = webdriver.ChromeOptions()
    options.binary_location = shutil.which("chromium")
    for argument in ("--headless=new", "--no-sandbox", "--user-data-dir=" + folder, "--window-size=1200,900",
                     "--use-angle=swiftshader", "--enable-unsafe-swiftshader", "--disable-dev-shm-usage"):
        options.add_argument(argument)
    return webdriver.Chrome(service=Service(shutil.which("chromedriver")), options=options)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--seconds", type=float, default=60.0, help="length of the run (default 60)")
    parser.add_argument("--sample", type=float, default=10.0, help="seconds between CPU and memory samples")
    arguments = parser.parse_args()
    binaries = os.environ.get("LUMIVEX_BIN", os.path.join(os.path.dirname(__file__), "../../build/bin"))
    environment = dict(os.environ, LUMIVEX_SHM_PREFIX="webbench%d_" % os.getpid())
    folder = tempfile.mkdtemp(prefix="lumivex-web-bench-")
    processes = []

    def start(*command, **options):
        processes.append(subprocess.Popen([os.path.join(binaries, command[0]), *command[1:]], env=environment,
                                          text=True, **options))
        return processes[-1]

    page = None
    try:
        start("lumivex-publisher", "--bins", "0-15", "--rate", "1000", stdout=subprocess.DEVNULL)
        web = start("lumivex-web", "--listen", "127.0.0.1:0", "--bins", "0-15", stdout=subprocess.PIPE)
        url = web.stdout.readline().split()[1]
        monitor = start("lumivex-monitor", "--bins", "0-15", "--stations", "0", stdout=subprocess.PIPE)
        monitored = []
        threading.Thread(target=monitor_ages, args=(monitor, monitored), daemon=True).start()
        page = browser(os.path.join(folder, "profile"))
        page.get(url)
        page.execute_script("window.lumivexAges = []")
        page_ages, samples = [], []
        start_cpu, start_time = cpu_seconds(web.pid), time.monotonic()
        monitor_cpu = cpu_seconds(monitor.pid)
        last_cpu, last_time = start_cpu, start_time
        while time.monotonic() - start_time < arguments.seconds:
            time.sleep(arguments.sample)
            page_ages += page.execute_script("return window.lumivexAges.splice(0)")
            now, cpu = time.monotonic(), cpu_seconds(web.pid)
            samples.append((now - start_time, 100.0 * (cpu - last_cpu) / (now - last_time), resident_kib(web.pid)))
            last_cpu, last_time = cpu, now
            print("%6.0f s  CPU %5.2f %% of a core  RSS %6d KiB" % samples[-1], flush=True)
        elapsed = time.monotonic() - start_time
        total = 100.0 * (cpu_seconds(web.pid) - start_cpu) / elapsed
        print("lumivex-web CPU over the run: %.2f %% of a core; RSS first %d KiB, last %d KiB, highest %d KiB"
              % (total, samples[0][2], samples[-1][2], max(s[2] for s in samples)))
        print("lumivex-monitor CPU over the run (line output of station 0): %.2f %% of a core"
              % (100.0 * (cpu_seconds(monitor.pid) - monitor_cpu) / elapsed))
        print("states the page received: %s, over %s connection(s)"
              % tuple(page.execute_script("return [document.body.dataset.states, document.body.dataset.connections]")))
        for name, ages in (("page (write to frame)", page_ages), ("monitor (write to read)", monitored)):
            print("age in the %s: p50 %.2f ms, p99 %.2f ms over %d poses"
                  % (name, percentile(ages, 0.5), percentile(ages, 0.99), len(ages)))
    finally:
        if page:
            page.quit()
        for process in reversed(processes):
            process.send_signal(signal.SIGTERM)
            process.wait()
        shutil.rmtree(folder, True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
