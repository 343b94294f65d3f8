"""The packages a player installs, under Wine. The installer installs silently, its Start menu
entry starts the installed client, a second install goes over the first and the uninstaller
takes the program away, all keeping the player's config.ini; the portable zip holds the same
files, and its exe names its version and carries its manifest."""

import json
import os
import re
import shutil
import subprocess
import unittest
import zipfile
from pathlib import Path

from harness import (PROBE_TIMEOUT, REPO, VERSION_TEXT, ClientTestCase, read_lines, wait_for,
                     windows_path)

PACKAGES = REPO / "build/mingw/package"
SETUP = Path(os.environ.get("VENDREL_SETUP", PACKAGES / f"Vendrel-{VERSION_TEXT}-setup.exe"))
ZIP = Path(os.environ.get("VENDREL_ZIP", PACKAGES / f"Vendrel-{VERSION_TEXT}-win64.zip"))
UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vendrel"
INSTALL_TIMEOUT = 120  # one run of the installer or the uninstaller
# What a package holds, and nothing else (no test program, no leftover of the build).
PACKAGE_FILES = sorted(
    ["vendrel.exe", "english.lng", "french.lng", "guide-english.html", "guide-french.html"]
    + [f"licences/{name}.txt" for name in ("libogg", "libvorbis", "soundtouch", "LGPL-2.1")]
    + [f"sounds/{name}.ogg" for name in ("welcome", "connecting", "connected", "menubounds",
                                         "menuchecked", "menuunchecked")])


class ReleaseTest(ClientTestCase):

    def run_windows(self, program, *args):
        """Runs a Windows program to its end through uiprobe; returns its exit code."""
        done = subprocess.run(["wine", str(self.session.uiprobe), "run", "--", program, *args],
                              env=self.session.env, stdin=subprocess.DEVNULL,
                              capture_output=True, timeout=INSTALL_TIMEOUT)
        lines = done.stdout.decode("utf-8").splitlines()
        self.assertTrue(lines and "exitCode" in lines[-1], f"{program} {args}: {lines}")
        return json.loads(lines[-1])["exitCode"]

    def linux_path(self, windows):
        """A C: path of the prefix as a Linux path."""
        return self.session.drive_c.joinpath(*windows[3:].split("\\"))

    def registry(self, *args):
        """The values of a registry key ({} when it is missing), as `reg query` lists them."""
        done = subprocess.run(["wine", "reg", *args], env=self.session.env,
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=PROBE_TIMEOUT)
        return dict(re.findall(r"(?m)^\s+(\S+)\s+REG_\w+\s+(.*?)\s*$",
                               done.stdout.decode("utf-8", errors="replace")))

    def assert_package_files(self, folder, extra=()):
        files = sorted(path.relative_to(folder).as_posix() for path in folder.rglob("*")
                       if path.is_file())
        self.assertEqual(files, sorted(PACKAGE_FILES + list(extra)))
        guide = (folder / "guide-english.html").read_text(encoding="utf-8")
        self.assertIn(f"Vendrel {VERSION_TEXT}", guide)

    def test_installer_installs_starts_updates_and_uninstalls_keeping_the_settings(self):
        users = [p.name for p in (self.session.drive_c / "users").iterdir() if p.is_dir()]
        profile = "C:\\users\\" + [name for name in users if name != "Public"][0]
        folder = profile + r"\AppData\Local\Programs\Vendrel"
        links = [profile + r"\AppData\Roaming\Microsoft\Windows\Start Menu\Programs\Vendrel"
                 r"\Vendrel.lnk", profile + r"\Desktop\Vendrel.lnk"]
        # What an interrupted run may have left in the shared prefix.
        shutil.rmtree(self.linux_path(folder), ignore_errors=True)
        for link in links:
            self.linux_path(link).unlink(missing_ok=True)
        self.registry("delete", UNINSTALL_KEY, "/f")
        self.assertEqual(self.run_windows(windows_path(SETUP), "/S"), 0)

        # Per user, in the local programs folder, and in the system's list of programs.
        entry = self.registry("query", UNINSTALL_KEY)
        self.assertEqual((entry.get("InstallLocation"), entry.get("DisplayVersion"),
                          entry.get("UninstallString")),
                         (folder, VERSION_TEXT, f'"{folder}\\uninstall.exe"'))
        self.assert_package_files(self.linux_path(folder), extra=["uninstall.exe"])
        # The Start menu entry and the desktop shortcut start the installed program.
        exe = folder + "\\vendrel.exe"
        for link in links:
            self.assertEqual(self.session.probe("shortcut", link)["target"], exe, link)
        # Started with the player's real APPDATA, the one an uninstaller would find.
        client = self.start_client(profile + r"\AppData\Roaming", exe=exe)
        self.assertEqual(client.cancel_connection_dialog(), 0)
        torv = self.linux_path(profile + r"\AppData\Roaming\TORV")
        self.assertIn(f"AppDir: {folder}\\", read_lines(torv / "debug.txt"))
        kept = (torv / "config.ini").read_bytes()

        # A second install over the first keeps the player's settings.
        self.assertEqual(self.run_windows(windows_path(SETUP), "/S"), 0)
        self.assertTrue(self.linux_path(exe).is_file())
        self.assertEqual((torv / "config.ini").read_bytes(), kept)
        # The uninstaller runs on from a copy of itself: its effect is waited for.
        self.assertEqual(self.run_windows(folder + "\\uninstall.exe", "/S"), 0)
        wait_for(lambda: not self.linux_path(folder).exists(), INSTALL_TIMEOUT,
                 f"the uninstaller to remove {folder}")
        wait_for(lambda: not self.registry("query", UNINSTALL_KEY), INSTALL_TIMEOUT,
                 "the uninstaller to leave the list of programs")
        for link in links:
            self.assertFalse(self.linux_path(link).exists(), link)
        self.assertEqual((torv / "config.ini").read_bytes(), kept)

    def test_portable_zip_and_its_exe_carry_version_manifest_and_icon(self):
        root = self.session.drive_c / "e2e" / "unpacked"
        shutil.rmtree(root, ignore_errors=True)
        with zipfile.ZipFile(ZIP) as archive:
            archive.extractall(root)
        folder = root / f"Vendrel-{VERSION_TEXT}"
        self.assert_package_files(folder)
        exe = windows_path(folder / "vendrel.exe")
        version = self.session.probe("version", exe)
        self.assertEqual((version["fileVersion"], version["productVersion"]),
                         (VERSION_TEXT + ".0", VERSION_TEXT + ".0"))
        strings = version["strings"]
        self.assertEqual((strings["FileVersion"], strings["ProductVersion"],
                          strings["ProductName"]), (VERSION_TEXT, VERSION_TEXT, "Vendrel"))
        resources = self.session.probe("resources", exe)
        self.assertEqual(resources["iconGroups"], 1)
        manifest = resources["manifest"]
        self.assertRegex(manifest, r'name="Microsoft\.Windows\.Common-Controls"\s+version="6\.0')
        self.assertIn(f'version="{VERSION_TEXT}.0"', manifest)
        self.assertIn(">PerMonitorV2", manifest)
        windows_10 = "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"
        self.assertIn(f'<supportedOS Id="{windows_10}"/>', manifest)


if __name__ == "__main__":
    unittest.main()
