"""Sound and the client's own options as a player meets them: the real vendrel.exe plays through
Wine's WASAPI into PulseAudio null sinks, where what arrives is recorded and measured. The user's
sounds folder holds pure tones of known level: the start sound a real Ogg Vorbis file (so the
decoder the program registers is proven), the others WAV data under the .ogg names the client
asks for. The rules are the sound engine's and option menus' unit tests; here each path is proven
once: the start sound's level, a pan, F7's step down, the system's cards listed and one chosen,
and the options opened offline with F10, changed and saved."""

import array
import io
import math
import shutil
import unittest
import wave
from pathlib import Path

from harness import TIMEOUT, ClientTestCase, read_ini, read_lines, wait_for, windows_path
import pulse_audio

FLOOR = 0.002  # silence: well above the sink's 16-bit quantisation, far below any test tone
AMPLITUDE = 0.8
# 440 Hz on the left, 1000 Hz on the right, half a second at amplitude 0.5 (tests/data/ogg).
OGG_TONE = Path(__file__).resolve().parents[1] / "data" / "ogg" / "sine440_1000_stereo_44100.ogg"
OGG_AMPLITUDE = 0.5
SOUNDS_VOLUME = 0.5
DEFAULT_SINK = ("vendrel_e2e", "Vendrel_E2E_Speakers")
SECOND_SINK = ("vendrel_e2e_second", "Vendrel_E2E_Headphones")
WINE_OWN_CARDS = {"PulseAudio"}  # Wine's own card, which follows the server's default sink


def tone_wav(hertz, seconds, amplitude=AMPLITUDE):
    rate = pulse_audio.RATE
    samples = array.array("h", (round(32767 * amplitude * math.sin(2 * math.pi * hertz * i / rate))
                                for i in range(int(seconds * rate))))
    out = io.BytesIO()
    with wave.open(out, "wb") as writer:
        writer.setparams((1, 2, rate, len(samples), "NONE", "not compressed"))
        writer.writeframes(samples.tobytes())  # little-endian, as WAV wants, on this machine
    return out.getvalue()


@unittest.skipUnless(pulse_audio.available(), "pulseaudio, pactl and parec are needed")
class AudioTest(ClientTestCase):

    def setUp(self):
        super().setUp()
        self.pulse = pulse_audio.PulseServer([DEFAULT_SINK, SECOND_SINK])
        self.addCleanup(self.pulse.stop)
        # uiprobe and the client both reach this test's cards; the session's come back after.
        self.addCleanup(self.session.env.__setitem__, "PULSE_SERVER",
                        self.session.env.get("PULSE_SERVER", ""))
        self.session.env["PULSE_SERVER"] = self.pulse.server
        self.transcript = self.session.artifacts / f"{self.id()}-speech.txt"
        self.transcript.unlink(missing_ok=True)

    def record(self, sink):
        recorder = pulse_audio.Recorder(self.pulse, sink[0])
        self.addCleanup(recorder.stop)
        return recorder

    def wait_burst(self, recorder, start, what):
        return wait_for(lambda: recorder.bursts(start, FLOOR), TIMEOUT, what)[0]

    def wait_said(self, line):
        wait_for(lambda: self.transcript.is_file() and line in read_lines(self.transcript),
                 TIMEOUT, f"{line!r} in the transcript")

    def test_sounds_cards_and_options(self):
        lounge = self.start_lounge()
        appdata, roaming = self.fresh_appdata()
        self.write_lounge_config(roaming, lounge, {"user.confirmOnExit": "false",
                                                   "sounds.volume": str(SOUNDS_VOLUME)})
        sounds = roaming / "TORV" / "sounds"
        sounds.mkdir()
        shutil.copyfile(OGG_TONE, sounds / "welcome.ogg")
        (sounds / "e2etone.ogg").write_bytes(tone_wav(1000, 0.5))
        (sounds / "menuchecked.ogg").write_bytes(tone_wav(880, 0.3))
        for quiet in ("connecting", "connected", "menubounds", "menuunchecked"):
            (sounds / f"{quiet}.ogg").write_bytes(tone_wav(440, 0.05, amplitude=0))
        speakers = self.record(DEFAULT_SINK)
        client = self.start_client(appdata, {"PULSE_SERVER": self.pulse.server,
                                             "VENDREL_SPEECH_LOG": windows_path(self.transcript)})

        # "welcome 0.11": heard at 0.11 of the master volume, from the main window's creation.
        welcome = self.wait_burst(speakers, 0, "the start sound")
        expected = OGG_AMPLITUDE * 0.11 * SOUNDS_VOLUME
        self.assertAlmostEqual(speakers.level(0, *welcome, FLOOR), expected, delta=expected * 0.15)

        client.connect()
        window = client.main_window("Vendrel - E2E lounge - demo")
        server = lounge.next_session(timeout=TIMEOUT)
        # A server play panned fully left reaches the left channel only.
        mark = speakers.frames()
        server.send_text("play-1 e2etone 1 pan -1")
        panned = self.wait_burst(speakers, mark, "the panned tone")
        left = speakers.level(0, *panned, FLOOR)
        self.assertAlmostEqual(left, AMPLITUDE * SOUNDS_VOLUME, delta=0.02)
        self.assertLess(speakers.level(1, *panned, FLOOR), left * 0.01)
        self.session.press(window, "F7")  # 50% down to 48%, which the options show below

        # The cards listed are the system's; the one chosen then plays what the server asks.
        self.session.press(window, "shift+F8")
        self.wait_said("say 1 Sound card: ")
        menu = [c for c in client.children(window) if c["class"] == "ListBox"][0]["hwnd"]
        cards = self.session.probe("list", menu)["items"]
        self.assertEqual((cards[0], cards[-1]), ("Automatic", "Back"))
        self.assertEqual(sorted(set(cards[1:-1]) - WINE_OWN_CARDS),
                         sorted([DEFAULT_SINK[1], SECOND_SINK[1]]))
        headphones = self.record(SECOND_SINK)
        self.session.press(window, *["Down"] * cards.index(SECOND_SINK[1]), "Return")
        config = roaming / "TORV" / "config.ini"
        wait_for(lambda: ("sounds.device", SECOND_SINK[1]) in read_ini(config), TIMEOUT,
                 "the card chosen and saved")
        server.send_text("play e2etone 1")
        self.wait_burst(headphones, 0, "the tone on the chosen card")

        # Offline, F10 opens the client's own options: a volume moved, a check toggled with its
        # sound, both saved on leaving.
        debug = roaming / "TORV" / "debug.txt"
        lounge.plan("refuse 503", count=20)
        server.drop()
        wait_for(lambda: any(line.startswith("Status!=101: 503") for line in read_lines(debug)),
                 TIMEOUT, "a refused reconnection")
        self.session.press(window, "F10")
        self.wait_said("say 0 General options")
        self.session.press(window, "Down")
        self.wait_said("say 1 Audio and speech options")
        self.session.press(window, "Return", "Down", "Right")
        self.wait_said("say 1 Sounds volume: 53%")
        mark = headphones.frames()
        self.session.press(window, "Down", "Down", "Return")
        self.wait_said("say 0 Disable music and streams:\tyes")
        self.wait_burst(headphones, mark, "the check sound")
        self.session.press(window, "Escape")
        wait_for(lambda: ("streams.disable", "true") in read_ini(config), TIMEOUT,
                 "the settings saved")
        self.assertIn(("sounds.volume", "0.52999997138977"), read_ini(config))


if __name__ == "__main__":
    unittest.main()
