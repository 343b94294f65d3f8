"""Start-up, main window and shutdown of the real client, seen from outside: the show command
a shortcut gives, a user folder with accents, the window laid out again when resized, the
confirmation on closing, and a start without APPDATA. The order of start-up steps, the layout's
figures and the settings' rules are the unit tests' (StartUpTest, MainLayout, ConfigFileTest);
every test here starts from a config.ini it wrote, and finds the settings saved."""

import shutil
import unittest

from harness import IDNO, IDOK, REPO, VERSION, ClientTestCase, read_ini, read_lines, windows_path


def message(key):
    return dict(read_ini(REPO / "lang" / "english.lng"))[key]


class StartUpTest(ClientTestCase):

    def test_first_start_maximised_in_a_user_folder_with_accents(self):
        appdata, roaming = self.fresh_appdata("Jérôme")
        client = self.start_client(appdata, show=3)  # SW_SHOWMAXIMIZED, as a shortcut asks
        client.connection_dialog()
        window = client.main_window()
        self.assertEqual(window["title"], message("winTitle1") % VERSION)
        ws_maximize = 0x01000000
        self.assertTrue(window["style"] & ws_maximize)
        self.assertEqual(client.cancel_connection_dialog(), 0)
        lines = read_lines(roaming / "TORV" / "debug.txt")
        self.assertIn(f"UserDir: {appdata}\\TORV\\", lines)
        self.assertIn(f"AppDir: {windows_path(client.session.exe.parent)}\\".lower(),
                      [line.lower() for line in lines])
        self.assertIn(("user.confirmOnExit", "true"), read_ini(roaming / "TORV" / "config.ini"))

    def test_resize_then_closing_asks_first(self):
        client, window, _, _, _ = self.connect_to_lounge()
        client.session.probe("resize", window["hwnd"], 700, 500)
        resized = client.main_window()
        width, height = resized["client"]["width"], resized["client"]["height"]
        self.assertNotEqual((width, height), (window["client"]["width"],
                                              window["client"]["height"]))
        chat = [c for c in client.children(resized) if c["class"] == "Edit"][0]["rect"]
        self.assertEqual((chat["x"], chat["y"], chat["width"], chat["height"]),
                         (60, height - 45, width - 70, 40))
        # Alt+F4 asks first, and No keeps the window.
        client.session.press(window, "alt+F4")
        box = client.wait_dialog(window["title"])
        self.assertEqual(box["texts"], [message("confirmquit")])
        client.answer(box, IDNO)
        client.wait_no_dialog()
        self.assertEqual(client.main_window()["hwnd"], window["hwnd"])
        self.assertEqual(client.close(window), 0)

    def test_start_without_appdata_is_fatal(self):
        wine_roaming = list((self.session.drive_c / "users").glob("*/AppData/Roaming"))
        self.assertTrue(wine_roaming, "the prefix has no roaming folder")
        for folder in wine_roaming:
            shutil.rmtree(folder / "TORV", ignore_errors=True)
        client = self.start_client(None)
        box = client.wait_dialog("Fatal error")
        self.assertEqual(box["texts"], ["Unable to initialize application environment"])
        client.answer(box, IDOK)
        self.assertEqual(client.wait_exit(), 1)
        for folder in wine_roaming:
            self.assertFalse((folder / "TORV" / "debug.txt").exists())


if __name__ == "__main__":
    unittest.main()
