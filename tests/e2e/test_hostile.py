"""A hostile server, all in one client run, meeting the real program with its threads, controls
and file system (the decoders' rules are unit-tested: WebSocketFrame, MenuModel, MoveRequest,
Downloads). After each attack the client must still run, answer a key and keep its memory
modest; a frame the protocol forbids may end the connection, never the client."""

import os
import unittest
from pathlib import Path

from harness import TIMEOUT, ClientTestCase
from test_playable import ITEMS, SEP, menu_command

import lounge_wire as wire  # tools/lounge, on the path once harness is imported

BILLIONS = 2_000_000_000
# Above the memory the client has after login; a client that believed an announced length
# or count would go far beyond.
MEMORY_GROWTH_LIMIT = 150 * 1024 * 1024


def resident_bytes():
    """The largest resident size of a process running vendrel.exe under Wine."""
    largest = 0
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            if b"vendrel.exe" not in Path(f"/proc/{pid}/cmdline").read_bytes():
                continue
            for line in Path(f"/proc/{pid}/status").read_text().splitlines():
                if line.startswith("VmRSS:"):
                    largest = max(largest, int(line.split()[1]) * 1024)
        except OSError:
            continue
    return largest


class HostileServerTest(ClientTestCase):

    def settle(self):
        """Waits until the client has read everything sent so far: it answers a ping, or it
        has ended the connection and logged in again."""
        self.server.send_frame(b"sync", wire.OP_PING)
        if self.server.next_frame({"pong"}, TIMEOUT) is not None:
            return
        self.assertTrue(self.server.wait_closed(TIMEOUT), "the client hung on the frame")
        self.server = self.lounge.next_session(timeout=TIMEOUT)
        self.assertIsNotNone(self.server, "the client did not log in again")

    def answers_a_key(self):
        self.session.press(self.window, "F2")
        while True:
            frame = self.server.next_frame({"text"}, TIMEOUT)
            self.assertIsNotNone(frame, "the key was not answered")
            if frame.payload.startswith((b"key ", b"mkey ")):
                return

    def check_after(self, what):
        with self.subTest(what):
            self.settle()
            self.answers_a_key()
            self.assertTrue(self.client.is_running(), "the client ended")
            self.assertLess(resident_bytes(), self.first_memory + MEMORY_GROWTH_LIMIT)

    def test_hostile_frames_and_commands(self):
        self.lounge = self.start_lounge()
        self.client, self.window, self.server, _ = self.connect_to_lounge(self.lounge)
        self.first_memory = resident_bytes()
        self.assertGreater(self.first_memory, 0, "the client's process was not found")
        frames = {
            "2^62 bytes announced": bytes([0x81, 127]) + (1 << 62).to_bytes(8, "big") + b"abc",
            "a masked frame": wire.encode_frame(b"say1 masked", mask_key=b"\x01\x02\x03\x04"),
            "invalid UTF-8": wire.encode_frame(b"say1 \xff\xfe\xc0\xaf\xed\xa0\x80 end"),
        }
        for what, data in frames.items():
            self.server.send_raw(data)
            self.check_after(what)

        menu = menu_command(7, ITEMS)
        self.server.send_text(menu.replace(f"7{SEP}1{SEP}4{SEP}", f"7{SEP}1{SEP}{BILLIONS}{SEP}"))
        self.check_after("a menu of two billion items")
        self.server.send_text(menu.replace(f"7{SEP}1{SEP}", f"7{SEP}{BILLIONS}{SEP}", 1))
        self.session.press(self.window, "End")
        self.check_after("a grid of two billion columns, End pressed")
        self.server.send_text("mcls 0")

        for word in ("cn4m", "rv1m"):
            self.server.send_text(f"{word} 0 0 {BILLIONS} " + "0" * 64)
        self.check_after("move searches two billion moves deep")

        for n in range(1000):
            self.server.send_text(f"say1 line {n} of the burst")
        self.check_after("a burst of a thousand lines")

        for name in ("../../../evil.ogg", "..\\..\\evil.ogg", "C:\\Windows\\evil.ogg",
                     "\\\\server\\share\\evil.ogg", "con.ogg", "a" * 5000 + ".ogg", "nul\x01.ogg"):
            self.server.send_text(f"dwnl {name} 0")
        self.check_after("hostile download names")


if __name__ == "__main__":
    unittest.main()
