"""The history as a player meets it: the server's lines spoken or not by their channel with
the window active and in the background, shown in the pane, read again with Page Up, views,
muting, copying and saving. The speech transcript is what the player heard."""

import subprocess
import unittest

from harness import ClientTestCase, read_lines, wait_for, windows_path

TEXT_TIMEOUT = 30
# The built-in presets' channels 0 to 9: which speak in the background; 0 and 9 interrupt.
SPOKEN_IN_BACKGROUND = {0, 3, 4, 7, 8, 9}
INTERRUPTING = {0, 9}


def say_line(channel, text):
    return f"say {1 if channel in INTERRUPTING else 0} {text}"


class HistoryTest(ClientTestCase):

    def setUp(self):
        super().setUp()
        self.lounge = self.start_lounge()

    def start(self, extra=None, appdata=None):
        self.transcript = self.session.artifacts / f"{self.id()}-speech.txt"
        self.transcript.unlink(missing_ok=True)
        extra = dict({"user.confirmOnExit": "false"}, **(extra or {}))
        return self.connect_to_lounge(
            self.lounge, extra=extra, appdata=appdata,
            environment={"VENDREL_SPEECH_LOG": windows_path(self.transcript)})

    def said(self):
        return read_lines(self.transcript) if self.transcript.is_file() else []

    def wait_said(self, line):
        wait_for(lambda: line in self.said(), TEXT_TIMEOUT, f"{line!r} in the transcript")

    def pane_text(self, client, window):
        return [c for c in client.children(window) if c["class"] == "RichEdit20W"][0]["text"]

    def wait_shown(self, client, window, text):
        wait_for(lambda: text in self.pane_text(client, window), TEXT_TIMEOUT,
                 f"{text!r} in the history pane")

    def in_background(self):
        """Another window of our own takes the foreground until the returned one is closed."""
        holder = subprocess.Popen(["wine", str(self.session.uiprobe), "hold"],
                                  env=self.session.env, stdin=subprocess.DEVNULL,
                                  stdout=subprocess.PIPE)
        self.addCleanup(holder.wait, 60)
        self.addCleanup(holder.stdout.close)
        return int(holder.stdout.readline().decode().split(":")[1].rstrip("}\n"))

    def test_lines_are_spoken_and_shown_by_channel_and_reviewed(self):
        client, window, session, _, _ = self.start()
        for channel in range(10):
            session.send_text(f"say{channel} front {channel}")
        self.wait_shown(client, window, "front 9")
        held = self.in_background()
        for channel in range(10):
            session.send_text(f"say{channel} back {channel}")
        self.wait_shown(client, window, "back 9")
        self.session.probe("close", held)
        self.session.probe("activate", window["hwnd"])
        wait_for(lambda: (self.session.probe("focus", window["hwnd"])["active"] or {}).get("hwnd")
                 == window["hwnd"], TEXT_TIMEOUT, "the main window active again")
        front = [say_line(c, f"front {c}") for c in range(10)]
        back = [say_line(c, f"back {c}") for c in sorted(SPOKEN_IN_BACKGROUND)]
        self.assertEqual([line for line in self.said() if " front " in line or " back " in line],
                         front + back)
        lines = [f"front {c}" for c in range(10)] + [f"back {c}" for c in range(10)]
        self.assertEqual(self.pane_text(client, window), "\r\n" + "\r\n".join(lines))

        # Page Up twice from the chat line reads the line before the last, interrupting.
        self.session.press(window, "alt+c", "Prior", "Prior")
        self.wait_said("say 1 back 8")
        # The next view, then copying it: channels 0, 1 and 7.
        self.session.press(window, "alt+Right")
        self.wait_said("say 1 View 2")
        self.session.press(window, "ctrl+F12")
        self.wait_said("say 1 Copied")
        copied = "".join(f"{w} {c}\r\n" for w in ("front", "back") for c in (0, 1, 7))
        self.assertEqual(self.session.probe("clipboard")["text"], copied)

        # Muted, a line is shown but not spoken.
        self.session.press(window, "ctrl+F5")
        self.wait_said("say 1 History reading off")
        session.send_text("say1 while muted")
        self.wait_shown(client, window, "while muted")
        self.session.press(window, "ctrl+F5")
        self.wait_said("say 1 History reading on")
        self.assertFalse([line for line in self.said() if "while muted" in line])

    def test_formatted_lines_hidden_channels_and_saving(self):
        lounge_web = f"127.0.0.1:{self.lounge.web.port}"
        appdata, roaming = self.fresh_appdata()
        self.write_lounge_config(roaming, self.lounge, {"user.confirmOnExit": "false"})
        # Channel 2 is spoken and never shown; custom colour 1 is purple.
        channels = {"name0": "Main", "flags0": "1", "effects0": "0", "color0": "255",
                    "name1": "Talk", "flags1": "1", "effects1": "1073741824", "color1": "0",
                    "name2": "Quiet", "flags2": "33", "effects2": "0", "color2": "0",
                    "custcol0": "0", "custcol1": "10027110"}
        (roaming / "TORV" / "channels1.ini").write_text(
            "".join(f"{k}={v}\r\n" for k, v in channels.items()))
        client, window, session, _, _ = self.start(appdata=(appdata, roaming))
        session.send_text("say0 \x11Bold red\x0c\x0e\x0f purple")
        session.send_text(f"say1 A link: \x0c\x10http://{lounge_web}/page")
        session.send_text("say2 never shown")
        session.send_text("say1 last line")
        self.wait_shown(client, window, "last line")
        self.wait_said("say 0 never shown")
        self.assertNotIn("never shown", self.pane_text(client, window))
        self.screenshot("formatted-history")

        saved_text = self.session.artifacts / f"{self.id()}.txt"
        saved_rtf = self.session.artifacts / f"{self.id()}.rtf"
        for path in (saved_text, saved_rtf):
            path.unlink(missing_ok=True)
        self.save(client, window, saved_text)
        wait_for(saved_text.is_file, TEXT_TIMEOUT, f"{saved_text}")
        self.assertEqual(saved_text.read_bytes().decode("utf-8"),
                         f"\r\nBold red purple\r\nA link: http://{lounge_web}/page\r\n"
                         "last line\r\n")
        self.save(client, window, saved_rtf, rich=True)
        wait_for(saved_rtf.is_file, TEXT_TIMEOUT, f"{saved_rtf}")
        rtf = saved_rtf.read_bytes().decode("utf-8")
        # The control marks its UTF-8 output "\\urtf".
        self.assertTrue(rtf.startswith(("{\\rtf1", "{\\urtf")), rtf[:40])
        self.assertTrue(rtf.endswith("}\r\n"), rtf[-40:])
        self.assertIn("purple", rtf)

    def save(self, client, window, path, rich=False):
        self.session.press(window, "F12")
        dialog = client.wait_dialog("Save the history as")
        self.session.type_text(dialog["window"], windows_path(path))
        self.session.press(dialog["window"], *(["alt+t", "Down"] if rich else []), "Return")
        client.wait_no_dialog()


if __name__ == "__main__":
    unittest.main()
