"""The real NVDA path, which no fake inside the core proves: the controller library loaded from
the program folder and called with its own calling convention, NVDA found by its window, both
played by doubles (tests/e2e/doubles); Wine's SAPI cannot speak. The announcements and the
diagnosis's texts are unit-tested (SpeechBridge, SpeechDiagnosis, LibraryBits)."""

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

    def test_why_nvda_cannot_be_used_then_lines_reach_it_while_it_runs(self):
        # A program folder of the test's own, where the library can be put while it runs.
        program = self.session.drive_c / "e2e" / "speech-program"
        shutil.rmtree(program, ignore_errors=True)
        program.mkdir(parents=True)
        for name in ("vendrel.exe", "english.lng"):
            shutil.copy(self.session.exe.parent / name, program)
        transcript = self.session.artifacts / f"{self.id()}-speech.txt"
        received = self.session.artifacts / f"{self.id()}-nvda.txt"
        for path in (transcript, received):
            path.unlink(missing_ok=True)
        nvda = subprocess.Popen(["wine", str(NVDA_WINDOW)], env=self.session.env,
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE)
        self.addCleanup(nvda.wait, 60)
        self.addCleanup(nvda.stdout.close)
        hwnd = json.loads(nvda.stdout.readline().decode())["hwnd"]
        self.addCleanup(self.session.probe, "close", hwnd, check=False)
        _, main, session, roaming = self.connect_to_lounge(
            extra={"user.confirmOnExit": "false"}, exe=program / "vendrel.exe",
            environment={"VENDREL_SPEECH_LOG": windows_path(transcript),
                         "VENDREL_NVDA_DOUBLE_LOG": windows_path(received)})
        debug = roaming / "TORV" / "debug.txt"
        missing = f"NVDA is running but {LIBRARY} is not in the program folder."
        self.session.press(main, "ctrl+shift+F6")
        wait_line(transcript, "say 0 " + missing)
        self.assertIn("Speech diagnosis: " + missing, read_lines(debug))

        # The right library copied in while the program runs is picked up: the announcement
        # comes first through it, once.
        shutil.copy(NVDA_DOUBLE, program / LIBRARY)
        session.send_text("say1 through nvda")
        wait_line(received, "speak through nvda")
        self.assertEqual(lines_of(received),
                         ["speak Speech now through NVDA", "speak through nvda"])
        self.assertIn("say 0 Speech now through NVDA", lines_of(transcript))
        # The review says the line again, cutting NVDA off, and brailles it.
        self.session.press(main, "alt+c", "Prior")
        wait_line(received, "braille through nvda")
        self.assertEqual(lines_of(received)[2:],
                         ["cancel", "speak through nvda", "braille through nvda"])

        # NVDA quits: nothing reaches it any more, and debug.txt says why.
        self.session.probe("close", hwnd)
        nvda.wait(timeout=60)
        session.send_text("say1 nvda has gone")
        wait_line(debug, "Speech output: none (NVDA is not running; SAPI 5 could not speak)")
        self.assertNotIn("speak nvda has gone", lines_of(received))


if __name__ == "__main__":
    unittest.main()
