"""Tests of the lounge server over loopback, run from the repository root:

    python3 -m unittest discover -s tests/lounge -v
"""

import json
import os
import socket
import ssl
import struct
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
LOUNGE_DIR = os.path.join(ROOT, "tools", "lounge")
sys.path.insert(0, HERE)
sys.path.insert(0, LOUNGE_DIR)

import lounge_wire  # noqa: E402
from lounge_client import (SEP, MiniClient, b36, client_frame, handshake_request,  # noqa: E402
                           http_get, login_record, query_of, split_response, wait_until)
import lounge_certs  # noqa: E402
from lounge_server import LoungeServer  # noqa: E402
from lounge_web import parse_web_rule  # noqa: E402


class ServerCase(unittest.TestCase):
    demo = False

    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.log_path = os.path.join(self.tmp.name, "frames.jsonl")
        self.server = LoungeServer(port=0, web_port=0, web_root=self.tmp.name,
                                   log_path=self.log_path, demo=self.demo).start()
        self.clients = []

    def tearDown(self):
        for client in self.clients:
            client.close()
        self.server.stop()
        self.tmp.cleanup()

    def client(self):
        client = MiniClient(self.server.port)
        self.clients.append(client)
        return client

    def logged_in(self, login="demo", password="demo1234"):
        client = self.client()
        self.assertEqual(client.login(login, password), b"ok")
        session = self.server.next_session()
        self.assertIsNotNone(session)
        return client, session

    def log_events(self, event):
        with open(self.log_path, encoding="utf-8") as handle:
            return [e for e in map(json.loads, handle) if e["event"] == event]


class HandshakeTest(ServerCase):
    def test_refuses_with_the_planned_status_then_accepts_again(self):
        self.server.plan("refuse 404", count=2)
        query = query_of(login_record("demo", "demo1234"))
        for expected in (404, 404, 101):
            with self.subTest(expected=expected):
                client = self.client()
                self.assertEqual(client.handshake(query)[0], expected)
                if expected != 101:
                    self.assertTrue(client.is_closed_by_peer())

    def test_a_cut_answer_ends_after_its_bytes(self):
        self.server.plan("cutanswer 20")
        client = self.client()
        client.sock.sendall(handshake_request(query_of(login_record("demo", "demo1234"))))
        received = b""
        while chunk := client.sock.recv(4096):
            received += chunk
        self.assertEqual(received, b"HTTP/1.1 101 Switchi")
        self.assertEqual(self.log_events("cut_answer")[0]["sent"], 20)

    def test_request_that_is_not_an_upgrade_gets_400(self):
        cases = {
            "no upgrade header": b"GET /play?x HTTP/1.1\r\nConnection:upgrade\r\n"
                                 b"Sec-WebSocket-Version:13\r\n\r\n",
            "post": b"POST /play?x HTTP/1.1\r\nConnection:upgrade\r\nUpgrade:websocket\r\n"
                    b"Sec-WebSocket-Version:13\r\n\r\n",
            "version 8": b"GET /play?x HTTP/1.1\r\nConnection:upgrade\r\nUpgrade:websocket\r\n"
                         b"Sec-WebSocket-Version:8\r\n\r\n",
        }
        for name, request in cases.items():
            with self.subTest(name):
                client = self.client()
                client.sock.sendall(request)
                self.assertEqual(client.read_line().split()[1], "400")
        self.assertEqual(len(self.log_events("handshake_error")), len(cases))


class LoginTest(ServerCase):
    def test_login_answers(self):
        good = query_of(login_record("demo", "demo1234"))
        cases = [
            ("demo account", good, b"ok"),
            ("guest account", query_of(login_record("guest", "guest123")), b"ok"),
            ("wrong password", query_of(login_record("demo", "demo")),
             b"fail Wrong login or password."),
            ("unknown login", query_of(login_record("nobody", "demo1234")),
             b"fail Wrong login or password."),
            ("password with a separator", query_of(login_record("demo", "demo1234\x7f")),
             b"fail Malformed login record."),
            ("seven fields", query_of(SEP.join(login_record("demo", "demo1234").split(SEP)[:7])),
             b"fail Malformed login record."),
            ("versions differ", query_of(login_record("demo", "demo1234", version2="2tc2")),
             b"fail Malformed login record."),
            ("upper-case base 36", query_of(login_record("demo", "demo1234", version="2TC1",
                                                         version2="2TC1")),
             b"fail Malformed login record."),
            ("standard padding", good.replace(".", "="), b"fail Malformed login record."),
            ("plus sign", good[:-4] + "+" + good[-3:], b"fail Malformed login record."),
            ("cut query", good[:-1], b"fail Malformed login record."),
        ]
        for name, query, answer in cases:
            with self.subTest(name):
                client = self.client()
                self.assertEqual(client.handshake(query)[0], 101)
                self.assertEqual(client.recv_text(), answer)
                if answer != b"ok":
                    self.assertTrue(client.is_closed_by_peer())

    def test_record_fields_are_logged(self):
        self.logged_in("guest", "guest123")
        record = self.log_events("login_record")[0]
        self.assertEqual(record["fields"]["login"], "guest")
        self.assertEqual(record["fields"]["version"], "2tc1")
        self.assertEqual(record["numbers"]["version"], 0x20101)
        self.assertEqual(record["numbers"]["machineKey"], 0x1234ABCD5678EF01)
        self.assertEqual(record["numbers"]["speech"], 0x40002)


class QueryCodecTest(unittest.TestCase):
    def test_known_encodings_both_ways(self):
        for data, text in [(b"abc", "YWJj"), (b"ab", "YWI."), (b"a", "YQ.."),
                           (b"\xff\xfe", "__4."), (b"", "")]:
            with self.subTest(text=text):
                self.assertEqual(lounge_wire.encode_query(data), text)
                self.assertEqual(lounge_wire.decode_query(text), data)

    def test_rejects_what_the_client_never_writes(self):
        for text in ["YWJ", "YW=.", "Y...", "YQ..YWJj", "YW+j", "YW j"]:
            with self.subTest(text=text), self.assertRaises(ValueError):
                lounge_wire.decode_query(text)

    def test_base36_is_strict(self):
        self.assertEqual(lounge_wire.parse_base36(b36(0x20101)), 0x20101)
        for text in ["", "02tc1", "2TC1", "-1", "2tc 1"]:
            with self.subTest(text=text):
                self.assertIsNone(lounge_wire.parse_base36(text))


class FramingTest(ServerCase):
    LENGTHS = {0: b"\x81\x00", 125: b"\x81\x7d", 126: b"\x81\x7e\x00\x7e",
               65535: b"\x81\x7e\xff\xff", 65536: b"\x81\x7f" + struct.pack(">Q", 65536)}

    def test_server_frames_use_the_shortest_header(self):
        client, session = self.logged_in()
        for length, header in self.LENGTHS.items():
            with self.subTest(length=length):
                payload = bytes(i % 251 for i in range(length))
                session.send_text(payload)
                self.assertEqual(client.read_frame(), (header, payload))

    def test_client_frames_of_every_length_form_arrive_whole(self):
        client, session = self.logged_in()
        forms = {0: 0, 125: 0, 126: 126, 65535: 126, 65536: 127}
        for length, form in forms.items():
            with self.subTest(length=length):
                payload = bytes((i * 7) % 256 for i in range(length))
                client.send(payload)
                frame = session.next_frame({"text"}, 5.0)
                self.assertEqual(frame.payload, payload)
                self.assertEqual(frame.length_form, form)
                self.assertFalse(frame.masked)
        client.send(b"hello", mask_key=b"\x01\x02\x03\x04")
        frame = session.next_frame({"text"}, 5.0)
        self.assertEqual((frame.payload, frame.masked), (b"hello", True))

    def test_pings_either_way_are_answered_with_matching_pongs(self):
        for payload in (b"x", b""):
            with self.subTest(payload=payload):
                client, session = self.logged_in()
                session.send_frame(payload, lounge_wire.OP_PING)
                head, body = client.read_frame()
                self.assertEqual((head, body), (bytes([0x89, len(payload)]), payload))
                client.sock.sendall(bytes([0x8A, len(payload)]) + payload)
                self.assertTrue(session.expect({"pong"}, "expectpong", "", lambda p: p == payload))
                client.send(b"hi", opcode=9)  # and the client's ping gets a pong
                self.assertEqual(client.read_frame(), (b"\x8a\x02", b"hi"))

    def test_frame_sent_right_behind_the_request_is_kept(self):
        client = self.client()
        query = query_of(login_record("demo", "demo1234"))
        client.sock.sendall(handshake_request(query) + client_frame(b"early"))
        session = self.server.next_session()
        self.assertEqual(session.next_frame({"text"}, 5.0).payload, b"early")

    def test_a_close_either_way_is_echoed_and_the_connection_ends(self):
        client, session = self.logged_in()
        session.send_frame(b"\x03\xe8", lounge_wire.OP_CLOSE)
        head, body = client.read_frame()
        self.assertEqual((head, body), (b"\x88\x02", b"\x03\xe8"))
        client.sock.sendall(head + body)
        self.assertTrue(session.wait_closed(5.0))
        self.assertEqual(session.frames[-1].kind, "close")
        self.assertTrue(client.is_closed_by_peer())
        client, session = self.logged_in()
        client.send(b"\x03\xe8bye", opcode=8)  # the client's close is echoed too
        self.assertEqual(client.read_frame(), (b"\x88\x05", b"\x03\xe8bye"))
        self.assertTrue(session.wait_closed(5.0))

    def test_absurd_length_ends_the_connection(self):
        client, session = self.logged_in()
        client.sock.sendall(b"\x81\x7f" + struct.pack(">Q", 1 << 40))
        self.assertTrue(session.wait_closed(5.0))
        reasons = [e["reason"] for e in self.log_events("disconnect")]
        self.assertTrue(any("protocol error" in r for r in reasons), reasons)


class ScriptTest(ServerCase):
    def test_expectations_match_and_mismatch(self):
        self.server.plan("login\ntimeout 2\nsend menu 7\\x7f1\nexpect msel 7\\x7f2\\x7fb\n"
                         "expectprefix chat \nexpectre key \\d+\nexpect quit\nsend bye\n")
        client = self.client()
        self.assertEqual(client.login(), b"ok")
        self.assertEqual(client.recv_text(), b"menu 7\x7f1")
        for text in (b"msel 7\x7f2\x7fb", b"chat hi", b"key 833", b"quitx"):
            client.send(text)
        self.assertEqual(client.recv_text(), b"bye")
        self.assertEqual(len(self.server.mismatches), 1)
        self.assertEqual(self.server.mismatches[0]["expected"], "quit")
        self.assertEqual(self.server.mismatches[0]["got"], "quitx")

    def test_expectation_times_out_and_drop_ends(self):
        self.server.plan("login\ntimeout 0.2\nexpect never\ndrop")
        client = self.client()
        self.assertEqual(client.login(), b"ok")
        self.assertTrue(client.is_closed_by_peer())
        self.assertIn("timeout", self.server.mismatches[0]["got"])

    def test_bad_scripts_are_refused_with_the_line(self):
        cases = {"unknown step": "frobnicate", "refuse not first": "login\nrefuse 404",
                 "missing status": "refuse", "bad escape": "send \\q",
                 "bad hex": "sendraw zz", "bad count": "connection 0\nlogin"}
        for name, text in cases.items():
            with self.subTest(name), self.assertRaises(ValueError):
                self.server.load_script(text)

    def test_raw_bytes_and_fill(self):
        self.server.plan("login\nsendraw 82 01 41\nsendfill 300 z")
        client = self.client()
        self.assertEqual(client.login(), b"ok")
        self.assertEqual(client.read_frame(), (b"\x82\x01", b"A"))
        self.assertEqual(client.read_frame(), (b"\x81\x7e\x01\x2c", b"z" * 300))

    def test_log_records_every_frame_received(self):
        client, session = self.logged_in()
        client.send("msel 1\x7f0\x7fchat")
        client.send(b"\xff\xfe")
        self.assertTrue(wait_until(lambda: len(self.log_events("recv")) == 2))
        first, second = self.log_events("recv")
        self.assertEqual((first["kind"], first["text"]), ("text", "msel 1\x7f0\x7fchat"))
        self.assertEqual((second["text"], second["hex"]), (None, "fffe"))
        self.assertEqual(first["conn"], session.id)


class EscapeTest(unittest.TestCase):
    def test_unescape_table(self):
        cases = [("a\\x7fb", b"a\x7fb"), ("\\u00e9", "é".encode()), ("x\\s", b"x "),
                 ("\\\\n", b"\\n"), ("\\r\\n\\t", b"\r\n\t"), ("é", "é".encode())]
        for text, data in cases:
            with self.subTest(text=text):
                self.assertEqual(lounge_wire.unescape(text), data)
                self.assertEqual(lounge_wire.unescape(lounge_wire.escape(data)), data)


class WebTest(ServerCase):
    def setUp(self):
        super().setUp()
        os.makedirs(os.path.join(self.tmp.name, "sounds"))
        self.body = bytes(range(256)) * 40
        with open(os.path.join(self.tmp.name, "sounds", "door.ogg"), "wb") as handle:
            handle.write(self.body)
        self.web = self.server.web

    def get(self, path):
        return split_response(http_get(self.web.port, path))

    def test_file_answers(self):
        path = "/autodl/sounds/door.ogg"
        cases = [
            ("whole file", None, (200, self.body)),
            ("missing", "/autodl/sounds/none.ogg", (404, b"")),
            ("outside the prefix", "/sounds/door.ogg", (404, b"")),
            ("climbing out", "/autodl/../frames.jsonl", (403, b"")),
            ("dot-dot that stays inside", "/autodl/sounds/../sounds/door.ogg", (403, b"")),
            ("link leading out", "/autodl/outside/passwd", (403, b"")),
        ]
        os.symlink(os.path.dirname(self.tmp.name), os.path.join(self.tmp.name, "outside"))
        for name, other, (status, body) in cases:
            with self.subTest(name):
                got_status, _, got_body = self.get(other or path)
                self.assertEqual((got_status, got_body), (status, body))
        self.assertEqual(self.log_events("http")[0]["request"].split("\r\n")[1],
                         "Host:localhost:%d" % self.web.port)

    def test_rules_break_the_transfer(self):
        path = "/autodl/sounds/door.ogg"
        cases = [(["404", path], 404, b""), (["status", path, "302"], 302, b""),
                 (["empty", path], 200, b""), (["cut", path, "100"], 200, self.body[:100]),
                 (["normal", path], 200, self.body)]
        for words, status, body in cases:
            with self.subTest(words=words):
                self.web.set_rule(*parse_web_rule(words))
                got_status, headers, got_body = self.get(path)
                self.assertEqual((got_status, got_body), (status, body))
                if status == 200:
                    self.assertEqual(headers["Content-Length"],
                                     str(len(body) if words[0] != "cut" else len(self.body)))

    def test_stall_holds_the_rest_of_the_body(self):
        self.web.set_rule(*parse_web_rule(["stall", "*", "30"]))
        sock = socket.create_connection(("127.0.0.1", self.web.port), timeout=5)
        self.addCleanup(sock.close)
        sock.sendall(b"GET /autodl/sounds/door.ogg HTTP/1.0\r\nHost:x\r\n\r\n")
        data = b""
        while len(data.partition(b"\r\n\r\n")[2]) < len(self.body) // 2:
            data += sock.recv(65536)
        sock.settimeout(0.3)
        with self.assertRaises(socket.timeout):
            sock.recv(1)
        self.server.stop()  # releases the stalled transfer
        sock.settimeout(5)
        self.assertEqual(sock.recv(1), b"")


class DemoTest(ServerCase):
    demo = True

    def choose(self, client, menu, index, key):
        client.send("msel %d\x7f%d\x7f%s" % (menu, index, key))

    def test_walk_through_the_demo(self):
        client, _ = self.logged_in()
        texts = client.recv_until(lambda t: t.startswith(b"menu 1\x7f"))
        self.assertEqual(texts[0], b"say0 Welcome to the Vendrel demo lounge, demo!")
        fields = texts[-1][5:].split(SEP)
        self.assertEqual(fields[:6], [b"1", b"1", b"5", b"0", b"3", b"x"])
        self.assertEqual(fields[6::4], [b"Chat room", b"Sound test", b"Choose a nickname",
                                        b"Connect Four", b"Quit"])

        self.choose(client, 1, 2, "nick")
        self.assertEqual(client.recv_text(), b"inbx 1\x7fNickname\x7fChoose a nickname:\x7fdemo")
        client.send("inbx 1\x7fBob")
        self.assertEqual(client.recv_text(), b"say1 Your nickname is now Bob.")

        self.choose(client, 1, 1, "sounds")
        menu = client.recv_until(lambda t: t.startswith(b"menu 3\x7f"))[-1].split(SEP)
        self.assertEqual(menu[6:10], [b"welcome", b"welcome", b"welcome", b"null"])
        self.choose(client, 3, 1, "connecting")
        client.recv_until(lambda t: t == b"play-1 connecting")

        self.choose(client, 1, 3, "connect4")
        client.recv_until(lambda t: t.startswith(b"menu 4\x7f"))
        self.choose(client, 4, 7, "auto")
        client.recv_until(lambda t: t == b"cn4m 0 0 4 " + b"0" * 42)
        client.send("inbx 28\x7f3")
        texts = client.recv_until(lambda t: t.startswith(b"menu 4\x7f"))
        self.assertIn(b"say1 Your client chose column 4.", texts)
        self.assertIn(b"say1 The lounge drops its piece in column 4.", texts)

        self.choose(client, 1, 4, "quit")
        self.assertEqual(client.recv_text(),
                         b"msgb 2\x7fQuit\x7fDo you really want to leave the lounge?\x7f36")
        client.send("msgb 2\x7f6")
        client.recv_until(lambda t: t == b"quit")

    def test_chat_reaches_everyone_in_the_room(self):
        alice, _ = self.logged_in("demo", "demo1234")
        bob, _ = self.logged_in("guest", "guest123")
        for client in (alice, bob):
            client.recv_until(lambda t: t.startswith(b"menu 1\x7f"))
            self.choose(client, 1, 0, "chat")
            client.recv_until(lambda t: t.endswith(b"entered the chat room."))
        alice.send("chat hello all")
        for client in (alice, bob):
            client.recv_until(lambda t: t == b"say3 demo: hello all")
        self.choose(bob, 2, 1, "back")
        bob.recv_until(lambda t: t == b"mcls 2")
        alice.recv_until(lambda t: t == b"say1 guest left the chat room.")


class CommandLineTest(unittest.TestCase):
    """The lounge as other test suites use it: a process, a scenario file,
    the control port and the exit code."""

    def start(self, *args):
        process = subprocess.Popen(
            [sys.executable, os.path.join(LOUNGE_DIR, "lounge.py"), "--port", "0",
             "--web-port", "-1", "--max-seconds", "20", *args],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.addCleanup(process.wait, 10)
        self.addCleanup(process.stderr.close)
        self.addCleanup(process.stdout.close)
        ready = json.loads(process.stdout.readline())
        self.assertEqual(ready["event"], "ready")
        return process, ready

    def test_scenario_file_sets_the_exit_code(self):
        with tempfile.TemporaryDirectory() as tmp:
            script = os.path.join(tmp, "s.scn")
            with open(script, "w") as handle:
                handle.write("# two connections\nconnection 2\nlogin\nexpect chat hi\n"
                             "send bye\ndrop\nend\n")
            for second, code in ((b"chat hi", 0), (b"chat ho", 1)):
                with self.subTest(code=code):
                    process, ready = self.start("--scenario", script, "--exit-when-done")
                    for text in (b"chat hi", second):
                        client = MiniClient(ready["game"])
                        self.assertEqual(client.login(), b"ok")
                        client.send(text)
                        self.assertEqual(client.recv_text(), b"bye")
                        client.close()
                    self.assertEqual(process.wait(15), code)

    def test_control_port_drives_a_connection(self):
        process, ready = self.start("--control-port", "0")
        control_client = MiniClient(ready["control"])
        self.addCleanup(control_client.close)
        control = control_client.sock.makefile("rwb")
        self.addCleanup(control.close)

        def ask(line):
            control.write(line.encode() + b"\n")
            control.flush()
            return control.readline().decode().rstrip("\n") if not line.startswith(
                ("connection", "login", "timeout")) or line == "end" else None

        for line in ("connection", "login", "timeout 2"):
            ask(line)
        self.assertEqual(ask("end"), "ok planned 2 step(s)")
        client = MiniClient(ready["game"])
        self.assertEqual(client.login(), b"ok")
        self.assertEqual(ask("session 5"), "ok 1 demo")
        self.assertEqual(ask("send say1 a\\x7fb"), "ok")
        self.assertEqual(client.recv_text(), b"say1 a\x7fb")
        client.send("msel 1\x7f0\x7fa")
        self.assertEqual(ask("expect msel 1\\x7f0\\x7fa"), "ok")
        client.send("chat no")
        self.assertEqual(ask("expect chat yes"), "mismatch expected=chat yes got=chat no")
        self.assertEqual(ask("mismatches").split()[:2], ["ok", "1"])
        self.assertTrue(ask("bogus").startswith("error"))
        self.assertEqual(ask("shutdown"), "ok bye")
        self.assertEqual(process.wait(10), 1)
        client.close()


class TlsTest(unittest.TestCase):
    """The lounge serving TLS with certificates made here, and its record of whether the login
    could be read off the wire."""

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.certificates = lounge_certs.make_test_set(cls.tmp.name)
        cls.trusting = ssl.create_default_context(cafile=str(cls.certificates["authority"]))

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def start(self, role="good", tls=True):
        chain, key = self.certificates[role]
        server = LoungeServer(port=0, web_port=0, web_root=self.tmp.name,
                              tls_cert=chain if tls else None, tls_key=key).start()
        self.addCleanup(server.stop)
        return server

    def tls_client(self, port):
        client = MiniClient.__new__(MiniClient)
        raw = socket.create_connection(("127.0.0.1", port), timeout=5.0)
        client.sock = self.trusting.wrap_socket(raw, server_hostname="localhost")
        client.pending = b""
        self.addCleanup(client.close)
        return client

    def events(self, server, name):
        return [e for e in server.events.events if e["event"] == name]

    def test_login_over_tls_never_shows_the_record_on_the_wire(self):
        server = self.start()
        self.assertEqual(self.tls_client(server.port).login("demo", "demo1234"), b"ok")
        self.assertIsNotNone(server.next_session())
        self.assertEqual(self.events(server, "tls")[0]["serverName"], "localhost")
        wire = self.events(server, "login_wire")
        self.assertEqual([(e["tls"], e["loginInClear"]) for e in wire], [(True, False)])
        # The same check on a plain lounge sees the record: it can tell the difference.
        plain = self.start(tls=False)
        client = MiniClient(plain.port)
        self.addCleanup(client.close)
        self.assertEqual(client.login("demo", "demo1234"), b"ok")
        self.assertIsNotNone(plain.next_session())
        wire = self.events(plain, "login_wire")
        self.assertEqual([(e["tls"], e["loginInClear"]) for e in wire], [(False, True)])

    def test_plain_client_gets_no_session_and_downloads_are_encrypted(self):
        server = self.start()
        client = MiniClient(server.port)
        self.addCleanup(client.close)
        with self.assertRaises((EOFError, OSError)):
            client.login()
        wait_until(lambda: self.events(server, "tls_error"))
        self.assertEqual(self.events(server, "login_record"), [])
        raw = socket.create_connection(("127.0.0.1", server.web.port), timeout=5.0)
        with self.trusting.wrap_socket(raw, server_hostname="localhost") as web:
            web.sendall(b"GET /autodl/authority.pem HTTP/1.0\r\n\r\n")
            answer = b""
            while chunk := web.recv(65536):
                answer += chunk
        self.assertTrue(answer.startswith(b"HTTP/1.0 200 OK"), answer[:40])
        self.assertIn(b"BEGIN CERTIFICATE", answer)

    def test_certificates_fail_the_checks_they_are_made_to_fail(self):
        for role, reason in (("otherName", "match"), ("expired", "expired"),
                             ("unknownAuthority", "self-signed")):
            with self.subTest(role=role):
                server = self.start(role)
                with self.assertRaisesRegex(ssl.SSLCertVerificationError, reason):
                    self.tls_client(server.port)


if __name__ == "__main__":
    unittest.main()
