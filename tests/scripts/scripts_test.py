"""scripts/run, scripts/uninstall and scripts/demo as a new user runs them: a fresh home
folder, no desktop session, no message bus, a temporary prefix. The build tree is
installed as it is (TAVOLIN_BUILD_TREE), never built a second time."""

import os
import signal
import subprocess
import tempfile
import time
import unittest
from pathlib import Path

SOURCE = Path(os.environ["TAVOLIN_SOURCE_DIR"])
VERSION = os.environ["TAVOLIN_VERSION"]
PROGRAMS = ["tavolin", "pellux", "tavolin-fetch", "ostrand"]
STORE = "[TASKSINFO]\r\nTASKS_NUMBER=1\r\nTASKFILEPATH_0={0}/mine.flv\r\nm_csTargetFile0={0}/mine.mp4\r\n"


def files_under(folder):
    """Every file below the folder with its bytes, by relative path."""
    return {str(p.relative_to(folder)): p.read_bytes() for p in sorted(Path(folder).rglob("*")) if p.is_file()}


class ScriptsTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.root = Path(self.folder.name)
        self.home, self.prefix, self.tmp, self.runtime = (self.root / n for n in ("home", "prefix", "tmp", "run"))
        for folder in (self.home, self.tmp, self.runtime):
            folder.mkdir(mode=0o700)
        self.data = self.home / ".local/share/Tavolin Data"
        self.videos = self.home / "Videos"
        self.env = {k: v for k, v in os.environ.items()
                    if not k.startswith(("XDG_", "DISPLAY", "WAYLAND_", "DBUS_", "QT_", "TAVOLIN_PREFIX"))}
        self.env.update(HOME=str(self.home), TMPDIR=str(self.tmp), XDG_RUNTIME_DIR=str(self.runtime),
                        TAVOLIN_PREFIX=str(self.prefix), QT_QPA_PLATFORM="offscreen")
        self.run_script("run", "--no-start")

    def tearDown(self):
        self.folder.cleanup()

    def run_script(self, name, *args, **extra_env):
        done = subprocess.run([str(SOURCE / "scripts" / name), *args], env={**self.env, **extra_env},
                              capture_output=True, text=True, timeout=240)
        self.assertEqual(done.returncode, 0, f"{name} {args}:\n{done.stdout}\n{done.stderr}")
        return done

    def users_files(self, write=False):
        """The user's task list, settings and videos, one of them named by the list."""
        if write:
            self.videos.mkdir()
            (self.data / "tasks.ini").write_text(STORE.format(self.videos))
            (self.data / "settings.ini").write_text(f"[TASKSINFO]\r\nLAST_FOLDER={self.videos}/\r\n")
            (self.videos / "mine.flv").write_bytes(b"FLV mine")
            (self.videos / "holiday.mp4").write_bytes(b"not Tavolin's")
        return {**files_under(self.home / ".local/share"), **files_under(self.videos)}

    def sockets(self):
        return [p.name for p in self.runtime.glob("BrevantTavgrab10-*") if not p.name.endswith(".lock")]

    def wait_for(self, condition, what, seconds=120):
        deadline = time.monotonic() + seconds
        while not condition():
            self.assertLess(time.monotonic(), deadline, f"waited in vain for {what}")
            time.sleep(0.1)

    def test_installed_programs_answer_and_uninstall_keeps_only_the_data_unless_purged(self):
        self.assertTrue(self.data.is_dir())  # made by the install, never by the programs
        installed = (self.prefix / "share/tavolin/install_manifest.txt").read_text().split()
        for name in ["share/tavolin/help.html", "share/applications/tavolin.desktop",
                     "share/applications/pellux.desktop"] + [
                f"{kind}/{p}{end}" for p in PROGRAMS for kind, end in (("bin", ""), ("share/man/man1", ".1"))]:
            self.assertIn(f"{self.prefix}/{name}", installed)
        self.assertTrue(all(Path(path).is_file() for path in installed))

        # Each program answers without a display, and its man page says the same.
        env = {k: v for k, v in self.env.items() if k != "QT_QPA_PLATFORM"}
        for program in PROGRAMS:
            for option, starts in (("--help", f"Usage: {program} "), ("-h", f"Usage: {program} "),
                                   ("--version", f"{program} {VERSION}\n")):
                done = subprocess.run([str(self.prefix / "bin" / program), option], env=env,
                                      capture_output=True, text=True, timeout=30)
                self.assertEqual((done.returncode, done.stderr), (0, ""), f"{program} {option}")
                self.assertTrue(done.stdout.startswith(starts), f"{program} {option}: {done.stdout[:80]!r}")
            page = (self.prefix / f"share/man/man1/{program}.1").read_text()
            self.assertIn(f'.TH {program.upper()} "1" ', page)
            self.assertIn(f'"{program} {VERSION}"', page)  # from its --version

        before = self.users_files(write=True)
        self.run_script("uninstall")
        self.assertEqual(files_under(self.prefix), {})
        self.assertEqual(self.users_files(), before)
        self.run_script("uninstall", "--purge")
        self.assertFalse(self.data.exists())
        self.assertEqual(files_under(self.videos), {"holiday.mp4": b"not Tavolin's"})

    def test_demo_beside_the_users_tavolin_leaves_the_users_files_alone_even_when_ended_by_a_signal(self):
        before = self.users_files(write=True)
        own = subprocess.Popen([str(self.prefix / "bin/tavolin")], env=self.env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        demo = None
        try:
            self.wait_for(lambda: len(self.sockets()) == 1, "the user's Tavolin to listen")
            # The demo's Tavolin saves a picture of its window and ends by itself: it can only
            # do so as an instance of its own.
            shot = self.root / "demo.png"
            done = self.run_script("demo", TAVOLIN_SCREENSHOT=str(shot))
            self.assertIn("/watch?v=demo", done.stdout)
            self.assertTrue(shot.is_file(), done.stderr)

            demo = subprocess.Popen([str(SOURCE / "scripts/demo")], env=self.env, stdout=subprocess.PIPE,
                                    stderr=subprocess.STDOUT, text=True)
            self.wait_for(lambda: len(self.sockets()) == 2, "the demo's Tavolin to listen")
            demo.send_signal(signal.SIGTERM)
            output = demo.communicate(timeout=60)[0]
            self.assertEqual(demo.returncode, 128 + signal.SIGTERM, output)
            self.assertEqual(len(self.sockets()), 1)  # its Tavolin went through its exit sequence
            self.assertIsNone(own.poll())
            self.assertEqual(self.users_files(), before)
            self.assertEqual(list(self.tmp.iterdir()), [])  # the demos' folders are gone
        finally:
            if demo:
                demo.kill()
            own.terminate()
            own.wait(30)

if __name__ == "__main__":
    unittest.main()
