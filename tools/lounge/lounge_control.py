"""The control port: the scenario language one line at a time, so that a
test written in any language can drive the lounge while the client runs.
Every command line gets exactly one answer line: "ok ...", "mismatch ..."
or "error ..."."""

import json
import socket
import threading

import lounge_scenario as scenario
import lounge_wire as wire
from lounge_web import parse_web_rule


class ControlServer:
    def __init__(self, server, host, port):
        self.server = server
        self._listener = socket.create_server((host, port))
        self.port = self._listener.getsockname()[1]
        self._stop = threading.Event()

    def start(self):
        threading.Thread(target=self._accept_loop, daemon=True, name="lounge-control").start()

    def stop(self):
        self._stop.set()
        self._listener.close()

    def _accept_loop(self):
        while not self._stop.is_set():
            try:
                conn, _ = self._listener.accept()
            except OSError:
                return
            threading.Thread(target=self._serve, args=(conn,), daemon=True).start()

    def _serve(self, conn):
        client = ControlClient(self.server)
        with conn, conn.makefile("rb") as reader:
            for raw in reader:
                line = raw.decode("utf-8", "replace").rstrip("\r\n")
                answer = client.handle(line)
                if answer is None:
                    continue
                try:
                    conn.sendall(answer.encode("utf-8") + b"\n")
                except OSError:
                    return
                if client.wants_shutdown:
                    self.server.stop()
                    return


class ControlClient:
    """State of one control connection: the session it talks to and a
    connection block being collected."""

    def __init__(self, server):
        self.server = server
        self.session = None
        self.block = None
        self.wants_shutdown = False

    def handle(self, line):
        try:
            return self._handle(line)
        except (scenario.ScenarioError, ValueError) as err:
            self.block = None if line.split()[:1] == ["end"] else self.block
            return "error %s" % err

    def _handle(self, line):
        words = line.split()
        if not words or words[0].startswith("#"):
            return None
        command = words[0]
        if self.block is not None:
            return self._collect(line, words)
        if command == "connection":
            self.block = scenario.Plan([], scenario.parse_connection_header(words[1:], 0))
            return None
        handler = getattr(self, "_cmd_" + command.replace("-", "_"), None)
        if handler is not None:
            return handler(words[1:])
        return self._run_on_session(scenario.parse_step(line))

    def _collect(self, line, words):
        if words[0] != "end":
            self.block.steps.append(scenario.parse_step(line))
            return None
        plan, self.block = self.block, None
        self.server.plan(plan.steps, plan.count)
        return "ok planned %d step(s)" % len(plan.steps)

    def _run_on_session(self, step):
        if step.name in scenario.HANDSHAKE_STEPS + ("demo", "hold"):
            # demo and hold last as long as the connection and would leave
            # this control line without an answer.
            return "error %s only works inside a connection block" % step.name
        if self.session is None:
            return "error no session; use the session command first"
        before = len(self.session.mismatches)
        ok = scenario.run_step(self.session, step)
        if len(self.session.mismatches) > before:
            last = self.session.mismatches[-1]
            return "mismatch expected=%s got=%s" % (last["expected"], last["got"])
        return "ok" if ok or step.name in ("drop", "login") else "error step failed"

    # --- commands that are not steps ---------------------------------------

    def _cmd_session(self, args):
        timeout = float(args[0]) if args else 5.0
        session = self.server.next_session(timeout)
        if session is None:
            return "error no connection within %gs" % timeout
        self.session = session
        login = session.login.fields.get("login", "") if session.login else ""
        return "ok %d %s" % (session.id, wire.escape(login.encode("utf-8")))

    def _cmd_texts(self, args):
        if self.session is None:
            return "error no session"
        texts = [wire.escape(t) for t in self.session.received_texts()]
        return "ok " + json.dumps(texts, ensure_ascii=False)

    def _cmd_logins(self, args):
        with self.server._lock:
            found = list(self.server.logins)
        return "ok " + json.dumps(found)

    def _cmd_mismatches(self, args):
        found = list(self.server.mismatches)
        return "ok %d %s" % (len(found), json.dumps(found, ensure_ascii=False))

    def _cmd_web(self, args):
        if self.server.web is None:
            return "error the web host is off"
        if args == ["reset"]:
            self.server.web.clear_rules()
            return "ok"
        path, rule = parse_web_rule(args)
        self.server.web.set_rule(path, rule)
        return "ok"

    def _cmd_status(self, args):
        live = self.server.live_sessions()
        return "ok game=%d web=%s sessions=%d mismatches=%d" % (
            self.server.port, self.server.web.port if self.server.web else "off",
            len(live), len(self.server.mismatches))

    def _cmd_shutdown(self, args):
        self.wants_shutdown = True
        return "ok bye"
