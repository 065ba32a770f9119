#!/usr/bin/env python3
"""End-to-end runs of `tolvan rank` against a scripted result-page server on 127.0.0.1.

Usage: test_rank_cli.py PATH/TO/tolvan
"""
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
RANK_SERVER = os.path.join(HERE, "..", "support", "rank_server.py")
SHIPPED = os.path.join(HERE, "..", "..", "data", "rank")
TOLVAN = None


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def mojeek_page(addresses):
    items = "".join('<li><h2><a class="title" href="%s">R</a></h2></li>' % a for a in addresses)
    return "<html><body><ul>%s</ul></body></html>" % items


class RankCommand(unittest.TestCase):
    def setUp(self):
        self.base = tempfile.mkdtemp(prefix="tolvan-rank-")
        self.addCleanup(shutil.rmtree, self.base)
        os.makedirs(os.path.join(self.base, "data", "rank"))
        os.makedirs(os.path.join(self.base, "sites"))  # data/ and sites/ make this the base directory
        with open(os.path.join(SHIPPED, "Mojeek.tlx"), encoding="utf-8") as f:
            text = f.read().replace("https://", "http://")
        with open(os.path.join(self.base, "data", "rank", "Mojeek.tlx"), "w", encoding="utf-8") as f:
            f.write(text)
        self.env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(self.base, "config"))

    def serve(self, rules):
        port = free_port()
        script = os.path.join(self.base, "script.json")
        with open(script, "w") as f:
            json.dump(rules, f)
        self.log = os.path.join(self.base, "requests.log")
        proc = subprocess.Popen([sys.executable, RANK_SERVER, str(port), script, self.log])
        self.addCleanup(proc.wait)
        self.addCleanup(proc.terminate)
        deadline = time.time() + 30
        while True:
            try:
                socket.create_connection(("127.0.0.1", port), timeout=1).close()
                break
            except OSError:
                if time.time() > deadline:
                    raise
                time.sleep(0.05)
        with open(os.path.join(self.base, "data", "hosts.tlx"), "w", newline="") as f:
            f.write("[RankEngines]\r\nMojeek=127.0.0.1:%d\r\n[Rank]\r\nLycos=127.0.0.1:%d\r\n" % (port, port))

    def rank(self, *args, **kw):
        return subprocess.run([TOLVAN, "rank", *args], cwd=self.base, env=self.env, capture_output=True,
                              text=True, timeout=120, **kw)

    def test_usage_errors_exit_2(self):
        for args in ([], ["--site", "acme.example"], ["--site", "a", "--phrase", "p", "--depth", "x"],
                     ["--site", "a", "--phrase", "p", "--format", "xml"],
                     ["--site", "a", "--phrase", "p", "--engine", "Nowhere"]):
            result = self.rank(*args)
            self.assertEqual(result.returncode, 2, args)
            self.assertIn("Usage: tolvan rank", result.stderr)

    def test_rows_outcomes_and_exit_status(self):
        self.serve([
            {"path": "/robots.txt", "status": 404},
            {"path": "/search", "params": {"q": "blue+widgets"},
             "body": mojeek_page(["https://x.example/", "https://www.acme.example/shop/a"])},
            {"path": "/search", "params": {"q": "red"}, "body": mojeek_page(["https://x.example/"])},
            {"path": "/cgi-bin/pursuit", "body": "<p>1%] http://www.acme.example/shop/x y</p>"},
        ])
        result = self.rank("--site", "https://acme.example/shop", "--phrase", "blue widgets", "--phrase", "red",
                           "--engine", "Mojeek", "--engine", "lycos", "--pause", "0", "--timeout", "10")
        self.assertEqual(result.returncode, 0, result.stderr)
        rows = [line.split("\t") for line in result.stdout.splitlines()]
        self.assertEqual(rows[0], ["https://acme.example/shop", "blue widgets", "Mojeek", "found", "2",
                                   "https://www.acme.example/shop/a", "2",
                                   "found at place 2: https://www.acme.example/shop/a"])
        self.assertEqual(rows[1][2:5], ["Lycos", "found", "1"])
        self.assertEqual(rows[2][3:8], ["not-found", "", "", "1",
                                        "not found in the first 1 results (the engine served no more results "
                                        "for this phrase)"])
        self.assertEqual(len(rows), 4)

        # CSV: a header and RFC 4180 quoting.
        result = self.rank("--site", "https://acme.example/shop", "--phrase", "blue widgets", "--engine", "Mojeek",
                           "--pause", "0", "--format", "csv")
        self.assertEqual(result.returncode, 0)
        lines = result.stdout.splitlines()
        self.assertTrue(lines[0].startswith("time,site,phrase,engine,outcome,place"))
        self.assertIn(",found,2,https://www.acme.example/shop/a,2,found at place 2: https://www.acme.example/shop/a,",
                      lines[1])

    def test_a_blocked_engine_exits_1_and_an_interrupt_130(self):
        self.serve([
            {"path": "/robots.txt", "status": 404},
            {"path": "/search", "params": {"q": "blocked"}, "status": 429, "reason": "Too Many Requests"},
            {"path": "/search", "params": {"q": "silent"}, "silent": True},
        ])
        result = self.rank("--site", "acme.example", "--phrase", "blocked", "--engine", "Mojeek", "--pause", "0")
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stdout.split("\t")[3], "blocked")

        proc = subprocess.Popen([TOLVAN, "rank", "--site", "acme.example", "--phrase", "silent", "--engine",
                                 "Mojeek", "--pause", "0", "--timeout", "0"], cwd=self.base, env=self.env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.time() + 60
        while time.time() < deadline:
            with open(self.log) as f:
                if "/search?q=silent" in f.read():
                    break
            time.sleep(0.05)
        proc.send_signal(signal.SIGINT)
        self.assertEqual(proc.wait(timeout=60), 130)


if __name__ == "__main__":
    TOLVAN = os.path.abspath(sys.argv.pop(1))
    unittest.main()
