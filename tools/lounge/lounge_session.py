"""One client connection: the opening handshake, the frames in both
directions, and the scripted actions a test asks for (send, expect, ping,
close, drop). Every frame received is kept and logged."""

import base64
import hashlib
import http
import re
import socket
import threading
import time

import lounge_wire as wire
from lounge_login import parse_login

MAX_REQUEST_BYTES = 16 * 1024
HANDSHAKE_TIMEOUT = 10.0
DEFAULT_EXPECT_TIMEOUT = 5.0
WS_GUID = "258EAFA5-E914-47DA-95CA-C5AB0DC85B11"


class HandshakeRequest:
    def __init__(self, raw):
        self.raw = raw
        text = raw.decode("latin-1")
        lines = [line.rstrip("\r") for line in text.split("\n")]
        self.request_line = lines[0] if lines else ""
        parts = self.request_line.split()
        self.method, self.target, self.version = (parts + ["", "", ""])[:3]
        self.headers = []
        for line in lines[1:]:
            if not line:
                break
            name, _, value = line.partition(":")
            self.headers.append((name.strip(), value.strip()))

    def header(self, name):
        for key, value in self.headers:
            if key.lower() == name.lower():
                return value
        return None

    def problems(self):
        """What keeps this from being the client's upgrade request. Host and
        Sec-WebSocket-Key are deliberately not asked for: the client sends
        neither."""
        found = []
        if self.method != "GET":
            found.append("method is %r, not GET" % self.method)
        if self.version != "HTTP/1.1":
            found.append("version is %r, not HTTP/1.1" % self.version)
        if "websocket" not in (self.header("Upgrade") or "").lower():
            found.append("no Upgrade: websocket")
        if "upgrade" not in (self.header("Connection") or "").lower():
            found.append("no Connection: upgrade")
        if (self.header("Sec-WebSocket-Version") or "") != "13":
            found.append("Sec-WebSocket-Version is not 13")
        return found


class Session:
    """Lives from accept() to the end of the TCP connection. Actions are
    called from the thread that runs the connection's steps (or from a
    control client); the reader thread only fills the frame list."""

    def __init__(self, server, sock, conn_id, peer):
        self.server = server
        self.sock = sock
        self.tap = None  # the wire tap of a TLS connection
        self.id = conn_id
        self.peer = peer
        self.request = None
        self.login = None
        self.nickname = ""
        self.frames = []
        self.mismatches = []
        self.expect_timeout = DEFAULT_EXPECT_TIMEOUT
        self.is_closed = False
        self._close_sent = False
        self._cursor = {}
        self._cond = threading.Condition()
        self._send_lock = threading.Lock()
        self._reader = None
        self._pending = b""

    # --- logging -----------------------------------------------------------

    def log(self, event, **fields):
        self.server.log(event, conn=self.id, **fields)

    # --- handshake ---------------------------------------------------------

    def read_request(self):
        """Reads the upgrade request up to its blank line; None when the peer
        goes away or sends too much first."""
        self.sock.settimeout(HANDSHAKE_TIMEOUT)
        data = b""
        try:
            while not re.search(b"\r?\n\r?\n", data):
                chunk = self.sock.recv(4096)
                if not chunk or len(data) > MAX_REQUEST_BYTES:
                    return None
                data += chunk
        except OSError:
            return None
        finally:
            self.sock.settimeout(None)
        end = re.search(b"\r?\n\r?\n", data)
        self.request = HandshakeRequest(data[:end.end()])
        # Anything after the blank line is already a frame. The client waits
        # for our answer first, so the count tells a test about a hasty client;
        # the bytes still go to the frame reader.
        extra = data[end.end():]
        self._pending = extra
        self.log("handshake", request=self.request.raw.decode("latin-1"),
                 target=self.request.target, extraBytes=len(extra))
        return self.request

    def refuse(self, status, text=""):
        reason = text or _status_reason(status)
        self._send_bytes(("HTTP/1.1 %d %s\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"
                          % (status, reason)).encode("latin-1"))
        self.log("refused", status=status, reason=reason)
        self.drop(quiet=True)

    def _answer(self):
        lines = ["HTTP/1.1 101 Switching Protocols", "Upgrade: websocket",
                 "Connection: Upgrade"]
        key = self.request.header("Sec-WebSocket-Key")
        if key:  # only so a browser can talk to the demo too
            digest = hashlib.sha1((key + WS_GUID).encode("latin-1")).digest()
            lines.append("Sec-WebSocket-Accept: " + base64.b64encode(digest).decode())
        return ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1")

    def cut_answer(self, count):
        """The first count bytes of the upgrade answer, then the connection
        drops: a server that fails in the middle of the handshake."""
        answer = self._answer()[:max(count, 0)]
        self._send_bytes(answer)
        self.log("cut_answer", sent=len(answer))
        self.drop(quiet=True)

    def accept(self):
        self._send_bytes(self._answer())
        self.login = parse_login(self.request.target)
        self.log("login_record", **self.login.as_log())
        self._reader = threading.Thread(target=self._read_loop, daemon=True,
                                        name="lounge-reader-%d" % self.id)
        self._reader.start()

    # --- reading -----------------------------------------------------------

    def _read_exact(self, count):
        data, self._pending = self._pending[:count], self._pending[count:]
        while len(data) < count:
            chunk = self.sock.recv(count - len(data))
            if not chunk:
                raise EOFError
            data += chunk
        return data

    def _read_loop(self):
        reason = "peer closed the connection"
        try:
            while True:
                frame = wire.read_frame(self._read_exact)
                self._record(frame)
                if frame.opcode == wire.OP_PING:
                    self.send_frame(frame.payload, wire.OP_PONG)
                elif frame.opcode == wire.OP_CLOSE:
                    if not self._close_sent:
                        self.send_frame(frame.payload, wire.OP_CLOSE)
                    reason = "close handshake done"
                    break
        except wire.FrameError as err:
            reason = "protocol error: %s" % err
        except (EOFError, OSError):
            pass
        except Exception as err:  # whoever waits on this connection must wake up
            reason = "reader failed: %r" % err
        finally:
            self.log("disconnect", reason=reason)
            self.drop(quiet=True)
            with self._cond:
                self.is_closed = True
                self._cond.notify_all()

    def _record(self, frame):
        self.log("recv", kind=frame.kind, opcode=frame.opcode, fin=frame.fin,
                 masked=frame.masked, length=len(frame.payload),
                 lengthForm=frame.length_form, text=_text_or_none(frame.payload),
                 hex=frame.payload.hex())
        with self._cond:
            self.frames.append(frame)
            self._cond.notify_all()

    def next_frame(self, kinds, timeout):
        """The next frame of one of the kinds that no earlier call returned;
        None on timeout or when the connection ended first. timeout None
        waits for ever."""
        key = tuple(sorted(kinds))
        deadline = None if timeout is None else time.monotonic() + timeout
        with self._cond:
            while True:
                start = self._cursor.get(key, 0)
                for index in range(start, len(self.frames)):
                    if self.frames[index].kind in kinds:
                        self._cursor[key] = index + 1
                        return self.frames[index]
                self._cursor[key] = len(self.frames)
                if self.is_closed:
                    return None
                remaining = None if deadline is None else deadline - time.monotonic()
                if remaining is not None and remaining <= 0:
                    return None
                self._cond.wait(remaining)

    def wait_closed(self, timeout):
        with self._cond:
            return self._cond.wait_for(lambda: self.is_closed, timeout)

    def received_texts(self):
        with self._cond:
            return [f.payload for f in self.frames if f.opcode == wire.OP_TEXT]

    # --- sending -----------------------------------------------------------

    def _send_bytes(self, data):
        with self._send_lock:
            try:
                self.sock.sendall(data)
                return True
            except OSError as err:
                self.log("send_failed", error=str(err))
                return False

    def send_frame(self, payload, opcode=wire.OP_TEXT):
        if isinstance(payload, str):
            payload = payload.encode("utf-8")
        if opcode == wire.OP_CLOSE:
            self._close_sent = True
        ok = self._send_bytes(wire.encode_frame(payload, opcode))
        self.log("sent", kind=wire.KIND_BY_OPCODE[opcode], length=len(payload),
                 text=_text_or_none(payload))
        return ok

    def send_text(self, payload):
        return self.send_frame(payload, wire.OP_TEXT)

    def send_raw(self, data):
        self.log("sent_raw", hex=bytes(data).hex())
        return self._send_bytes(bytes(data))

    def drop(self, quiet=False):
        if not quiet:
            self.log("drop")
        try:
            self.sock.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        try:
            self.sock.close()
        except OSError:
            pass

    # --- expectations ------------------------------------------------------

    def mismatch(self, step, expected, got):
        entry = {"conn": self.id, "step": step, "expected": expected, "got": got}
        self.mismatches.append(entry)
        self.server.record_mismatch(entry)
        return False

    def expect(self, kinds, step, expected_text, matches, timeout=None):
        """Takes the next frame of the kinds and checks it with matches(payload).
        Returns True on a match; otherwise records a mismatch and returns False."""
        wait = self.expect_timeout if timeout is None else timeout
        frame = self.next_frame(kinds, wait)
        if frame is None:
            got = "connection ended" if self.is_closed else "timeout after %gs" % wait
            return self.mismatch(step, expected_text, got)
        if not matches(frame.payload):
            return self.mismatch(step, expected_text, wire.escape(frame.payload))
        self.log("expect_ok", step=step)
        return True

    def expect_text(self, data, timeout=None):
        data = data.encode("utf-8") if isinstance(data, str) else data
        return self.expect({"text"}, "expect", wire.escape(data),
                           lambda p: p == data, timeout)

    def expect_drop(self, timeout=None):
        wait = self.expect_timeout if timeout is None else timeout
        if self.wait_closed(wait):
            self.log("expect_ok", step="expectdrop")
            return True
        return self.mismatch("expectdrop", "connection ended", "still open after %gs" % wait)


def _text_or_none(payload):
    try:
        return payload.decode("utf-8")
    except UnicodeDecodeError:
        return None


def _status_reason(status):
    try:
        return http.HTTPStatus(status).phrase
    except ValueError:
        return "Refused"
