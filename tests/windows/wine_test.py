#!/usr/bin/env python3
"""The Windows programs, cross-built for x86_64, run under Wine.

  - vellagard.exe writes the same protected files and pages as the Linux build, byte for
    byte, from Windows paths (backslashes, a drive letter, Unicode file names);
  - the setup launcher hands over to the engine in the exact Windows form, passes exit
    codes through, cleans up or schedules the clean-up, and shows "Launcher Error";
  - Converter.exe opens its window, converts a list through a run driven with xdotool,
    and keeps its settings in Wine's registry.

Run by scripts/test.d/60-windows.sh, which builds the programs and starts nothing else;
this file starts its own Xvfb and uses a Wine prefix inside the Windows build folder.
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
LINUX_BIN = ROOT / os.environ.get("VG_BUILD_DIR", "build") / "bin"
WIN_BUILD = ROOT / os.environ.get("VG_WINDOWS_BUILD_DIR", "build-windows-x64")
WIN_BIN = WIN_BUILD / "bin"
SAMPLES = ROOT / "samples"
SCREENSHOT = os.environ.get("VG_WINE_SCREENSHOT")  # where to keep the window's picture

ENV = dict(os.environ)
ENV.update({
    "WINEPREFIX": str(WIN_BUILD / "wineprefix"),
    "WINEDEBUG": "-all",
    "WINEDLLOVERRIDES": "mscoree,mshtml=",  # no Mono or Gecko installers
})
REGISTRY_KEY = r"HKCU\Software\Quillmere\Vellagard Web Converter"

DESKTOP = WineDesktop(ENV)
xdotool = DESKTOP.xdotool
geometry = DESKTOP.geometry
press_in = DESKTOP.press_in


def setUpModule():
    DESKTOP.start()


def tearDownModule():
    DESKTOP.stop()


def wine(exe, *args, env=None, timeout=300, **kwargs):
    run_env = dict(ENV)
    run_env.update(env or {})
    return subprocess.run(["wine", str(exe), *args], env=run_env, capture_output=True,
                          timeout=timeout, **kwargs)


def wait_for_windows(name, count, timeout=60):
    deadline = time.time() + timeout
    while time.time() < deadline:
        found = xdotool("search", "--name", name)
        if len(found) >= count:
            return found
        time.sleep(0.3)
    raise AssertionError(f"no window named {name!r} after {timeout} s")


def folder_files(folder):
    return sorted(p.name for p in Path(folder).iterdir())


class Workspace(unittest.TestCase):
    def setUp(self):
        self.dir = Path(tempfile.mkdtemp(prefix="vg-wine-"))
        self.addCleanup(shutil.rmtree, self.dir, True)

    def make_inputs(self):
        """The samples, a Unicode-named copy and a sub-folder."""
        inputs = self.dir / "in"
        shutil.copytree(SAMPLES, inputs)
        shutil.copy(SAMPLES / "lantern.gif", inputs / "läterne €.gif")
        (inputs / "Ölbilder").mkdir()
        shutil.copy(SAMPLES / "meadow.png", inputs / "Ölbilder" / "Wiese grün.png")
        return inputs

    def assert_same_files(self, left, right):
        self.assertEqual(folder_files(left), folder_files(right))
        for name in folder_files(left):
            self.assertEqual((Path(left) / name).read_bytes(), (Path(right) / name).read_bytes(), name)


class ConverterCommandLine(Workspace):
    def convert_both(self, options, inputs, second=None):
        linux_out, windows_out = self.dir / "linux", self.dir / "windows"
        linux_args = list(options) + (["--second-image", str(second)] if second else [])
        windows_args = list(options) + (["--second-image", winpath(second)] if second else [])
        linux = subprocess.run([str(LINUX_BIN / "vellagard"), "convert", "-y", "-o", str(linux_out),
                                *linux_args, str(inputs)], capture_output=True)
        self.assertEqual(linux.returncode, 0, linux.stderr)
        windows = wine(WIN_BIN / "vellagard.exe", "convert", "-y", "-o", winpath(windows_out),
                       *windows_args, winpath(inputs))
        self.assertEqual(windows.returncode, 0, windows.stderr)
        self.assertEqual(windows.stdout.replace(b"\r\n", b"\n"), b"Done.\n")
        return linux_out, windows_out

    def test_convert_writes_the_same_files_as_the_linux_build(self):
        inputs = self.make_inputs()
        cases = [
            ["--style", "text-to-image", "--message", "Grüße & <mehr> \"dazu\"", "--domain",
             "www.Example.com", "--background", "336699", "--text-color", "FFCC00", "--border", "3"],
            ["--style", "slideshow", "--delay", "750"],
            ["--style", "link", "--frame", "main", "--loading", "Lädt…"],
        ]
        for options in cases:
            with self.subTest(style=options[1]):
                linux_out, windows_out = self.convert_both(options, inputs)
                self.assertIn("läterne €.html" if options[1] != "slideshow" else "slideshow.html",
                              folder_files(windows_out))
                self.assert_same_files(linux_out, windows_out)
                shutil.rmtree(linux_out)
                shutil.rmtree(windows_out)
        linux_out, windows_out = self.convert_both(["--style", "image-to-image"], inputs,
                                                   second=inputs / "harbour-dusk.jpg")
        self.assert_same_files(linux_out, windows_out)

    def test_list_gives_the_same_rows_with_windows_folders(self):
        inputs = self.make_inputs()
        linux = subprocess.run([str(LINUX_BIN / "vellagard"), "list", str(inputs)], capture_output=True,
                               text=True)
        windows = wine(WIN_BIN / "vellagard.exe", "list", winpath(inputs))
        self.assertEqual(windows.returncode, 0, windows.stderr)
        linux_rows = linux.stdout.splitlines()
        windows_rows = windows.stdout.decode("utf-8").splitlines()
        self.assertEqual(len(windows_rows), 8)
        self.assertEqual(len(linux_rows), len(windows_rows))
        for linux_row, windows_row in zip(linux_rows[1:], windows_rows[1:]):
            l, w = linux_row.split("\t"), windows_row.split("\t")
            self.assertEqual(w[2], winpath(l[2]))  # the folder, ending with a backslash
            self.assertTrue(w[2].endswith("\\"))
            self.assertEqual(l[:2] + l[3:], w[:2] + w[3:])
        self.assertEqual(linux_rows[0], windows_rows[0])

    def test_protect_and_unprotect_unicode_paths(self):
        inputs = self.make_inputs()
        source = inputs / "Ölbilder" / "Wiese grün.png"
        target = self.dir / "geschützt ✓.class"
        result = wine(WIN_BIN / "vellagard.exe", "protect", "--domain", "localhost", winpath(source),
                      winpath(target))
        self.assertEqual(result.returncode, 0, result.stderr)
        linux = self.dir / "linux.class"
        subprocess.run([str(LINUX_BIN / "vellagard"), "protect", "--domain", "localhost", str(source),
                        str(linux)], check=True)
        self.assertEqual(target.read_bytes(), linux.read_bytes())
        back = self.dir / "zurück.png"
        refused = wine(WIN_BIN / "vellagard.exe", "unprotect", "--domain", "example.com", winpath(target),
                       winpath(back))
        self.assertEqual(refused.returncode, 1)
        self.assertIn("locked to another domain", refused.stderr.decode("utf-8"))
        result = wine(WIN_BIN / "vellagard.exe", "unprotect", winpath(target), winpath(back))
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(back.read_bytes(), source.read_bytes())


class SetupLauncher(Workspace):
    def build_setup(self, data, multi_segment=False, launcher=None, out=None):
        lua = self.dir / "lua.dll"
        lua.write_bytes(os.urandom(3000))
        data_file = self.dir / "data.bin"
        data_file.write_bytes(data)
        out = out or self.dir / "my setup.exe"
        args = [str(LINUX_BIN / "mksetup"), "--launcher", str(launcher or WIN_BIN / "setup.exe"),
                "--engine", str(WIN_BIN / "vg_test_engine.exe"), "--lua", str(lua), "--data",
                str(data_file), "-o", str(out)]
        if multi_segment:
            args.insert(-2, "--multi-segment")
        subprocess.run(args, check=True, capture_output=True)
        return out

    def report(self, path):
        runs = path.read_text(encoding="utf-8").split("run\n")[1:]
        parsed = []
        for run in runs:
            entries = {}
            for line in run.splitlines():
                if "=" in line:
                    key, value = line.split("=", 1)
                    entries.setdefault(key, []).append(value)
            parsed.append(entries)
        return parsed

    def temp_root(self):
        return Path(ENV["WINEPREFIX"]) / "drive_c" / "users" / os.environ.get("USER", "root") / "Temp"

    def test_handoff_in_windows_form_and_exit_codes_pass_through(self):
        for code in (3, 55):
            with self.subTest(exit=code):
                setup = self.build_setup(f"VGTEST exit={code}\n".encode())
                report = self.dir / f"report-{code}.txt"
                result = wine(setup, "/W", "two words", "plain", cwd=self.dir,
                              env={"VG_TEST_ENGINE_REPORT": winpath(report)})
                self.assertEqual(result.returncode, code)
                run, = self.report(report)
                size = setup.stat().st_size
                offset = size - len(f"VGTEST exit={code}\n")
                after_exe = re.sub(r'^"[^"]*qvsetup\.exe" ', "", run["cmdline"][0])
                self.assertRegex(
                    after_exe,
                    r'^/W "two words" plain __QVAOFF:%d "__QVAFN:%s" "__QVCT:0" "__QVTSS:%d" '
                    r'"__QVSID:S-1-5-21-[0-9-]+"$' % (offset, re.escape(winpath(setup)), size))
                engine = run["exe"][0]
                self.assertRegex(engine, r"\\qvsetup\.exe$")
                self.assertEqual(run["lua_beside"], ["1"])
                self.assertEqual(run["cwd"][0].rstrip("\\"), winpath(self.dir))  # inherited
                # Waited for: the files and the folder are gone.
                self.assertEqual([p for p in self.temp_root().glob("*") if "qv" in p.name.lower()], [])

    def test_temp_folder_with_a_drive_letter_and_its_access_list(self):
        setup = self.build_setup(b"VGTEST exit=0\n")
        report = self.dir / "report.txt"
        result = wine(setup, r"/T:C:\vgtest\nested\deeper",
                      env={"VG_TEST_ENGINE_REPORT": winpath(report)})
        self.assertEqual(result.returncode, 0, result.stderr)
        run, = self.report(report)
        self.assertTrue(run["exe"][0].lower().startswith("c:\\vgtest\\nested\\deeper\\"), run["exe"])
        sddl = run["dir_sddl"][0]
        # Wine keeps no access list that a program sets on a folder and reports its default
        # one (SYSTEM and the user) instead, so what can be seen here is that nobody else,
        # Everyone and Users in particular, is given access.
        aces = re.findall(r"\(([^)]*)\)", sddl)
        trustees = [ace.split(";")[-1] for ace in aces]
        self.assertTrue(aces, sddl)
        self.assertTrue(all(ace.startswith("A;") for ace in aces), sddl)
        for trustee in trustees:
            self.assertTrue(trustee in ("SY", "BA") or re.fullmatch(r"S-1-5-21-[0-9-]+", trustee), sddl)

    def test_stale_folders_are_reused_only_when_they_hold_just_an_engine_and_links_are_passed_over(self):
        temp = self.temp_root()
        victim = self.dir / "victim"
        victim.mkdir()
        (victim / "qvsetup.exe").write_bytes(b"theirs")
        stale = [temp / f"_qv_kb_temp_{n}" for n in range(3)]
        for folder in stale:
            if folder.is_symlink() or folder.is_file():
                folder.unlink()
            else:
                shutil.rmtree(folder, True)
        self.addCleanup(lambda: [f.unlink() if f.is_symlink() else shutil.rmtree(f, True) for f in stale])
        stale[0].symlink_to(victim)  # Wine shows a Unix link as a reparse point
        stale[1].mkdir()
        (stale[1] / "qvsetup.exe").write_bytes(b"old")
        (stale[1] / "notes.txt").write_bytes(b"keep")
        stale[2].mkdir()
        (stale[2] / "qvsetup.exe").write_bytes(b"old")
        setup = self.build_setup(b"VGTEST exit=0\n")
        report = self.dir / "report.txt"
        result = wine(setup, "/W", env={"VG_TEST_ENGINE_REPORT": winpath(report)})
        self.assertEqual(result.returncode, 0, result.stderr)
        run, = self.report(report)
        self.assertTrue(run["exe"][0].endswith("\\_qv_kb_temp_2\\qvsetup.exe"), run["exe"])
        self.assertEqual((victim / "qvsetup.exe").read_bytes(), b"theirs")
        self.assertTrue(stale[0].is_symlink())
        self.assertEqual((stale[1] / "notes.txt").read_bytes(), b"keep")
        self.assertFalse(stale[2].exists())  # reused, then cleaned up after the wait

    def test_shared_bases_under_the_unicode_condition(self):
        # A launcher in a folder outside the ANSI code page builds its folder in the all-users
        # TEMP folder. Wine reports every folder that exists as owned by the user, so what
        # can be seen here: a missing one is made and used; once it exists it counts as a
        # user's and is passed over for c:\temp, made then; when that exists too, 56.
        drive_c = Path(ENV["WINEPREFIX"]) / "drive_c"
        shared = [drive_c / "ProgramData" / "TEMP", drive_c / "temp"]
        for folder in shared:
            shutil.rmtree(folder, True)
        self.addCleanup(lambda: [shutil.rmtree(f, True) for f in shared])
        folder = self.dir / "日本語"
        folder.mkdir()
        setup = self.build_setup(b"VGTEST exit=0\n", out=folder / "setup.exe")
        for expected in ("c:\\programdata\\temp\\_qv_kb_temp_0\\", "c:\\temp\\_qv_kb_temp_0\\"):
            with self.subTest(expected=expected):
                report = self.dir / "report.txt"
                report.unlink(missing_ok=True)
                result = wine(setup, "/W", env={"VG_TEST_ENGINE_REPORT": winpath(report)})
                self.assertEqual(result.returncode, 0, result.stderr)
                run, = self.report(report)
                self.assertTrue(run["exe"][0].lower().startswith(expected), run["exe"])
                self.assertEqual(run["data"][0][:12], b"VGTEST".hex())
        process = subprocess.Popen(["wine", str(setup), "/W"], env=ENV, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        try:
            box, = wait_for_windows("Launcher Error", 1, timeout=120)
            for _ in range(20):  # a box that has just appeared may not take the key yet
                press_in(box, "Return")
                try:
                    process.wait(timeout=3)
                    break
                except subprocess.TimeoutExpired:
                    pass
            self.assertEqual(process.wait(timeout=60), 56)
        finally:
            if process.poll() is None:
                process.kill()
        self.assertEqual(sorted(p.name for p in shared[0].iterdir()), [])  # nothing made there

    def test_a_path_that_maps_best_fit_onto_another_file_has_no_ansi_form(self):
        # The ANSI code page maps "ā" best-fit to "a": "Bāse\\setup.exe" would open the
        # other file "Base\\setup.exe". The launcher must count its path as having no ANSI
        # form, which puts its folder in the all-users TEMP folder.
        drive_c = Path(ENV["WINEPREFIX"]) / "drive_c"
        shared = [drive_c / "ProgramData" / "TEMP", drive_c / "temp"]
        for folder in shared:
            shutil.rmtree(folder, True)
        self.addCleanup(lambda: [shutil.rmtree(f, True) for f in shared])
        (self.dir / "Bāse").mkdir()
        (self.dir / "Base").mkdir()
        setup = self.build_setup(b"VGTEST exit=0\n", out=self.dir / "Bāse" / "setup.exe")
        shutil.copy(setup, self.dir / "Base" / "setup.exe")
        report = self.dir / "report.txt"
        result = wine(setup, "/W", env={"VG_TEST_ENGINE_REPORT": winpath(report)})
        self.assertEqual(result.returncode, 0, result.stderr)
        run, = self.report(report)
        self.assertTrue(run["exe"][0].lower().startswith("c:\\programdata\\temp\\"), run["exe"])

    def test_not_waiting_leaves_the_engine_running_and_schedules_removal(self):
        go = self.dir / "go"
        setup = self.build_setup(f"VGTEST wait-for={winpath(go)} exit=9\n".encode(), multi_segment=True)
        report = self.dir / "report.txt"
        subprocess.run(["wine", "reg", "delete", r"HKLM\System\CurrentControlSet\Control\Session Manager",
                        "/v", "PendingFileRenameOperations", "/f"], env=ENV, capture_output=True)
        started = time.time()
        # No pipes: the engine, which goes on running, would hold them open.
        launcher = subprocess.run(["wine", str(setup)], env=dict(ENV, VG_TEST_ENGINE_REPORT=winpath(report)),
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
        self.assertEqual(launcher.returncode, 0)  # returned while the engine still runs
        self.assertLess(time.time() - started, 60)
        pending = subprocess.run(
            ["wine", "reg", "query", r"HKLM\System\CurrentControlSet\Control\Session Manager", "/v",
             "PendingFileRenameOperations"], env=ENV, capture_output=True, text=True).stdout
        go.write_text("go")
        run, = self.report(report)
        engine = run["exe"][0]
        self.assertIn(engine.split("\\")[-2], pending)  # the numbered folder's files are scheduled
        self.assertIn("qvsetup.exe", pending)
        self.assertIn("lua5.3.dll", pending)

    def test_no_payload_reports_launcher_error_after_five_attempts(self):
        started = time.time()
        process = subprocess.Popen(["wine", str(WIN_BIN / "setup.exe")], env=ENV,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            box, = wait_for_windows("Launcher Error", 1, timeout=120)
            self.assertGreaterEqual(time.time() - started, 1.0)  # five attempts, 250 ms apart
            press_in(box, "Return")
            self.assertEqual(process.wait(timeout=60), 52)
        finally:
            if process.poll() is None:
                process.kill()


class DesktopConverter(Workspace):
    def reg_add(self, name, kind, value):
        subprocess.run(["wine", "reg", "add", REGISTRY_KEY + r"\General", "/v", name, "/t", kind, "/d",
                        str(value), "/f"], env=ENV, capture_output=True, check=True)

    def reg_values(self):
        out = subprocess.run(["wine", "reg", "query", REGISTRY_KEY + r"\General"], env=ENV,
                             capture_output=True, text=True).stdout
        values = {}
        for line in out.splitlines():
            parts = line.strip().split(None, 2)
            if len(parts) >= 2 and parts[1].startswith("REG_"):
                values[parts[0]] = (parts[1], parts[2] if len(parts) == 3 else "")
        return values

    def test_window_converts_a_list_and_keeps_its_settings_in_the_registry(self):
        inputs = self.make_inputs()
        target = self.dir / "site"
        target.mkdir()
        subprocess.run(["wine", "reg", "delete", REGISTRY_KEY, "/f"], env=ENV, capture_output=True)
        self.reg_add("Target", "REG_SZ", winpath(target))
        self.reg_add("DomainLock", "REG_DWORD", 5)
        self.reg_add("BorderWidth", "REG_DWORD", 2)
        self.reg_add("PresentationStyle", "REG_DWORD", 1)

        files = [inputs / "lantern.gif", inputs / "läterne €.gif", inputs / "Ölbilder" / "Wiese grün.png"]
        process = subprocess.Popen(["wine", str(WIN_BIN / "Converter.exe"), *map(winpath, files)], env=ENV,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            main, = wait_for_windows("Vellagard Web Converter", 1)
            time.sleep(2)
            if SCREENSHOT:
                x, y, w, h = geometry(main)
                subprocess.run(["import", "-window", "root", "-crop", f"{w}x{h}+{x}+{y}", SCREENSHOT],
                               env=ENV, check=True)
            # "Start" sits at 330,380 (50 x 14) of the 447 x 423 dialog units.
            x, y, w, h = geometry(main)
            xdotool("mousemove", str(x + (330 + 25) * w // 447), str(y + (380 + 7) * h // 423), "click", "1")
            question = [wnd for wnd in wait_for_windows("Vellagard Web Converter", 2) if wnd != main][0]
            press_in(question, "Return")  # Yes is the default
            deadline = time.time() + 60
            while time.time() < deadline and "vgi.js" not in folder_files(target):
                time.sleep(0.3)
            done = [wnd for wnd in wait_for_windows("Vellagard Web Converter", 2) if wnd != main][0]
            press_in(done, "Return")
            time.sleep(1)
            press_in(main, "alt+F4")
            self.assertEqual(process.wait(timeout=60), 0)
        finally:
            if process.poll() is None:
                process.kill()

        # The same files as the command-line tool with the same options.
        expected = self.dir / "expected"
        subprocess.run([str(LINUX_BIN / "vellagard"), "convert", "-y", "-o", str(expected), "--style",
                        "text-to-image", "--border", "2", "--domain", "localhost", *map(str, files)],
                       check=True, capture_output=True)
        self.assert_same_files(expected, target)

        values = self.reg_values()
        self.assertEqual(values["DomainLock"], ("REG_DWORD", "0x1"))  # 5 is written back as 1
        self.assertEqual(values["PresentationStyle"], ("REG_DWORD", "0x1"))
        self.assertEqual(values["Target"], ("REG_SZ", winpath(target)))
        self.assertEqual(values["TextColor"], ("REG_DWORD", "0xffffff"))
        self.assertEqual(values["Watermark"][0], "REG_SZ")
        self.assertEqual(len(values), 18)  # the 17 of the first version, then Watermark


if __name__ == "__main__":
    unittest.main(verbosity=2)
