"""The packages a player installs, under Wine. The installer installs silently, its Start menu
entry starts the installed client, a second install goes over the first and the uninstaller
takes the program away; the portable zip unpacks into a client that starts, and its exe names
its version and carries its manifest. Neither touches the player's own %APPDATA%\\TORV."""

import fnmatch
import json
import os
import re
import shutil
import subprocess
import unittest
import zipfile
from pathlib import Path

from harness import (PROBE_TIMEOUT, REPO, VERSION_TEXT, ClientTestCase, HarnessError,
                     read_lines, wait_for, windows_path)

PACKAGES = REPO / "build/mingw/package"
SETUP = Path(os.environ.get("VENDREL_SETUP", PACKAGES / f"Vendrel-{VERSION_TEXT}-setup.exe"))
ZIP = Path(os.environ.get("VENDREL_ZIP", PACKAGES / f"Vendrel-{VERSION_TEXT}-win64.zip"))
UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vendrel"
INSTALL_TIMEOUT = 120  # one run of the installer or the uninstaller

# What a package holds: each of these, and nothing that matches none of the patterns (no test
# program, no test DLL, no leftover of the build).
REQUIRED_FILES = [
    "vendrel.exe", "english.lng", "french.lng", "guide-english.html", "guide-french.html",
    "licences/libogg.txt", "licences/libvorbis.txt", "licences/soundtouch.txt",
    "licences/LGPL-2.1.txt",
] + [f"sounds/{name}.ogg" for name in ("welcome", "connecting", "connected", "menubounds",
                                       "menuchecked", "menuunchecked")]
ALLOWED_FILES = ["vendrel.exe", "*.lng", "guide-*.html", "licences/*.txt", "sounds/*.ogg"]

WINDOWS_10 = "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"


def files_under(folder):
    return sorted(path.relative_to(folder).as_posix() for path in folder.rglob("*")
                  if path.is_file())


class ReleaseTest(ClientTestCase):

    @classmethod
    def setUpClass(cls):
        for package in (SETUP, ZIP):
            if not package.is_file():
                raise HarnessError(f"missing {package} (scripts/package makes it)")
        super().setUpClass()

    def run_windows(self, program, *args):
        """Runs a Windows program to its end through uiprobe; returns its exit code."""
        done = subprocess.run(["wine", str(self.session.uiprobe), "run", "--", program, *args],
                              env=self.session.env, stdin=subprocess.DEVNULL,
                              capture_output=True, timeout=INSTALL_TIMEOUT)
        lines = done.stdout.decode("utf-8").splitlines()
        self.assertTrue(lines and "exitCode" in lines[-1], f"{program} {args}: {lines}")
        return json.loads(lines[-1])["exitCode"]

    def user_profile(self):
        """The Windows path of the prefix's user folder (C:\\users\\<name>)."""
        names = [path.name for path in (self.session.drive_c() / "users").iterdir()
                 if path.is_dir() and path.name != "Public"]
        self.assertEqual(len(names), 1, names)
        return "C:\\users\\" + names[0]

    def linux_path(self, windows):
        """A C: path of the prefix as a Linux path."""
        self.assertRegex(windows, r"^[Cc]:\\")
        return self.session.drive_c().joinpath(*windows[3:].split("\\"))

    def registry(self, key):
        """The values of a registry key ({} when it is missing), as `reg query` lists them."""
        done = subprocess.run(["wine", "reg", "query", key], env=self.session.env,
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=PROBE_TIMEOUT)
        values = {}
        for line in done.stdout.decode("utf-8", errors="replace").splitlines():
            match = re.match(r"^\s+(\S+)\s+REG_\w+\s+(.*)$", line)
            if match:
                values[match.group(1)] = match.group(2).strip()
        return values

    def assert_package_files(self, folder, extra=()):
        files = files_under(folder)
        for required in REQUIRED_FILES:
            self.assertIn(required, files)
        for name in files:
            self.assertTrue(any(fnmatch.fnmatch(name, pattern)
                                for pattern in ALLOWED_FILES + list(extra)),
                            f"{name} has no place in a package")
        guide = (folder / "guide-english.html").read_text(encoding="utf-8")
        self.assertIn(f"Vendrel {VERSION_TEXT}", guide)

    def start_and_cancel(self, program, program_folder, appdata=None):
        """Starts the vendrel.exe at the Windows path program, with the given APPDATA (Windows
        path) or a fresh one, as far as the connection dialog, and cancels it; returns the
        APPDATA folder as a Linux path."""
        if appdata is None:
            appdata, roaming = self.fresh_appdata()
        else:
            roaming = self.linux_path(appdata)
        client = self.start_client(appdata, exe=program)
        client.main_window()
        self.assertEqual(client.cancel_connection_dialog(), 0)
        debug = read_lines(roaming / "TORV" / "debug.txt")
        self.assertIn("AppDir: " + program_folder + "\\", debug)
        return roaming

    def remove_earlier_installation(self, profile):
        """What an interrupted run may have left in the shared prefix."""
        programs = self.linux_path(profile + r"\AppData\Local\Programs\Vendrel")
        menu = self.linux_path(profile + r"\AppData\Roaming\Microsoft\Windows\Start Menu"
                                         r"\Programs\Vendrel")
        shutil.rmtree(programs, ignore_errors=True)
        shutil.rmtree(menu, ignore_errors=True)
        self.linux_path(profile + r"\Desktop\Vendrel.lnk").unlink(missing_ok=True)
        subprocess.run(["wine", "reg", "delete", UNINSTALL_KEY, "/f"], env=self.session.env,
                       stdin=subprocess.DEVNULL, capture_output=True, timeout=PROBE_TIMEOUT)

    def test_installer_installs_starts_updates_and_uninstalls_keeping_the_settings(self):
        profile = self.user_profile()
        self.remove_earlier_installation(profile)
        self.assertEqual(self.run_windows(windows_path(SETUP), "/S"), 0)

        # Per user, in the local programs folder, and in the system's list of programs.
        entry = self.registry(UNINSTALL_KEY)
        folder = profile + r"\AppData\Local\Programs\Vendrel"
        self.assertEqual(entry.get("InstallLocation"), folder)
        self.assertEqual(entry.get("DisplayVersion"), VERSION_TEXT)
        self.assertEqual(entry.get("UninstallString"), f'"{folder}\\uninstall.exe"')
        self.assert_package_files(self.linux_path(folder), extra=["uninstall.exe"])

        # The Start menu entry and the desktop shortcut start the installed program.
        exe = folder + "\\vendrel.exe"
        links = [profile + r"\AppData\Roaming\Microsoft\Windows\Start Menu\Programs\Vendrel"
                 r"\Vendrel.lnk", profile + r"\Desktop\Vendrel.lnk"]
        for link in links:
            self.assertEqual(self.session.probe("shortcut", link)["target"], exe, link)
        # The player's real APPDATA, the one an uninstaller would find.
        target = self.session.probe("shortcut", links[0])["target"]
        roaming = self.start_and_cancel(target, folder, profile + r"\AppData\Roaming")
        settings = roaming / "TORV" / "config.ini"
        kept = settings.read_bytes()
        kept_while = "the player's config.ini is kept while "

        # A second install over the first keeps the player's settings.
        self.assertEqual(self.run_windows(windows_path(SETUP), "/S"), 0)
        self.assertTrue(self.linux_path(exe).is_file())
        self.assertTrue(settings.is_file(), kept_while + "installing over")
        self.assertEqual(settings.read_bytes(), kept)

        # The uninstaller runs on from a copy of itself: its effect is waited for.
        self.assertEqual(self.run_windows(folder + "\\uninstall.exe", "/S"), 0)
        wait_for(lambda: not self.linux_path(folder).exists(), INSTALL_TIMEOUT,
                 f"the uninstaller to remove {folder}")
        wait_for(lambda: not self.registry(UNINSTALL_KEY), INSTALL_TIMEOUT,
                 "the uninstaller to leave the list of programs")
        for link in links:
            self.assertFalse(self.linux_path(link).exists(), link)
        self.assertTrue(settings.is_file(), kept_while + "uninstalling")
        self.assertEqual(settings.read_bytes(), kept)

    def test_portable_zip_starts_and_its_exe_carries_version_manifest_and_icon(self):
        # Beside, not inside, the folder fresh_appdata makes afresh for the user folder.
        root = self.session.drive_c() / "e2e" / (self._testMethodName + "_unpacked")
        shutil.rmtree(root, ignore_errors=True)
        with zipfile.ZipFile(ZIP) as archive:
            archive.extractall(root)
        folder = root / f"Vendrel-{VERSION_TEXT}"
        self.assert_package_files(folder)
        exe = windows_path(folder / "vendrel.exe")

        version = self.session.probe("version", exe)
        self.assertEqual(version["fileVersion"], VERSION_TEXT + ".0")
        self.assertEqual(version["productVersion"], VERSION_TEXT + ".0")
        self.assertEqual(version["strings"]["FileVersion"], VERSION_TEXT)
        self.assertEqual(version["strings"]["ProductVersion"], VERSION_TEXT)
        self.assertEqual(version["strings"]["ProductName"], "Vendrel")
        self.assertTrue(version["strings"]["FileDescription"])

        resources = self.session.probe("resources", exe)
        self.assertEqual(resources["iconGroups"], 1)
        manifest = resources["manifest"]
        self.assertRegex(manifest, r'name="Microsoft\.Windows\.Common-Controls"\s+version="6\.0')
        self.assertIn(f'version="{VERSION_TEXT}.0"', manifest)
        self.assertIn(">PerMonitorV2", manifest)
        self.assertIn(f'<supportedOS Id="{WINDOWS_10}"/>', manifest)

        self.start_and_cancel(exe, windows_path(folder))


if __name__ == "__main__":
    unittest.main()
