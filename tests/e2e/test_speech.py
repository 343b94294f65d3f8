"""The real NVDA path, which no fake inside the core proves: the controller library loaded from
the program folder and called with its own calling convention, NVDA found by its window. NVDA
is played by two doubles of ours (tests/e2e/doubles): a library exporting the controller
client's functions, which writes down what it receives, and a program showing NVDA's window.
Wine's SAPI refuses to speak (E_NOTIMPL), so without NVDA the client has no voice here."""

import json
import os
import shutil
import subprocess
import unittest
from pathlib import Path

from harness import REPO, ClientTestCase, read_lines, wait_for, windows_path

NVDA_DOUBLE = Path(os.environ.get(
    "VENDREL_NVDA_DOUBLE", REPO / "build/mingw/tests/e2e/nvdaControllerClient64.dll"))
NVDA_WINDOW = Path(os.environ.get(
    "VENDREL_NVDA_WINDOW", REPO / "build/mingw/tests/e2e/nvda_window_double.exe"))
LIBRARY = "nvdaControllerClient64.dll"


def lines_of(path):
    return read_lines(path) if path.is_file() else []


def wait_line(path, line):
    wait_for(lambda: line in lines_of(path), 30, f"{line!r} in {path.name}")


class SpeechTest(ClientTestCase):

    def setUp(self):
        super().setUp()
        # A program folder of the test's own, where the library can be put and replaced.
        built = Path(self.session.exe).parent
        self.program = self.session.drive_c() / "e2e" / (self._testMethodName + "-program")
        shutil.rmtree(self.program, ignore_errors=True)
        self.program.mkdir(parents=True)
        for name in ("vendrel.exe", "english.lng", "french.lng"):
            shutil.copy(built / name, self.program)
        self.transcript = self.session.artifacts / f"{self.id()}-speech.txt"
        self.received = self.session.artifacts / f"{self.id()}-nvda.txt"
        for path in (self.transcript, self.received):
            path.unlink(missing_ok=True)

    def nvda_window(self):
        """Starts the NVDA window double, closed at the end of the test if still open."""
        process = subprocess.Popen(["wine", str(NVDA_WINDOW)], env=self.session.env,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.PIPE)
        self.addCleanup(process.wait, 60)
        self.addCleanup(process.stdout.close)
        hwnd = json.loads(process.stdout.readline().decode())["hwnd"]
        self.addCleanup(self.session.probe, "close", hwnd, check=False)
        return hwnd, process

    def start(self):
        client, main, session, _, roaming = self.connect_to_lounge(
            extra={"user.confirmOnExit": "false"}, exe=self.program / "vendrel.exe",
            environment={"VENDREL_SPEECH_LOG": windows_path(self.transcript),
                         "VENDREL_NVDA_DOUBLE_LOG": windows_path(self.received)})
        return main, session, roaming / "TORV" / "debug.txt"

    def test_why_nvda_cannot_be_used_then_lines_reach_it_and_every_switch_is_announced(self):
        # One client for the whole story, as each start costs seconds under Wine.
        hwnd, window = self.nvda_window()
        main, session, debug = self.start()
        missing = f"NVDA is running but {LIBRARY} is not in the program folder."
        self.session.press(main, "ctrl+shift+F6")
        wait_line(self.transcript, "say 0 " + missing)
        # Nothing was said before it: the diagnosis tries the system voice rather than trust it.
        self.assertEqual(lines_of(self.transcript)[:2],
                         ["say 1 No speech output works.", "say 0 Screen readers found: NVDA."])
        self.assertIn("Speech diagnosis: " + missing, read_lines(debug))

        # A 32-bit library in its place (the machine of its file header made x86): the next
        # diagnosis reads the file, and nothing reaches it.
        library = bytearray(NVDA_DOUBLE.read_bytes())
        header = int.from_bytes(library[0x3C:0x40], "little")
        library[header + 4:header + 6] = (0x14C).to_bytes(2, "little")
        (self.program / LIBRARY).write_bytes(library)
        self.session.press(main, "ctrl+shift+F6")
        wait_line(self.transcript, f"say 0 The NVDA controller library in the program folder, "
                  f"{LIBRARY}, is a 32-bit file; this program needs the 64-bit one.")
        self.assertEqual(lines_of(self.received), [])

        # The right library copied in while the program runs is picked up: the announcement
        # comes first through it, once.
        shutil.copy(NVDA_DOUBLE, self.program / LIBRARY)
        session.send_text("say1 through nvda")
        wait_line(self.received, "speak through nvda")
        self.assertEqual(lines_of(self.received),
                         ["speak Speech now through NVDA", "speak through nvda"])
        self.assertIn("say 0 Speech now through NVDA", lines_of(self.transcript))
        # The review says the line again, cutting NVDA off, and brailles it.
        self.session.press(main, "alt+c", "Prior")
        wait_line(self.received, "braille through nvda")
        self.assertEqual(lines_of(self.received)[2:], ["cancel", "speak through nvda",
                                                       "braille through nvda"])

        # NVDA quits: nothing reaches it any more, and debug.txt says why.
        self.session.probe("close", hwnd)
        window.wait(timeout=60)
        session.send_text("say1 nvda has gone")
        wait_line(debug, "Speech output: none (NVDA is not running; SAPI 5 could not speak)")
        self.assertNotIn("speak nvda has gone", lines_of(self.received))

        # NVDA is back: the announcement comes first through it, once.
        self.nvda_window()
        session.send_text("say1 nvda is back")
        session.send_text("say1 and stays")
        wait_line(self.received, "speak and stays")
        self.assertEqual(lines_of(self.received)[-3:], [
            "speak Speech now through NVDA", "speak nvda is back", "speak and stays"])
        self.assertIn("Speech output: NVDA (NVDA is running now)", read_lines(debug))

        self.session.press(main, "ctrl+shift+F6")
        wait_line(self.received, "speak Screen readers found: NVDA.")
        self.assertIn("say 1 Speech comes through NVDA.", lines_of(self.transcript))
        self.assertIn("Speech diagnosis: Screen readers found: NVDA.", read_lines(debug))
        # Ctrl+F6 finds no system voice with a name to say (Wine's has none) and says so.
        self.session.press(main, "ctrl+F6")
        wait_line(self.received, "speak SAPI speech off")


if __name__ == "__main__":
    unittest.main()
