"""Start-up, main window and shutdown of the real client, seen from outside. Start-up ends in
the connection dialog: tests of start-up and shutdown alone cancel it (which ends the program),
tests of the main loop log in to a lounge of tools/lounge."""

import shutil
import unittest

from harness import (IDNO, IDOK, LOUNGE_LOGIN, LOUNGE_NAME, REPO, VERSION, ClientTestCase,
                     read_ini, read_lines, wait_for, windows_path)

# Start-up lines of debug.txt, in order, each matched by its beginning; other lines may
# stand between them.
START_UP_LINES = [
    "AppDir: ", "UserDir: ", "PATH: ", "Processors: ", "OS version: ",
    "Loading config...", "No config found, fallback to default", "Loading language...",
    "INitializing GUI...", "Creating GUI...", "GUI created OK", "Entering connection dialog",
    "INitializing connection dialog", "Connection dialog Ok", "Exiting connection dialog",
    "Entering app main loop",
]
SHUTDOWN_LINES = ["Exiting app main loop", "Saving config..."]

LBS_NOINTEGRALHEIGHT = 0x100
SS_NOTIFY = 0x100


def message(language, key):
    return dict(read_ini(REPO / "lang" / f"{language}.lng"))[key]


def title_in(language):
    return message(language, "winTitle1") % VERSION


def logged_in_title(language):
    return message(language, "winTitle2") % (LOUNGE_NAME, LOUNGE_LOGIN)


def in_order(lines, expected):
    """The expected line starts that are missing or out of order (empty when all is well)."""
    position = 0
    for start in expected:
        while position < len(lines) and not lines[position].startswith(start):
            position += 1
        if position == len(lines):
            return expected[expected.index(start):]
        position += 1
    return []


def controls(children):
    """The main window's controls by role. The labels are told apart by where they sit and
    by the notify style of the chat label."""
    def of(kind):
        return [c for c in children if c["class"].lower() == kind.lower()]
    statics = of("Static")
    roles = {
        "historyPane": of("RichEdit20W"),
        "chatLine": of("Edit"),
        "menuList": of("ListBox"),
        "historyLabel": [s for s in statics if (s["rect"]["x"], s["rect"]["y"]) == (-200, -200)],
        "chatLabel": [s for s in statics if s["style"] & SS_NOTIFY],
    }
    roles["menuLabel"] = [s for s in statics
                          if s not in roles["historyLabel"] and s not in roles["chatLabel"]]
    for role, found in roles.items():
        if len(found) != 1:
            raise AssertionError(f"expected one {role}, found {found}")
    return {role: found[0] for role, found in roles.items()}


def expected_layout(width, height):
    half = width // 2
    return {
        "historyPane": (10, 10, half - 10, height - 60),
        "menuLabel": (half + 15, 15, half - 20, height - 70),
        "menuList": (half + 10, 10, half - 10, height - 60),
        "chatLabel": (10, height - 45, 50, 40),
        "chatLine": (60, height - 45, width - 70, 40),
        "historyLabel": (-200, -200, 200, 100),
    }


class StartUpTest(ClientTestCase):

    def user_folder(self, roaming):
        return roaming / "TORV"

    def debug_lines(self, roaming, last="Entering app main loop"):
        path = self.user_folder(roaming) / "debug.txt"
        return wait_for(lambda: path.is_file() and last in read_lines(path) and read_lines(path),
                        60, f"{last!r} in {path}")

    def test_first_start_creates_user_folder_and_logs_each_step(self):
        # A user folder with non-ASCII characters, started as a shortcut set to maximised.
        appdata, roaming = self.fresh_appdata("Jérôme")
        self.assertIn("Jérôme", appdata)
        client = self.start_client(appdata, show=3)  # SW_SHOWMAXIMIZED
        client.connection_dialog()
        # The main window stands behind the dialog with the title it has before connecting.
        window = client.main_window()
        self.assertEqual(window["title"], title_in("english"))
        ws_maximize = 0x01000000
        self.assertTrue(window["style"] & ws_maximize)
        self.assertEqual(client.cancel_connection_dialog(), 0)
        lines = read_lines(self.user_folder(roaming) / "debug.txt")
        self.assertEqual(in_order(lines, START_UP_LINES + SHUTDOWN_LINES), [], lines)
        self.assertIn(f"UserDir: {appdata}\\TORV\\", lines)
        self.assertIn(f"AppDir: {windows_path(client.session.exe.parent)}\\".lower(),
                      [line.lower() for line in lines])
        self.assertTrue((self.user_folder(roaming) / "sounds").is_dir())
        self.assertIn(("user.confirmOnExit", "true"),
                      read_ini(self.user_folder(roaming) / "config.ini"))

    def test_main_window_layout_then_a_second_start_reads_the_saved_config_back(self):
        client, window, _, appdata, roaming = self.connect_to_lounge(
            title_format=message("english", "winTitle2"))
        self.assertEqual(window["class"], "VendrelClient21")
        sizes_seen = set()
        for width, height in [(None, None), (700, 500), (1000, 420)]:
            with self.subTest(size=(width, height)):
                if width is not None:
                    client.session.probe("resize", window["hwnd"], width, height)
                resized = client.main_window()
                sizes_seen.add((resized["client"]["width"], resized["client"]["height"]))
                self.check_layout(client, resized)
        self.assertEqual(len(sizes_seen), 3, "the window did not take the new sizes")
        found = controls(client.children(client.main_window()))
        self.assertEqual(found["historyLabel"]["text"], message("english", "history"))
        self.assertEqual(found["chatLabel"]["text"], message("english", "chat"))
        self.assertEqual(found["menuLabel"]["text"], message("english", "menulbl"))
        self.assertEqual(found["historyPane"]["style"], 0x5021B84C)
        self.assertEqual(found["chatLine"]["style"], 0x50010080)
        # Logging in leaves the keyboard in the menu list.
        self.assertTrue(found["menuList"]["focused"], found["menuList"])
        # Alt+F4 asks first, and No keeps the window.
        client.session.press(window, "alt+F4")
        box = client.wait_dialog(window["title"])
        self.assertEqual(box["texts"], [message("english", "confirmquit")])
        client.answer(box, IDNO)
        client.wait_no_dialog()
        self.assertTrue(client.is_running())
        self.assertEqual(client.main_window()["hwnd"], window["hwnd"])
        self.assertEqual(client.close(window), 0)

        config = self.user_folder(roaming) / "config.ini"
        first = read_ini(config)
        self.assertIn(("user.confirmOnExit", "true"), first)
        changed = [(k, "false" if k == "user.confirmOnExit" else v) for k, v in first]
        config.write_bytes("".join(f"{k}={v}\r\n" for k, v in changed).encode("utf-8"))

        client = self.start_client(appdata)
        client.connect()
        window = client.wait_title(logged_in_title("english"))
        lines = self.debug_lines(roaming)
        self.assertNotIn("No config found, fallback to default", lines)
        self.assertEqual(sum(line.startswith("AppDir: ") for line in lines), 1,
                         "debug.txt is emptied at every start")
        # The changed setting took effect: no confirmation this time.
        self.assertEqual(client.close(window, confirm=None), 0)
        self.assertEqual(read_ini(config), changed)

    def check_layout(self, client, window):
        client_size = window["client"]
        found = controls(client.children(window))
        expected = expected_layout(client_size["width"], client_size["height"])
        for role, (x, y, width, height) in expected.items():
            rect = found[role]["rect"]
            actual = (rect["x"], rect["y"], rect["width"], rect["height"])
            if role == "menuList" and not found[role]["style"] & LBS_NOINTEGRALHEIGHT:
                # The list box rounds its height down to whole items.
                item = client.session.probe("list", found[role]["hwnd"])["itemHeight"]
                self.assertEqual(actual[:3], (x, y, width), role)
                self.assertTrue(height - item < actual[3] <= height, (role, actual, height))
            else:
                self.assertEqual(actual, (x, y, width, height), (role, client_size))

    def test_configured_language_names_the_window_and_its_boxes(self):
        lounge = self.start_lounge()
        appdata, roaming = self.fresh_appdata()
        self.write_lounge_config(roaming, lounge, {"user.language": "french"})
        client = self.start_client(appdata)
        dialog = client.connection_dialog()
        self.assertEqual(dialog["window"]["title"], message("french", "connTitle"))
        self.assertEqual(client.main_window()["title"], title_in("french"))
        client.connect()
        window = client.wait_title(logged_in_title("french"))
        torv = self.user_folder(roaming)
        found = controls(client.children(window))
        self.assertEqual(found["historyLabel"]["text"], message("french", "history"))
        self.assertEqual(found["chatLabel"]["text"], message("french", "chat"))
        client.session.probe("close", window["hwnd"])
        box = client.wait_dialog(window["title"])
        self.assertEqual(box["texts"], [message("french", "confirmquit")])
        client.answer(box, IDNO)
        client.wait_no_dialog()
        self.assertEqual(client.close(client.main_window()), 0)
        self.assertIn(("user.language", "french"), read_ini(torv / "config.ini"))

    def test_start_without_usable_appdata_is_fatal(self):
        wine_roaming = list((self.session.drive_c() / "users").glob("*/AppData/Roaming"))
        self.assertTrue(wine_roaming, "the prefix has no roaming folder")
        for name, appdata in [("unset", None), ("empty", "")]:
            with self.subTest(appdata=name):
                for folder in wine_roaming:
                    shutil.rmtree(folder / "TORV", ignore_errors=True)
                client = self.start_client(appdata)
                box = client.wait_dialog("Fatal error")
                self.assertEqual(box["texts"], ["Unable to initialize application environment"])
                windows = client.session.probe("find", "VendrelClient21")
                self.assertEqual([w for w in windows if w["pid"] == client.pid], [])
                client.answer(box, IDOK)
                self.assertEqual(client.wait_exit(), 1)
                for folder in wine_roaming:
                    self.assertFalse((folder / "TORV" / "debug.txt").exists())


if __name__ == "__main__":
    unittest.main()
