"""What the client's tests take on trust from the lounge server (tools/lounge): its control
port, started as tests/run_with_lounge.py starts it, its hostile modes, its reports of failed
expectations (without which no client test could fail) and its TLS wire tap. Logins, framing and
commands are exercised by every client test. The client side here is written from the protocol
rules, so a server fault cannot hide behind the same fault in a shared helper."""

import base64
import json
import os
import socket
import ssl
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools", "lounge"))

import lounge_certs  # noqa: E402
from lounge_server import LoungeServer  # noqa: E402


def handshake(sock):
    """Sends the upgrade request with demo's login record; returns (status line, reader)."""
    fields = ["demo", "demo1234", "en", "2tc1", "1", "2tc1", "1", "1"]
    query = base64.urlsafe_b64encode("\x7f".join(fields).encode()).decode().replace("=", ".")
    sock.sendall(f"GET /play?{query} HTTP/1.1\r\nConnection:upgrade\r\nUpgrade:websocket\r\n"
                 "Sec-WebSocket-Version:13\r\n\r\n".encode())
    reader = sock.makefile("rb")
    status = reader.readline().decode().strip()
    while reader.readline().strip():
        pass
    return status, reader


def read_frame(reader):
    """(first byte, payload) of a server frame (unmasked, at most a 16-bit length)."""
    head = reader.read(2)
    length = head[1] if head[1] < 126 else int.from_bytes(reader.read(2), "big")
    return head[0], reader.read(length)


def frame(payload, opcode=1):
    """A frame of the client's, short and unmasked (the lounge allows it)."""
    return bytes([0x80 | opcode, len(payload)]) + payload


class ControlPortTest(unittest.TestCase):

    def setUp(self):
        web_root = tempfile.TemporaryDirectory()
        self.addCleanup(web_root.cleanup)
        self.body = bytes(range(256)) * 40
        with open(os.path.join(web_root.name, "door.ogg"), "wb") as handle:
            handle.write(self.body)
        self.lounge = subprocess.Popen(
            [sys.executable, os.path.join(ROOT, "tools/lounge/lounge.py"), "--port", "0",
             "--web-port", "0", "--control-port", "0", "--web-root", web_root.name,
             "--max-seconds", "60"], stdout=subprocess.PIPE, text=True)
        self.addCleanup(self.lounge.wait, 10)
        self.addCleanup(self.lounge.stdout.close)
        self.addCleanup(self.lounge.terminate)
        self.ports = json.loads(self.lounge.stdout.readline())
        self.control = self.connect(self.ports["control"]).makefile("rwb")

    def connect(self, port):
        sock = socket.create_connection(("127.0.0.1", port), timeout=5)
        self.addCleanup(sock.close)
        return sock

    def ask(self, *lines):
        """Sends the lines; the answer to the last, the only one a block gives."""
        self.control.write("".join(line + "\n" for line in lines).encode())
        self.control.flush()
        return self.control.readline().decode().rstrip("\n")

    def test_plans_drive_a_session_and_failed_expectations_are_reported(self):
        self.assertEqual(self.ask("connection 2", "refuse 404", "end"), "ok planned 1 step(s)")
        for _ in range(2):
            status, reader = handshake(self.connect(self.ports["game"]))
            self.assertEqual((status, reader.read()), ("HTTP/1.1 404 Not Found", b""))
        self.assertEqual(self.ask("connection", "cutanswer 20", "end"), "ok planned 1 step(s)")
        status, reader = handshake(self.connect(self.ports["game"]))
        self.assertEqual((status, reader.read()), ("HTTP/1.1 101 Switchi", b""))

        sock = self.connect(self.ports["game"])
        status, reader = handshake(sock)
        self.assertEqual((status, read_frame(reader)), ("HTTP/1.1 101 Switching Protocols",
                                                       (0x81, b"ok")))
        self.assertRegex(self.ask("session 5"), r"^ok \d+ demo$")
        self.assertEqual(self.ask("send say1 a\\x7fb"), "ok")
        self.assertEqual(read_frame(reader), (0x81, b"say1 a\x7fb"))
        self.assertEqual(self.ask("sendraw 82 01 41"), "ok")
        self.assertEqual(read_frame(reader), (0x82, b"A"))
        self.assertEqual(self.ask("ping hi"), "ok")
        self.assertEqual(read_frame(reader), (0x89, b"hi"))
        sock.sendall(frame(b"hi", opcode=10))
        self.assertEqual(self.ask("expectpong hi"), "ok")
        sock.sendall(frame(b"msel 1\x7f0\x7fa"))
        self.assertEqual(self.ask("expect msel 1\\x7f0\\x7fa"), "ok")
        sock.sendall(frame(b"chat no"))
        self.assertEqual(self.ask("expect chat yes"), "mismatch expected=chat yes got=chat no")
        self.assertEqual(self.ask("texts"), 'ok ["msel 1\\\\x7f0\\\\x7fa", "chat no"]')
        self.assertIn('"speech": 1', self.ask("logins"))
        self.assertEqual(self.ask("mismatches").split()[:2], ["ok", "1"])
        self.assertEqual(self.ask("drop"), "ok")
        self.assertEqual(reader.read(), b"")
        self.assertTrue(self.ask("bogus").startswith("error"))
        self.assertEqual(self.ask("shutdown"), "ok bye")
        self.assertEqual(self.lounge.wait(10), 1)  # an expectation failed

    def test_web_rules_break_the_transfer(self):
        cases = [("web 404 /autodl/door.ogg", b"HTTP/1.0 404", b""),
                 ("web empty /autodl/door.ogg", b"HTTP/1.0 200", b""),
                 ("web cut /autodl/door.ogg 100", b"HTTP/1.0 200", self.body[:100]),
                 ("web reset", b"HTTP/1.0 200", self.body)]
        for rule, status, body in cases:
            with self.subTest(rule):
                self.assertEqual(self.ask(rule), "ok")
                self.assertEqual(self.get("/autodl/door.ogg"), (status, body))

    def test_the_web_host_serves_nothing_outside_its_folder(self):
        for path, status in [("/sounds/door.ogg", b"HTTP/1.0 404"),
                             ("/autodl/../door.ogg", b"HTTP/1.0 403")]:
            self.assertEqual(self.get(path), (status, b""), path)

    def get(self, path):
        """(status line's first 12 bytes, body) of a plain request to the web host."""
        sock = self.connect(self.ports["web"])
        sock.sendall(b"GET " + path.encode() + b" HTTP/1.0\r\nHost:x\r\n\r\n")
        head, _, body = sock.makefile("rb").read().partition(b"\r\n\r\n")
        return head[:12], body


class DemoTest(unittest.TestCase):
    """The demo a newcomer meets first (README): welcome, main menu, a game move, leaving."""

    def test_walk_through_the_demo(self):
        server = LoungeServer(port=0, web_port=None, demo=True).start()
        self.addCleanup(server.stop)
        sock = socket.create_connection(("127.0.0.1", server.port), timeout=5)
        self.addCleanup(sock.close)
        reader = handshake(sock)[1]

        def until(last):
            texts = [read_frame(reader)[1]]
            while not texts[-1].startswith(last):
                texts.append(read_frame(reader)[1])
            return texts

        self.assertIn(b"say0 Welcome to the Vendrel demo lounge, demo!", until(b"menu 1\x7f"))
        sock.sendall(frame(b"msel 1\x7f3\x7fconnect4"))
        until(b"menu 4\x7f")
        sock.sendall(frame(b"msel 4\x7f7\x7fauto"))
        self.assertEqual(until(b"cn4m")[-1], b"cn4m 0 0 4 " + b"0" * 42)
        sock.sendall(frame(b"inbx 28\x7f3"))
        self.assertIn(b"say1 Your client chose column 4.", until(b"menu 4\x7f"))
        sock.sendall(frame(b"msel 1\x7f4\x7fquit"))
        self.assertEqual(until(b"msgb")[-1],
                         b"msgb 2\x7fQuit\x7fDo you really want to leave the lounge?\x7f36")
        sock.sendall(frame(b"msgb 2\x7f6"))
        until(b"quit")


class TlsTest(unittest.TestCase):

    def test_the_wire_tap_reads_the_login_in_clear_only_without_tls(self):
        # That the made certificates fail their checks, the client's refusals under Wine show.
        with tempfile.TemporaryDirectory() as folder:
            certificates = lounge_certs.make_test_set(folder)
            trusting = ssl.create_default_context(cafile=str(certificates["authority"]))
            for tls in (True, False):
                with self.subTest(tls=tls):
                    chain, key = certificates["good"]
                    server = LoungeServer(port=0, web_port=None, tls_cert=chain if tls else None,
                                          tls_key=key).start()
                    self.addCleanup(server.stop)
                    sock = socket.create_connection(("127.0.0.1", server.port), timeout=5)
                    if tls:
                        sock = trusting.wrap_socket(sock, server_hostname="localhost")
                    self.addCleanup(sock.close)
                    self.assertEqual(read_frame(handshake(sock)[1]), (0x81, b"ok"))
                    self.assertIsNotNone(server.next_session())
                    wire = [e for e in server.events.events if e["event"] == "login_wire"]
                    self.assertEqual([(e["tls"], e["loginInClear"]) for e in wire],
                                     [(tls, not tls)])


if __name__ == "__main__":
    unittest.main()
