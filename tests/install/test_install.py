#!/usr/bin/env python3
"""The installed program: install rules, the workspace an installed tolvan makes,
the desktop files, bash completion and the Debian package.

Usage: test_install.py BUILD_DIR SOURCE_DIR
"""
import filecmp
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from window_settings import store_settings_without_signup  # noqa: E402

BUILD = SOURCE = None
APP_ID = "example.quendel.Tolvan"


def snapshot(root):
    """Every file below root with its bytes and modification time."""
    state = {}
    for folder, _, files in os.walk(root):
        for name in files:
            path = os.path.join(folder, name)
            with open(path, "rb") as f:
                state[os.path.relpath(path, root)] = (f.read(), os.stat(path).st_mtime_ns)
    return state


class Installed(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="tolvan-install-")
        cls.prefix = os.path.join(cls.tmp, "prefix")
        subprocess.run(["cmake", "--install", BUILD, "--prefix", cls.prefix], check=True,
                       stdout=subprocess.DEVNULL)
        cls.share = os.path.join(cls.prefix, "share")
        # A marker engine in the installed data tells its copy from the source tree's.
        data = os.path.join(cls.share, "tolvan", "data")
        with open(os.path.join(data, "Installed Marker.tlx"), "wb") as f:
            f.write(b"[SITE]\r\nACTION=http://127.0.0.1:9/add\r\nMETHOD=GET\r\n")
        with open(os.path.join(data, "sites.tlx"), "ab") as f:
            f.write(b"Installed Marker\r\n")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def fresh_user(self):
        home = tempfile.mkdtemp(prefix="home-", dir=self.tmp)
        cwd = tempfile.mkdtemp(prefix="cwd-", dir=self.tmp)
        env = {"PATH": "/usr/bin:/bin", "HOME": home, "LANG": "C.UTF-8"}
        return home, cwd, env

    def test_layout(self):
        expected = ["bin/tolvan", "libexec/tolvan/tolvan-window", "share/tolvan/data/sites.tlx",
                    "share/tolvan/data/hosts.tlx", "share/doc/tolvan/help/index.html", "share/man/man1/tolvan.1",
                    "share/applications/%s.desktop" % APP_ID, "share/metainfo/%s.metainfo.xml" % APP_ID,
                    "share/icons/hicolor/scalable/apps/%s.svg" % APP_ID,
                    "share/bash-completion/completions/tolvan"]
        expected += ["share/icons/hicolor/%dx%d/apps/%s.png" % (s, s, APP_ID) for s in (16, 32, 48, 64, 128, 256)]
        for path in expected:
            self.assertTrue(os.path.isfile(os.path.join(self.prefix, path)), path)
        with open(os.path.join(self.prefix, "share/man/man1/tolvan.1")) as f:
            man = f.read()
        for word in ("submit", "--workspace", "--dry-run", "EXIT STATUS", "130"):
            self.assertIn(word, man)
        with open(os.path.join(self.share, "metainfo", APP_ID + ".metainfo.xml")) as f:
            self.assertIn('<release version="%s"' % self.version(), f.read())

    def version(self):
        out = subprocess.run([os.path.join(self.prefix, "bin/tolvan"), "--version"], capture_output=True,
                             text=True, check=True).stdout
        self.assertRegex(out, r"^Tolvan \d+\.\d+\n$")
        with open(os.path.join(BUILD, "CMakeCache.txt")) as f:
            for line in f:
                if line.startswith("CMAKE_PROJECT_VERSION:"):
                    return line.split("=", 1)[1].strip()
        self.fail("no project version in the cache")

    def test_desktop_entry_and_metainfo_validate(self):
        desktop = os.path.join(self.share, "applications", APP_ID + ".desktop")
        result = subprocess.run(["desktop-file-validate", desktop], capture_output=True, text=True)
        self.assertEqual((result.returncode, result.stdout.strip()), (0, ""), result.stdout)
        metainfo = os.path.join(self.share, "metainfo", APP_ID + ".metainfo.xml")
        result = subprocess.run(["appstreamcli", "validate", "--no-net", metainfo], capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)

    def test_first_start_makes_the_workspace_and_the_second_leaves_it(self):
        home, cwd, env = self.fresh_user()
        tolvan = os.path.join(self.prefix, "bin", "tolvan")
        args = [tolvan, "submit", "--dry-run", "--all", "--site", "http://www.example.com/"]
        first = subprocess.run(args, cwd=cwd, env=env, capture_output=True, text=True, timeout=120)
        self.assertEqual(first.returncode, 0, first.stderr)
        workspace = os.path.join(home, ".local", "share", "tolvan")
        installed = os.path.join(self.share, "tolvan", "data")
        self.assertEqual(filecmp.dircmp(os.path.join(workspace, "data"), installed).diff_files, [])
        self.assertEqual(sorted(os.listdir(os.path.join(workspace, "data"))), sorted(os.listdir(installed)))
        self.assertTrue(os.path.isdir(os.path.join(workspace, "sites")))
        self.assertEqual(os.listdir(cwd), [])
        with open(os.path.join(installed, "sites.tlx")) as f:
            shipped = {line.strip() for line in f if line.strip()}
        listed = {line.split("\t")[1] for line in first.stdout.splitlines()
                  if line.startswith("http://www.example.com/\t")}
        self.assertIn("Installed Marker", listed)
        self.assertLessEqual(shipped, listed)
        self.assertEqual(first.stdout.splitlines()[-1], "Submission Complete.")

        before = snapshot(os.path.join(workspace, "data"))
        second = subprocess.run(args, cwd=cwd, env=env, capture_output=True, text=True, timeout=120)
        self.assertEqual(second.returncode, 0, second.stderr)
        self.assertEqual(second.stdout, first.stdout)
        self.assertEqual(snapshot(os.path.join(workspace, "data")), before)

    def test_without_a_command_the_installed_window_program_starts(self):
        home, cwd, env = self.fresh_user()
        store_settings_without_signup(os.path.join(home, ".config"))
        env.update(QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=home)
        pictures = os.path.join(self.tmp, "pictures")
        result = subprocess.run([os.path.join(self.prefix, "bin", "tolvan"), "--screenshots", pictures], cwd=cwd,
                                env=env, capture_output=True, text=True, timeout=120)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(sorted(os.listdir(pictures)),
                         ["1-site-data.png", "2-engines.png", "3-submit.png", "4-page-builder.png", "5-search.png",
                          "6-ranking.png", "7-options.png", "about.png", "splash.png"])
        self.assertTrue(os.path.isfile(os.path.join(home, ".local", "share", "tolvan", "data", "sites.tlx")))

    def test_bash_completion_offers_commands_and_their_options(self):
        completion = os.path.join(self.share, "bash-completion", "completions", "tolvan")
        _, cwd, env = self.fresh_user()
        env["PATH"] = os.path.join(self.prefix, "bin") + ":" + env["PATH"]

        def complete(*words):
            script = ('source "%s"; COMP_WORDS=(%s); COMP_CWORD=%d; _tolvan; printf "%%s\\n" "${COMPREPLY[@]}"'
                      % (completion, " ".join("'%s'" % w for w in words), len(words) - 1))
            out = subprocess.run(["bash", "-c", script], cwd=cwd, env=env, capture_output=True, text=True,
                                 timeout=60)
            return out.stdout.split()

        self.assertIn("submit", complete("tolvan", ""))
        self.assertIn("--workspace", complete("tolvan", "--w"))
        self.assertEqual(complete("tolvan", "submit", "--dry"), ["--dry-run"])
        self.assertIn("--engine-list", complete("tolvan", "--workspace", "/tmp", "submit", "--engine"))
        # Sub-commands, then the options of the one chosen.
        self.assertEqual(sorted(complete("tolvan", "indexnow", "")), ["check", "key", "notify"])
        self.assertEqual(complete("tolvan", "indexnow", "notify", "--si"), ["--since", "--site", "--sitemap"])
        self.assertNotIn("--sitemap", complete("tolvan", "indexnow", "check", "--"))
        self.assertIn("submissions", complete("tolvan", "history", ""))
        self.assertIn("--csv", complete("tolvan", "history", "submissions", "--"))
        self.assertFalse(os.path.exists(os.path.join(env["HOME"], ".local")))  # completing creates nothing


class Package(unittest.TestCase):
    def test_debian_package(self):
        out = tempfile.mkdtemp(prefix="tolvan-deb-")
        try:
            subprocess.run(["cpack", "-G", "DEB", "-B", out, "--config", os.path.join(BUILD, "CPackConfig.cmake")],
                           check=True, cwd=BUILD, capture_output=True)
            debs = [f for f in os.listdir(out) if f.endswith(".deb")]
            self.assertEqual(len(debs), 1, os.listdir(out))
            self.assertRegex(debs[0], r"^tolvan_\d+\.\d+\.\d+_[a-z0-9]+\.deb$")
            deb = os.path.join(out, debs[0])
            fields = {}
            for field in ("Package", "Version", "Maintainer", "Section", "Depends", "Description"):
                fields[field] = subprocess.run(["dpkg-deb", "-f", deb, field], capture_output=True, text=True,
                                               check=True).stdout.strip()
            self.assertEqual(fields["Package"], "tolvan")
            self.assertEqual(fields["Section"], "web")
            self.assertTrue(fields["Maintainer"])
            self.assertTrue(fields["Description"])
            for library in ("libqt6widgets6", "libc6", "libzip4"):  # found by shlibdeps
                self.assertIn(library, fields["Depends"])
            for library in ("libsecret-1-0", "libssl3"):  # loaded when first needed: named by hand
                self.assertIn(library, fields["Depends"])
            files = subprocess.run(["dpkg-deb", "-c", deb], capture_output=True, text=True, check=True).stdout
            for path in ("./usr/bin/tolvan", "./usr/libexec/tolvan/tolvan-window", "./usr/share/tolvan/data/sites.tlx",
                         "./usr/share/applications/%s.desktop" % APP_ID, "./usr/share/man/man1/tolvan.1"):
                self.assertIn(path, files)
        finally:
            shutil.rmtree(out, ignore_errors=True)


if __name__ == "__main__":
    SOURCE = os.path.abspath(sys.argv.pop(2))
    BUILD = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
