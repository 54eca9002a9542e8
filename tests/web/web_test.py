"""lumivex-web against a real publisher, through headless Chromium, and its
command line and token through plain HTTP(S) requests. Loopback only."""
import os
import subprocess
import unittest

from web_support import BIN, BrowserCase, Publisher, Web, WebCase, request, stream_opens, wait_for

HOSTILE = "Rig \"A\" \\ <script>document.title='owned'</script> & <b>bold</b>"
TOKEN = "Ldj8qmyjaq3B6L61U20GFSGyZlIU_GUL"


class Page(BrowserCase):
    def open(self, web):
        self.browser.get(web.url)
        wait_for(lambda: self.states() > 0, "the first state")

    def caption(self, key):
        return self.script("const f = document.querySelector('figure[data-station=\"%s\"]:not([hidden])');"
                           "return f ? f.querySelector('figcaption').textContent : null;" % key)

    def test_table_shows_what_is_published_and_text_only_as_text(self):
        Publisher(self, "--bins", "0", "--flags", "0x213", "--description", HOSTILE, "--rate", "100",
                  "--pose", "0=1.25,-0.5,0.75,0,0,0")
        self.open(Web(self, "--listen", "127.0.0.1:0", "--bins", "0-3"))
        self.wait_for_cell(0, "rate", lambda text: text != "-", "a write rate")
        self.assertEqual(self.cell(0, "description"), HOSTILE)
        self.assertEqual(self.cell(0, "unit"), "METERS")
        self.assertEqual(self.cell(0, "active"), "0-1")
        self.assertEqual(self.cell(0, "status"), "live")
        self.assertGreater(float(self.cell(0, "rate")), 0.0)
        self.assertIn("x y z 1.250 -0.500 0.750 METERS", self.caption("0/0"))
        self.assertIsNone(self.cell(1, "status"), "a channel never published is left out")
        self.assertEqual(self.script("return document.querySelectorAll('#channels script, #channels b').length"), 0)
        self.assertNotEqual(self.browser.title, "owned")

    def test_removed_channel_shows_as_gone_and_comes_back(self):
        first = Publisher(self, "--bins", "1")
        self.open(Web(self, "--listen", "127.0.0.1:0", "--bins", "0-3"))
        self.wait_for_cell(1, "status", lambda text: text == "live", "channel 1 live")
        first.stop()
        self.wait_for_cell(1, "status", lambda text: text == "gone", "channel 1 gone")
        Publisher(self, "--bins", "1")
        self.wait_for_cell(1, "status", lambda text: text == "live", "channel 1 back")

    def test_held_mutex_and_dead_writer_show_in_the_state(self):
        self.open(Web(self, "--listen", "127.0.0.1:0", "--bins", "0-3"))
        for publisher, shown in [(["--bins", "2", "--rate", "0.25", "--hold-lock-ms", "3000"], "held"),
                                 (["--bins", "3", "--crash-after", "20"], "writer died 1\u00d7")]:
            with self.subTest(shown=shown):
                Publisher(self, *publisher)
                self.wait_for_cell(int(publisher[1]), "status", lambda text: shown in text, shown)

    def test_view_changes_when_a_station_moves(self):
        def place(x, y, z):
            Publisher(self, "--once", "--bins", "0", "--motion", "still", "--pose", "0=%g,%g,%g,0,0,0" % (x, y, z)).finish()
            shown = "x y z %.3f %.3f %.3f" % (x, y, z)
            wait_for(lambda: shown in (self.caption("0/0") or ""), "the pose " + shown)

        def settled_view():
            # Two pictures alike: the page drew everything it had.
            shots = [None, self.browser.find_element("id", "scene").screenshot_as_png]
            wait_for(lambda: shots.append(self.browser.find_element("id", "scene").screenshot_as_png)
                     or shots[-1] == shots[-2], "a settled 3-D view")
            return shots[-1]

        Publisher(self, "--once", "--bins", "0", "--motion", "still").finish()
        self.open(Web(self, "--listen", "127.0.0.1:0", "--bins", "0"))
        if self.script("return !document.getElementById('no-3d').hidden"):
            self.skipTest("this Chromium offers no WebGL")
        place(0, 0, 0)
        before = settled_view()
        place(1, 0.5, 1)
        self.assertNotEqual(settled_view(), before)

    def test_page_reconnects_after_the_program_restarts(self):
        Publisher(self, "--bins", "0")
        web = Web(self, "--listen", "127.0.0.1:0", "--bins", "0")
        self.open(web)
        wait_for(lambda: self.browser.find_element("id", "connection").text == "connected", "connected")
        web.stop()
        wait_for(lambda: "lost" in self.browser.find_element("id", "connection").text, "the loss shown")
        Web(self, "--listen", "127.0.0.1:%d" % web.port, "--bins", "0")
        wait_for(lambda: self.browser.find_element("id", "connection").text == "connected", "connected again")
        seen = self.states()
        wait_for(lambda: self.states() > seen, "states after the restart")


class CommandLine(WebCase):
    def refusal(self, *arguments):
        run = subprocess.run([os.path.join(BIN, "lumivex-web"), *arguments], env=self.environment,
                             capture_output=True, text=True, timeout=60)
        return run.returncode, run.stderr

    def test_refuses_to_serve_beyond_loopback_without_tls_and_token(self):
        cert, key, token = self.file("c.pem", ""), self.file("k.pem", ""), self.file("t", TOKEN)
        for arguments, complaint in [
            (["--listen", "0.0.0.0:8360"], "needs --tls-cert, --tls-key and --token-file"),
            (["--listen", "192.168.1.2:8360", "--tls-cert", cert, "--tls-key", key], "needs --tls-cert"),
            (["--listen", "0.0.0.0:8360", "--token-file", token], "needs --tls-cert"),
            (["--tls-cert", cert], "--tls-cert and --tls-key go together"),
            (["--listen", "localhost:80"], "IPv4 address"),
            (["--listen", "127.0.0.1:65536"], "0..65535"),
        ]:
            with self.subTest(arguments=arguments):
                status, said = self.refusal(*arguments)
                self.assertEqual(status, 2, said)
                self.assertIn(complaint, said)

    def test_token_guards_page_and_stream(self):
        cert, key = self.make_certificate()
        token_file = self.file("token", TOKEN + "\n")
        for secure, arguments in [(False, []), (True, ["--tls-cert", cert, "--tls-key", key])]:
            with self.subTest(secure=secure):
                web = Web(self, "--listen", "127.0.0.1:0", "--token-file", token_file, *arguments)
                self.assertNotIn(TOKEN, web.url)
                self.assertEqual(request(web, "/?token=" + TOKEN, secure)[0], 200)
                self.assertEqual(request(web, "/?token=" + TOKEN[:-1] + "x", secure)[0], 403)
                self.assertEqual(request(web, "/", secure)[0], 403)
                self.assertTrue(stream_opens(web, TOKEN, secure))
                self.assertFalse(stream_opens(web, "wrong" + TOKEN, secure))
                web.stop()

    def test_refuses_a_token_that_is_short_or_unsafe(self):
        for text in ["short", "with space inside it", ""]:
            with self.subTest(token=text):
                status, said = self.refusal("--token-file", self.file("token", text))
                self.assertEqual(status, 1, said)
                self.assertIn("is not at least 16", said)

    def make_certificate(self):
        cert, key = self.file("cert.pem", ""), self.file("key.pem", "")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                        "-days", "1", "-subj", "/CN=127.0.0.1"], check=True, capture_output=True, timeout=60)
        return cert, key


if __name__ == "__main__":
    unittest.main()
