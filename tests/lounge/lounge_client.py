"""A minimal client for the lounge tests, written from the protocol rules and
independent of the server's own code: it builds the handshake, the login
record and the frames itself, so a framing fault in the server cannot hide
behind the same fault in a shared helper."""

import base64
import socket
import struct
import time

SEP = b"\x7f"
CLIENT_VERSION = "2tc1"


def b36(value):
    digits = "0123456789abcdefghijklmnopqrstuvwxyz"
    text = ""
    while True:
        value, rest = divmod(value, 36)
        text = digits[rest] + text
        if not value:
            return text


def query_of(record):
    # The standard library's URL-safe alphabet with '.' for the padding.
    return base64.urlsafe_b64encode(record).decode().replace("=", ".")


def login_record(login, password, version=CLIENT_VERSION, version2=CLIENT_VERSION,
                 machine_key=0x1234ABCD5678EF01, fields=None):
    parts = fields if fields is not None else [
        login, password, "en", version, b36(machine_key), version2,
        b36(0x10000 + 6 * 256 + 1), b36(0x40000 + 2)]
    return SEP.join(p.encode("utf-8") for p in parts)


def handshake_request(query):
    return ("GET /play?%s HTTP/1.1\r\nConnection:upgrade\r\nUpgrade:websocket\r\n"
            "Sec-WebSocket-Version:13\r\n\r\n" % query).encode("latin-1")


def client_frame(payload, opcode=1, mask_key=None):
    head = bytes([0x80 | opcode])
    bit = 0x80 if mask_key else 0
    n = len(payload)
    if n < 126:
        head += bytes([bit | n])
    elif n < 65536:
        head += bytes([bit | 126]) + struct.pack(">H", n)
    else:
        head += bytes([bit | 127]) + struct.pack(">Q", n)
    if mask_key:
        payload = bytes(b ^ mask_key[i % 4] for i, b in enumerate(payload))
        head += mask_key
    return head + payload


class MiniClient:
    def __init__(self, port, timeout=5.0):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=timeout)
        self.pending = b""

    def close(self):
        self.sock.close()

    def _fill(self, count):
        while len(self.pending) < count:
            chunk = self.sock.recv(65536)
            if not chunk:
                raise EOFError("server closed the connection")
            self.pending += chunk

    def read_exact(self, count):
        self._fill(count)
        data, self.pending = self.pending[:count], self.pending[count:]
        return data

    def read_line(self):
        while b"\n" not in self.pending:
            self._fill(len(self.pending) + 1)
        line, _, self.pending = self.pending.partition(b"\n")
        return line.replace(b"\r", b"").decode("latin-1")

    def handshake(self, query):
        """Sends the upgrade request; returns (status code, header lines)."""
        self.sock.sendall(handshake_request(query))
        status = self.read_line()
        headers = []
        while True:
            line = self.read_line()
            if not line:
                break
            headers.append(line)
        return int(status.split()[1]), headers

    def login(self, login="demo", password="demo1234"):
        status, _ = self.handshake(query_of(login_record(login, password)))
        assert status == 101, status
        return self.recv_text()

    def send(self, payload, opcode=1, mask_key=None):
        if isinstance(payload, str):
            payload = payload.encode("utf-8")
        self.sock.sendall(client_frame(payload, opcode, mask_key))

    def read_frame(self):
        """(header bytes, payload) exactly as they came."""
        head = self.read_exact(2)
        form = head[1] & 0x7F
        extra = self.read_exact({126: 2, 127: 8}.get(form, 0))
        length = int.from_bytes(extra, "big") if extra else form
        return head + extra, self.read_exact(length)

    def recv_text(self):
        """The next text payload, answering pings on the way like the client."""
        while True:
            head, payload = self.read_frame()
            if head[0] == 0x89:
                self.sock.sendall(bytes([0x8A, head[1]]) + payload)
                continue
            if head[0] != 0x81:
                raise AssertionError("unexpected frame %r %r" % (head, payload))
            return payload

    def recv_until(self, predicate, limit=50):
        """Texts up to and including the first that satisfies predicate."""
        seen = []
        for _ in range(limit):
            seen.append(self.recv_text())
            if predicate(seen[-1]):
                return seen
        raise AssertionError("no matching text in %r" % seen)

    def is_closed_by_peer(self, timeout=5.0):
        deadline = time.monotonic() + timeout
        self.sock.settimeout(0.1)
        try:
            while time.monotonic() < deadline:
                try:
                    if not self.sock.recv(65536):
                        return True
                except socket.timeout:
                    continue
                except OSError:
                    return True
            return False
        finally:
            self.sock.settimeout(5.0)


def http_get(port, path, timeout=5.0):
    """The client's HTTP/1.0 request; returns everything until the close."""
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as sock:
        sock.sendall(("GET %s HTTP/1.0\r\nHost:localhost:%d\r\nUser-Agent:Vendrel 2.1.1"
                      "\r\n\r\n" % (path, port)).encode())
        data = b""
        while True:
            chunk = sock.recv(65536)
            if not chunk:
                return data
            data += chunk


def split_response(data):
    head, _, body = data.partition(b"\r\n\r\n")
    lines = head.decode("latin-1").split("\r\n")
    headers = dict(line.split(": ", 1) for line in lines[1:] if ": " in line)
    return int(lines[0].split()[1]), headers, body


def wait_until(predicate, timeout=5.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(0.01)
    return predicate()
