"""LoungeServer: the game port, the web host and the control port together,
with the connection plans, the JSON-lines log and the list of mismatches."""

import collections
import ipaddress
import json
import queue
import socket
import threading
import time

import lounge_scenario as scenario
from lounge_login import DEFAULT_ACCOUNTS
from lounge_session import Session
from lounge_tls import accept_tls, server_context
from lounge_web import WebServer, parse_web_rule


def require_loopback(host):
    """The lounge is a test and demo tool: it never listens beyond this machine."""
    for info in socket.getaddrinfo(host, None, proto=socket.IPPROTO_TCP):
        if not ipaddress.ip_address(info[4][0].split("%")[0]).is_loopback:
            raise ValueError("%s is not a loopback address; the lounge only binds to loopback"
                             % host)


class EventLog:
    """Every event as one JSON object per line, flushed at once so a test can
    read the file while the server runs. Also kept in memory for the API."""

    def __init__(self, path=None):
        self._handle = open(path, "a", encoding="utf-8") if path else None
        self._lock = threading.Lock()
        self._seq = 0
        self.events = []

    def write(self, event, **fields):
        with self._lock:
            self._seq += 1
            entry = {"seq": self._seq, "time": round(time.time(), 6), "event": event}
            entry.update(fields)
            self.events.append(entry)
            if self._handle:
                self._handle.write(json.dumps(entry, ensure_ascii=False) + "\n")
                self._handle.flush()

    def close(self):
        with self._lock:
            if self._handle:
                self._handle.close()
                self._handle = None


class LoungeServer:
    def __init__(self, host="127.0.0.1", port=1321, web_port=1380, web_root=None,
                 web_prefix="/autodl/", control_port=None, log_path=None,
                 accounts=None, demo=False, tls_cert=None, tls_key=None):
        require_loopback(host)
        self.host = host
        # With a certificate, the game port and the web host speak TLS only.
        self.tls_context = server_context(tls_cert, tls_key) if tls_cert else None
        self.accounts = dict(DEFAULT_ACCOUNTS if accounts is None else accounts)
        self.demo_enabled = demo
        self.events = EventLog(log_path)
        self.mismatches = []
        self.logins = []  # the numbers of every login record received, in order
        self.sessions = []
        self._plans = collections.deque()
        self._default_steps = [scenario.Step("login")] + ([scenario.Step("demo")] if demo else [])
        self._scripted_running = 0
        self._lock = threading.Lock()
        self._changed = threading.Condition(self._lock)
        self._accepted = queue.Queue()
        self._next_id = 0
        self._stop = threading.Event()
        self._listener = socket.create_server((host, port))
        self.port = self._listener.getsockname()[1]
        self.web = None
        if web_port is not None:
            self.web = WebServer(host, web_port, web_root, web_prefix, self.log,
                                 self.tls_context)
        self.control = None
        if control_port is not None:
            from lounge_control import ControlServer
            self.control = ControlServer(self, host, control_port)
        self._demo = None

    # --- life ----------------------------------------------------------------

    def start(self):
        threading.Thread(target=self._accept_loop, daemon=True, name="lounge-game").start()
        if self.web:
            self.web.start()
        if self.control:
            self.control.start()
        self.log("listening", game=self.port, web=self.web.port if self.web else None,
                 control=self.control.port if self.control else None)
        return self

    def stop(self):
        self._stop.set()
        for closable in (self._listener, self.web, self.control):
            try:
                if closable is self._listener:
                    closable.close()
                elif closable:
                    closable.stop()
            except OSError:
                pass
        with self._lock:
            sessions = list(self.sessions)
        for session in sessions:
            session.drop(quiet=True)
        self.log("stopped")
        self.events.close()

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    @property
    def is_stopping(self):
        return self._stop.is_set()

    # --- plans -----------------------------------------------------------------

    def plan(self, steps, count=1):
        """Queues steps (a list of Step, or scenario text for one connection)
        for the next `count` connections; count None replaces the default."""
        if isinstance(steps, str):
            steps = [scenario.parse_step(line, n) for n, line in
                     enumerate(steps.splitlines(), 1) if line.strip()]
        scenario.check_plan(steps)
        with self._lock:
            if count is None:
                self._default_steps = list(steps)
            else:
                self._plans.append(scenario.Plan(list(steps), count))

    def load_script(self, text):
        plans, web_rules = scenario.parse_script(text)
        for words in web_rules:
            if self.web is None:
                raise scenario.ScenarioError("web rules need the web host")
            self.web.set_rule(*parse_web_rule(words))
        for plan in plans:
            self.plan(plan.steps, plan.count)

    def _take_plan(self):
        with self._lock:
            if not self._plans:
                return list(self._default_steps), False
            plan = self._plans[0]
            plan.count -= 1
            if plan.count <= 0:
                self._plans.popleft()
            self._scripted_running += 1
            return list(plan.steps), True

    def wait_scripts_done(self, timeout=None):
        """True once every queued plan has been used and its connection ended."""
        with self._changed:
            return self._changed.wait_for(
                lambda: not self._plans and self._scripted_running == 0, timeout)

    # --- connections -------------------------------------------------------------

    def next_session(self, timeout=5.0):
        """The next connection whose handshake was accepted, or None."""
        try:
            return self._accepted.get(timeout=timeout)
        except queue.Empty:
            return None

    def _accept_loop(self):
        while not self._stop.is_set():
            try:
                sock, peer = self._listener.accept()
            except OSError:
                return
            with self._lock:
                self._next_id += 1
                session = Session(self, sock, self._next_id, "%s:%d" % peer[:2])
            threading.Thread(target=self._handle, args=(session,), daemon=True,
                             name="lounge-conn-%d" % session.id).start()

    def _handle(self, session):
        session.log("connect", peer=session.peer)
        if self.tls_context is not None:
            tls, session.tap, details = accept_tls(self.tls_context, session.sock)
            if tls is None:
                # The client refused us (our certificate) or spoke no TLS: no plan is used.
                session.log("tls_error", error=details, wireBytes=len(session.tap.received()))
                return
            session.sock = tls
            session.log("tls", **details)
        steps, scripted = self._take_plan()
        try:
            self._run_connection(session, steps)
        except Exception as err:  # a broken script must not kill the server
            session.log("error", error=repr(err))
            session.drop(quiet=True)
        finally:
            if session.tap is not None:
                session.tap.close()
            with self._changed:
                if session in self.sessions:
                    self.sessions.remove(session)
                if scripted:
                    self._scripted_running -= 1
                self._changed.notify_all()

    def _run_connection(self, session, steps):
        request = session.read_request()
        if request is None:
            session.log("disconnect", reason="no complete handshake request")
            session.drop(quiet=True)
            return
        first = steps[0] if steps else None
        if first is not None and first.name == "refuse":
            session.refuse(int(first.words[0]), " ".join(first.words[1:]))
            return
        if first is not None and first.name == "cutanswer":
            session.cut_answer(int(first.words[0]))
            return
        problems = request.problems()
        if problems:
            session.log("handshake_error", problems=problems)
            session.refuse(400)
            return
        session.accept()
        self._log_login_wire(session)
        with self._lock:
            self.sessions.append(session)
        self._accepted.put(session)
        scenario.run_steps(session, steps)
        session.wait_closed(None)

    # --- records -------------------------------------------------------------------

    def _log_login_wire(self, session):
        """Whether the login record could be read off the wire: on a plain connection it
        always can (which shows the check works), over TLS it must not."""
        wire = session.tap.received() if session.tap is not None else session.request.raw
        secrets = [session.request.target.encode("latin-1")]
        password = session.login.fields.get("password") if session.login else None
        if password:
            secrets.append(password.encode("utf-8"))
        session.log("login_wire", tls=session.tap is not None, wireBytes=len(wire),
                    loginInClear=any(secret in wire for secret in secrets))

    def log(self, event, **fields):
        self.events.write(event, **fields)

    def record_mismatch(self, entry):
        with self._lock:
            self.mismatches.append(entry)
        self.log("mismatch", **entry)

    def record_login(self, record):
        with self._lock:
            self.logins.append(dict(record.numbers))

    def live_sessions(self):
        with self._lock:
            return [s for s in self.sessions if not s.is_closed]

    def run_demo(self, session):
        with self._lock:
            if self._demo is None:
                from lounge_demo import DemoLounge
                self._demo = DemoLounge(self)
            demo = self._demo
        demo.run(session)
