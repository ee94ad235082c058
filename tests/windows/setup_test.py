#!/usr/bin/env python3
"""The real setup.exe (launcher, setup engine, Lua, setup data) of the 64-bit build, under Wine.

  - a silent install (default folder, and /D= with blanks and umlauts) puts the programs,
    their data, the licence and the uninstaller into the folder, registers the program in
    the Uninstall key and makes the Start-menu shortcut;
  - the installed vellagard.exe converts an image and Converter.exe opens its window;
  - the uninstaller removes exactly what was installed: files, folders, shortcut, entry;
  - a damaged, cut or unreadable setup file ends with exit code 3 and a log line naming
    the reason, and changes nothing; a failure half-way ends with 4 and undoes every change,
    also over an earlier installation;
  - interactively, declining the question ends with 5 and installs nothing.

Run by scripts/test.d/65-setup-windows.sh after `package-windows`; starts its own Xvfb and
uses a Wine prefix of its own, made fresh for every run, inside the Windows build folder.
"""
import os
import re
import shutil
import subprocess
import tempfile
import time
import unittest
from pathlib import Path

from wine_desktop import WineDesktop, winpath

ROOT = Path(__file__).resolve().parents[2]
WIN_BUILD = ROOT / os.environ.get("VG_WINDOWS_BUILD_DIR", "build-windows-x64")
SETUP = WIN_BUILD / "package" / "setup.exe"
MKSETUP = WIN_BUILD / "host-tools" / "mksetup"
SAMPLES = ROOT / "samples"
PREFIX = WIN_BUILD / "setup-wineprefix"

PRODUCT = "Vellagard Web Converter"
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall" + "\\" + PRODUCT
INSTALLED = {"Converter.exe", "vellagard.exe", "template.html", "vgi.js", "LICENSE.txt",
             "uninstall.exe", "lua5.3.dll", "uninstall.lua", "uninstall.dat"}

ENV = dict(os.environ)
ENV.update({
    "WINEPREFIX": str(PREFIX),
    "WINEDEBUG": "-all",
    # No Mono or Gecko installers, and no Linux menu entries for the shortcut.
    "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d",
})
DRIVE_C = PREFIX / "drive_c"
LOG = DRIVE_C / "users" / os.environ.get("USER", "root") / "Temp" / "Vellagard Web Converter Setup.log"
START_MENU = DRIVE_C / "ProgramData" / "Microsoft" / "Windows" / "Start Menu" / "Programs"
SHORTCUT = START_MENU / (PRODUCT + ".lnk")

DESKTOP = WineDesktop(ENV)
xdotool = DESKTOP.xdotool
press_in = DESKTOP.press_in


def setUpModule():
    shutil.rmtree(PREFIX, ignore_errors=True)
    DESKTOP.start()


def tearDownModule():
    DESKTOP.stop()


def unixpath(windows_path):
    """C:\\... in the prefix as a path on this machine."""
    assert windows_path[1:3] == ":\\", windows_path
    return DRIVE_C / windows_path[3:].replace("\\", "/")


def wine(exe, *args, timeout=300):
    return subprocess.run(["wine", str(exe), *args], env=ENV, capture_output=True, timeout=timeout)


def registry(key):
    """The values of a key as {name: (type, text)}, read through `reg export` (UTF-16, so
    names outside the console's code page survive); None when the key is missing."""
    with tempfile.TemporaryDirectory() as tmp:
        out = Path(tmp) / "key.reg"
        result = subprocess.run(["wine", "reg", "export", key, winpath(out), "/y"], env=ENV,
                                capture_output=True)
        if result.returncode != 0 or not out.exists():
            return None
        text = out.read_bytes().decode("utf-16")
    values = {}
    for line in text.splitlines():
        m = re.fullmatch(r'"((?:[^"\\]|\\.)*)"=(?:"((?:[^"\\]|\\.)*)"|dword:([0-9a-f]{8}))', line)
        if m:
            unescape = lambda t: re.sub(r"\\(.)", r"\1", t)
            if m.group(3) is not None:
                values[unescape(m.group(1))] = ("REG_DWORD", hex(int(m.group(3), 16)))
            else:
                values[unescape(m.group(1))] = ("REG_SZ", unescape(m.group(2)))
    return values


def wait_for_window(name, timeout=90, exclude=()):
    deadline = time.time() + timeout
    while time.time() < deadline:
        found = [w for w in xdotool("search", "--name", "^" + re.escape(name) + "$") if w not in exclude]
        if found:
            return found[0]
        time.sleep(0.3)
    raise AssertionError(f"no window named {name!r} after {timeout} s")


def stop(process):
    """Ends a program a failed test left running, with what it started inside Wine."""
    if process.poll() is None:
        process.kill()
        subprocess.run(["wineserver", "-k"], env=ENV, capture_output=True)


def snapshot():
    """Every file and folder that an install could touch, to compare before and after."""
    found = set()
    for top in ("Program Files", "ProgramData/Microsoft/Windows/Start Menu"):
        for path in (DRIVE_C / top).rglob("*"):
            found.add(str(path.relative_to(DRIVE_C)))
    for path in DRIVE_C.iterdir():
        found.add(path.name)
    return found


def wait_until_gone(path, timeout=60):
    """The uninstaller's own files go once it has ended, removed by its helper."""
    deadline = time.time() + timeout
    while time.time() < deadline and path.exists():
        time.sleep(0.3)
    return not path.exists()


class SetupExe(unittest.TestCase):
    def setUp(self):
        self.dir = Path(tempfile.mkdtemp(prefix="vg-setup-"))
        self.addCleanup(shutil.rmtree, self.dir, True)
        LOG.unlink(missing_ok=True)

    def log_lines(self):
        return LOG.read_text(encoding="utf-8").splitlines() if LOG.exists() else []

    def install(self, *args):
        result = wine(SETUP, "/S", *args)
        self.assertEqual(result.returncode, 0, "\n".join(self.log_lines()))
        return result

    def uninstall(self, folder):
        before = self.log_lines()
        result = wine(folder / "uninstall.exe", "/S")
        self.assertEqual(result.returncode, 0, "\n".join(self.log_lines()[len(before):]))
        if not wait_until_gone(folder):
            self.fail("still there: " + ", ".join(sorted(p.name for p in folder.iterdir())))

    def test_silent_install_registers_runs_and_uninstalls_to_the_state_before(self):
        before = snapshot()
        self.install()
        entry = registry(UNINSTALL_KEY)
        self.assertIsNotNone(entry, "no Uninstall entry")
        location = entry["InstallLocation"][1]
        self.assertEqual(location, r"C:\Program Files" + "\\" + PRODUCT)
        folder = unixpath(location)
        self.assertEqual({p.name for p in folder.iterdir()}, INSTALLED)
        payload = WIN_BUILD / "bin"
        for name in ("Converter.exe", "vellagard.exe", "template.html", "vgi.js"):
            self.assertEqual((folder / name).read_bytes(), (payload / name).read_bytes(), name)
        self.assertEqual((folder / "LICENSE.txt").read_bytes(), (ROOT / "LICENSE.txt").read_bytes())

        sizes = sum((folder / n).stat().st_size for n in INSTALLED - {"uninstall.dat"})
        self.assertEqual(entry["DisplayName"], ("REG_SZ", PRODUCT))
        self.assertEqual(entry["DisplayVersion"], ("REG_SZ", "5.0.0.0"))
        self.assertEqual(entry["Publisher"], ("REG_SZ", "Quillmere"))
        self.assertEqual(entry["DisplayIcon"], ("REG_SZ", location + r"\Converter.exe,0"))
        self.assertEqual(entry["UninstallString"], ("REG_SZ", '"' + location + r'\uninstall.exe"'))
        self.assertEqual(entry["EstimatedSize"], ("REG_DWORD", hex((sizes + 1023) // 1024)))
        link = SHORTCUT.read_bytes()
        self.assertIn(b"Converter.exe", link.replace(b"\0", b""))

        # The installed command-line program converts an image with the installed data files.
        out = self.dir / "site"
        converted = wine(folder / "vellagard.exe", "convert", "-y", "-o", winpath(out),
                         winpath(SAMPLES / "lantern.gif"))
        self.assertEqual(converted.returncode, 0, converted.stderr)
        self.assertEqual(sorted(p.name for p in out.iterdir()),
                         sorted(["lantern.html", "vgi.js"] + [p.name for p in out.glob("lantern_*_C.class")]))
        self.assertEqual(len(list(out.glob("lantern_*_C.class"))), 1)
        self.assertEqual((out / "vgi.js").read_bytes(), (folder / "vgi.js").read_bytes())

        # The installed desktop program opens its window from there.
        process = subprocess.Popen(["wine", str(folder / "Converter.exe")], env=ENV,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            window = wait_for_window(PRODUCT)
            time.sleep(1)
            press_in(window, "alt+F4")
            self.assertEqual(process.wait(timeout=60), 0)
        finally:
            stop(process)

        self.uninstall(folder)
        self.assertIsNone(registry(UNINSTALL_KEY))
        self.assertFalse(SHORTCUT.exists())
        self.assertEqual(snapshot(), before)
        self.assertIn("uninstalled " + PRODUCT, LOG.read_text(encoding="utf-8"))

    def test_chosen_folder_with_blanks_is_made_recorded_and_removed_again(self):
        target = r"C:\Eigene Programme\Vellagard Ünï Test"
        before = snapshot()
        self.install("/D=" + target)
        folder = unixpath(target)
        self.assertEqual({p.name for p in folder.iterdir()}, INSTALLED)
        self.assertEqual(registry(UNINSTALL_KEY)["InstallLocation"], ("REG_SZ", target))
        record = (folder / "uninstall.dat").read_text(encoding="utf-8")
        self.assertIn("folder\tC:\\Eigene Programme\n", record.replace("\r\n", "\n"))
        self.assertIn("folder\t" + target + "\n", record.replace("\r\n", "\n"))

        # Installing again over it keeps one entry and one set of files.
        self.install("/D=" + target)
        self.assertEqual({p.name for p in folder.iterdir()}, INSTALLED)

        # A file of the user's own in the folder stays, and with it the folder.
        (folder / "notes.txt").write_text("mine")
        result = wine(folder / "uninstall.exe", "/S")
        self.assertEqual(result.returncode, 0)
        self.assertTrue(wait_until_gone(folder / "uninstall.exe"))
        time.sleep(1)
        self.assertEqual([p.name for p in folder.iterdir()], ["notes.txt"])
        self.assertIsNone(registry(UNINSTALL_KEY))
        (folder / "notes.txt").unlink()
        folder.rmdir()
        folder.parent.rmdir()
        self.assertEqual(snapshot(), before)

    def test_damaged_or_cut_setup_files_change_nothing(self):
        data = SETUP.read_bytes()
        _, offset = self.payload()
        self.assertGreater(len(data) - offset, 100000)
        # Inside the compressed bytes of Converter.exe, behind its entry's local header.
        inside = data.index(b"Converter/Converter.exe", offset) + 4096

        def flipped(at):
            b = bytearray(data)
            b[at] ^= 0xFF
            return bytes(b)

        not_deflated = self.dir / "stored.exe"
        cases = [
            ("cut inside the setup data", data[:offset + (len(data) - offset) // 2],
             "is incomplete: it has"),
            ("one byte flipped in a file", flipped(inside), "is corrupt"),
            ("the archive's directory destroyed", data[:offset] + os.urandom(len(data) - offset),
             "is not a readable archive"),
            ("compression type 0 for deflated data", None, "uses compression method 8"),
        ]
        before = snapshot()
        for name, content, reason in cases:
            with self.subTest(name):
                LOG.unlink(missing_ok=True)
                exe = self.dir / "broken setup.exe"
                if content is None:
                    self.build_setup_with_compression_type(0, not_deflated)
                    exe = not_deflated
                else:
                    exe.write_bytes(content)
                result = wine(exe, "/S")
                self.assertEqual(result.returncode, 3, name)
                errors = [line for line in self.log_lines() if " error: " in line]
                self.assertEqual(len(errors), 1, self.log_lines())
                self.assertIn("The setup file " + winpath(exe), errors[0])
                self.assertIn(reason, errors[0])
                self.assertIn("Nothing was installed.", errors[0])
                self.assertEqual(snapshot(), before)
                self.assertIsNone(registry(UNINSTALL_KEY))

    def test_a_failure_midway_undoes_every_change(self):
        # A folder where one of the files should go makes the install fail half-way.
        target = r"C:\Blockiert"
        folder = unixpath(target)
        (folder / "vgi.js").mkdir(parents=True)
        before = snapshot()
        result = wine(SETUP, "/S", "/D=" + target)
        self.assertEqual(result.returncode, 4)
        errors = [line for line in self.log_lines() if " error: " in line]
        self.assertEqual(len(errors), 1, self.log_lines())
        self.assertIn("Setup could not install " + PRODUCT + " into " + target, errors[0])
        self.assertIn("vgi.js", errors[0])
        self.assertIn("Nothing was changed.", errors[0])
        self.assertEqual(snapshot(), before)
        self.assertIsNone(registry(UNINSTALL_KEY))
        (folder / "vgi.js").rmdir()

        # Over an earlier installation: its files are put back and its entry stays.
        self.install("/D=" + target)
        (folder / "Converter.exe").write_bytes(b"the older program")
        (folder / "template.html").unlink()
        (folder / "template.html").mkdir()  # written after Converter.exe
        entry = registry(UNINSTALL_KEY)
        before = snapshot()
        result = wine(SETUP, "/S", "/D=" + target)
        self.assertEqual(result.returncode, 4)
        self.assertEqual((folder / "Converter.exe").read_bytes(), b"the older program")
        self.assertEqual(snapshot(), before)
        self.assertEqual(registry(UNINSTALL_KEY), entry)
        (folder / "template.html").rmdir()
        self.assertEqual(wine(folder / "uninstall.exe", "/S").returncode, 0)
        self.assertTrue(wait_until_gone(folder / "uninstall.exe"))
        self.assertIsNone(registry(UNINSTALL_KEY))
        folder.rmdir()  # it was there before setup, so setup leaves it

    def test_declining_interactively_installs_nothing(self):
        before = snapshot()
        process = subprocess.Popen(["wine", str(SETUP)], env=ENV, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        try:
            question = wait_for_window(PRODUCT + " Setup")
            press_in(question, "n")  # No
            self.assertEqual(process.wait(timeout=60), 5)
        finally:
            stop(process)
        self.assertEqual(snapshot(), before)
        self.assertIsNone(registry(UNINSTALL_KEY))

    def test_interactive_install_shows_its_window_and_reports_success(self):
        process = subprocess.Popen(["wine", str(SETUP), r"/D=C:\Interaktiv"], env=ENV,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            question = wait_for_window(PRODUCT + " Setup")
            press_in(question, "Return")  # Yes
            # The progress window has the same title; it is gone when the report is shown.
            deadline = time.time() + 90
            while time.time() < deadline and not any("message: " in l for l in self.log_lines()):
                time.sleep(0.3)
            done = wait_for_window(PRODUCT + " Setup", exclude=(question,))
            press_in(done, "Return")
            self.assertEqual(process.wait(timeout=60), 0)
        finally:
            stop(process)
        folder = DRIVE_C / "Interaktiv"
        self.assertEqual({p.name for p in folder.iterdir()}, INSTALLED)
        self.assertTrue(any("is installed in C:\\Interaktiv" in line for line in self.log_lines()))
        self.uninstall(folder)

    # --- helpers -----------------------------------------------------------------------

    def payload(self):
        """The parts of setup.exe, read from the payload header that follows the launcher."""
        data = SETUP.read_bytes()
        start = data.index(bytes(b for i in range(8) for b in (0xE0 + i, 0xE0 + i)), 32000)
        engine_size = int.from_bytes(data[start + 26:start + 34], "little")
        engine = bytes(b ^ 0x9D if i < 2000 else b
                       for i, b in enumerate(data[start + 34:start + 34 + engine_size]))
        lua_at = start + 34 + engine_size
        lua_size = int.from_bytes(data[lua_at:lua_at + 8], "little")
        offset = lua_at + 8 + lua_size
        return {"launcher": data[:start], "engine": engine, "lua": data[lua_at + 8:offset],
                "data": data[offset:]}, offset

    def build_setup_with_compression_type(self, kind, out):
        """The same parts as setup.exe, with another compression type in its header."""
        parts, _ = self.payload()
        for name, content in parts.items():
            (self.dir / name).write_bytes(content)
        subprocess.run([str(MKSETUP), "--launcher", str(self.dir / "launcher"), "--engine",
                        str(self.dir / "engine"), "--lua", str(self.dir / "lua"), "--data",
                        str(self.dir / "data"), "--compression", str(kind), "-o", str(out)],
                       check=True, capture_output=True)


if __name__ == "__main__":
    unittest.main(verbosity=2)
