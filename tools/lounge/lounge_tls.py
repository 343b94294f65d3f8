"""TLS for the lounge's game port and web host, with a tap on the wire: every byte the client
sends is kept as it crossed the network, before decryption, so a test can show that the login
record never went out in clear."""

import socket
import ssl
import threading

HANDSHAKE_TIMEOUT = 10.0


def server_context(cert_file, key_file):
    """A server context with the certificate chain (PEM, server first) and its key; TLS 1.2
    and newer, as the client asks."""
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.minimum_version = ssl.TLSVersion.TLSv1_2
    context.load_cert_chain(cert_file, key_file)
    context.sni_callback = _remember_server_name
    return context


def _remember_server_name(tls_socket, server_name, _context):
    try:
        tls_socket.lounge_server_name = server_name
    except AttributeError:
        pass


class WireTap:
    """Stands between the client's TCP socket and the TLS layer: a socket pair carries the
    bytes both ways, and what came from the client is kept."""

    def __init__(self, raw):
        self.raw = raw
        self._lock = threading.Lock()
        self._received = bytearray()
        self.inner, outer = socket.socketpair()
        self.outer = outer
        threading.Thread(target=self._pump, args=(raw, self.inner, True), daemon=True,
                         name="lounge-tap-in").start()
        threading.Thread(target=self._pump, args=(self.inner, raw, False), daemon=True,
                         name="lounge-tap-out").start()

    def received(self):
        with self._lock:
            return bytes(self._received)

    def _pump(self, source, target, keep):
        try:
            while True:
                chunk = source.recv(65536)
                if not chunk:
                    break
                if keep:
                    with self._lock:
                        self._received += chunk
                target.sendall(chunk)
        except OSError:
            pass
        # One side ended: the other learns it as the end of its stream.
        for sock in (target, source):
            try:
                sock.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass

    def close(self):
        for sock in (self.inner, self.raw):
            try:
                sock.close()
            except OSError:
                pass


def accept_tls(context, raw):
    """Runs the server side of the handshake on an accepted socket. Returns (TLS socket, tap,
    details) or (None, tap, error text) when the client gave up, for instance on refusing our
    certificate."""
    tap = WireTap(raw)
    tls = context.wrap_socket(tap.outer, server_side=True, do_handshake_on_connect=False)
    tls.settimeout(HANDSHAKE_TIMEOUT)
    try:
        tls.do_handshake()
    except (OSError, ssl.SSLError) as err:
        tls.close()
        tap.close()
        return None, tap, str(err)
    tls.settimeout(None)
    details = {"version": tls.version(), "cipher": (tls.cipher() or ("",))[0],
               "serverName": getattr(tls, "lounge_server_name", None)}
    return tls, tap, details
