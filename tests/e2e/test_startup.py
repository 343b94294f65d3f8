"""Start-up of the real client, seen from outside: the show command a shortcut gives, a user
folder with accents, and a start without APPDATA. The order of start-up steps is the unit
tests' (StartUpTest); the layout and the confirmation on closing are test_playable's."""

import shutil
import unittest

from harness import IDOK, VERSION_TEXT, ClientTestCase, read_ini, read_lines


class StartUpTest(ClientTestCase):

    def test_first_start_maximised_in_a_user_folder_with_accents(self):
        appdata, roaming = self.fresh_appdata("Jérôme")
        client = self.start_client(appdata, show=3)  # SW_SHOWMAXIMIZED, as a shortcut asks
        client.connection_dialog()
        window = client.main_window()
        self.assertEqual(window["title"], f"Vendrel {VERSION_TEXT}")
        ws_maximize = 0x01000000
        self.assertTrue(window["style"] & ws_maximize)
        self.assertEqual(client.cancel_connection_dialog(), 0)
        lines = read_lines(roaming / "TORV" / "debug.txt")
        self.assertIn(f"UserDir: {appdata}\\TORV\\", lines)
        self.assertIn(("user.confirmOnExit", "true"), read_ini(roaming / "TORV" / "config.ini"))

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
