"""Fixtures of the web view's tests: a publisher, lumivex-web and headless
Chromium, each a real process, ended whichever way a test ends."""
import http.client
import os
import shutil
import signal
import ssl
import subprocess
import tempfile
import time
import unittest

BIN = os.environ.get("LUMIVEX_BIN", "")
CHROMIUM = shutil.which("chromium")
CHROMEDRIVER = shutil.which("chromedriver")
WAIT_S = 60  # generous: a loaded two-core machine starts Chromium slowly


def wait_for(condition, what, limit=WAIT_S):
    """Polls `condition` until it gives a true value, which it returns."""
    end = time.monotonic() + limit
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > end:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(0.05)


class Program:
    """A program of LUMIVEX_BIN, run with the test's private object prefix."""

    def __init__(self, case, name, *arguments):
        self.process = subprocess.Popen([os.path.join(BIN, name), *arguments], env=case.environment,
                                        stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        case.addCleanup(self.stop)

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process.stdout.close()
        return self.process.returncode


class Publisher(Program):
    def __init__(self, case, *arguments):
        super().__init__(case, "lumivex-publisher", *arguments)

    def finish(self):
        """For --once: waits for the write and the exit."""
        assert self.process.wait(WAIT_S) == 0, self.process.stdout.read()


class Web(Program):
    """lumivex-web; `port` is the one it says it serves on."""

    def __init__(self, case, *arguments):
        super().__init__(case, "lumivex-web", *arguments)
        line = self.process.stdout.readline()
        assert line.startswith("serving "), "lumivex-web said: " + line + self.process.stdout.read()
        self.port = int(line.split(" on port ")[1])
        self.url = line.split()[1]


def request(web, path, secure=False, headers=None):
    """(status, headers) of a GET to `web`; TLS without checking the test's own certificate."""
    if secure:
        connection = http.client.HTTPSConnection("127.0.0.1", web.port, timeout=WAIT_S,
                                                 context=ssl._create_unverified_context())
    else:
        connection = http.client.HTTPConnection("127.0.0.1", web.port, timeout=WAIT_S)
    try:
        connection.request("GET", path, headers=headers or {})
        response = connection.getresponse()
        return response.status, dict(response.getheaders())
    except (OSError, http.client.HTTPException):  # a refused stream is dropped unanswered
        return None, {}
    finally:
        connection.close()


def stream_opens(web, token, secure=False):
    """Whether a WebSocket upgrade of /stream with `token` is answered 101."""
    status, _ = request(web, "/stream?token=" + token, secure,
                        {"Connection": "Upgrade", "Upgrade": "websocket", "Sec-WebSocket-Version": "13",
                         "Sec-WebSocket-Key": "dGhlIHNhbXBsZSBub25jZQ=="})
    return status == 101


class WebCase(unittest.TestCase):
    """A test with its own shared-memory names and folder."""

    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="lumivex-web-test-")
        self.addCleanup(shutil.rmtree, self.folder, True)
        self.environment = dict(os.environ, LUMIVEX_SHM_PREFIX="webtest%d_" % os.getpid())
        # Last: what a publisher left (--once, a crash) goes with the test.
        self.addCleanup(subprocess.run, [os.path.join(BIN, "lumivex-publisher"), "--unlink", "--force", "--bins", "0-15"],
                        env=self.environment, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=WAIT_S)

    def file(self, name, text):
        path = os.path.join(self.folder, name)
        with open(path, "w") as handle:
            handle.write(text)
        return path


class BrowserCase(WebCase):
    """A WebCase with headless Chromium: `self.browser` (Selenium)."""

    def setUp(self):
        if os.environ.get("LUMIVEX_SANITIZED"):
            self.skipTest("the browser tests run in the plain build: Chromium is not built with AddressSanitizer")
        if not (CHROMIUM and CHROMEDRIVER):
            self.skipTest("needs Debian's chromium and chromium-driver (scripts/setup.sh)")
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
        super().setUp()
        options = webdriver.ChromeOptions()
        options.binary_location = CHROMIUM
        # No sandbox: it cannot start as root or in many containers, and the
        # page is the test's own, on loopback. WebGL is SwiftShader's.
        for argument in ("--headless=new", "--no-sandbox", "--user-data-dir=" + os.path.join(self.folder, "profile"),
                         "--window-size=1200,900", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
                         "--disable-dev-shm-usage", "--no-first-run"):
            options.add_argument(argument)
        self.browser = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
        self.addCleanup(self.browser.quit)

    def script(self, code):
        return self.browser.execute_script(code)

    def cell(self, bin_, column):
        """The text of a channel's cell, or None while its row is not there."""
        return self.script("const c = document.querySelector('tr[data-bin=\"%d\"] td.%s');"
                           "return c ? c.textContent : null;" % (bin_, column))

    def wait_for_cell(self, bin_, column, predicate, what):
        def matching():
            text = self.cell(bin_, column)
            return text if text is not None and predicate(text) else None
        return wait_for(matching, what)

    def states(self):
        return int(self.script("return document.body.dataset.states || '0'"))
