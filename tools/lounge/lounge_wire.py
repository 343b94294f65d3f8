"""Byte-level pieces of the lounge protocol: WebSocket frames as the Vendrel
client writes and reads them, the URL-safe Base64 that carries the login
record, base-36 numbers, and the backslash escapes of scenario texts.

Nothing here touches a socket, so every rule can be checked with a table.
"""

import re
import struct

FIELD_SEPARATOR = b"\x7f"

OP_CONTINUATION = 0x0
OP_TEXT = 0x1
OP_BINARY = 0x2
OP_CLOSE = 0x8
OP_PING = 0x9
OP_PONG = 0xA

KIND_BY_OPCODE = {
    OP_CONTINUATION: "continuation",
    OP_TEXT: "text",
    OP_BINARY: "binary",
    OP_CLOSE: "close",
    OP_PING: "ping",
    OP_PONG: "pong",
}

# Nothing the client sends legitimately comes near this; a bigger length is a
# broken or hostile peer and ends the connection instead of eating memory.
MAX_INCOMING_PAYLOAD = 16 * 1024 * 1024


class FrameError(Exception):
    """The peer sent something that is not a frame we can read."""


def encode_frame(payload, opcode=OP_TEXT, fin=True, mask_key=None):
    """One frame with the shortest length form. Server frames are never masked;
    mask_key (4 bytes) exists only so tests can build what a browser would send."""
    payload = bytes(payload)
    first = (0x80 if fin else 0) | (opcode & 0x0F)
    mask_bit = 0x80 if mask_key is not None else 0
    length = len(payload)
    if length <= 125:
        header = bytes([first, mask_bit | length])
    elif length <= 0xFFFF:
        header = bytes([first, mask_bit | 126]) + struct.pack(">H", length)
    else:
        header = bytes([first, mask_bit | 127]) + struct.pack(">Q", length)
    if mask_key is None:
        return header + payload
    key = bytes(mask_key)
    masked = bytes(b ^ key[i % 4] for i, b in enumerate(payload))
    return header + key + masked


class Frame:
    """A frame read from the client, kept with the facts a test may assert on."""

    __slots__ = ("opcode", "fin", "masked", "payload", "length_form")

    def __init__(self, opcode, fin, masked, payload, length_form):
        self.opcode = opcode
        self.fin = fin
        self.masked = masked
        self.payload = payload
        # 0 for the 7-bit length, 126 or 127 for the extended forms: lets a
        # test see that the client picked the right header for a length.
        self.length_form = length_form

    @property
    def kind(self):
        return KIND_BY_OPCODE.get(self.opcode, "opcode%d" % self.opcode)

    def __repr__(self):
        return "Frame(%s, %r)" % (self.kind, self.payload[:60])


def read_frame(read_exact, max_payload=MAX_INCOMING_PAYLOAD):
    """Reads one frame through read_exact(n) -> bytes (which raises EOFError
    when the peer is gone). Masked frames are unmasked and flagged."""
    head = read_exact(2)
    masked = bool(head[1] & 0x80)
    form = head[1] & 0x7F
    if form == 126:
        length = struct.unpack(">H", read_exact(2))[0]
    elif form == 127:
        length = struct.unpack(">Q", read_exact(8))[0]
    else:
        length = form
    if length > max_payload:
        raise FrameError("payload length %d over the limit %d" % (length, max_payload))
    key = read_exact(4) if masked else None
    payload = read_exact(length) if length else b""
    if key is not None:
        payload = bytes(b ^ key[i % 4] for i, b in enumerate(payload))
    return Frame(head[0] & 0x0F, bool(head[0] & 0x80), masked, payload,
                 form if form >= 126 else 0)


# --- login record transport -------------------------------------------------

QUERY_ALPHABET = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"
_QUERY_INDEX = {c: i for i, c in enumerate(QUERY_ALPHABET)}


def encode_query(data):
    """Base64 with '-' and '_' for 62 and 63 and '.' as padding."""
    out = []
    for i in range(0, len(data), 3):
        chunk = data[i:i + 3]
        value = int.from_bytes(chunk + b"\0" * (3 - len(chunk)), "big")
        chars = [QUERY_ALPHABET[(value >> shift) & 63] for shift in (18, 12, 6, 0)]
        keep = len(chunk) + 1
        out.append("".join(chars[:keep]) + "." * (4 - keep))
    return "".join(out)


def decode_query(text):
    """Inverse of encode_query; raises ValueError for anything the client
    could not have produced (wrong length, foreign characters, '.' inside)."""
    if len(text) % 4:
        raise ValueError("length %d is not a multiple of 4" % len(text))
    out = bytearray()
    for i in range(0, len(text), 4):
        group = text[i:i + 4]
        pad = len(group) - len(group.rstrip("."))
        if pad > 2 or (pad and i + 4 != len(text)):
            raise ValueError("misplaced padding at %d" % i)
        value = 0
        for c in group[:4 - pad]:
            if c not in _QUERY_INDEX:
                raise ValueError("character %r is not in the alphabet" % c)
            value = (value << 6) | _QUERY_INDEX[c]
        value <<= 6 * pad
        out += value.to_bytes(3, "big")[:3 - pad]
    return bytes(out)


_BASE36_RE = re.compile(r"^(0|[1-9a-z][0-9a-z]*)$")


def parse_base36(text):
    """Lower-case base 36 without leading zeros, as the client writes it.
    Returns None for anything else, so a sloppy client shows up in a test."""
    if not _BASE36_RE.match(text):
        return None
    return int(text, 36)


def to_base36(value):
    digits = "0123456789abcdefghijklmnopqrstuvwxyz"
    if value == 0:
        return "0"
    out = []
    while value:
        value, rest = divmod(value, 36)
        out.append(digits[rest])
    return "".join(reversed(out))


# --- scenario text escapes --------------------------------------------------

_ESCAPE_RE = re.compile(r"\\(x[0-9A-Fa-f]{2}|u[0-9A-Fa-f]{4}|.)", re.S)
_SIMPLE_ESCAPES = {"\\": b"\\", "n": b"\n", "r": b"\r", "t": b"\t", "s": b" ", "0": b"\0"}


def unescape(text):
    """Scenario text to bytes: UTF-8, with \\xHH for one byte (\\x7f is the
    field separator), \\uHHHH for a character, \\n \\r \\t \\0 \\\\ and \\s for a
    blank (handy at the end of a line, where editors eat blanks)."""
    out = bytearray()
    pos = 0
    for match in _ESCAPE_RE.finditer(text):
        out += text[pos:match.start()].encode("utf-8")
        code = match.group(1)
        if code[0] == "x" and len(code) == 3:
            out.append(int(code[1:], 16))
        elif code[0] == "u" and len(code) == 5:
            out += chr(int(code[1:], 16)).encode("utf-8")
        elif code in _SIMPLE_ESCAPES:
            out += _SIMPLE_ESCAPES[code]
        else:
            raise ValueError("unknown escape \\%s" % code)
        pos = match.end()
    out += text[pos:].encode("utf-8")
    return bytes(out)


def escape(data):
    """Bytes to a one-line readable text that unescape() turns back into them."""
    out = []
    text = data.decode("utf-8", "surrogateescape")
    for ch in text:
        code = ord(ch)
        if ch == "\\":
            out.append("\\\\")
        elif 0xDC80 <= code <= 0xDCFF:
            out.append("\\x%02x" % (code - 0xDC00))
        elif code < 0x20 or code == 0x7F:
            out.append({"\n": "\\n", "\r": "\\r", "\t": "\\t"}.get(ch, "\\x%02x" % code))
        else:
            out.append(ch)
    return "".join(out)
