#!/usr/bin/env python3
"""End-to-end runs of `tolvan indexnow`, `tolvan submit` to an IndexNow engine and
`tolvan history submissions`, against the peers of tests/support/indexnow_peers.py.

Usage: test_indexnow_cli.py PATH/TO/tolvan
"""
import csv
import gzip
import io
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
SOURCE = os.path.join(HERE, "..", "..")
PEERS = os.path.join(HERE, "..", "support", "indexnow_peers.py")
TLS_SERVER = os.path.join(HERE, "..", "support", "tls_test_server.py")
sys.path.insert(0, os.path.join(HERE, "..", "support"))
from tinyproxy_peer import Tinyproxy, store_proxy_setting  # noqa: E402

TOLVAN = None
KEY = "0123456789abcdef0123456789abcdef"


class Peers:
    def __init__(self, workdir, cert=None, env=None):
        self.site_dir = os.path.join(workdir, "site")
        os.makedirs(self.site_dir)
        self.control_file = os.path.join(workdir, "control.json")
        self.log = os.path.join(workdir, "endpoint.jsonl")
        self.scheme = "https" if cert else "http"
        self.control({})
        self.proc = subprocess.Popen([sys.executable, PEERS, self.site_dir, self.control_file, self.log]
                                     + (["--cert", cert] if cert else []), stdout=subprocess.PIPE, env=env)
        words = self.proc.stdout.readline().split()
        assert words[0] == b"ready", words
        self.site_port, self.endpoint_port = int(words[1]), int(words[2])

    def control(self, settings):
        with open(self.control_file, "w") as f:
            json.dump(settings, f)

    def site(self, path=""):
        return "%s://127.0.0.1:%d/%s" % (self.scheme, self.site_port, path)

    def endpoint(self):
        return "%s://127.0.0.1:%d" % (self.scheme, self.endpoint_port)

    def put(self, name, data):
        path = os.path.join(self.site_dir, name)
        with open(path, "wb") as f:
            f.write(data if isinstance(data, bytes) else data.encode())

    def requests(self):
        if not os.path.exists(self.log):
            return []
        with open(self.log) as f:
            return [json.loads(line) for line in f]

    def forget(self):
        if os.path.exists(self.log):
            os.remove(self.log)

    def stop(self):
        self.proc.terminate()
        self.proc.wait()
        self.proc.stdout.close()


def urlset(urls, lastmod="2026-01-01"):
    rows = "".join("<url><loc>%s</loc>%s</url>" % (u, "<lastmod>%s</lastmod>" % lastmod if lastmod else "")
                   for u in urls)
    return '<?xml version="1.0" encoding="UTF-8"?>\n<urlset xmlns="http://www.sitemaps.org/schemas/sitemap/0.9">%s</urlset>' % rows


def sitemap_index(locations):
    rows = "".join("<sitemap><loc>%s</loc></sitemap>" % u for u in locations)
    return '<?xml version="1.0"?><sitemapindex xmlns="http://www.sitemaps.org/schemas/sitemap/0.9">%s</sitemapindex>' % rows


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class IndexNowBase(unittest.TestCase):
    cert = None  # a certificate of the test CA makes both peers speak HTTPS

    def setUp(self):
        self.base = tempfile.mkdtemp(prefix="tolvan-indexnow-")
        self.env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(self.base, "config"))
        if self.cert:
            certs = os.path.join(self.base, "certs")
            subprocess.run([sys.executable, TLS_SERVER, "certs", certs], check=True)
            self.env["SSL_CERT_FILE"] = os.path.join(certs, "ca.pem")
            self.env.pop("SSL_CERT_DIR", None)
            self.peers = Peers(self.base, os.path.join(certs, self.cert), self.env)
        else:
            self.peers = Peers(self.base)
        os.makedirs(os.path.join(self.base, "data"))
        os.makedirs(os.path.join(self.base, "sites"))
        shutil.copy(os.path.join(SOURCE, "data", "IndexNow.tlx"), os.path.join(self.base, "data"))
        with open(os.path.join(self.base, "data", "hosts.tlx"), "w") as f:
            f.write("[IndexNow]\r\nIndexNow=%s\r\n" % self.peers.endpoint())
        self.address = self.peers.site()

    def tearDown(self):
        self.peers.stop()
        shutil.rmtree(self.base, ignore_errors=True)

    def save_site(self, key=KEY):
        # The last site fields, as the window leaves them, for the peer's address.
        with open(os.path.join(self.base, "sites", "last.tlx"), "w") as f:
            f.write("[LastSaved]\r\nFORWARD=%s://\r\nURL=127.0.0.1:%d/\r\nTITLE=Test\r\n"
                    % (self.peers.scheme, self.peers.site_port))
            if key:
                f.write("INDEXNOWKEY=%s\r\n" % key)

    def tolvan(self, *args, timeout=300):
        return subprocess.run([TOLVAN] + list(args), cwd=self.base, env=self.env, capture_output=True, text=True,
                              timeout=timeout)

    def notify(self, *extra):
        return self.tolvan("indexnow", "notify", "--site", self.address, "--sitemap", self.peers.site("sitemap.xml"),
                           *extra)

    def expire_waits(self):
        # As if the time an endpoint asked for had passed.
        db = sqlite3.connect(os.path.join(self.base, "history.db"))
        with db:
            self.assertGreater(db.execute("UPDATE endpoint_waits SET until = 0").rowcount, 0)
        db.close()

    def rows(self, result):
        return [line.split("\t") for line in result.stdout.splitlines()]

    def use_proxy(self, port):
        store_proxy_setting(os.path.join(self.base, "config"), port)


class IndexNowCommand(IndexNowBase):

    def test_batches_from_a_sitemap_index_survive_a_429_and_send_exactly_the_rest(self):
        self.save_site()
        self.peers.put(KEY + ".txt", KEY + "\n")
        urls = [self.peers.site("page/%d.html" % i) for i in range(25000)]
        self.peers.put("a.xml", urlset(urls[:9000]))
        self.peers.put("b.xml.gz", gzip.compress(urlset(urls[9000:18000]).encode()))
        self.peers.put("c.xml", urlset(urls[18000:] + ["http://elsewhere.example/x.html"]))
        self.peers.put("sitemap.xml", sitemap_index([self.peers.site(n) for n in ("a.xml", "b.xml.gz", "c.xml")]))
        self.peers.control({"statuses": [200, {"status": 429, "retry_after": "120"}]})

        first = self.notify()
        self.assertEqual(first.returncode, 1, first.stderr)
        rows = self.rows(first)
        self.assertEqual(len(rows), 25001)
        self.assertEqual(rows[0], ["http://elsewhere.example/x.html", "IndexNow", "skipped",
                                   "not on 127.0.0.1:%d: the endpoint would refuse it (422)" % self.peers.site_port])
        outcome = {r[0]: r for r in rows}
        self.assertEqual(outcome[urls[0]][2], "accepted")
        self.assertEqual(outcome[urls[10000]][2], "failed")
        self.assertIn("429", outcome[urls[10000]][3])
        self.assertIn("retry after 120 seconds", outcome[urls[10000]][3])
        self.assertIn("not sent", outcome[urls[24999]][3])
        sent = self.peers.requests()
        self.assertEqual(len(sent), 2)  # the third batch waits for the next notify
        self.assertEqual(sent[0]["content_type"], "application/json; charset=utf-8")
        self.assertEqual(sent[0]["body"], json.dumps(
            {"host": "127.0.0.1:%d" % self.peers.site_port, "key": KEY,
             "keyLocation": self.peers.site(KEY + ".txt"), "urlList": urls[:10000]}, separators=(",", ":")))
        self.assertIn("10000 accepted", first.stderr)

        # Within the 120 seconds the endpoint asked for, a new notify leaves it alone and says until when.
        self.peers.forget()
        self.peers.control({})
        waiting = self.notify()
        self.assertEqual(waiting.returncode, 1, waiting.stderr)
        self.assertEqual(waiting.stdout, "")
        self.assertRegex(waiting.stderr, r"Nothing was sent: IndexNow answered 429 Too Many Requests earlier and may "
                                         r"be asked again after \d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ \(in \d+ seconds\)")
        self.assertEqual(self.peers.requests(), [])

        self.expire_waits()
        second = self.notify()
        self.assertEqual(second.returncode, 0, second.stderr)
        resent = [u for r in self.peers.requests() for u in json.loads(r["body"])["urlList"]]
        self.assertEqual(resent, urls[10000:])
        self.assertEqual([len(json.loads(r["body"])["urlList"]) for r in self.peers.requests()], [10000, 5000])

        self.peers.forget()
        third = self.notify()
        self.assertEqual(third.returncode, 0, third.stderr)
        self.assertEqual(self.peers.requests(), [])
        self.assertIn("nothing to notify", third.stderr)

        # A page that changed after it was accepted goes out again; --since and --limit narrow the pick.
        self.peers.put("sitemap.xml", urlset(urls[:3], lastmod="2099-01-01"))
        again = self.notify("--limit", "2")
        self.assertEqual([r[0] for r in self.rows(again)], urls[:2])
        since = self.notify("--since", "2100-01-01")
        self.assertEqual(self.rows(since), [])

    def test_answers_are_explained_and_pending_counts_as_notified(self):
        self.save_site()
        self.peers.put("sitemap.xml", urlset([self.peers.site("a.html")]))
        missing = self.notify()  # no key file on the site yet
        self.assertEqual(missing.returncode, 1)
        row = self.rows(missing)[0]
        self.assertEqual(row[2], "failed")
        self.assertTrue(row[3].startswith("HTTP/1.0 403"), row[3])
        self.assertIn("key file is missing or different at " + self.peers.site(KEY + ".txt"), row[3])

        self.peers.put(KEY + ".txt", KEY + "\n")
        self.peers.control({"pending": True})
        pending = self.notify()
        self.assertEqual(pending.returncode, 0, pending.stderr)
        self.assertEqual(self.rows(pending)[0][2], "pending")
        self.assertIn("accepted, key validation pending", self.rows(pending)[0][3])
        self.assertEqual(self.notify().returncode, 0)
        self.assertEqual(len(self.peers.requests()), 2)  # the third notify had nothing to send

    def test_a_sitemap_without_dates_needs_all_and_dry_run_sends_nothing(self):
        self.save_site()
        self.peers.put(KEY + ".txt", KEY)
        pages = [self.peers.site("p%d.html" % i) for i in range(3)]
        with open(os.path.join(self.base, "local.xml.gz"), "wb") as f:
            f.write(gzip.compress(urlset(pages, lastmod=None).encode()))
        plain = self.tolvan("indexnow", "notify", "--site", self.address, "--sitemap", "local.xml.gz")
        self.assertEqual(plain.returncode, 1)
        self.assertIn("no <lastmod>", plain.stderr)
        self.assertIn("--all", plain.stderr)
        dry = self.tolvan("indexnow", "notify", "--site", self.address, "--sitemap", "local.xml.gz", "--all",
                          "--dry-run")
        self.assertEqual([r[2] for r in self.rows(dry)], ["skipped"] * 3)
        self.assertEqual(self.peers.requests(), [])
        full = self.tolvan("indexnow", "notify", "--site", self.address, "--sitemap", "local.xml.gz", "--all")
        self.assertEqual(full.returncode, 0, full.stderr)
        self.assertEqual(json.loads(self.peers.requests()[0]["body"])["urlList"], pages)

    def test_cancel_loses_nothing(self):
        self.save_site()
        self.peers.put(KEY + ".txt", KEY)
        urls = [self.peers.site("c/%d" % i) for i in range(12000)]
        self.peers.put("sitemap.xml", urlset(urls))
        self.peers.control({"delay": 30})
        proc = subprocess.Popen([TOLVAN, "indexnow", "notify", "--site", self.address, "--sitemap",
                                 self.peers.site("sitemap.xml")], cwd=self.base, env=self.env,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        deadline = time.time() + 120
        while time.time() < deadline and proc.poll() is None and not self._connected():
            time.sleep(0.5)  # the first batch is on its way once tolvan holds a connection to the endpoint
        proc.send_signal(signal.SIGINT)
        out, err = proc.communicate(timeout=60)
        self.assertEqual(proc.returncode, 130, err)
        self.assertNotIn("accepted", [line.split("\t")[2] for line in out.splitlines()])
        self.peers.control({})
        started = time.time()
        after = self.notify()
        self.assertEqual(after.returncode, 0, after.stderr)
        fresh = [r for r in self.peers.requests() if r["received"] >= started]
        self.assertEqual([u for r in fresh for u in json.loads(r["body"])["urlList"]], urls)

    def _connected(self):
        # A connection from tolvan to the endpoint is open (seen in /proc/net/tcp).
        port = "%04X" % self.peers.endpoint_port
        with open("/proc/net/tcp") as f:
            return any(line.split()[2].endswith(":" + port) and line.split()[3] == "01" for line in f.readlines()[1:])

    def test_key_generate_check_and_a_site_without_key(self):
        self.save_site(key=None)
        self.peers.put("sitemap.xml", urlset([self.peers.site("a.html")]))
        nokey = self.notify()
        self.assertEqual(nokey.returncode, 1)
        self.assertIn("tolvan indexnow key --site %s --generate" % self.address, nokey.stderr)
        self.assertEqual(self.peers.requests(), [])
        self.assertEqual(self.tolvan("indexnow", "key", "--site", self.address).returncode, 1)

        made = self.tolvan("indexnow", "key", "--site", self.address, "--generate")
        self.assertEqual(made.returncode, 0, made.stderr)
        key = self.rows(made)[0][1]
        self.assertRegex(key, r"^[0-9a-f]{32}$")
        self.assertEqual(self.rows(made)[1], ["keyLocation", self.peers.site(key + ".txt")])
        self.assertEqual(self.rows(self.tolvan("indexnow", "key", "--site", self.address))[0][1], key)

        check = self.tolvan("indexnow", "check", "--site", self.address)
        self.assertEqual((check.returncode, self.rows(check)[0][1]), (1, "missing"))
        self.assertIn("404", check.stdout)
        self.peers.put(key + ".txt", "something else")
        self.assertEqual(self.rows(self.tolvan("indexnow", "check", "--site", self.address))[0][1], "different")
        self.peers.put(key + ".txt", key + "\r\n")
        check = self.tolvan("indexnow", "check", "--site", self.address)
        self.assertEqual((check.returncode, self.rows(check)[0][1]), (0, "in-place"))

        self.assertEqual(self.tolvan("indexnow", "notify", "--site", self.address).returncode, 2)
        self.assertEqual(self.tolvan("indexnow", "frob").returncode, 2)
        self.assertEqual(self.notify("--endpoint", "Nowhere").returncode, 2)

    def test_submit_to_indexnow_engine_records_history(self):
        self.save_site()
        self.peers.put(KEY + ".txt", KEY)
        self.peers.control({"statuses": [{"status": 429, "retry_after": "30"}]})
        other = "http://127.0.0.1:%d/other/" % self.peers.site_port
        run = self.tolvan("submit", "--site", self.address, "--site", other, "--engine", "IndexNow", timeout=120)
        self.assertEqual(run.returncode, 0, run.stderr)
        rows = self.rows(run)
        self.assertEqual(rows[0][:3], [self.address, "IndexNow", "failed"])
        self.assertIn("151: 429", rows[0][3])
        self.assertIn("retry after 30 seconds", rows[0][3])
        self.assertEqual(rows[1][:3], [other, "IndexNow", "failed"])  # not asked again this run
        self.assertIn("earlier in this run", rows[1][3])
        sent = self.peers.requests()
        self.assertEqual(len(sent), 1)
        self.assertEqual(sent[0]["query"], {"url": self.address, "key": KEY, "keyLocation": self.peers.site(KEY + ".txt")})

        # The next run within the 30 seconds sends nothing and says when it may.
        self.peers.control({"pending": True})
        waiting = self.tolvan("submit", "--site", self.address, "--engine", "IndexNow", timeout=120)
        self.assertEqual(self.rows(waiting)[0][:3], [self.address, "IndexNow", "failed"])
        self.assertRegex(self.rows(waiting)[0][3], r"^Not sent: IndexNow answered 429 Too Many Requests earlier and "
                                                   r"may be asked again after .*Z \(in [0-9]+ seconds?\)\.$")
        self.assertEqual(len(self.peers.requests()), 1)

        self.expire_waits()
        ok = self.tolvan("submit", "--site", self.address, "--engine", "IndexNow", timeout=120)
        self.assertEqual(self.rows(ok)[0][2:], ["success", "accepted, key validation pending"])

        listed = self.tolvan("history", "submissions", "--engine", "indexnow")
        self.assertEqual(listed.returncode, 0, listed.stderr)
        history = self.rows(listed)
        self.assertEqual(len(history), 4)
        self.assertEqual([h[6] for h in history], ["failed", "failed", "failed", "success"])
        self.assertNotIn(KEY, listed.stdout)  # masked in the address
        self.assertIn("key=****", history[0][4])
        self.assertEqual(history[0][5], "HTTP/1.0 429 Too Many Requests")
        table = list(csv.reader(io.StringIO(self.tolvan("history", "submissions", "--csv").stdout)))
        self.assertEqual(table[0][:3], ["Time", "Site", "Engine"])
        self.assertEqual(len(table), 5)
        self.assertEqual(self.rows(self.tolvan("history", "submissions", "--since", "2100-01-01")), [])
        self.assertEqual(self.tolvan("history", "submissions", "--since", "soon").returncode, 2)

    def test_a_damaged_history_leaves_the_run_working_with_one_message(self):
        self.save_site()
        self.peers.put(KEY + ".txt", KEY)
        with open(os.path.join(self.base, "history.db"), "wb") as f:
            f.write(b"not a database" * 500)
        other = "http://127.0.0.1:%d/other/" % self.peers.site_port
        run = self.tolvan("submit", "--site", self.address, "--site", other, "--engine", "IndexNow", timeout=120)
        self.assertEqual([r[2] for r in self.rows(run) if len(r) > 2], ["success", "success"], run.stderr)
        self.assertEqual(run.stderr.count("History is not being kept"), 1, run.stderr)
        self.assertEqual(len(self.peers.requests()), 2)

    def test_the_options_proxy_carries_every_request(self):
        self.save_site()
        self.peers.put(KEY + ".txt", KEY)
        self.peers.put("sitemap.xml", urlset([self.peers.site("a.html")]))
        # A proxy that is not there: nothing reaches the site or the endpoint directly.
        self.use_proxy(free_port())
        refused = self.notify()
        self.assertEqual(refused.returncode, 1, refused.stderr)
        self.assertEqual(self.peers.requests(), [])
        self.assertEqual(self.tolvan("indexnow", "check", "--site", self.address).returncode, 1)

        proxy = Tinyproxy(self.base)
        try:
            self.use_proxy(proxy.port)
            sent = self.notify()
            self.assertEqual(sent.returncode, 0, sent.stderr)
            self.assertEqual(self.rows(sent)[0][:3], [self.peers.site("a.html"), "IndexNow", "accepted"])
            check = self.tolvan("indexnow", "check", "--site", self.address)
            self.assertEqual((check.returncode, self.rows(check)[0][1]), (0, "in-place"), check.stderr)
            carried = proxy.requests()
        finally:
            proxy.stop()
        self.assertIn("GET %s HTTP/1.0" % self.peers.site("sitemap.xml"), carried)
        self.assertIn("POST %s/indexnow HTTP/1.0" % self.peers.endpoint(), carried)
        self.assertIn("GET %s HTTP/1.0" % self.peers.site(KEY + ".txt"), carried)
        self.assertIn("tinyproxy", self.peers.requests()[0]["via"])


class IndexNowOverHttps(IndexNowBase):
    """The endpoint and the site speak HTTPS with a certificate of the test CA."""
    cert = "good.pem"

    def test_notify_and_key_file_check_over_https_directly_and_through_a_tunnel(self):
        self.save_site()
        pages = [self.peers.site("p%d.html" % i) for i in range(3)]
        self.peers.put("sitemap.xml", urlset(pages))
        check = self.tolvan("indexnow", "check", "--site", self.address)
        self.assertEqual((check.returncode, self.rows(check)[0][:2]), (1, [self.peers.site(KEY + ".txt"), "missing"]))
        self.assertIn("404", check.stdout)
        self.peers.put(KEY + ".txt", "another-key-entirely")
        self.assertEqual(self.rows(self.tolvan("indexnow", "check", "--site", self.address))[0][1], "different")
        self.peers.put(KEY + ".txt", KEY + "\n")
        check = self.tolvan("indexnow", "check", "--site", self.address)
        self.assertEqual((check.returncode, self.rows(check)[0][1]), (0, "in-place"), check.stderr)

        sent = self.notify()
        self.assertEqual(sent.returncode, 0, sent.stderr)
        self.assertEqual([r[2] for r in self.rows(sent)], ["accepted"] * 3)
        request = self.peers.requests()[0]
        self.assertEqual((request["method"], request["path"]), ("POST", "/indexnow"))
        self.assertEqual(request["body"], json.dumps(
            {"host": "127.0.0.1:%d" % self.peers.site_port, "key": KEY, "keyLocation": self.peers.site(KEY + ".txt"),
             "urlList": pages}, separators=(",", ":")))

        # An untrusted certificate is refused: nothing is sent and the row says why.
        env = dict(self.env, SSL_CERT_FILE=os.path.join(self.base, "certs", "good.pem"))
        untrusted = subprocess.run([TOLVAN, "indexnow", "notify", "--site", self.address, "--sitemap",
                                    self.peers.site("sitemap.xml"), "--all"], cwd=self.base, env=env,
                                   capture_output=True, text=True, timeout=120)
        self.assertEqual(untrusted.returncode, 1)
        self.assertIn("not trusted", untrusted.stderr)
        self.assertEqual(len(self.peers.requests()), 1)

        # Through the Options proxy the requests go through CONNECT tunnels.
        self.peers.forget()
        proxy = Tinyproxy(self.base)
        try:
            self.use_proxy(proxy.port)
            self.peers.put("sitemap.xml", urlset(pages, lastmod="2099-01-01"))
            again = self.notify()
            self.assertEqual(again.returncode, 0, again.stderr)
            self.assertEqual([r[2] for r in self.rows(again)], ["accepted"] * 3)
            check = self.tolvan("indexnow", "check", "--site", self.address)
            self.assertEqual((check.returncode, self.rows(check)[0][1]), (0, "in-place"), check.stderr)
            carried = proxy.requests()
        finally:
            proxy.stop()
        self.assertEqual(len(self.peers.requests()), 1)
        self.assertIn("CONNECT 127.0.0.1:%d HTTP/1.0" % self.peers.endpoint_port, carried)
        self.assertEqual(sum(1 for r in carried if r == "CONNECT 127.0.0.1:%d HTTP/1.0" % self.peers.site_port), 2)


if __name__ == "__main__":
    TOLVAN = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
