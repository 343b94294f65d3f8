"""The web host of the lounge: HTTP/1.0 file downloads from one folder, with
knobs that let a test make a transfer fail in the ways the client must
survive (missing file, empty body, cut body, stall)."""

import os
import re
import socket
import ssl
import threading

REQUEST_TIMEOUT = 10.0
MAX_REQUEST_BYTES = 16 * 1024
DEFAULT_STALL_SECONDS = 60.0

# Mode -> does it take a number (status code, byte count, seconds)?
WEB_MODES = {"normal": False, "status": True, "empty": False, "cut": True, "stall": True}


class WebRule:
    def __init__(self, mode, number=None):
        if mode not in WEB_MODES:
            raise ValueError("unknown web mode %r" % mode)
        self.mode = mode
        self.number = number


def parse_web_rule(words):
    """["cut", "/autodl/x.ogg", "100"] -> (path, WebRule). A path "*" is the
    rule for every file without a rule of its own."""
    if len(words) < 2:
        raise ValueError("web rule needs a mode and a path")
    mode, path = words[0], words[1]
    if mode == "404":
        mode, words = "status", ["status", path, "404"]
    number = None
    if WEB_MODES.get(mode):
        if len(words) < 3 and mode != "stall":
            raise ValueError("web mode %s needs a number" % mode)
        number = float(words[2]) if len(words) > 2 else DEFAULT_STALL_SECONDS
    return path, WebRule(mode, number)


class WebServer:
    """Serves root/<name> at prefix + name. One thread per request; the
    client reads until we close, so every answer ends with a close."""

    def __init__(self, host, port, root, prefix, log, tls_context=None):
        self.tls_context = tls_context
        self.root = os.path.realpath(root) if root else None
        self.prefix = prefix if prefix.endswith("/") else prefix + "/"
        self.log = log
        self.rules = {}
        self._rules_lock = threading.Lock()
        self._stop = threading.Event()
        self._listener = socket.create_server((host, port))
        self.port = self._listener.getsockname()[1]
        self._thread = threading.Thread(target=self._accept_loop, daemon=True,
                                        name="lounge-web")

    def start(self):
        self._thread.start()

    def stop(self):
        self._stop.set()
        try:
            self._listener.close()
        except OSError:
            pass

    def set_rule(self, path, rule):
        with self._rules_lock:
            self.rules[path] = rule

    def clear_rules(self):
        with self._rules_lock:
            self.rules.clear()

    def _rule_for(self, path):
        with self._rules_lock:
            return self.rules.get(path) or self.rules.get("*") or WebRule("normal")

    def _accept_loop(self):
        while not self._stop.is_set():
            try:
                conn, peer = self._listener.accept()
            except OSError:
                return
            threading.Thread(target=self._serve, args=(conn, peer), daemon=True).start()

    def _serve(self, conn, peer):
        try:
            if self.tls_context is not None:
                conn.settimeout(REQUEST_TIMEOUT)
                conn = self.tls_context.wrap_socket(conn, server_side=True)
            request = _read_request(conn)
            if request is None:
                self.log("http", peer="%s:%d" % peer, error="no complete request")
                return
            self._answer(conn, peer, request)
        except (OSError, ssl.SSLError) as err:
            self.log("http", peer="%s:%d" % peer, error=str(err))
        finally:
            try:
                conn.close()
            except OSError:
                pass

    def _answer(self, conn, peer, request):
        text = request.decode("latin-1")
        parts = text.split("\r\n", 1)[0].split()
        method, path = (parts + ["", ""])[:2]
        rule = self._rule_for(path)
        body, status = self._lookup(method, path)
        if rule.mode == "status":
            status, body = int(rule.number), None
        self.log("http", peer="%s:%d" % peer, request=text, method=method, path=path,
                 status=status, mode=rule.mode, tls=self.tls_context is not None)
        if status != 200:
            conn.sendall(b"HTTP/1.0 %d Error\r\nContent-Length: 0\r\n\r\n" % status)
            return
        if rule.mode == "empty":
            body = b""
        head = b"HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n"
        head += b"Content-Length: %d\r\n\r\n" % len(body)
        if rule.mode == "cut":
            # Content-Length promises the whole file; the close comes early.
            conn.sendall(head + body[:int(rule.number)])
            return
        if rule.mode == "stall":
            conn.sendall(head + body[:len(body) // 2])
            self._stop.wait(rule.number)
            return
        conn.sendall(head + body)

    def _lookup(self, method, path):
        """(body, 200) or (None, error status). Names that would leave the
        folder are refused outright."""
        if method != "GET":
            return None, 405
        if self.root is None or not path.startswith(self.prefix):
            return None, 404
        name = path[len(self.prefix):]
        if not name or "\\" in name or "\0" in name or re.search(r"(^|/)\.\.?(/|$)", name):
            return None, 403
        full = os.path.realpath(os.path.join(self.root, name))
        if not full.startswith(self.root + os.sep):
            return None, 403
        try:
            with open(full, "rb") as handle:
                data = handle.read()
        except OSError:
            return None, 404
        return data, 200


def _read_request(conn):
    conn.settimeout(REQUEST_TIMEOUT)
    data = b""
    while b"\r\n\r\n" not in data and b"\n\n" not in data:
        chunk = conn.recv(4096)
        if not chunk or len(data) > MAX_REQUEST_BYTES:
            return None
        data += chunk
    conn.settimeout(None)
    return data
