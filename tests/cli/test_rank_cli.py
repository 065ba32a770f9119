#!/usr/bin/env python3
"""End-to-end runs of `tolvan rank` against a scripted result-page server on 127.0.0.1.

Usage: test_rank_cli.py PATH/TO/tolvan
"""
import json
import os
import shutil
import signal
import socket
import sqlite3
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
RANK_SERVER = os.path.join(HERE, "..", "support", "rank_server.py")
sys.path.insert(0, os.path.join(HERE, "..", "support"))
from tinyproxy_peer import Tinyproxy, store_proxy_setting  # noqa: E402

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
        port = self.port = free_port()
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
            f.write("[RankEngines]\r\nMojeek=127.0.0.1:%d\r\nBrave Search=127.0.0.1:%d\r\n[Rank]\r\nLycos=127.0.0.1:%d\r\n"
                    % (port, port, port))

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

    def use_proxy(self, port):
        # Its box not ticked: a stored proxy counts all the same.
        store_proxy_setting(os.path.join(self.base, "config"), port, ticked=False)

    def test_requests_go_through_the_options_proxy(self):
        self.serve([
            {"path": "/robots.txt", "status": 404},
            {"path": "/search", "body": mojeek_page(["https://www.acme.example/"])},
            {"path": "/cgi-bin/pursuit", "body": "<p>1%] http://www.acme.example/ y</p>"},
        ])
        self.use_proxy(free_port())  # nobody listens there
        result = self.rank("--site", "acme.example", "--phrase", "blue", "--engine", "Mojeek", "--pause", "0")
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertEqual(result.stdout.split("\t")[3], "failed")
        self.assertFalse(os.path.exists(self.log) and os.path.getsize(self.log), "nothing bypasses the proxy")

        proxy = Tinyproxy(self.base)
        self.addCleanup(proxy.stop)
        self.use_proxy(proxy.port)
        result = self.rank("--site", "acme.example", "--phrase", "blue", "--engine", "Mojeek", "--engine", "Lycos",
                           "--pause", "0")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual([row.split("\t")[3] for row in result.stdout.splitlines()], ["found", "found"])
        carried = proxy.requests()
        port = self.port
        self.assertIn("GET http://127.0.0.1:%d/robots.txt HTTP/1.0" % port, carried)
        self.assertIn("GET http://127.0.0.1:%d/search?q=blue&s=1 HTTP/1.0" % port, carried)
        self.assertTrue(any(line.startswith("GET http://127.0.0.1:%d/cgi-bin/pursuit" % port) for line in carried),
                        carried)

    def test_an_unattended_run_reads_keys_from_an_owner_only_file(self):
        with open(os.path.join(SHIPPED, "Brave Search.tlx"), encoding="utf-8") as f:
            text = f.read().replace("https://", "http://")
        with open(os.path.join(self.base, "data", "rank", "Brave Search.tlx"), "w", encoding="utf-8") as f:
            f.write(text)
        self.serve([{"path": "/res/v1/web/search", "type": "application/json",
                     "body": json.dumps({"web": {"results": [{"url": "https://www.acme.example/"}]}})}])
        keys = os.path.join(self.base, "config", "rank-keys")
        os.makedirs(os.path.dirname(keys), exist_ok=True)
        with open(keys, "w") as f:
            f.write("# keys for cron\nMojeek=unused\n\n  brave search = k=42  \n")
        # As under cron: no session bus, so no secret store.
        self.env.update(DBUS_SESSION_BUS_ADDRESS="unix:path=/nonexistent/bus", TOLVAN_RANK_KEYS_FILE=keys)
        args = ("--site", "acme.example", "--phrase", "blue", "--engine", "Brave Search", "--pause", "0")

        for mode in (0o640, 0o604):
            os.chmod(keys, mode)
            result = self.rank(*args)
            self.assertEqual(result.returncode, 1, result.stderr)
            self.assertIn("The rank keys file %s can be read by others" % keys, result.stderr)
            self.assertEqual(result.stdout.split("\t")[3], "failed")
            self.assertFalse(os.path.exists(self.log), "no request without a key")

        os.chmod(keys, 0o600)
        result = self.rank(*args)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout.split("\t")[3:5], ["found", "1"])
        with open(self.log + ".headers") as f:
            self.assertEqual(json.loads(f.readline())["X-Subscription-Token"], "k=42")

        with open(keys, "w") as f:
            f.write("Mojeek=unused\n")
        result = self.rank(*args)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertEqual(result.stdout.rstrip("\n").split("\t")[7],
                         "failed: no API key is stored for Brave Search; enter it in the rank section of the "
                         "Options page")

    def history(self, *args):
        return subprocess.run([TOLVAN, "history", "rank", *args], cwd=self.base, env=self.env, capture_output=True,
                              text=True, timeout=60)

    def test_every_outcome_goes_into_the_history(self):
        self.serve([
            {"path": "/robots.txt", "status": 404},
            {"path": "/search", "params": {"q": "blue+widgets"},
             "body": mojeek_page(["https://x.example/a,b", "https://www.acme.example/shop/a"])},
            {"path": "/search", "params": {"q": "blocked"}, "status": 403, "reason": "Forbidden"},
            {"path": "/cgi-bin/pursuit", "body": "<p>1%] http://x.example/l y</p><p>2%] http://acme.example/shop y</p>"},
        ])
        result = self.history()
        self.assertEqual((result.returncode, result.stdout), (0, ""), "no history yet is an empty one")
        result = self.rank("--site", "https://acme.example/shop", "--phrase", "blue widgets", "--phrase", "blocked",
                           "--engine", "Mojeek", "--engine", "Lycos", "--pause", "0", "--timeout", "10")
        self.assertEqual(result.returncode, 1, result.stderr)

        rows = [line.split("\t") for line in self.history().stdout.splitlines()]
        self.assertEqual(len(rows), 4)
        self.assertRegex(rows[0][0], r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ$")
        self.assertEqual(rows[0][1:10], ["https://acme.example/shop", "blue widgets", "Mojeek", "found", "2",
                                         "https://www.acme.example/shop/a", "2",
                                         "found at place 2: https://www.acme.example/shop/a",
                                         "https://x.example/a,b https://www.acme.example/shop/a"])
        self.assertEqual(rows[1][3:6], ["Lycos", "found", "2"])
        self.assertEqual(rows[1][6], "http://acme.example/shop", "the eight engines give the matching address too")
        self.assertEqual(rows[1][9], "http://x.example/l http://acme.example/shop")
        self.assertEqual(rows[2][3:5], ["Mojeek", "blocked"])
        self.assertEqual(rows[3][3:5], ["Lycos", "found"])

        # Filters: site and phrase without regard to case, a date; CSV with RFC 4180 quoting.
        self.assertEqual(len(self.history("--phrase", "BLOCKED").stdout.splitlines()), 2)
        self.assertEqual(len(self.history("--site", "https://ACME.example/shop", "--since", "2000-01-01")
                             .stdout.splitlines()), 4)
        self.assertEqual(self.history("--since", "2999-01-01").stdout, "")
        csv = self.history("--phrase", "blue widgets", "--csv").stdout
        self.assertTrue(csv.startswith("time,site,phrase,engine,outcome,place,address,depth,detail,competitors\n"))
        self.assertIn(',"https://x.example/a,b https://www.acme.example/shop/a"\n', csv)
        for bad in (["--since", "yesterday"], ["--site"], ["--engine", "x"]):
            result = self.history(*bad)
            self.assertEqual(result.returncode, 2, bad)
            self.assertIn("Usage: tolvan history rank", result.stderr)

    def test_one_site_in_several_forms_is_one_history(self):
        self.serve([
            {"path": "/robots.txt", "status": 404},
            {"path": "/search", "body": mojeek_page(["https://www.acme.example/"])},
        ])
        result = self.rank("--site", "HTTP://WWW.Acme.example", "--phrase", "a", "--engine", "Mojeek", "--pause", "0")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout.split("\t")[0], "HTTP://WWW.Acme.example", "printed as given")
        db = sqlite3.connect(os.path.join(self.base, "history.db"))
        with db:  # a row as an earlier version wrote it
            db.execute("INSERT INTO rank_checks (time, site, phrase, engine, outcome, place, address, depth, detail)"
                       " VALUES ('2026-01-01T06:00:00Z', 'http://www.acme.example', 'a', 'Mojeek', 'found', 5, '',"
                       " 10, '')")
        db.close()
        for form in ("http://www.acme.example/", "http://WWW.ACME.example", "Http://www.acme.example"):
            rows = [line.split("\t") for line in self.history("--site", form).stdout.splitlines()]
            self.assertEqual([(r[1], r[5]) for r in rows],
                             [("http://www.acme.example", "5"), ("http://www.acme.example/", "1")], form)

    def test_a_locked_history_does_not_stop_the_run(self):
        self.serve([
            {"path": "/robots.txt", "status": 404},
            {"path": "/search", "body": mojeek_page(["https://www.acme.example/"])},
        ])
        self.assertEqual(self.rank("--site", "acme.example", "--phrase", "a", "--engine", "Mojeek",
                                   "--pause", "0").returncode, 0)
        other = sqlite3.connect(os.path.join(self.base, "history.db"), isolation_level=None)
        self.addCleanup(other.close)
        other.execute("BEGIN EXCLUSIVE")
        result = self.rank("--site", "acme.example", "--phrase", "b", "--phrase", "c", "--engine", "Mojeek",
                           "--pause", "0")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(len(result.stdout.splitlines()), 2, "every outcome is printed")
        self.assertEqual(result.stderr.count("History is not being kept"), 1, result.stderr)
        other.execute("ROLLBACK")
        self.assertEqual(len(self.history().stdout.splitlines()), 1)


if __name__ == "__main__":
    TOLVAN = os.path.abspath(sys.argv.pop(1))
    unittest.main()
