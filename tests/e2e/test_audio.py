"""Sound as a player hears it: the real vendrel.exe under Wine plays through Wine's WASAPI into
PulseAudio null sinks, and what reaches each sink is recorded and measured.

Most sounds are written into the user's sounds folder (which comes before the program's) as
WAV data under the .ogg names the client asks for: the engine picks its decoder by content, so
those measurements do not depend on the Ogg decoder. Each is a pure tone of known level. One
test plays the program's own default sounds, which the build makes as Ogg Vorbis files."""

import io
import math
import struct
import unittest
import wave

from harness import ClientTestCase, read_ini, read_lines, wait_for
import pulse_audio

SOUND_TIMEOUT = 30  # from an action to its sound in the recording
FLOOR = 0.002  # silence: well above the sink's 16-bit quantisation, far below any test tone
AMPLITUDE = 0.8
SOUNDS_VOLUME = 0.2  # "sounds.volume" of these tests; F7 twice leaves 0.16
DEFAULT_SINK = ("vendrel_e2e", "Vendrel_E2E_Speakers")
SECOND_SINK = ("vendrel_e2e_second", "Vendrel_E2E_Headphones")
WINE_OWN_CARDS = {"PulseAudio"}
# The audio lines of debug.txt around their neighbours, in order; other lines may stand between.
AUDIO_LINES = ["Loading language...", "Initializing bass...", "Loading bass plugins...",
               "Configuring bass...", "Listing bass devices...", "Init bass device #1 [",
               "Bass initialized OK", "INitializing GUI...", "GUI created OK",
               "Saving config...", "Disconnecting...", "Closing BASS..."]


def missing_in_order(lines, expected):
    """The expected line beginnings that do not follow each other in lines."""
    position = 0
    for number, start in enumerate(expected):
        while position < len(lines) and not lines[position].startswith(start):
            position += 1
        if position == len(lines):
            return expected[number:]
        position += 1
    return []


def tone_wav(hertz, seconds, amplitude=AMPLITUDE):
    frames = int(seconds * pulse_audio.RATE)
    out = io.BytesIO()
    with wave.open(out, "wb") as writer:
        writer.setnchannels(1)
        writer.setsampwidth(2)
        writer.setframerate(pulse_audio.RATE)
        writer.writeframes(b"".join(
            struct.pack("<h", round(32767 * amplitude *
                                    math.sin(2 * math.pi * hertz * i / pulse_audio.RATE)))
            for i in range(frames)))
    return out.getvalue()


@unittest.skipUnless(pulse_audio.available(), "pulseaudio, pactl and parec are needed")
class AudioTest(ClientTestCase):

    def setUp(self):
        super().setUp()
        self.pulse = pulse_audio.PulseServer([DEFAULT_SINK, SECOND_SINK])
        self.addCleanup(self.pulse.stop)
        self.environment = {"PULSE_SERVER": self.pulse.server}
        # uiprobe and the client both reach this test's cards; the session's own come back
        # afterwards.
        self.addCleanup(self.restore_pulse_server, self.session.env.get("PULSE_SERVER"))
        self.session.env["PULSE_SERVER"] = self.pulse.server

    def restore_pulse_server(self, server):
        if server is None:
            self.session.env.pop("PULSE_SERVER", None)
        else:
            self.session.env["PULSE_SERVER"] = server

    def record(self, sink):
        recorder = self.pulse.record(sink[0])
        self.addCleanup(recorder.stop)
        return recorder

    def write_sounds(self, roaming):
        sounds = roaming / "TORV" / "sounds"
        sounds.mkdir(parents=True, exist_ok=True)
        (sounds / "welcome.ogg").write_bytes(tone_wav(440, 0.6))
        (sounds / "e2etone.ogg").write_bytes(tone_wav(1000, 0.5))
        (sounds / "menubounds.ogg").write_bytes(tone_wav(300, 0.1))
        # The connection sounds stay out of the measurements.
        for quiet in ("connecting", "connected"):
            (sounds / f"{quiet}.ogg").write_bytes(tone_wav(440, 0.05, amplitude=0))

    def wait_bursts(self, recorder, start, count, what):
        def enough():
            bursts = recorder.bursts(start, FLOOR)
            return bursts if len(bursts) >= count else None
        return wait_for(enough, SOUND_TIMEOUT, what)

    def tone_level(self, recorder, burst, channel):
        """The tone's amplitude in one channel."""
        return recorder.level(channel, *burst, FLOOR)

    def test_start_sound_pan_and_volume_keys(self):
        lounge = self.start_lounge()
        appdata, roaming = self.fresh_appdata()
        self.write_lounge_config(roaming, lounge, {"sounds.volume": str(SOUNDS_VOLUME)})
        self.write_sounds(roaming)
        recorder = self.record(DEFAULT_SINK)
        client = self.start_client(appdata, self.environment)

        # "welcome 0.11": heard at 0.11 of the master volume, from the main window's creation.
        welcome = self.wait_bursts(recorder, 0, 1, "the start sound")[0]
        expected = AMPLITUDE * 0.11 * SOUNDS_VOLUME
        self.assertAlmostEqual(self.tone_level(recorder, welcome, 0), expected,
                               delta=expected * 0.15)

        client.connect()
        window = client.wait_title("Vendrel - E2E lounge - demo")
        server = lounge.next_session(timeout=60)
        mark = recorder.frames()

        # A server play panned fully left reaches the left channel only.
        server.send_text("play-1 e2etone 1 pan -1")
        panned = self.wait_bursts(recorder, mark, 1, "the panned tone")[0]
        left = self.tone_level(recorder, panned, 0)
        self.assertAlmostEqual(left, AMPLITUDE * SOUNDS_VOLUME, delta=0.01)
        self.assertLess(self.tone_level(recorder, panned, 1), left * 0.01)

        # F7 twice: two steps down, each heard (menubounds) at its new level.
        for presses in (1, 2):
            mark = recorder.frames()
            self.session.press(window, "F7")
            self.wait_bursts(recorder, mark, 1, f"menubounds after F7 number {presses}")

        mark = recorder.frames()
        server.send_text("play-1 e2etone 1")
        quieter = self.wait_bursts(recorder, mark, 1, "the tone after F7 twice")[0]
        self.assertAlmostEqual(self.tone_level(recorder, quieter, 0) / left, 0.16 / 0.2,
                               delta=0.02)

        self.assertEqual(client.close(window), 0)
        settings = dict(read_ini(roaming / "TORV" / "config.ini"))
        self.assertAlmostEqual(float(settings["sounds.volume"]), 0.16, delta=0.001)

        # What the output listed is what the system has: our "Default", then every card
        # (Wine adds its own "PulseAudio" card, which follows the server's default sink).
        lines = read_lines(roaming / "TORV" / "debug.txt")
        self.assertEqual(missing_in_order(lines, AUDIO_LINES), [], lines)
        listed = [line.split("[", 1)[1].rstrip("]") for line in lines
                  if line.startswith("WASAPI: device #")]
        self.assertEqual(listed[0], "Default")
        self.assertEqual(sorted(set(listed[1:]) - WINE_OWN_CARDS),
                         sorted(self.pulse.descriptions()))
        self.assertEqual(len(listed), len(set(listed)))
        # No card named in the settings: the default, shown with the last card looked at.
        self.assertIn(f"Init bass device #1 [{listed[-1]} ]", lines)

    def test_default_start_sound_and_a_file_stream(self):
        program_sounds = self.session.exe.parent / "sounds"
        lounge = self.start_lounge()
        appdata, roaming = self.fresh_appdata()
        self.write_lounge_config(roaming, lounge)
        sounds = roaming / "TORV" / "sounds"
        sounds.mkdir(parents=True)
        for quiet in ("connecting", "connected"):
            (sounds / f"{quiet}.ogg").write_bytes(tone_wav(440, 0.05, amplitude=0))
        # A stream of the same Ogg file as the start sound, so the two levels compare.
        (sounds / "e2estream.ogg").write_bytes((program_sounds / "welcome.ogg").read_bytes())
        recorder = self.record(DEFAULT_SINK)
        client = self.start_client(appdata, self.environment)

        # The program's own welcome.ogg, decoded by the Vorbis decoder: a chord, not a click.
        welcome = self.wait_bursts(recorder, 0, 1, "the default start sound")[0]
        self.assertGreater(welcome[1] - welcome[0], pulse_audio.RATE // 2)

        client.connect()
        window = client.wait_title("Vendrel - E2E lounge - demo")
        server = lounge.next_session(timeout=60)
        mark = recorder.frames()
        # A file stream runs through the stream feeder at the streams' master volume (0.25 by
        # default); the start sound played at 0.11 of the sounds' master (1 by default).
        server.send_text("play-1 file://e2estream.ogg 1")
        stream = self.wait_bursts(recorder, mark, 1, "the file stream")[0]
        # Most of it, not a click: under load Wine's PulseAudio stream has been seen to drop
        # a few tenths of a second of a new stream, whatever the client feeds it.
        self.assertGreater(stream[1] - stream[0], pulse_audio.RATE * 3 // 10)
        self.assertAlmostEqual(recorder.peak(0, *stream) / recorder.peak(0, *welcome),
                               0.25 / 0.11, delta=0.2)
        self.assertEqual(client.close(window), 0)

    def test_configured_card_plays_and_a_missing_one_falls_back(self):
        for device, heard, silent in ((SECOND_SINK, SECOND_SINK, DEFAULT_SINK),
                                      (("gone", "No such card"), DEFAULT_SINK, SECOND_SINK)):
            with self.subTest(device=device[1]):
                appdata, roaming = self.fresh_appdata(f"card-{device[0]}")
                torv = roaming / "TORV"
                torv.mkdir(parents=True)
                (torv / "config.ini").write_bytes(
                    f"sounds.device={device[1]}\r\nsounds.volume=1\r\n".encode())
                self.write_sounds(roaming)
                heard_recorder = self.record(heard)
                silent_recorder = self.record(silent)
                client = self.start_client(appdata, self.environment)
                self.wait_bursts(heard_recorder, 0, 1, f"the start sound on {heard[1]}")
                self.assertEqual(client.cancel_connection_dialog(), 0)
                silent_recorder.frames()
                self.assertEqual(silent_recorder.bursts(0, FLOOR), [])
                lines = read_lines(torv / "debug.txt")
                listed = [line.split("[", 1)[1].rstrip("]") for line in lines
                          if line.startswith("WASAPI: device #")]
                # The named card by its number in the list; a missing one leaves device 1,
                # shown with the last card looked at.
                expected = (f"Init bass device #{listed.index(device[1]) + 1} [{device[1]} ]"
                            if device[1] in listed else f"Init bass device #1 [{listed[-1]} ]")
                self.assertEqual([line for line in lines
                                  if line.startswith("Init bass device #")], [expected])
                # The name stays in the settings, even that of a missing card.
                self.assertIn(f"sounds.device={device[1]}",
                              read_lines(torv / "config.ini"))


if __name__ == "__main__":
    unittest.main()
