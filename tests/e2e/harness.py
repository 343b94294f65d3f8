"""End-to-end harness: runs the real vendrel.exe under Wine on a virtual X display and looks at
it from outside with uiprobe.exe, xdotool and the files it writes.

Environment (all optional; ctest sets the first two):
  VENDREL_EXE          vendrel.exe            (default build/mingw/src/win/vendrel.exe)
  VENDREL_UIPROBE      uiprobe.exe            (default build/mingw/tools/uiprobe/uiprobe.exe)
  VENDREL_WINEPREFIX   Wine prefix to use     (default build/wineprefix; created when missing)
  VENDREL_E2E_ARTIFACTS screenshots and logs  (default build/mingw/e2e-artifacts)
  DISPLAY              an X display to use; without it an Xvfb of our own is started
  PULSE_SERVER         a PulseAudio server to play into; without it one of our own with a
                       null sink is started (the client cannot start without a sound card)

What Wine taught us, and what this file is built around:
  - Wine always gives a process it starts from Linux its own APPDATA (the prefix's
    C:\\users\\<name>\\AppData\\Roaming), whatever the Linux environment says. The client is
    therefore started by `uiprobe run`, which sets or removes APPDATA inside Windows.
  - `wine` passes the exit code of the program on, cut to 8 bits by Linux; `uiprobe run`
    prints the full 32-bit code, which is the one we check.
  - Command-line arguments reach Windows through the Linux locale: without a UTF-8 locale
    "Jérôme" arrives as "JÃ©rÃ´me". Every Wine process here gets LANG/LC_ALL=C.UTF-8.
  - Nothing is waited for with a fixed sleep: we poll uiprobe until a condition holds or a
    deadline passes.
"""

import atexit
import json
import os
import queue
import re
import shutil
import subprocess
import sys
import threading
import time
import unittest
from pathlib import Path

import pulse_audio

REPO = Path(__file__).resolve().parents[2]
MAIN_CLASS = "VendrelClient21"

# Deadlines, generous for a loaded 2-core machine; nothing here waits longer than this.
PREFIX_TIMEOUT = 300  # creating a prefix (about 10 s when idle)
START_TIMEOUT = 60  # from launch to the main window or a first dialog
PROBE_TIMEOUT = 30  # one uiprobe call (Wine start included)
POLL_PROBE_TIMEOUT = 10  # one uiprobe call made while polling: a stalled one is retried
EXIT_TIMEOUT = 60  # from answering the last box to the process exit
POLL_INTERVAL = 0.2

# Button ids of message boxes; the button texts follow Wine's own language.
IDOK = 1
IDYES = 6
IDNO = 7
IDCANCEL = 2

# The connection dialog's controls (resources/connection_ids.h) and the input boxes'
# (resources/input_ids.h).
IDC_CONN_SERVER = 1000
IDC_CONN_LOGIN = 1001
IDC_CONN_PASSWORD = 1002
IDC_INPUT_TEXT = 1002

# The lounge of tools/lounge is the peer of every test that needs the main loop.
sys.path.insert(0, str(REPO / "tools" / "lounge"))
LOUNGE_NAME = "E2E lounge"
LOUNGE_LOGIN = "demo"
LOUNGE_PASSWORD = "demo1234"
LOGIN_TIMEOUT = 60  # from pressing Connect to the logged-in title


# uiprobe commands that change nothing, so asking twice is harmless.
READ_ONLY_PROBES = {"find", "tree", "list", "dialogs", "focus", "clipboard"}
UIPROBE_FAILURES = {2, 3}  # usage, not found: uiprobe's own answers


class HarnessError(Exception):
    pass


def project_version():
    """The version as (major, minor, patch), read where the build takes it from."""
    text = (REPO / "CMakeLists.txt").read_text(encoding="utf-8")
    match = re.search(r"project\(\s*Vendrel\s+VERSION\s+(\d+)\.(\d+)\.(\d+)", text)
    if not match:
        raise HarnessError("no project(Vendrel VERSION x.y.z) in CMakeLists.txt")
    return tuple(int(part) for part in match.groups())


VERSION = project_version()
VERSION_TEXT = "%d.%d.%d" % VERSION


def wait_for(condition, timeout, what):
    """Polls condition() until it returns something truthy, which is returned."""
    deadline = time.monotonic() + timeout
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {timeout} s waiting for {what}")
        time.sleep(POLL_INTERVAL)


def polled(condition):
    """condition for wait_for where one uiprobe call that stalls (seen once, on the first call
    after a fresh display) counts as "not yet" instead of ending the test."""
    def attempt():
        try:
            return condition()
        except subprocess.TimeoutExpired as stalled:
            print(f"harness: {stalled}; polling on", file=sys.stderr)
            return None
    return attempt


def windows_path(path):
    """A Linux path as the Windows programs see it: Wine maps the Linux root to Z:."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


class Session:
    """One display and one Wine prefix, shared by all tests of this Python process."""

    _instance = None

    @classmethod
    def get(cls):
        if cls._instance is None:
            cls._instance = Session()
            atexit.register(cls._instance.shut_down)
        return cls._instance

    def __init__(self):
        self.exe = Path(os.environ.get("VENDREL_EXE", REPO / "build/mingw/src/win/vendrel.exe"))
        self.uiprobe = Path(
            os.environ.get("VENDREL_UIPROBE", REPO / "build/mingw/tools/uiprobe/uiprobe.exe"))
        self.prefix = Path(os.environ.get("VENDREL_WINEPREFIX", REPO / "build/wineprefix"))
        self.artifacts = Path(
            os.environ.get("VENDREL_E2E_ARTIFACTS", REPO / "build/mingw/e2e-artifacts"))
        for needed in (self.exe, self.uiprobe):
            if not needed.is_file():
                raise HarnessError(f"missing {needed} (build the mingw preset first)")
        self.artifacts.mkdir(parents=True, exist_ok=True)
        self.xvfb = None
        self.pulse = None
        self.display = os.environ.get("DISPLAY") or self._start_xvfb()
        self.env = dict(os.environ)
        self.env.update({
            "WINEPREFIX": str(self.prefix),
            "WINEDEBUG": "-all",
            "DISPLAY": self.display,
            "LANG": "C.UTF-8",
            "LC_ALL": "C.UTF-8",
            # No Mono or Gecko installer dialogs while the prefix is made.
            "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d",
        })
        try:
            self._start_sound_card()
            self._ensure_prefix()
            self._warm_up()
        except BaseException:
            self.shut_down()
            raise

    def _start_xvfb(self):
        # -displayfd lets Xvfb pick a free display itself and tell us which one.
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
             "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number.isdigit():
            raise HarnessError("Xvfb did not start")
        display = ":" + number
        wait_for(lambda: subprocess.run(["xdpyinfo", "-display", display],
                                        stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL).returncode == 0,
                 START_TIMEOUT, f"Xvfb on {display}")
        return display

    def _start_sound_card(self):
        # Wine's WASAPI plays into a PulseAudio null sink of ours: real-time, heard by no one.
        if "PULSE_SERVER" not in os.environ and pulse_audio.available():
            self.pulse = pulse_audio.PulseServer([("vendrel_e2e_null", "Vendrel_E2E_Null")])
            self.env["PULSE_SERVER"] = self.pulse.server

    def _ensure_prefix(self):
        if not (self.prefix / "system.reg").is_file():
            self.prefix.mkdir(parents=True, exist_ok=True)
            subprocess.run(["wineboot", "-i"], env=self.env, timeout=PREFIX_TIMEOUT,
                           stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
        if not (self.prefix / "dosdevices" / "z:").exists():
            raise HarnessError(f"{self.prefix} has no Z: drive for the Linux root")
        # Wine links the user's desktop to the Linux home folder; what an installer puts on the
        # desktop must stay inside the prefix.
        for desktop in (self.prefix / "drive_c" / "users").glob("*/Desktop"):
            if desktop.is_symlink():
                desktop.unlink()
                desktop.mkdir()

    def _warm_up(self):
        # The first Wine program on a fresh display brings up the wineserver and the desktop
        # process; a uiprobe call that races a starting client then stalled for its whole
        # timeout. One call before any client makes later ones quick.
        started = time.monotonic()
        self.probe("find", MAIN_CLASS, timeout=PREFIX_TIMEOUT)
        print(f"harness: Wine ready in {time.monotonic() - started:.1f} s", file=sys.stderr)

    def drive_c(self):
        return self.prefix / "drive_c"

    def probe(self, *args, check=True, timeout=PROBE_TIMEOUT):
        """Runs uiprobe with args and returns its last JSON line (None when it printed none)."""
        # Under load Wine has now and then lost the whole output of a console program that
        # ended well, and once ended one with an exit code uiprobe never returns (1, nothing
        # on either stream); a command that only reads is simply asked again.
        for _ in range(3 if args and args[0] in READ_ONLY_PROBES else 1):
            # No inherited standard input: a console program under Wine must not wait on a
            # terminal or a pipe of the test runner.
            done = subprocess.run(["wine", str(self.uiprobe), *map(str, args)], env=self.env,
                                  stdin=subprocess.DEVNULL, capture_output=True,
                                  timeout=timeout)
            lines = done.stdout.decode("utf-8").splitlines()
            if lines or done.returncode in UIPROBE_FAILURES:
                break
        if check and done.returncode != 0:
            raise HarnessError(f"uiprobe {' '.join(map(str, args))} failed "
                               f"({done.returncode}): {done.stderr.decode(errors='replace')}")
        return json.loads(lines[-1]) if lines else None

    def screenshot(self, name):
        target = self.artifacts / (re.sub(r"[^\w.-]+", "_", name) + ".png")
        subprocess.run(["import", "-display", self.display, "-window", "root", str(target)],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        return target

    def press(self, window, *keys):
        """Types X key names (xdotool syntax, e.g. "alt+F4") into a top-level window."""
        xid = str(window["xid"])
        subprocess.run(["xdotool", "windowfocus", "--sync", xid], env=self.env, timeout=30,
                       check=True)
        subprocess.run(["xdotool", "key", "--clearmodifiers", "--delay", "50", *keys],
                       env=self.env, timeout=30, check=True)

    def type_text(self, window, text):
        """Types text (any characters; xdotool maps those the keyboard lacks) into a
        top-level window, where its focused control takes it."""
        xid = str(window["xid"])
        subprocess.run(["xdotool", "windowfocus", "--sync", xid], env=self.env, timeout=30,
                       check=True)
        subprocess.run(["xdotool", "type", "--clearmodifiers", "--delay", "50", text],
                       env=self.env, timeout=30, check=True)

    def focused(self, window):
        """The focused control of the window's thread (hwnd, class, text, parent) or None."""
        return self.probe("focus", window["hwnd"])["focus"]

    def kill_wine(self):
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def shut_down(self):
        # The wineserver goes first: Wine processes would fail with the display gone.
        try:
            subprocess.run(["wineserver", "-w"], env=self.env, timeout=EXIT_TIMEOUT,
                           stdin=subprocess.DEVNULL)
        except subprocess.TimeoutExpired:
            self.kill_wine()
        if self.pulse is not None:
            self.pulse.stop()
            self.pulse = None
        if self.xvfb is not None:
            self.xvfb.terminate()
            self.xvfb.wait(timeout=30)
            self.xvfb = None


class Client:
    """One run of vendrel.exe, started through `uiprobe run`."""

    def __init__(self, session, appdata, environment=None, exe=None, show=None):
        """appdata: the Windows path given as APPDATA, or None to start without it;
        environment: further variables set inside Windows; exe: another copy of vendrel.exe
        (a program folder of a test's own), as a Linux path, or as a Windows path in a str
        (a shortcut's target, say); show: the show command a shortcut would give
        (3 maximised)."""
        self.session = session
        self.appdata = appdata
        self.pid = None
        self.exit_code = None
        self._lines = queue.Queue()
        args = [str(session.uiprobe), "run"]
        args += ["--unset", "APPDATA"] if appdata is None else ["--set", "APPDATA=" + appdata]
        for name, value in (environment or {}).items():
            args += ["--set", f"{name}={value}"]
        if show is not None:
            args += ["--show", str(show)]
        self.exe = exe or session.exe
        args += ["--", self.exe if isinstance(self.exe, str) else windows_path(self.exe)]
        self.process = subprocess.Popen(["wine", *args], env=session.env,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL)
        threading.Thread(target=self._read_lines, daemon=True).start()
        started = self._next_line(START_TIMEOUT, "the client process to start")
        if "started" not in started:
            raise HarnessError(f"could not start {self.exe}: {started}")
        self.pid = started["started"]

    def _read_lines(self):
        for raw in self.process.stdout:
            self._lines.put(json.loads(raw.decode("utf-8")))
        self._lines.put(None)

    def _next_line(self, timeout, what):
        try:
            line = self._lines.get(timeout=timeout)
        except queue.Empty:
            raise AssertionError(f"timed out after {timeout} s waiting for {what}") from None
        if line is None:
            raise HarnessError(f"uiprobe run ended while waiting for {what}")
        return line

    def is_running(self):
        return self.exit_code is None and self.process.poll() is None

    def wait_exit(self, timeout=EXIT_TIMEOUT):
        """Waits for the client to end and returns its exit code."""
        if self.exit_code is None:
            self.exit_code = self._next_line(timeout, "the client to exit")["exitCode"]
            self.process.wait(timeout=timeout)
        return self.exit_code

    def main_window(self, timeout=START_TIMEOUT):
        def find():
            windows = [w for w in self.session.probe("find", MAIN_CLASS) if w["pid"] == self.pid]
            return windows[0] if windows and windows[0]["visible"] else None
        return wait_for(polled(find), timeout, f"a visible {MAIN_CLASS} window of pid {self.pid}")

    def children(self, window):
        return self.session.probe("tree", window["hwnd"])["children"]

    def dialogs(self):
        return self.session.probe("dialogs", self.pid)

    def wait_dialog(self, title=None, timeout=START_TIMEOUT):
        def find():
            dialogs = self.session.probe("dialogs", self.pid, timeout=POLL_PROBE_TIMEOUT)
            found = [d for d in dialogs if title is None or d["window"]["title"] == title]
            return found[0] if found else None
        return wait_for(polled(find), timeout, f"a dialog titled {title!r} of pid {self.pid}")

    def answer(self, dialog, button):
        self.session.probe("click", dialog["window"]["hwnd"], button)

    def wait_no_dialog(self, timeout=EXIT_TIMEOUT):
        wait_for(polled(lambda: not self.is_running() or not self.dialogs()), timeout,
                 "the dialog to close")

    def close(self, window, confirm=IDYES):
        """Closes the main window, answers its confirmation box with the button id confirm,
        and returns the exit code. With confirm=None no box may come."""
        self.session.probe("close", window["hwnd"])
        if confirm is not None:
            self.answer(self.wait_dialog(window["title"]), confirm)
            return self.wait_exit()
        wait_for(polled(lambda: not self.is_running() or self.dialogs()), EXIT_TIMEOUT,
                 "the client to exit or show a box")
        if self.is_running():
            raise AssertionError(f"closing asked for confirmation: {self.dialogs()}")
        return self.wait_exit()

    def connection_dialog(self, timeout=START_TIMEOUT):
        """The connection dialog, which comes right after the main window is created."""
        return self.wait_dialog(timeout=timeout)

    def cancel_connection_dialog(self):
        """Closes the connection dialog as its close box does, which ends the program;
        returns the exit code."""
        self.session.probe("close", self.connection_dialog()["window"]["hwnd"])
        return self.wait_exit()

    def connect(self, login=LOUNGE_LOGIN, password=LOUNGE_PASSWORD):
        """Fills the connection dialog's fields directly and presses Connect."""
        dialog = self.connection_dialog()
        edits = {edit["id"]: edit["hwnd"] for edit in dialog["edits"]}
        self.session.probe("settext", edits[IDC_CONN_LOGIN], login)
        self.session.probe("settext", edits[IDC_CONN_PASSWORD], password)
        self.answer(dialog, IDOK)

    def wait_title(self, title, timeout=LOGIN_TIMEOUT):
        """The main window once it carries this title."""
        def find():
            window = self.main_window()
            return window if window["title"] == title else None
        return wait_for(polled(find), timeout, f"the main window titled {title!r}")

    def stop(self):
        """Ends whatever is left of this run (after a failure)."""
        if self.is_running():
            self.session.kill_wine()
        try:
            self.process.wait(timeout=EXIT_TIMEOUT)
        finally:
            if self.process.stdout:
                self.process.stdout.close()


class ClientTestCase(unittest.TestCase):
    """Gives each test a fresh user folder C:\\e2e\\<folder>\\Roaming and cleans up after it."""

    session = None

    @classmethod
    def setUpClass(cls):
        cls.session = Session.get()

    def setUp(self):
        self.clients = []
        self.addCleanup(self._stop_clients)

    def _stop_clients(self):
        for number, client in enumerate(self.clients):
            if client.is_running():
                self.session.screenshot(f"{self.id()}-left-running-{number}")
            client.stop()

    def fresh_appdata(self, folder=None):
        """Creates an empty roaming folder from Linux; returns (Windows path, Linux path)."""
        folder = folder or self._testMethodName
        root = self.session.drive_c() / "e2e" / folder
        shutil.rmtree(root, ignore_errors=True)
        roaming = root / "Roaming"
        roaming.mkdir(parents=True)
        return f"C:\\e2e\\{folder}\\Roaming", roaming

    def start_client(self, appdata, environment=None, exe=None, show=None):
        client = Client(self.session, appdata, environment, exe, show)
        self.clients.append(client)
        return client

    def start_lounge(self, **options):
        """A lounge on free ports, stopped when the test ends."""
        from lounge_server import LoungeServer
        lounge = LoungeServer(port=0, web_port=0, **options).start()
        self.addCleanup(lounge.stop)
        return lounge

    def write_lounge_config(self, roaming, lounge, extra=None):
        """Writes a config.ini whose default server is the lounge; extra: more keys."""
        web = lounge.web.port if lounge.web else 0
        settings = {
            "servers.default": "1",
            "servers[1].name": LOUNGE_NAME,
            "servers[1].host": "127.0.0.1",
            "servers[1].port": str(lounge.port),
            "servers[1].protocol": "131072",
            "servers[1].http.host": f"127.0.0.1:{web}",
            "servers[1].http.basedir": "/autodl/",
        }
        settings.update(extra or {})
        torv = roaming / "TORV"
        torv.mkdir(exist_ok=True)
        (torv / "config.ini").write_bytes(
            "".join(f"{key}={value}\r\n" for key, value in settings.items()).encode("utf-8"))

    def connect_to_lounge(self, lounge=None, folder=None, extra=None, environment=None,
                          title_format="Vendrel - %s - %s", appdata=None, exe=None):
        """Starts the client (exe, or the build's) with the lounge as its default server and
        logs in as demo; a given appdata (Windows path, Linux path) is used as it is,
        config.ini included. Returns (client, logged-in main window, lounge session, appdata,
        roaming)."""
        lounge = lounge or self.start_lounge()
        if appdata is None:
            appdata, roaming = self.fresh_appdata(folder)
            self.write_lounge_config(roaming, lounge, extra)
        else:
            appdata, roaming = appdata
        client = self.start_client(appdata, environment, exe)
        client.connect()
        window = client.wait_title(title_format % (LOUNGE_NAME, LOUNGE_LOGIN))
        session = lounge.next_session(timeout=LOGIN_TIMEOUT)
        self.assertIsNotNone(session, "the lounge saw no connection")
        return client, window, session, appdata, roaming

    def screenshot(self, label):
        return self.session.screenshot(f"{self.id()}-{label}")


def read_lines(path):
    return path.read_bytes().decode("utf-8").splitlines()


def read_ini(path):
    """(key, value) pairs in file order; comments and blank lines skipped."""
    pairs = []
    for line in read_lines(path):
        if line and not line.startswith(";") and "=" in line:
            key, value = line.split("=", 1)
            pairs.append((key, value))
    return pairs
