#!/usr/bin/env python3
"""Which workspace `tolvan` works in, and the window started through it.

Usage: test_workspace_cli.py PATH/TO/tolvan
"""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from window_settings import store_settings_without_signup  # noqa: E402

TOLVAN = None


def engines_of(result):
    """The engines of a dry run's outcome lines (site, engine, outcome, detail)."""
    return {line.split("\t")[1] for line in result.stdout.splitlines()
            if line.startswith("http://www.example.com/\t")}


class Workspace(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="tolvan-ws-")
        self.home = os.path.join(self.tmp, "home")
        self.cwd = os.path.join(self.tmp, "empty")
        os.makedirs(self.home)
        os.makedirs(self.cwd)
        self.env = dict(os.environ, HOME=self.home, XDG_CONFIG_HOME=os.path.join(self.home, ".config"))
        self.env.pop("XDG_DATA_HOME", None)
        self.default = os.path.join(self.home, ".local", "share", "tolvan")

    def tearDown(self):
        shutil.rmtree(self.tmp, ignore_errors=True)

    def run_tolvan(self, *args, cwd=None, env=None):
        return subprocess.run([TOLVAN, *args], cwd=cwd or self.cwd, env=env or self.env,
                              capture_output=True, text=True, timeout=120)

    @staticmethod
    def write_solo_engine(base):
        """Makes `base` a base directory with one engine, Solo."""
        with open(os.path.join(base, "data", "sites.tlx"), "wb") as f:
            f.write(b"Solo\r\n")
        with open(os.path.join(base, "data", "Solo.tlx"), "wb") as f:
            f.write(b"[SITE]\r\nACTION=http://127.0.0.1:9/add\r\nMETHOD=GET\r\n")

    def dry_run(self, *extra, cwd=None):
        return self.run_tolvan(*extra, "submit", "--dry-run", "--all", "--site", "http://www.example.com/", cwd=cwd)

    def test_help_names_the_workspace_without_creating_it(self):
        result = self.run_tolvan("--help")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("Workspace: %s (the default workspace)" % self.default, result.stdout)
        self.assertIn("submit", result.stdout)
        self.assertFalse(os.path.exists(self.default))
        xdg = dict(self.env, XDG_DATA_HOME=os.path.join(self.tmp, "xdg"))
        self.assertIn("Workspace: %s/xdg/tolvan" % self.tmp, self.run_tolvan("--help", env=xdg).stdout)
        named = self.run_tolvan("--workspace", "mine", "--help")
        self.assertIn("Workspace: %s (named by --workspace)" % os.path.join(self.cwd, "mine"), named.stdout)
        self.assertEqual(self.run_tolvan("--version").stdout.split()[0], "Tolvan")
        self.assertEqual(self.run_tolvan("--workspace").returncode, 2)

    def test_default_workspace_is_created_once_from_the_shipped_data(self):
        result = self.dry_run()
        self.assertEqual(result.returncode, 0, result.stderr)
        engines = engines_of(result)
        self.assertGreater(len(engines), 10, result.stdout)
        self.assertTrue(os.path.isdir(os.path.join(self.default, "sites")))
        self.assertEqual(os.listdir(self.cwd), [])
        # The user's changes to the engine data are kept at the next start.
        index = os.path.join(self.default, "data", "sites.tlx")
        with open(index, "rb") as f:
            lines = f.read().split(b"\r\n")
        dropped = lines[0].decode()
        self.assertIn(dropped, engines)
        with open(index, "wb") as f:
            f.write(b"\r\n".join(lines[1:]))
        again = self.dry_run()
        self.assertEqual(again.returncode, 0, again.stderr)
        self.assertEqual(engines_of(again), engines - {dropped})
        with open(index, "rb") as f:
            self.assertEqual(f.read(), b"\r\n".join(lines[1:]))

    def test_base_directory_is_used_and_workspace_option_wins(self):
        base = os.path.join(self.tmp, "base")
        os.makedirs(os.path.join(base, "data"))
        self.write_solo_engine(base)
        result = self.dry_run(cwd=base)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("\tSolo\t", result.stdout)
        self.assertEqual(sorted(os.listdir(base)), ["data"])
        self.assertFalse(os.path.exists(self.default))

        named = os.path.join(self.tmp, "named")
        result = self.dry_run("--workspace", named, cwd=base)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertNotIn("\tSolo\t", result.stdout)
        self.assertTrue(os.path.isfile(os.path.join(named, "data", "sites.tlx")))
        self.assertFalse(os.path.exists(self.default))

    def test_folder_with_hosts_but_no_engine_index_is_passed_over_with_a_reason(self):
        folder = os.path.join(self.tmp, "mine")
        os.makedirs(os.path.join(folder, "data"))
        with open(os.path.join(folder, "data", "hosts.tlx"), "wb") as f:
            f.write(b"[Hosts]\r\n")
        result = self.dry_run(cwd=folder)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertTrue(os.path.isdir(self.default))
        notes = [line for line in result.stderr.splitlines() if folder in line]
        self.assertEqual(len(notes), 1, result.stderr)
        self.assertIn("data/sites.tlx", notes[0])
        self.assertEqual(sorted(os.listdir(folder)), ["data"])
        # Named, or with its engine index, the folder needs no word.
        self.assertNotIn(folder, self.dry_run("--workspace", self.default, cwd=folder).stderr)
        self.write_solo_engine(folder)
        result = self.dry_run(cwd=folder)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertNotIn(folder, result.stderr)

    def test_temporaries_older_versions_left_are_swept_where_they_wrote(self):
        base = os.path.join(self.tmp, "base")
        for sub in ("data", "sites", "reports"):
            os.makedirs(os.path.join(base, sub))
        self.write_solo_engine(base)
        stale = ["error.log.tmp-a1B2c3", "data/sites.tlx.tmp-Zz09Qq", "sites/last.tlx.tmp-xYz123"]
        kept = ["reports/Report.html.tmp-a1B2c3",    # not where the sweep looks
                "data/sites.tlx.tmp-abcde", "data/sites.tlx.tmp-abcdefg", "data/a.tmp-ab_cde",
                "sites/.tmp-abcdef", "sites/notes.tmp-abcdef.txt", "sites/recent.tlx.tmp-Recent"]
        old = 1000000000
        for name in stale + kept:
            with open(os.path.join(base, name), "wb") as f:
                f.write(b"x")
            if not name.endswith("Recent"):
                os.utime(os.path.join(base, name), (old, old))
        os.makedirs(os.path.join(base, "sites", "folder.tlx.tmp-abcdef"))
        os.symlink(os.path.join(base, "reports"), os.path.join(base, "sites", "link.tlx.tmp-abcdef"))
        result = self.dry_run(cwd=base)
        self.assertEqual(result.returncode, 0, result.stderr)
        for name in stale:
            self.assertFalse(os.path.lexists(os.path.join(base, name)), name)
        for name in kept + ["sites/folder.tlx.tmp-abcdef", "sites/link.tlx.tmp-abcdef"]:
            self.assertTrue(os.path.lexists(os.path.join(base, name)), name)

    def test_unusable_workspace_is_an_error_not_a_crash(self):
        blocker = os.path.join(self.tmp, "file")
        open(blocker, "w").close()
        self.assertEqual(self.run_tolvan("submit", "--help").returncode, 0)
        self.assertFalse(os.path.exists(self.default))
        result = self.dry_run("--workspace", os.path.join(blocker, "ws"))
        self.assertEqual(result.returncode, 1)
        self.assertIn("cannot prepare the workspace", result.stderr)

    def test_window_starts_in_the_workspace(self):
        env = dict(self.env, QT_QPA_PLATFORM="offscreen", TOLVAN_NO_SPLASH="1")
        store_settings_without_signup(os.path.join(self.home, ".config"))
        result = self.run_tolvan("--screenshots", "shots", env=env)
        self.assertEqual(result.returncode, 0, result.stderr)
        # The pictures land where the option was typed; the window's files in the workspace.
        self.assertIn("1-site-data.png", os.listdir(os.path.join(self.cwd, "shots")))
        self.assertTrue(os.path.isfile(os.path.join(self.default, "sites", "last.tlx")))
        help_text = self.run_tolvan("-platform", "offscreen", "--help").stdout
        self.assertIn("Usage: tolvan", help_text)


if __name__ == "__main__":
    TOLVAN = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
