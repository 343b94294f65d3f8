"""Demo mode: a tiny lounge a newcomer can walk through with the client.
It uses only the commands the client understands: menus (menu, mcls), history
lines (say), sounds (play), an input box (inbx), a message box (msgb), the
Connect Four move request (cn4m) and quit."""

import threading

from lounge_connect4 import (COLUMNS, EMPTY, LOUNGE, PLAYER, describe_board, drop,
                             has_four, is_full, lounge_move, position_text)

SEP = "\x7f"

MAIN_MENU, CHAT_MENU, SOUND_MENU, GAME_MENU = 1, 2, 3, 4
NICK_BOX, QUIT_BOX, MOVE_ANSWER = 1, 2, 28

# History channels of the client's default presentation: 0 is bold and
# always spoken, 1 plain information, 3 chat.
CH_ALERT, CH_INFO, CH_CHAT = 0, 1, 3

DEFAULT_SOUNDS = ("welcome", "connecting", "connected", "menubounds", "menuchecked",
                  "menuunchecked")
MOVE_DEPTH = 4
MAX_NICK = 24

FLAGS_KEEP_OPEN_TYPE_AHEAD = 1 | 2


def menu_text(menu_id, items, selection=0, flags=FLAGS_KEEP_OPEN_TYPE_AHEAD):
    """items: (text, key, sound) triples. Empty fields cannot travel, so
    "null" stands for a missing key or sound."""
    fields = [str(menu_id), "1", str(len(items)), str(selection), str(flags), "x"]
    for text, key, sound in items:
        fields += [text, key or "null", sound or "null", "null"]
    return "menu " + SEP.join(fields)


class Player:
    def __init__(self, session):
        self.session = session
        self.board = [EMPTY] * (COLUMNS * 6)
        self.waiting_for_move = False

    @property
    def nick(self):
        return self.session.nickname

    def send(self, text):
        self.session.send_text(text)

    def say(self, text, channel=CH_INFO):
        self.send("say%d %s" % (channel, text))


class DemoLounge:
    """Shared by every demo connection of one server (the chat room is)."""

    def __init__(self, server):
        self.server = server
        self._lock = threading.Lock()
        self._in_chat = []

    def run(self, session):
        player = Player(session)
        player.say("Welcome to the Vendrel demo lounge, %s!" % player.nick, CH_ALERT)
        self._main_menu(player)
        while True:
            frame = session.next_frame({"text"}, None)
            if frame is None:
                break
            text = frame.payload.decode("utf-8", "replace")
            if text == "quit":
                session.log("demo", note="client quit")
                session.drop(quiet=True)
                break
            self._dispatch(player, text)
        self._leave_chat(player, quietly=True)

    def _dispatch(self, player, text):
        word, _, rest = text.partition(" ")
        handler = {"msel": self._on_select, "chat": self._on_chat, "inbx": self._on_input,
                   "msgb": self._on_message_box, "key": self._on_key,
                   "mkey": self._on_key}.get(word)
        if handler is None:
            player.session.log("demo", note="ignored", text=text)
            return
        handler(player, rest)

    # --- menus ---------------------------------------------------------------

    def _main_menu(self, player):
        player.send(menu_text(MAIN_MENU, [
            ("Chat room", "chat", None),
            ("Sound test", "sounds", None),
            ("Choose a nickname", "nick", None),
            ("Connect Four", "connect4", None),
            ("Quit", "quit", None),
        ]))

    def _on_select(self, player, rest):
        fields = rest.split(SEP)
        menu_id, key = _number(fields[0]), fields[2] if len(fields) > 2 else ""
        cancelled = len(fields) > 1 and fields[1] == "-1"
        handlers = {MAIN_MENU: self._main_choice, CHAT_MENU: self._chat_choice,
                    SOUND_MENU: self._sound_choice, GAME_MENU: self._game_choice}
        if menu_id in handlers:
            handlers[menu_id](player, "back" if cancelled else key)

    def _main_choice(self, player, key):
        if key == "chat":
            self._enter_chat(player)
        elif key == "sounds":
            items = [(name, name, name) for name in DEFAULT_SOUNDS] + [("Back", "back", None)]
            player.send(menu_text(SOUND_MENU, items))
            player.say("Move through the list to hear each sound; Enter plays it again.")
        elif key == "nick":
            player.send("inbx %d%sNickname%sChoose a nickname:%s%s"
                        % (NICK_BOX, SEP, SEP, SEP, player.nick))
        elif key == "connect4":
            self._open_game(player)
        elif key == "quit":
            player.send("msgb %d%sQuit%sDo you really want to leave the lounge?%s36"
                        % (QUIT_BOX, SEP, SEP, SEP))

    def _sound_choice(self, player, key):
        if key in DEFAULT_SOUNDS:
            player.send("play-1 %s" % key)
        elif key == "back":
            player.send("mcls %d" % SOUND_MENU)

    # --- chat room -------------------------------------------------------------

    def _enter_chat(self, player):
        with self._lock:
            if player not in self._in_chat:
                self._in_chat.append(player)
        player.send(menu_text(CHAT_MENU, [("Who is here", "who", None),
                                          ("Leave the chat room", "back", None)]))
        player.say("You are in the chat room. Type in the chat line and press Enter to talk.")
        self._broadcast("%s entered the chat room." % player.nick)

    def _chat_choice(self, player, key):
        if key == "who":
            with self._lock:
                names = [p.nick for p in self._in_chat]
            player.say("In the chat room: %s." % ", ".join(names))
        elif key == "back":
            self._leave_chat(player)
            player.send("mcls %d" % CHAT_MENU)

    def _leave_chat(self, player, quietly=False):
        with self._lock:
            if player not in self._in_chat:
                return
            self._in_chat.remove(player)
        if not quietly:
            player.say("You left the chat room.")
        self._broadcast("%s left the chat room." % player.nick)

    def _on_chat(self, player, text):
        with self._lock:
            inside = player in self._in_chat
        if not inside:
            player.say("Enter the chat room from the main menu to talk.")
            return
        self._broadcast("%s: %s" % (player.nick, text), CH_CHAT)

    def _broadcast(self, text, channel=CH_INFO):
        with self._lock:
            members = list(self._in_chat)
        for member in members:
            member.say(text, channel)

    # --- boxes and keys ----------------------------------------------------------

    def _on_input(self, player, rest):
        box, _, answer = rest.partition(SEP)
        box = _number(box)
        if box == NICK_BOX:
            self._set_nick(player, answer)
        elif box == MOVE_ANSWER and player.waiting_for_move:
            player.waiting_for_move = False
            self._client_move(player, answer)

    def _set_nick(self, player, answer):
        nick = " ".join(answer.split())
        if not nick or len(nick) > MAX_NICK or any(ord(c) < 32 or ord(c) == 127 for c in nick):
            player.say("A nickname has 1 to %d characters; yours stays %s." % (MAX_NICK, player.nick))
            return
        old, player.session.nickname = player.nick, nick
        player.say("Your nickname is now %s." % nick)
        with self._lock:
            chatting = player in self._in_chat
        if chatting:
            self._broadcast("%s is now called %s." % (old, nick))

    def _on_message_box(self, player, rest):
        box, _, result = rest.partition(SEP)
        if _number(box) == QUIT_BOX and _number(result) == 6:  # Yes
            player.say("Goodbye, %s!" % player.nick, CH_ALERT)
            player.send("quit")

    def _on_key(self, player, rest):
        player.say("The lounge received key %s." % rest.split(SEP)[0])

    # --- Connect Four -----------------------------------------------------------

    def _open_game(self, player):
        self._game_menu(player, 0)
        player.say("Connect Four. Your pieces are X, the lounge plays O. Choose a column, "
                   "or let your client choose a move.")
        player.say(describe_board(player.board))

    def _game_menu(self, player, selection):
        items = []
        for x in range(COLUMNS):
            full = player.board[x + COLUMNS * 5] != EMPTY
            items.append(("Column %d%s" % (x + 1, " (full)" if full else ""), "c%d" % x, None))
        items += [("Let my client choose a move", "auto", None), ("New game", "new", None),
                  ("Back", "back", None)]
        player.send(menu_text(GAME_MENU, items, selection))

    def _game_choice(self, player, key):
        if key == "back":
            player.send("mcls %d" % GAME_MENU)
        elif key == "new":
            player.board = [EMPTY] * (COLUMNS * 6)
            self._open_game(player)
        elif key == "auto":
            player.waiting_for_move = True
            player.send("cn4m 0 0 %d %s" % (MOVE_DEPTH, position_text(player.board)))
        elif key.startswith("c") and key[1:].isdigit():
            self._play_round(player, int(key[1:]))

    def _client_move(self, player, answer):
        column = _number(answer)
        if not 0 <= column < COLUMNS:
            player.say("Your client found no move (it answered %s)." % answer)
            return
        player.say("Your client chose column %d." % (column + 1))
        self._play_round(player, column)

    def _play_round(self, player, column):
        if has_four(player.board) or is_full(player.board):
            player.say("This game is over; choose New game.")
            return
        if drop(player.board, column, PLAYER) is None:
            player.send("play-1 menubounds")
            player.say("Column %d is full." % (column + 1))
            return
        if not self._game_ended(player, "You win!"):
            reply = lounge_move(player.board)
            drop(player.board, reply, LOUNGE)
            player.say("The lounge drops its piece in column %d." % (reply + 1))
            if not self._game_ended(player, "The lounge wins."):
                player.say(describe_board(player.board))
        self._game_menu(player, column)

    def _game_ended(self, player, winner_text):
        if has_four(player.board):
            player.say(describe_board(player.board))
            player.say(winner_text + " Choose New game to play again.", CH_ALERT)
            return True
        if is_full(player.board):
            player.say("The board is full: a draw.", CH_ALERT)
            return True
        return False


def _number(text):
    try:
        return int(text.strip())
    except ValueError:
        return -1
