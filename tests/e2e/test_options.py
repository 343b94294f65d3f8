"""The client's own options as a player works them: opened by the server's lmnu, by F10 while
offline and by Shift+F8, every move spoken, a check toggled with its sound, a volume moved and
kept, the sound card chosen from the system's cards, the interface language changed, and a
channel renamed and a refusal shown. Speech is the transcript; sound is recorded at the sinks."""

import unittest

from harness import IDOK, ClientTestCase, read_ini, read_lines, wait_for, windows_path
import pulse_audio
from test_audio import DEFAULT_SINK, FLOOR, SECOND_SINK, WINE_OWN_CARDS, tone_wav

TIMEOUT = 30


@unittest.skipUnless(pulse_audio.available(), "pulseaudio, pactl and parec are needed")
class OptionsTest(ClientTestCase):

    def setUp(self):
        super().setUp()
        self.pulse = pulse_audio.PulseServer([DEFAULT_SINK, SECOND_SINK])
        self.addCleanup(self.pulse.stop)
        self.addCleanup(self.session.env.__setitem__, "PULSE_SERVER",
                        self.session.env.get("PULSE_SERVER", ""))
        self.session.env["PULSE_SERVER"] = self.pulse.server
        self.lounge = self.start_lounge()

    def start(self):
        self.transcript = self.session.artifacts / f"{self.id()}-speech.txt"
        self.transcript.unlink(missing_ok=True)
        appdata, roaming = self.fresh_appdata()
        self.write_lounge_config(roaming, self.lounge,
                                 {"user.confirmOnExit": "false", "sounds.volume": "0.5"})
        sounds = roaming / "TORV" / "sounds"
        sounds.mkdir()
        (sounds / "menuchecked.ogg").write_bytes(tone_wav(880, 0.3))
        (sounds / "e2etone.ogg").write_bytes(tone_wav(1000, 0.3))
        for quiet in ("welcome", "connecting", "connected", "menubounds", "menuunchecked"):
            (sounds / f"{quiet}.ogg").write_bytes(tone_wav(440, 0.05, amplitude=0))
        environment = {"PULSE_SERVER": self.pulse.server,
                       "VENDREL_SPEECH_LOG": windows_path(self.transcript)}
        return self.connect_to_lounge(self.lounge, appdata=(appdata, roaming),
                                      environment=environment)

    def wait_said(self, line):
        def heard():
            return self.transcript.is_file() and line in read_lines(self.transcript)
        wait_for(heard, TIMEOUT, f"{line!r} in the transcript")

    def menu_lines(self, client, window):
        menu = [c for c in client.children(window) if c["class"] == "ListBox"][0]
        return self.session.probe("list", menu["hwnd"])["items"]

    def test_options_are_spoken_kept_and_heard(self):
        client, window, session, _, roaming = self.start()
        default_sink = self.pulse.record(DEFAULT_SINK[0])
        self.addCleanup(default_sink.stop)
        session.send_text("lmnu 1012")
        self.wait_said("say 0 General options")
        self.session.press(window, "Down")
        self.wait_said("say 1 Audio and speech options")
        self.session.press(window, "Return", "Down", "Right")
        self.wait_said("say 1 55%")
        self.wait_said("say 1 Sounds volume: 55%")
        # Toggling a check item says the new value and plays its sound.
        mark = default_sink.frames()
        self.session.press(window, "Down", "Down", "Return")
        self.wait_said("say 0 Disable music and streams:\tyes")
        wait_for(lambda: default_sink.bursts(mark, FLOOR), TIMEOUT, "the check sound")
        # Leaving the audio options saves them.
        self.session.press(window, "Escape")
        config = roaming / "TORV" / "config.ini"
        wait_for(lambda: ("streams.disable", "true") in read_ini(config), TIMEOUT,
                 "the settings saved")
        self.assertIn(("sounds.volume", "0.55000001192093"), read_ini(config))

        # The cards listed are the system's; the second sink then plays what the server asks.
        self.session.press(window, "shift+F8")
        self.wait_said("say 1 Sound card: ")
        cards = self.menu_lines(client, window)
        self.assertEqual((cards[0], cards[-1]), ("Automatic", "Back"))
        self.assertEqual(sorted(set(cards[1:-1]) - WINE_OWN_CARDS),
                         sorted(self.pulse.descriptions()))
        second_sink = self.pulse.record(SECOND_SINK[0])
        self.addCleanup(second_sink.stop)
        self.session.press(window, *["Down"] * cards.index(SECOND_SINK[1]), "Return")
        wait_for(lambda: ("sounds.device", SECOND_SINK[1]) in read_ini(config), TIMEOUT,
                 "the card chosen and saved")
        session.send_text("play e2etone 1")
        wait_for(lambda: second_sink.bursts(0, FLOOR), TIMEOUT, "the tone on the second card")

        # French: the labels the player hears change.
        session.send_text("lmnu 1026")
        self.wait_said("say 1 Interface language")
        self.assertEqual(self.menu_lines(client, window), ["english", "french", "Back"])
        self.session.press(window, "Down", "Return")
        session.send_text("lmnu 1012")
        self.wait_said("say 0 Options générales")
        self.assertEqual(dict(read_ini(roaming / "TORV" / "config.ini"))["user.language"],
                         "french")

    def test_offline_f10_renames_a_channel_and_refuses_to_delete_the_first(self):
        client, window, session, _, roaming = self.start()
        debug = roaming / "TORV" / "debug.txt"
        # Dropped before the login's answer, the login would count as refused.
        wait_for(lambda: "Login successful" in read_lines(debug), TIMEOUT, "the login")
        self.lounge.plan("refuse 503", count=20)  # the client stays offline from here
        session.drop()
        wait_for(lambda: any(line.startswith("Status!=101: 503") for line in read_lines(debug)),
                 TIMEOUT, "a refused reconnection")
        self.session.press(window, "F10")
        self.wait_said("say 0 General options")
        self.session.press(window, "Down", "Down", "Return", "Down", "Down", "Return", "Return")
        box = client.wait_dialog("Channel name")
        edit = box["edits"][0]["hwnd"]
        self.session.probe("settext", edit, "Table talk")
        client.answer(box, IDOK)
        self.wait_said("say 0 Name: Table talk")
        self.session.press(window, "Escape", "Up", "Delete")
        refusal = client.wait_dialog("Delete a channel")
        client.answer(refusal, IDOK)
        client.wait_no_dialog()
        self.session.press(window, "Escape")  # leaving the channels menu saves them
        channels = roaming / "TORV" / "channels1.ini"
        wait_for(lambda: ("name1", "Table talk") in read_ini(channels), TIMEOUT,
                 "the new name saved")
        self.assertEqual(len([k for k, _ in read_ini(channels) if k.startswith("name")]), 10)


if __name__ == "__main__":
    unittest.main()
