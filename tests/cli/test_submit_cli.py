#!/usr/bin/env python3
"""End-to-end runs of `tolvan submit` against a scripted engine server on 127.0.0.1.

Usage: test_submit_cli.py PATH/TO/tolvan
"""
import json
import os
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ENGINE_SERVER = os.path.join(HERE, "..", "support", "engine_server.py")
TLS_SERVER = os.path.join(HERE, "..", "support", "tls_test_server.py")
TOLVAN = None


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class EngineServer:
    def __init__(self, workdir, script, cert=None, tag=""):
        self.port = free_port()
        self.scheme = "https" if cert else "http"
        self.log = os.path.join(workdir, "requests%s.jsonl" % tag)
        script_file = os.path.join(workdir, "script%s.json" % tag)
        with open(script_file, "w") as f:
            json.dump(script, f)
        self.proc = subprocess.Popen([sys.executable, ENGINE_SERVER, str(self.port), script_file, self.log]
                                     + ([cert] if cert else []), stdout=subprocess.PIPE)
        assert self.proc.stdout.readline().strip() == b"ready"

    def url(self, path):
        return "%s://127.0.0.1:%d%s" % (self.scheme, self.port, path)

    def requests(self):
        if not os.path.exists(self.log):
            return []
        with open(self.log) as f:
            return [json.loads(line) for line in f]

    def stop(self):
        self.proc.terminate()
        self.proc.wait()
        self.proc.stdout.close()


def definition(action, method="POST"):
    return ("[Fields]\r\nURL=url\r\nTITLE=title\r\n[SITE]\r\nACTION=%s\r\nMETHOD=%s\r\nURL=http://engine.example/\r\n"
            % (action, method))


class SubmitCommand(unittest.TestCase):
    def setUp(self):
        self.base = tempfile.mkdtemp(prefix="tolvan-cli-")
        self.config = tempfile.mkdtemp(prefix="tolvan-cli-config-")
        os.makedirs(os.path.join(self.base, "data"))
        os.makedirs(os.path.join(self.base, "sites"))
        self.server = None
        self.servers = []

    def tearDown(self):
        if self.server:
            self.server.stop()
        for server in self.servers:
            server.stop()
        shutil.rmtree(self.base, ignore_errors=True)
        shutil.rmtree(self.config, ignore_errors=True)

    def write(self, relative, text):
        with open(os.path.join(self.base, relative), "w", newline="") as f:
            f.write(text)

    def serve(self, script):
        self.server = EngineServer(self.config, script)
        return self.server

    def settings(self, values):
        os.makedirs(os.path.join(self.config, "Brindle"), exist_ok=True)
        lines = ["Windows Registry Editor Version 5.00", "",
                 "[HKEY_CURRENT_USER\\Software\\Brindle\\Tolvan\\init]"]
        lines += ['"%s"="%s"' % kv for kv in values.items()]
        with open(os.path.join(self.config, "Brindle", "Tolvan.reg"), "w", newline="") as f:
            f.write("\r\n".join(lines) + "\r\n")

    def run_submit(self, *args, timeout=60, env=None):
        env = dict(env or os.environ, XDG_CONFIG_HOME=self.config)
        return subprocess.run([TOLVAN, "submit", *args], cwd=self.base, env=env, capture_output=True,
                              text=True, timeout=timeout)

    def test_outcomes_are_printed_per_engine_in_sorted_order(self):
        server = self.serve({"/gone": {"status": 404, "reason": "Not Found"},
                             "/moved": {"status": 302, "reason": "Found"}})
        self.write("data/zeta.tlx", definition(server.url("/ok")))
        self.write("data/Alpha.tlx", definition(server.url("/gone")))
        self.write("data/beta.tlx", definition(server.url("/moved")))
        result = self.run_submit("--site", "http://www.b.example/", "--site", "http://www.a.example/",
                                 "--engine", "zeta", "--engine", "Alpha", "--engine", "beta")
        self.assertEqual(result.returncode, 0, result.stderr)
        lines = result.stdout.splitlines()
        self.assertEqual(lines[-1], "Submission Complete.")
        rows = [line.split("\t") for line in lines[:-1]]
        self.assertEqual(rows, [
            ["http://www.a.example/", "Alpha", "failed", "151: 404 Not Found"],
            ["http://www.a.example/", "beta", "success", ""],
            ["http://www.a.example/", "zeta", "success", ""],
            ["http://www.b.example/", "Alpha", "failed", "151: 404 Not Found"],
            ["http://www.b.example/", "beta", "success", ""],
            ["http://www.b.example/", "zeta", "success", ""],
        ])
        bodies = [r["body"] for r in server.requests()]
        self.assertIn("url=http%3A%2F%2Fwww.a.example%2F&title=None+Entered&", bodies)

    def test_dry_run_sends_nothing(self):
        server = self.serve({})
        self.write("data/One.tlx", definition(server.url("/one")))
        result = self.run_submit("--site", "http://www.a.example/", "--engine", "One", "--dry-run")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("request\tPOST\t%s\turl=http%%3A%%2F%%2Fwww.a.example%%2F&title=None+Entered&"
                      % server.url("/one"), result.stdout)
        self.assertEqual(server.requests(), [])

    def test_time_out_setting_and_option(self):
        server = self.serve({"/silent": {"silent": True}})
        self.write("data/Mute.tlx", definition(server.url("/silent")))
        self.settings({"HTTPTimeOut": "1"})
        start = time.monotonic()
        result = self.run_submit("--site", "http://www.a.example/", "--engine", "Mute")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("http://www.a.example/\tMute\ttimed-out\t", result.stdout)
        self.assertLess(time.monotonic() - start, 30)

    def test_https_engines_and_a_stalled_answer(self):
        certs = os.path.join(self.config, "certs")
        subprocess.run([sys.executable, TLS_SERVER, "certs", certs], check=True)
        for name, cert in (("Good", "good.pem"), ("Expired", "expired.pem"), ("Stranger", "untrusted.pem"),
                           ("Wrong", "wrongname.pem")):
            server = EngineServer(self.config, {}, cert=os.path.join(certs, cert), tag=name)
            self.servers.append(server)
            self.write("data/%s.tlx" % name, definition(server.url("/add")))
        plain = EngineServer(self.config, {"/stall": {"stall": True}}, tag="plain")
        self.servers.append(plain)
        self.write("data/Stall.tlx", definition(plain.url("/stall")))
        self.write("error.log", "Tolvan Error Log...\r\n")
        self.settings({"HTTPTimeOut": "1"})
        env = dict(os.environ, SSL_CERT_FILE=os.path.join(certs, "ca.pem"))
        result = self.run_submit("--site", "http://www.a.example/", "--engine", "Good", "--engine", "Expired",
                                 "--engine", "Stranger", "--engine", "Wrong", "--engine", "Stall", env=env)
        self.assertEqual(result.returncode, 0, result.stderr)
        rows = [line.split("\t") for line in result.stdout.splitlines()[:-1]]
        self.assertEqual(rows, [
            ["http://www.a.example/", "Expired", "failed", "160: Certificate not trusted: certificate has expired"],
            ["http://www.a.example/", "Good", "success", ""],
            ["http://www.a.example/", "Stall", "timed-out", ""],
            ["http://www.a.example/", "Stranger", "failed",
             "160: Certificate not trusted: unable to get local issuer certificate"],
            ["http://www.a.example/", "Wrong", "failed",
             "161: Host name mismatch: the certificate is not valid for 127.0.0.1"],
        ])
        self.assertEqual(len(self.servers[0].requests()), 1)
        self.assertEqual(sum(len(s.requests()) for s in self.servers[1:4]), 0)
        with open(os.path.join(self.base, "error.log"), newline="") as f:
            log = f.read().split("\r\n")
        self.assertIn("Error   : 160: Certificate not trusted: certificate has expired Site Name: Expired", log)
        self.assertIn("Error   : 161: Host name mismatch: the certificate is not valid for 127.0.0.1 Site Name: Wrong",
                      log)
        self.assertIn("Engine Timed Out: Stall", log)

    def test_missing_definition_aborts(self):
        result = self.run_submit("--site", "http://www.a.example/", "--engine", "Nowhere")
        self.assertEqual(result.returncode, 1)
        self.assertIn("Data file for Nowhere missing.", result.stderr)

    def test_usage_errors(self):
        for args in ([], ["--site", "http://a.example/"], ["--bogus"], ["--engine-list", "tlxplist",
                                                                        "--site", "x"]):
            result = self.run_submit(*args)
            self.assertEqual(result.returncode, 2, args)
            self.assertIn("Usage: tolvan submit", result.stderr)

    def test_engine_list_and_batch_and_automatic_text_report(self):
        server = self.serve({})
        self.write("data/One.tlx", definition(server.url("/one")))
        self.write("sites/mine.tlx", "One\r\n")
        self.write("sites/night.tlb", "http://www.a.example/\r\n")
        self.settings({"AutoText": "1"})
        result = self.run_submit("--batch", "night", "--engine-list", "mine")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("http://www.a.example/\tOne\tsuccess\t", result.stdout)
        reports = os.listdir(os.path.join(self.base, "reports"))
        self.assertEqual(len(reports), 1, reports)
        self.assertTrue(reports[0].endswith(".txt"))

    def test_a_finished_engine_shows_while_the_next_one_waits(self):
        # Lines are buffered, not flushed one by one, but a reader on a pipe
        # must still see each engine soon after it is done.
        server = self.serve({"/silent": {"silent": True}})
        self.write("data/A fast.tlx", definition(server.url("/ok")))
        self.write("data/B mute.tlx", definition(server.url("/silent")))
        env = dict(os.environ, XDG_CONFIG_HOME=self.config)
        proc = subprocess.Popen([TOLVAN, "submit", "--site", "http://www.a.example/", "--engine", "A fast",
                                 "--engine", "B mute", "--timeout", "20"], cwd=self.base, env=env,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        try:
            seen = b""
            deadline = time.monotonic() + 15
            while b"\n" not in seen and time.monotonic() < deadline:
                ready, _, _ = select.select([proc.stdout], [], [], 0.5)
                if ready:
                    chunk = os.read(proc.stdout.fileno(), 4096)
                    if not chunk:
                        break
                    seen += chunk
            self.assertIsNone(proc.poll(), "the run ended before its first line was read")
            self.assertEqual(seen.split(b"\n")[0], b"http://www.a.example/\tA fast\tsuccess\t")
        finally:
            proc.kill()
            proc.communicate()

    def test_sigterm_cancels_the_run(self):
        server = self.serve({"/silent": {"silent": True}})
        self.write("data/Mute.tlx", definition(server.url("/silent")))
        env = dict(os.environ, XDG_CONFIG_HOME=self.config)
        proc = subprocess.Popen([TOLVAN, "submit", "--site", "http://www.a.example/", "--engine", "Mute",
                                 "--timeout", "60"], cwd=self.base, env=env, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True)
        deadline = time.monotonic() + 20
        while not server.requests() and time.monotonic() < deadline:
            time.sleep(0.05)
        proc.send_signal(signal.SIGTERM)
        out, err = proc.communicate(timeout=30)
        self.assertEqual(proc.returncode, 130, err)
        self.assertNotIn("Submission Complete.", out)

    def test_sigint_ends_an_automatic_mail_to_a_server_that_never_finishes_its_reply(self):
        # The mail server greets with a multi-line reply that trickles on and on.
        listener = socket.socket()
        listener.bind(("127.0.0.1", 0))
        listener.listen(1)
        connected = threading.Event()
        stop = threading.Event()

        def trickle():
            conn, _ = listener.accept()
            connected.set()
            try:
                while not stop.is_set():
                    conn.sendall(b"220-still greeting\r\n")
                    time.sleep(0.1)
            except OSError:
                pass
            conn.close()

        thread = threading.Thread(target=trickle, daemon=True)
        thread.start()
        server = self.serve({})
        self.write("data/One.tlx", definition(server.url("/one")))
        self.write("sites/last.tlx", "[LastSaved]\r\nemail=owner@example.org\r\n")
        self.settings({"AutoMail": "1", "SMTPServer": "127.0.0.1:%d" % listener.getsockname()[1],
                       "EMAILaddr": "reports@example.org"})
        env = dict(os.environ, XDG_CONFIG_HOME=self.config)
        proc = subprocess.Popen([TOLVAN, "submit", "--site", "http://www.a.example/", "--engine", "One"],
                                cwd=self.base, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        try:
            self.assertTrue(connected.wait(20), "no mail connection")
            time.sleep(0.3)
            sent = time.monotonic()
            proc.send_signal(signal.SIGINT)
            out, err = proc.communicate(timeout=30)
            self.assertLess(time.monotonic() - sent, 5)
        finally:
            stop.set()
            if proc.poll() is None:
                proc.kill()
            listener.close()
        self.assertEqual(proc.returncode, 130, err)
        self.assertIn("http://www.a.example/\tOne\tsuccess\t", out)

    def test_automatic_mail_over_starttls_takes_the_password_from_an_owner_only_file(self):
        certs = os.path.join(self.config, "certs")
        subprocess.run(["/usr/bin/python3", os.path.join(HERE, "..", "support", "tls_test_server.py"), "certs",
                        certs], check=True)
        mail_dir = os.path.join(self.config, "mail")
        os.makedirs(mail_dir)
        mail_port = free_port()
        mail = subprocess.Popen(["/usr/bin/python3", os.path.join(HERE, "..", "support", "smtp_capture.py"),
                                 str(mail_port), mail_dir, "--cert", os.path.join(certs, "good.pem"), "--starttls",
                                 "--user", "me@example.org", "--password", "s3cret"], stderr=subprocess.DEVNULL)
        try:
            deadline = time.monotonic() + 20
            while not os.path.exists(os.path.join(mail_dir, "ready")) and time.monotonic() < deadline:
                time.sleep(0.05)
            server = self.serve({})
            self.write("data/One.tlx", definition(server.url("/one")))
            self.write("sites/last.tlx", "[LastSaved]\r\nemail=owner@example.org\r\n")
            self.settings({"AutoMail": "1", "SMTPServer": "127.0.0.1:%d" % mail_port,
                           "EMAILaddr": "reports@example.org", "SMTPSecurity": "STARTTLS",
                           "SMTPUser": "me@example.org"})
            password_file = os.path.join(self.config, "password")
            with open(password_file, "w") as f:
                f.write("s3cret\n")
            env = dict(os.environ, XDG_CONFIG_HOME=self.config, SSL_CERT_FILE=os.path.join(certs, "ca.pem"),
                       DBUS_SESSION_BUS_ADDRESS="unix:path=/nonexistent/bus", TOLVAN_SMTP_PASSWORD_FILE=password_file)
            args = [TOLVAN, "submit", "--site", "http://www.a.example/", "--engine", "One"]

            os.chmod(password_file, 0o644)
            result = subprocess.run(args, cwd=self.base, env=env, capture_output=True, text=True, timeout=60)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertIn("can be read by others", result.stderr)
            self.assertFalse(os.path.exists(os.path.join(mail_dir, "1.eml")))

            os.chmod(password_file, 0o600)
            result = subprocess.run(args, cwd=self.base, env=env, capture_output=True, text=True, timeout=60)
            self.assertEqual(result.returncode, 0, result.stderr)
            with open(os.path.join(mail_dir, "1.json")) as f:
                self.assertEqual(json.load(f)["rcpt_tos"], ["owner@example.org"])
            with open(os.path.join(mail_dir, "auth.log")) as f:
                self.assertEqual(f.read(), "PLAIN me@example.org ok\n")
        finally:
            mail.terminate()
            mail.wait()


if __name__ == "__main__":
    TOLVAN = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
