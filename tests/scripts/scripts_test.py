"""The scripts a new user runs, each in a fresh home folder: scripts/run and
scripts/uninstall into a temporary prefix, with the installed programs' --help, --version
and man pages, and scripts/demo beside the user's own running Tavolin. The build tree
is installed as it is (TAVOLIN_BUILD_TREE), never built a second time."""

import os
import signal
import subprocess
import tempfile
import time
import unittest
from pathlib import Path

SOURCE = Path(os.environ["TAVOLIN_SOURCE_DIR"])
VERSION = os.environ["TAVOLIN_VERSION"]
PROGRAMS = ["tavolin", "pellux", "tavolin-fetch"]
STORE = (
    "[TASKSINFO]\r\nTASKS_NUMBER=1\r\nTASKURL_0=http://127.0.0.1:9/watch?v=mine\r\n"
    "TASKFILENAME_0=mine.flv\r\nTASKFILEPATH_0={videos}/mine.flv\r\n"
    "m_csTargetFile0={videos}/mine.mp4\r\nm_csTargetType0=.mp4\r\nTASKFINISHED_0=TRUE\r\n"
)


def files_under(folder):
    """Every file below the folder with its bytes, by relative path."""
    folder = Path(folder)
    return {str(p.relative_to(folder)): p.read_bytes() for p in sorted(folder.rglob("*")) if p.is_file()}


class FreshUser:
    """A user with an empty home folder, no desktop session and no message bus."""

    def __init__(self, root):
        self.root = Path(root)
        self.home = self.root / "home"
        self.prefix = self.root / "prefix"
        self.tmp = self.root / "tmp"
        self.runtime = self.root / "runtime"
        for folder in (self.home, self.tmp, self.runtime):
            folder.mkdir(mode=0o700)
        self.data = self.home / ".local/share/Tavolin Data"
        self.videos = self.home / "Videos"
        self.env = {
            key: value
            for key, value in os.environ.items()
            if not key.startswith(("XDG_", "DISPLAY", "WAYLAND_", "DBUS_", "QT_", "TAVOLIN_PREFIX"))
        }
        self.env.update(HOME=str(self.home), TMPDIR=str(self.tmp), XDG_RUNTIME_DIR=str(self.runtime),
                        TAVOLIN_PREFIX=str(self.prefix), QT_QPA_PLATFORM="offscreen")

    def script(self, name, *args, timeout=120, **extra_env):
        return subprocess.run([str(SOURCE / "scripts" / name), *args], env={**self.env, **extra_env},
                              capture_output=True, text=True, timeout=timeout)

    def own_data(self):
        """The user's task list and settings, and a video that the list names."""
        self.data.mkdir(parents=True, exist_ok=True)
        self.videos.mkdir(exist_ok=True)
        (self.data / "tasks.ini").write_bytes(STORE.format(videos=self.videos).encode())
        (self.data / "settings.ini").write_bytes(f"[TASKSINFO]\r\nLAST_FOLDER={self.videos}/\r\n".encode())
        (self.videos / "mine.flv").write_bytes(b"FLV mine")
        (self.videos / "holiday.mp4").write_bytes(b"not Tavolin's")
        return {**files_under(self.home / ".local/share"), **files_under(self.videos)}

    def sockets(self):
        return sorted(p.name for p in self.runtime.glob("BrevantTavgrab10-*") if not p.name.endswith(".lock"))


class ScriptsTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.user = FreshUser(self.folder.name)

    def tearDown(self):
        self.folder.cleanup()

    def run_script(self, name, *args, **kwargs):
        done = self.user.script(name, *args, **kwargs)
        self.assertEqual(done.returncode, 0, f"{name} {args}:\n{done.stdout}\n{done.stderr}")
        return done

    def test_uninstall_removes_every_installed_file_and_keeps_the_data_unless_purged(self):
        user = self.user
        done = self.run_script("run", "--no-start")
        self.assertIn(f"{user.prefix}/bin/tavolin", done.stdout)
        self.assertIn("menu", done.stdout)
        self.assertTrue(user.data.is_dir())  # made by the install, never by the programs
        installed = (user.prefix / "share/tavolin/install_manifest.txt").read_text().split()
        for name in ["bin/ostrand", "share/tavolin/help.html", "share/applications/tavolin.desktop"] + [
                f"bin/{p}" for p in PROGRAMS] + [f"share/man/man1/{p}.1" for p in PROGRAMS + ["ostrand"]]:
            self.assertIn(f"{user.prefix}/{name}", installed)
        for path in installed:
            self.assertTrue(Path(path).is_file(), path)

        before = user.own_data()
        self.run_script("uninstall")
        self.assertEqual(files_under(user.prefix), {})
        self.assertEqual({**files_under(user.home / ".local/share"), **files_under(user.videos)}, before)

        self.run_script("uninstall", "--purge")
        self.assertFalse(user.data.exists())
        self.assertEqual(files_under(user.videos), {"holiday.mp4": b"not Tavolin's"})

    def test_installed_programs_answer_help_and_version_without_a_display(self):
        user = self.user
        self.run_script("run", "--no-start")
        for program in PROGRAMS:
            path = user.prefix / "bin" / program
            env = {k: v for k, v in user.env.items() if k != "QT_QPA_PLATFORM"}
            for option, starts in (("--help", f"Usage: {program} "), ("-h", f"Usage: {program} "),
                                   ("--version", f"{program} {VERSION}\n")):
                done = subprocess.run([str(path), option], env=env, capture_output=True, text=True, timeout=30)
                self.assertEqual(done.returncode, 0, f"{program} {option}: {done.stderr}")
                self.assertTrue(done.stdout.startswith(starts), f"{program} {option}: {done.stdout[:80]!r}")
                self.assertEqual(done.stderr, "", f"{program} {option}")
            page = (user.prefix / f"share/man/man1/{program}.1").read_text()
            self.assertIn(f'.TH {program.upper()} "1"', page)
            self.assertIn(VERSION, page)
            self.assertIn(r"\fB\-\-version\fR", page)

    def test_demo_beside_the_users_tavolin_leaves_the_users_files_alone(self):
        user = self.user
        self.run_script("run", "--no-start")
        before = user.own_data()
        own = subprocess.Popen([str(user.prefix / "bin/tavolin")], env=user.env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            self.wait_for(lambda: len(user.sockets()) == 1, "the user's Tavolin to listen")
            # The demo's own Tavolin saves a picture of its window and ends by itself: it can
            # only do so if it started as an instance of its own.
            shot = user.root / "demo.png"
            done = self.run_script("demo", timeout=240, TAVOLIN_SCREENSHOT=str(shot))
            self.assertIn("/watch?v=demo", done.stdout)
            self.assertTrue(shot.is_file(), done.stderr)
            self.assertIsNone(own.poll())
            self.assertEqual({**files_under(user.home / ".local/share"), **files_under(user.videos)}, before)
            self.assertEqual(list(user.tmp.iterdir()), [])  # the demo's folder is gone
        finally:
            own.terminate()
            own.wait(30)

    def test_demo_ended_by_a_signal_still_cleans_up(self):
        user = self.user
        self.run_script("run", "--no-start")
        before = user.own_data()
        demo = subprocess.Popen([str(SOURCE / "scripts/demo")], env=user.env, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, text=True)
        try:
            self.wait_for(lambda: len(user.sockets()) == 1, "the demo's Tavolin to listen", 120)
            demo.send_signal(signal.SIGTERM)
            output = demo.communicate(timeout=60)[0]
        finally:
            demo.kill()
        self.assertEqual(demo.returncode, 128 + signal.SIGTERM, output)
        self.assertEqual(user.sockets(), [])  # Tavolin went through its exit sequence
        self.assertEqual(list(user.tmp.iterdir()), [])
        self.assertEqual({**files_under(user.home / ".local/share"), **files_under(user.videos)}, before)

    def wait_for(self, condition, what, seconds=60):
        deadline = time.monotonic() + seconds
        while not condition():
            self.assertLess(time.monotonic(), deadline, f"waited in vain for {what}")
            time.sleep(0.1)


if __name__ == "__main__":
    unittest.main()
