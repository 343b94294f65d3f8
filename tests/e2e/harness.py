"""End-to-end harness: runs the real vendrel.exe under Wine on a virtual X display (ctest runs
each test file under xvfb-run) and looks at it from outside with uiprobe.exe, xdotool and the
files it writes. ctest sets VENDREL_EXE, VENDREL_UIPROBE, VENDREL_WINEPREFIX (made when
missing) and VENDREL_E2E_ARTIFACTS; without PULSE_SERVER a PulseAudio of our own gives the
client the sound card it cannot start without. What Wine taught us: it gives a process started
from Linux its own APPDATA, so the client is started by `uiprobe run`, which sets APPDATA inside
Windows and prints the full 32-bit exit code (`wine` cuts it to 8 bits); arguments pass through
the Linux locale, so every Wine process gets C.UTF-8. Nothing waits with a fixed sleep."""

import atexit
import json
import os
import re
import select
import shutil
import subprocess
import sys
import time
import unittest
from pathlib import Path

import pulse_audio

REPO = Path(__file__).resolve().parents[2]
MAIN_CLASS = "VendrelClient21"

# Deadlines, generous for a loaded 2-core machine; nothing here waits longer than this.
PREFIX_TIMEOUT = 300  # creating a prefix (about 10 s when idle)
TIMEOUT = 60  # from launch to a window, from Connect to the login, from a box to the exit
PROBE_TIMEOUT = 30  # one uiprobe call (Wine start included)
POLL_PROBE_TIMEOUT = 10  # one uiprobe call made while polling: a stalled one is retried

# Button ids of message boxes, and the dialogs' controls (resources/connection_ids.h and
# resources/input_ids.h).
IDOK = 1
IDYES = 6
IDNO = 7
IDC_CONN_LOGIN = 1001
IDC_CONN_PASSWORD = 1002
IDC_INPUT_TEXT = 1002

# The lounge of tools/lounge is the peer of every test that needs the main loop.
sys.path.insert(0, str(REPO / "tools" / "lounge"))
LOUNGE_NAME = "E2E lounge"
LOUNGE_LOGIN = "demo"
LOUNGE_PASSWORD = "demo1234"

# uiprobe commands that change nothing, so asking twice is harmless.
READ_ONLY_PROBES = {"find", "tree", "list", "dialogs", "focus", "clipboard"}
UIPROBE_FAILURES = {2, 3}  # usage, not found: uiprobe's own answers

VERSION_TEXT = re.search(r"project\(\s*Vendrel\s+VERSION\s+(\d+\.\d+\.\d+)",
                         (REPO / "CMakeLists.txt").read_text(encoding="utf-8"))[1]


def wait_for(condition, timeout, what):
    """Polls condition() until it returns something truthy, which is returned. A uiprobe call
    that stalls (seen on the first call after a fresh display) counts as "not yet"."""
    deadline = time.monotonic() + timeout
    while True:
        try:
            result = condition()
        except subprocess.TimeoutExpired as stalled:
            print(f"harness: {stalled}; polling on", file=sys.stderr)
            result = None
        if result:
            return result
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {timeout} s waiting for {what}")
        time.sleep(0.2)


def windows_path(path):
    """A Linux path as the Windows programs see it: Wine maps the Linux root to Z:."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


class Session:
    """One display and one Wine prefix, shared by all tests of this Python process."""

    def __init__(self):
        environ = os.environ.get
        self.exe = Path(environ("VENDREL_EXE", REPO / "build/mingw/src/win/vendrel.exe"))
        self.uiprobe = Path(environ("VENDREL_UIPROBE",
                                    REPO / "build/mingw/tools/uiprobe/uiprobe.exe"))
        self.prefix = Path(environ("VENDREL_WINEPREFIX", REPO / "build/wineprefix"))
        self.drive_c = self.prefix / "drive_c"
        self.artifacts = Path(environ("VENDREL_E2E_ARTIFACTS",
                                      REPO / "build/mingw/e2e-artifacts"))
        self.artifacts.mkdir(parents=True, exist_ok=True)
        self.pulse = None
        self.env = dict(os.environ, WINEPREFIX=str(self.prefix), WINEDEBUG="-all",
                        LANG="C.UTF-8", LC_ALL="C.UTF-8",
                        # No Mono or Gecko installer dialogs while the prefix is made.
                        WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
        try:
            # Wine's WASAPI plays into a PulseAudio null sink of ours: real-time, heard by no one.
            if "PULSE_SERVER" not in os.environ and pulse_audio.available():
                self.pulse = pulse_audio.PulseServer([("vendrel_e2e_null", "Vendrel_E2E_Null")])
                self.env["PULSE_SERVER"] = self.pulse.server
            self._ensure_prefix()
            # The first Wine program on a fresh display brings up the wineserver and the
            # desktop; a uiprobe call racing a starting client then stalled for its whole
            # timeout. One call before any client makes later ones quick.
            self.probe("find", MAIN_CLASS, timeout=PREFIX_TIMEOUT)
        except BaseException:
            self.shut_down()
            raise

    def _ensure_prefix(self):
        if not (self.prefix / "system.reg").is_file():
            self.prefix.mkdir(parents=True, exist_ok=True)
            subprocess.run(["wineboot", "-i"], env=self.env, timeout=PREFIX_TIMEOUT,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, check=True)
        # Wine links the user's desktop to the Linux home folder; what an installer puts on the
        # desktop must stay inside the prefix.
        for desktop in (self.drive_c / "users").glob("*/Desktop"):
            if desktop.is_symlink():
                desktop.unlink()
                desktop.mkdir()

    def probe(self, *args, check=True, timeout=PROBE_TIMEOUT):
        """Runs uiprobe with args and returns its last JSON line (None when it printed none)."""
        # Under load Wine has now and then lost the whole output of a console program that
        # ended well, or ended it with an exit code uiprobe never returns (1, nothing on either
        # stream); a command that only reads is simply asked again.
        for _ in range(3 if args[0] in READ_ONLY_PROBES else 1):
            # No inherited standard input: a console program under Wine must not wait on it.
            done = subprocess.run(["wine", str(self.uiprobe), *map(str, args)], env=self.env,
                                  stdin=subprocess.DEVNULL, capture_output=True,
                                  timeout=timeout)
            lines = done.stdout.decode("utf-8").splitlines()
            if lines or done.returncode in UIPROBE_FAILURES:
                break
        if check and done.returncode != 0:
            raise RuntimeError(f"uiprobe {' '.join(map(str, args))} failed "
                               f"({done.returncode}): {done.stderr.decode(errors='replace')}")
        return json.loads(lines[-1]) if lines else None

    def screenshot(self, name):
        target = self.artifacts / (re.sub(r"[^\w.-]+", "_", name) + ".png")
        subprocess.run(["import", "-window", "root", str(target)], env=self.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)

    def press(self, window, *keys, typed=False):
        """Sends X key names (xdotool syntax, e.g. "alt+F4"), or with typed the text given
        (xdotool maps the characters the keyboard lacks), to a top-level window."""
        subprocess.run(["xdotool", "windowfocus", "--sync", str(window["xid"])], env=self.env,
                       timeout=30, check=True)
        subprocess.run(["xdotool", "type" if typed else "key", "--clearmodifiers", "--delay",
                        "50", *keys], env=self.env, timeout=30, check=True)

    def focused(self, window):
        """The focused control of the window's thread (hwnd, class, text, parent) or None."""
        return self.probe("focus", window["hwnd"])["focus"]

    def kill_wine(self):
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def shut_down(self):
        # The wineserver goes first: Wine processes would fail with the display gone.
        try:
            subprocess.run(["wineserver", "-w"], env=self.env, timeout=TIMEOUT,
                           stdin=subprocess.DEVNULL)
        except subprocess.TimeoutExpired:
            self.kill_wine()
        if self.pulse is not None:
            self.pulse.stop()
            self.pulse = None


class Client:
    """One run of vendrel.exe, started through `uiprobe run`."""

    def __init__(self, session, appdata, environment=None, exe=None, show=None):
        """appdata: the Windows path given as APPDATA (None: unset); environment: variables
        set inside Windows; exe: another vendrel.exe, a Linux path or a Windows path in a str;
        show: the show command a shortcut would give (3 maximised)."""
        self.session = session
        self.exit_code = None
        args = [str(session.uiprobe), "run"]
        args += ["--unset", "APPDATA"] if appdata is None else ["--set", "APPDATA=" + appdata]
        for name, value in (environment or {}).items():
            args += ["--set", f"{name}={value}"]
        if show is not None:
            args += ["--show", str(show)]
        exe = exe or session.exe
        args += ["--", exe if isinstance(exe, str) else windows_path(exe)]
        self.process = subprocess.Popen(["wine", *args], env=session.env,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL)
        # uiprobe prints {"started": pid} at once, and {"exitCode": n} when the client ends.
        if not select.select([self.process.stdout], [], [], TIMEOUT)[0]:
            raise AssertionError(f"{exe} did not start within {TIMEOUT} s")
        started = json.loads(self.process.stdout.readline() or "{}")
        if "started" not in started:
            raise RuntimeError(f"could not start {exe}: {started}")
        self.pid = started["started"]

    def is_running(self):
        return self.exit_code is None and self.process.poll() is None

    def wait_exit(self, timeout=TIMEOUT):
        """Waits for the client to end and returns its exit code."""
        if self.exit_code is None:
            output = self.process.communicate(timeout=timeout)[0].decode("utf-8")
            self.exit_code = json.loads(output.splitlines()[-1])["exitCode"]
        return self.exit_code

    def main_window(self, title=None):
        """The main window once it is visible (and carries this title)."""
        def find():
            windows = [w for w in self.session.probe("find", MAIN_CLASS) if w["pid"] == self.pid]
            if windows and windows[0]["visible"] and title in (None, windows[0]["title"]):
                return windows[0]
        return wait_for(find, TIMEOUT, f"the main window of pid {self.pid} ({title})")

    def children(self, window):
        return self.session.probe("tree", window["hwnd"])["children"]

    def _dialogs(self):
        return self.session.probe("dialogs", self.pid, timeout=POLL_PROBE_TIMEOUT)

    def wait_dialog(self, title=None, timeout=TIMEOUT):
        """A dialog of the client (the first, or the one with this title)."""
        def find():
            found = [d for d in self._dialogs() if title in (None, d["window"]["title"])]
            return found[0] if found else None
        return wait_for(find, timeout, f"a dialog titled {title!r} of pid {self.pid}")

    connection_dialog = wait_dialog  # which comes right after the main window is created

    def answer(self, dialog, button):
        self.session.probe("click", dialog["window"]["hwnd"], button)

    def wait_no_dialog(self):
        wait_for(lambda: not self.is_running() or not self._dialogs(), TIMEOUT,
                 "the dialog to close")

    def close(self, window, confirm=IDYES):
        """Closes the main window, answers its confirmation box with the button id confirm
        (with None no box may come), and returns the exit code."""
        self.session.probe("close", window["hwnd"])
        if confirm is not None:
            self.answer(self.wait_dialog(window["title"]), confirm)
        return self.wait_exit()

    def cancel_connection_dialog(self):
        """Closes the connection dialog as its close box does, which ends the program;
        returns the exit code."""
        self.session.probe("close", self.connection_dialog()["window"]["hwnd"])
        return self.wait_exit()

    def connect(self):
        """Fills the connection dialog's fields directly and presses Connect."""
        dialog = self.connection_dialog()
        edits = {edit["id"]: edit["hwnd"] for edit in dialog["edits"]}
        self.session.probe("settext", edits[IDC_CONN_LOGIN], LOUNGE_LOGIN)
        self.session.probe("settext", edits[IDC_CONN_PASSWORD], LOUNGE_PASSWORD)
        self.answer(dialog, IDOK)

    def stop(self):
        """Ends whatever is left of this run (after a failure)."""
        if self.is_running():
            self.session.kill_wine()
        try:
            self.process.wait(timeout=TIMEOUT)
        finally:
            self.process.stdout.close()


class ClientTestCase(unittest.TestCase):
    """Gives each test a fresh user folder C:\\e2e\\<folder>\\Roaming and cleans up after it."""

    session = None

    @classmethod
    def setUpClass(cls):
        if ClientTestCase.session is None:
            ClientTestCase.session = Session()
            atexit.register(ClientTestCase.session.shut_down)

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
        root = self.session.drive_c / "e2e" / folder
        shutil.rmtree(root, ignore_errors=True)
        (root / "Roaming").mkdir(parents=True)
        return f"C:\\e2e\\{folder}\\Roaming", root / "Roaming"

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
        settings = {
            "servers.default": "1",
            "servers[1].name": LOUNGE_NAME,
            "servers[1].host": "127.0.0.1",
            "servers[1].port": str(lounge.port),
            "servers[1].protocol": "131072",
            "servers[1].http.host": f"127.0.0.1:{lounge.web.port}",
            "servers[1].http.basedir": "/autodl/",
            **(extra or {}),
        }
        (roaming / "TORV").mkdir(exist_ok=True)
        (roaming / "TORV" / "config.ini").write_bytes(
            "".join(f"{key}={value}\r\n" for key, value in settings.items()).encode("utf-8"))

    def connect_to_lounge(self, lounge=None, extra=None, environment=None, exe=None):
        """Starts the client (exe, or the build's) with the lounge as its default server and
        logs in as demo. Returns (client, logged-in main window, lounge session, roaming)."""
        lounge = lounge or self.start_lounge()
        appdata, roaming = self.fresh_appdata()
        self.write_lounge_config(roaming, lounge, extra)
        client = self.start_client(appdata, environment, exe)
        client.connect()
        window = client.main_window(f"Vendrel - {LOUNGE_NAME} - {LOUNGE_LOGIN}")
        session = lounge.next_session(timeout=TIMEOUT)
        self.assertIsNotNone(session, "the lounge saw no connection")
        return client, window, session, roaming


def read_lines(path):
    return path.read_bytes().decode("utf-8").splitlines()


def read_ini(path):
    """(key, value) pairs in file order; comments and blank lines skipped."""
    lines = [line for line in read_lines(path) if not line.startswith(";") and "=" in line]
    return [tuple(line.split("=", 1)) for line in lines]
