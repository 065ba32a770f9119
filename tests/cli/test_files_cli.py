#!/usr/bin/env python3
"""`tolvan submit` and the files it writes: a reader that stops early, a file-size
limit, engine names that would leave data/, and two runs on one base directory.

Usage: test_files_cli.py PATH/TO/tolvan
"""
import os
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_submit_cli import EngineServer, definition  # noqa: E402

TOLVAN = None


def profile_section(name, address):
    return "[%s]\r\nFORWARD=http://\r\nURL=%s\r\nTITLE=%s\r\n\r\n" % (name, address, name)


class FilesUnderFaults(unittest.TestCase):
    def setUp(self):
        self.base = tempfile.mkdtemp(prefix="tolvan-files-")
        self.config = tempfile.mkdtemp(prefix="tolvan-files-config-")
        os.makedirs(os.path.join(self.base, "data"))
        os.makedirs(os.path.join(self.base, "sites"))
        os.makedirs(os.path.join(self.config, "Brindle"))
        with open(os.path.join(self.config, "Brindle", "Tolvan.reg"), "w", newline="") as f:
            f.write("Windows Registry Editor Version 5.00\r\n\r\n"
                    "[HKEY_CURRENT_USER\\Software\\Brindle\\Tolvan\\init]\r\n\"AutoText\"=\"1\"\r\n")
        self.server = None

    def tearDown(self):
        if self.server:
            self.server.stop()
        shutil.rmtree(self.base, ignore_errors=True)
        shutil.rmtree(self.config, ignore_errors=True)

    def write(self, relative, text):
        with open(os.path.join(self.base, relative), "w", newline="") as f:
            f.write(text)

    def read(self, relative):
        with open(os.path.join(self.base, relative), newline="") as f:
            return f.read()

    def start(self, args, **kwargs):
        env = dict(os.environ, XDG_CONFIG_HOME=self.config)
        return subprocess.Popen([TOLVAN, "submit", *args], cwd=self.base, env=env, **kwargs)

    def saved_site(self, name, address):
        self.write("sites/tlxprofiles.tlx", profile_section(name, address))
        self.write("sites/tlxurlsrev.tlx", "[http://%s]\r\nprofile=%s\r\n\r\n" % (address, name))

    def test_a_reader_that_stops_early_ends_the_printing_not_the_run(self):
        self.server = EngineServer(self.config, {"/slow": {"delay": 1.0}})
        self.write("data/A.tlx", definition(self.server.url("/fast")))
        self.write("data/B.tlx", definition(self.server.url("/slow")))
        self.write("data/C.tlx", definition(self.server.url("/fast")))
        self.saved_site("Mine", "mine.example/")
        proc = self.start(["--site", "http://mine.example/", "--engine", "A", "--engine", "B", "--engine", "C"],
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        first = proc.stdout.readline()
        proc.stdout.close()  # as `| head -1` does, while B is still being posted
        proc.wait(timeout=60)
        proc.stderr.close()
        self.assertTrue(first.startswith(b"http://mine.example/\tA\tsuccess"), first)
        self.assertEqual(proc.returncode, 0)
        self.assertEqual(len(self.server.requests()), 3)
        self.assertEqual(os.listdir(os.path.join(self.base, "reports")), ["Mine.txt"])
        self.assertIn("LASTRUN=Last Submission: ", self.read("sites/tlxprofiles.tlx"))

    def test_a_file_size_limit_is_a_write_error_not_a_silent_death(self):
        self.server = EngineServer(self.config, {})
        self.write("data/A.tlx", definition(self.server.url("/a")))

        def small_files():
            resource.setrlimit(resource.RLIMIT_FSIZE, (200, 200))
        proc = self.start(["--site", "http://mine.example/", "--engine", "A"], stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, text=True, preexec_fn=small_files)
        out, err = proc.communicate(timeout=60)
        self.assertEqual(proc.returncode, 1, (out, err))
        self.assertIn("File too large", err)
        left = os.listdir(os.path.join(self.base, "reports"))
        self.assertEqual(left, [], "no temporary or cut report stays behind")

    def test_engine_names_never_leave_data(self):
        self.server = EngineServer(self.config, {})
        self.write("outside.tlx", definition(self.server.url("/stolen")))
        self.write("sites/mine.tlx", "../outside\r\n")
        env = dict(os.environ, XDG_CONFIG_HOME=self.config)
        usage = subprocess.run([TOLVAN, "submit", "--site", "http://a.example/", "--engine", "../outside"],
                               cwd=self.base, env=env, capture_output=True, text=True, timeout=60)
        self.assertEqual(usage.returncode, 2)
        self.assertIn("cannot contain", usage.stderr)
        listed = subprocess.run([TOLVAN, "submit", "--site", "http://a.example/", "--engine-list", "mine"],
                                cwd=self.base, env=env, capture_output=True, text=True, timeout=60)
        self.assertEqual(listed.returncode, 1)
        self.assertIn("Data file for ../outside missing.", listed.stderr)
        self.assertEqual(self.server.requests(), [])

    def test_two_runs_at_once_keep_every_stamp(self):
        self.server = EngineServer(self.config, {})
        self.write("data/A.tlx", definition(self.server.url("/a")))
        sites = ["s%02d.example/" % i for i in range(24)]
        self.write("sites/tlxprofiles.tlx", "".join(profile_section("P" + s, s) for s in sites))
        self.write("sites/tlxurlsrev.tlx",
                   "".join("[http://%s]\r\nprofile=P%s\r\n\r\n" % (s, s) for s in sites))
        halves = [sites[:12], sites[12:]]
        procs = []
        for half in halves:
            args = []
            for s in half:
                args += ["--site", "http://" + s]
            procs.append(self.start(args + ["--engine", "A"], stdout=subprocess.DEVNULL,
                                    stderr=subprocess.PIPE))
        for proc in procs:
            proc.wait(timeout=120)
            proc.stderr.close()
            self.assertEqual(proc.returncode, 0)
        profiles = self.read("sites/tlxprofiles.tlx")
        self.assertEqual(profiles.count("LASTRUN=Last Submission: "), len(sites), profiles)


if __name__ == "__main__":
    TOLVAN = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
