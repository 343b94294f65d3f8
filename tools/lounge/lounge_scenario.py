"""Scenario steps: the one small language shared by scenario files, the
control channel and the Python API (see README.md for the list)."""

import re
import struct
import time

import lounge_wire as wire
from lounge_login import login_answer

# Step name -> (minimum number of words after the name, takes a free text).
# A free text is the rest of the line after exactly one blank, unescaped, so
# leading and trailing blanks are part of what gets sent.
STEP_SHAPES = {
    "accept": (0, False),
    "refuse": (1, False),
    "cutanswer": (1, False),
    "login": (0, False),
    "send": (0, True),
    "sendraw": (1, False),
    "sendfill": (1, False),
    "ping": (0, True),
    "close": (0, False),
    "drop": (0, False),
    "delay": (1, False),
    "timeout": (1, False),
    "expect": (0, True),
    "expectprefix": (0, True),
    "expectre": (0, True),
    "expectpong": (0, True),
    "expectclose": (0, False),
    "expectdrop": (0, False),
    "demo": (0, False),
    "hold": (0, False),
}

HANDSHAKE_STEPS = ("accept", "refuse", "cutanswer")
SENDING_STEPS = ("login", "send", "sendraw", "sendfill", "ping", "close", "demo")


class ScenarioError(ValueError):
    pass


class Step:
    def __init__(self, name, words=(), text=b"", line=0):
        self.name = name
        self.words = list(words)
        self.text = text
        self.line = line

    def __repr__(self):
        return "Step(%s %r %r)" % (self.name, self.words, self.text)


class Plan:
    """The steps for the next `count` connections (None: every later one)."""

    def __init__(self, steps, count=1):
        self.steps = steps
        self.count = count


def parse_step(line, line_no=0):
    name, sep, rest = line.partition(" ")
    if name not in STEP_SHAPES:
        raise ScenarioError("line %d: unknown step %r" % (line_no, name))
    minimum, free_text = STEP_SHAPES[name]
    words = rest.split() if not free_text else []
    if len(words) < minimum:
        raise ScenarioError("line %d: %s needs %d argument(s)" % (line_no, name, minimum))
    text = b""
    if name == "expectre":
        # A pattern keeps its backslashes: the regular expression reads them.
        text = rest.encode("utf-8")
    elif free_text and sep:
        try:
            text = wire.unescape(rest)
        except ValueError as err:
            raise ScenarioError("line %d: %s" % (line_no, err)) from None
    step = Step(name, words, text, line_no)
    _check_numbers(step)
    return step


def _check_numbers(step):
    try:
        if step.name in ("refuse", "cutanswer", "sendfill", "close") and step.words:
            int(step.words[0])
        if step.name in ("delay", "timeout"):
            float(step.words[0])
        if step.name == "sendraw":
            bytes.fromhex("".join(step.words))
        if step.name == "sendfill" and len(step.words) > 1:
            if len(wire.unescape(step.words[1])) != 1:
                raise ValueError
        if step.name == "expectre":
            re.compile(step.text.decode("utf-8", "surrogateescape"))
    except (ValueError, re.error):
        raise ScenarioError("line %d: bad argument for %s" % (step.line, step.name)) from None


def _is_blank_or_comment(line):
    stripped = line.strip()
    return not stripped or stripped.startswith("#")


def parse_connection_header(words, line_no):
    if not words:
        return 1
    if words[0] == "*":
        return None
    try:
        count = int(words[0])
    except ValueError:
        count = 0
    if count < 1:
        raise ScenarioError("line %d: connection count must be 1 or more, or *" % line_no)
    return count


def parse_script(text):
    """Scenario file text -> (list of Plan, list of web rule word lists).
    Steps before the first "connection" line form a block for one
    connection; "web" lines may stand anywhere and apply at load time."""
    plans = []
    web_rules = []
    current = None
    for line_no, raw in enumerate(text.splitlines(), 1):
        line = raw.rstrip("\r")
        if _is_blank_or_comment(line):
            continue
        head = line.split()
        if head[0] == "connection":
            current = Plan([], parse_connection_header(head[1:], line_no))
            plans.append(current)
            continue
        if head[0] == "end":
            current = None
            continue
        if head[0] == "web":
            web_rules.append(head[1:])
            continue
        if current is None:
            current = Plan([])
            plans.append(current)
        current.steps.append(parse_step(line, line_no))
    for plan in plans:
        check_plan(plan.steps)
    return plans, web_rules


def check_plan(steps):
    for index, step in enumerate(steps):
        if step.name in HANDSHAKE_STEPS and index != 0:
            raise ScenarioError("line %d: %s must be the first step of a connection"
                                % (step.line, step.name))


def close_payload(words):
    """close [code [reason words...]]: the status code as two big-endian
    bytes, then the reason; no words gives an empty close frame."""
    if not words:
        return b""
    return struct.pack(">H", int(words[0]) & 0xFFFF) + " ".join(words[1:]).encode("utf-8")


def run_step(session, step):
    """Carries out one step after the handshake. Returns True, or False when
    an expectation failed (already recorded as a mismatch) or the step ends
    the connection's script (drop, failed login)."""
    name, words, text = step.name, step.words, step.text
    if name in HANDSHAKE_STEPS:
        return True
    if name == "login":
        return _answer_login(session)
    if name == "send":
        return session.send_text(text)
    if name == "sendraw":
        return session.send_raw(bytes.fromhex("".join(words)))
    if name == "sendfill":
        fill = wire.unescape(words[1]) if len(words) > 1 else b"a"
        return session.send_text(fill * int(words[0]))
    if name == "ping":
        return session.send_frame(text, wire.OP_PING)
    if name == "close":
        return session.send_frame(close_payload(words), wire.OP_CLOSE)
    if name == "drop":
        session.drop()
        return False
    if name == "delay":
        time.sleep(float(words[0]))
        return True
    if name == "timeout":
        session.expect_timeout = float(words[0])
        return True
    if name == "hold":
        session.wait_closed(None)
        return True
    if name == "demo":
        session.server.run_demo(session)
        return True
    return _run_expect(session, step)


def _run_expect(session, step):
    name, text = step.name, step.text
    shown = wire.escape(text)
    if name == "expect":
        return session.expect_text(text)
    if name == "expectprefix":
        return session.expect({"text"}, name, shown + "...", lambda p: p.startswith(text))
    if name == "expectre":
        pattern = re.compile(text.decode("utf-8", "surrogateescape"), re.S)
        return session.expect({"text"}, name, "/%s/" % shown, lambda p: pattern.fullmatch(
            p.decode("utf-8", "surrogateescape")) is not None)
    if name == "expectpong":
        return session.expect({"pong"}, name, "pong " + shown, lambda p: p == text)
    if name == "expectclose":
        return session.expect({"close"}, name, "close frame", lambda p: True)
    if name == "expectdrop":
        return session.expect_drop()
    raise ScenarioError("step %s cannot run here" % name)


def _answer_login(session):
    answer = login_answer(session.login, session.server.accounts)
    session.log("login", login=session.login.fields.get("login", ""), answer=answer)
    session.server.record_login(session.login)
    session.send_text(answer)
    if answer != "ok":
        # A real lounge hangs up on a refused login; the script ends with it.
        session.drop(quiet=True)
        return False
    session.nickname = session.login.fields["login"]
    return True


def run_steps(session, steps):
    """Runs the steps after the handshake. A failed expectation is recorded
    and the script goes on; a drop or a refused login ends it."""
    for step in steps:
        # Expectations report a closed connection themselves; a drop, a
        # delay or a wait after the client left is no fault.
        if session.is_closed and step.name in SENDING_STEPS:
            session.mismatch(step.name, "open connection", "connection ended")
            return
        ok = run_step(session, step)
        if not ok and step.name in ("drop", "login"):
            return
