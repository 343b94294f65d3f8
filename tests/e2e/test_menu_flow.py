"""Server menus changing under the player's eyes, the Tab ring, the chat line's recall and a
message box that holds the server's later commands: what the list box, the focus and the
history pane show, read from outside."""

import unittest

from harness import IDOK, ClientTestCase, wait_for
from test_playable import ITEMS, MENU_ID, SEP, TEXT_TIMEOUT, box_command, menu_command

TYPE_AHEAD_ONLY = 2


class MenuFlowTest(ClientTestCase):

    def setUp(self):
        super().setUp()
        self.lounge = self.start_lounge()

    def control(self, client, window, class_name):
        return [c for c in client.children(window) if c["class"].lower() == class_name.lower()][0]

    def wait_items(self, list_hwnd, labels, what):
        wait_for(lambda: self.session.probe("list", list_hwnd)["items"] == labels, TEXT_TIMEOUT,
                 what)

    def next_text(self, session):
        while True:
            frame = session.next_frame({"text"}, TEXT_TIMEOUT)
            self.assertIsNotNone(frame, "the client sent nothing more")
            text = frame.payload.decode("utf-8")
            if not text.startswith("key "):
                return text

    def test_menus_tab_ring_chat_recall_and_a_blocking_box(self):
        # One client for the three, as each start costs seconds under Wine.
        client, window, session, _, _ = self.connect_to_lounge(self.lounge)
        menu_list = self.control(client, window, "ListBox")["hwnd"]
        labels = [text for text, _ in ITEMS]
        session.send_text(menu_command(MENU_ID, ITEMS))
        self.wait_items(menu_list, labels, "the first menu")

        # A second menu goes on top; closing it by id shows the first again.
        session.send_text(menu_command(8, [("One", "1"), ("Two", "2")]))
        self.wait_items(menu_list, ["One", "Two"], "the menu on top")
        session.send_text("mcls 8")
        self.wait_items(menu_list, labels, "the first menu again after mcls 8")

        # An update of the shown menu replaces its items in place.
        session.send_text(menu_command(MENU_ID, [("Echo", "e"), ("Foxtrot", "f")])
                          .replace("menu ", "mupd ", 1))
        self.wait_items(menu_list, ["Echo", "Foxtrot"], "the updated menu")

        # mcls 0 closes every menu.
        session.send_text("mcls 0")
        self.wait_items(menu_list, [], "an empty list after mcls 0")

        # A menu that does not ask to stay open is gone after the player's choice.
        session.send_text(menu_command(9, ITEMS, flags=TYPE_AHEAD_ONLY))
        self.wait_items(menu_list, labels, "the menu without keep-open")
        self.session.press(window, "Down", "Return")
        self.assertEqual(self.next_text(session), f"msel 9{SEP}1{SEP}bravo")
        self.wait_items(menu_list, [], "the chosen menu to close")

        session.send_text(menu_command(MENU_ID, ITEMS))
        self.wait_items(menu_list, labels, "the menu again")
        wait_for(lambda: self.session.focused(window)["hwnd"] == menu_list, TEXT_TIMEOUT,
                 "the list box to have the focus")

        # List box -> chat line -> history pane -> list box.
        for expected in ("Edit", "RichEdit20W", "ListBox"):
            self.session.press(window, "Tab")
            wait_for(lambda: self.session.focused(window)["class"].lower() == expected.lower(),
                     TEXT_TIMEOUT, f"Tab to reach the {expected}")

        self.session.press(window, "Tab")  # to the chat line
        wait_for(lambda: self.session.focused(window)["class"].lower() == "edit", TEXT_TIMEOUT,
                 "the chat line")
        self.session.type_text(window, "hello there")
        self.session.press(window, "Return")
        self.assertEqual(self.next_text(session), "chat hello there")
        wait_for(lambda: self.chat_text(client, window) == "", TEXT_TIMEOUT,
                 "the chat line emptied after sending")
        self.session.press(window, "Up")
        wait_for(lambda: self.chat_text(client, window) == "hello there", TEXT_TIMEOUT,
                 "Up to recall the line")

        # A blocking message box holds the server's later commands.
        session.send_text(box_command("msbm", 4, "Wait", "Read this first.", "0"))
        session.send_text("say1 after the box")
        box = client.wait_dialog("Wait")
        # While the box is open the line has not been added.
        self.assertNotIn("after the box", self.history_text(client, window))
        client.answer(box, IDOK)
        self.assertEqual(self.next_text(session), f"msgb 4{SEP}1")
        wait_for(lambda: "after the box" in self.history_text(client, window), TEXT_TIMEOUT,
                 "the held line after the box closed")

    def chat_text(self, client, window):
        return self.control(client, window, "Edit")["text"]

    def history_text(self, client, window):
        return self.control(client, window, "RichEdit20W")["text"]


if __name__ == "__main__":
    unittest.main()
