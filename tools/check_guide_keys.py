#!/usr/bin/env python3
"""Fails when the keys table of a player's guide and the main window's accelerator table differ:
a key in one and not in the other, or a key that does something else. Players learn the keys
from the guide, so a key added to resources/vendrel.rc must reach guide/*.html.in in the same
change, in every language.

The guide's table is the one with id "main-window-keys". Each row names its keys in the first
cell, separated by commas ("Ctrl+F6", "Alt+L, Alt+M"), in the guide's own language, and gives
their commands in its data-command attribute: the names of resources/resource.h or numbers,
one for the whole row or one per key, in the same order.

Usage: check_guide_keys.py [REPOSITORY]"""

import html.parser
import pathlib
import re
import sys

# The names a guide gives to modifiers and keys, by language; letters, digits and F1 to F12
# are written the same everywhere.
KEY_NAMES = {
    "english": {
        "modifiers": {"ctrl": "CONTROL", "shift": "SHIFT", "alt": "ALT"},
        "keys": {"enter": "VK_RETURN", "space": "VK_SPACE", "left arrow": "VK_LEFT",
                 "right arrow": "VK_RIGHT", "up arrow": "VK_UP", "down arrow": "VK_DOWN",
                 "delete": "VK_DELETE", "escape": "VK_ESCAPE", "tab": "VK_TAB"},
    },
    "french": {
        "modifiers": {"ctrl": "CONTROL", "maj": "SHIFT", "alt": "ALT"},
        "keys": {"entrée": "VK_RETURN", "espace": "VK_SPACE", "flèche gauche": "VK_LEFT",
                 "flèche droite": "VK_RIGHT", "flèche haut": "VK_UP", "flèche bas": "VK_DOWN",
                 "suppr": "VK_DELETE", "échap": "VK_ESCAPE", "tab": "VK_TAB"},
    },
}
MODIFIER_ORDER = ("CONTROL", "SHIFT", "ALT")
ENGLISH_NAMES = {"CONTROL": "Ctrl", "SHIFT": "Shift", "ALT": "Alt"}


def key_text(key, modifiers):
    """A key as the English guide writes it, for messages."""
    english = {code: name.title() for name, code in KEY_NAMES["english"]["keys"].items()}
    name = english.get(key, key[3:] if key.startswith("VK_") else key)
    return "+".join([ENGLISH_NAMES[m] for m in MODIFIER_ORDER if m in modifiers] + [name])


def command_ids(resource_h):
    ids = {}
    for match in re.finditer(r"^#define\s+(\w+)\s+(\d+)", resource_h, re.MULTILINE):
        ids[match.group(1)] = int(match.group(2))
    return ids


def command_number(name, ids):
    if name.isdigit():
        return int(name)
    if name not in ids:
        raise ValueError(f"unknown command {name}")
    return ids[name]


def accelerators(rc, ids):
    """{(key, modifiers): command} of the "accel" table; a key is VK_x or a letter or digit."""
    table = re.search(r"^accel\s+ACCELERATORS\s*\nBEGIN\n(.*?)^END", rc, re.MULTILINE | re.DOTALL)
    if not table:
        raise ValueError("no accel ACCELERATORS table")
    result = {}
    for line in table.group(1).splitlines():
        line = line.split("//")[0].strip()
        if not line:
            continue
        fields = [field.strip() for field in line.split(",")]
        key = fields[0].strip('"')
        flags = set(fields[2:])
        if "VIRTKEY" not in flags:
            raise ValueError(f"not a virtual key: {line}")
        modifiers = frozenset(flags & set(MODIFIER_ORDER))
        result[(key, modifiers)] = command_number(fields[1], ids)
    return result


class KeysTable(html.parser.HTMLParser):
    """Collects (first cell text, data-command) of the rows of table#main-window-keys."""

    def __init__(self):
        super().__init__()
        self.rows = []
        self._depth = 0  # inside the table: nesting of tables
        self._command = None
        self._cell = None
        self._cells = 0

    def handle_starttag(self, tag, attrs):
        attributes = dict(attrs)
        if tag == "table" and (self._depth or attributes.get("id") == "main-window-keys"):
            self._depth += 1
        elif self._depth and tag == "tr":
            self._command = attributes.get("data-command")
            self._cells = 0
        elif self._depth and tag == "td":
            self._cells += 1
            if self._cells == 1:
                self._cell = ""

    def handle_endtag(self, tag):
        if tag == "table" and self._depth:
            self._depth -= 1
        elif self._depth and tag == "td" and self._cell is not None:
            self.rows.append((self._cell.strip(), self._command))
            self._cell = None

    def handle_data(self, data):
        if self._cell is not None:
            self._cell += data


def parse_key(text, names):
    """("VK_x" or letter, modifiers) of a key written as the guide writes it."""
    parts = [part.strip() for part in text.split("+")]
    modifiers = set()
    for part in parts[:-1]:
        modifier = names["modifiers"].get(part.lower())
        if modifier is None:
            raise ValueError(f"unknown modifier {part!r} in {text!r}")
        modifiers.add(modifier)
    name = parts[-1]
    if re.fullmatch(r"F([1-9]|1[0-2])", name):
        key = "VK_" + name
    elif re.fullmatch(r"[A-Z0-9]", name):
        key = name
    elif name.lower() in names["keys"]:
        key = names["keys"][name.lower()]
    else:
        raise ValueError(f"unknown key {name!r} in {text!r}")
    return key, frozenset(modifiers)


def guide_keys(text, language, ids):
    parser = KeysTable()
    parser.feed(text)
    if not parser.rows:
        raise ValueError("no rows in table#main-window-keys")
    result = {}
    for cell, command in parser.rows:
        if not command:
            raise ValueError(f"row {cell!r} has no data-command")
        keys = [parse_key(key, KEY_NAMES[language]) for key in cell.split(",")]
        commands = [command_number(name, ids) for name in command.split()]
        if len(commands) == 1:
            commands *= len(keys)
        if len(commands) != len(keys):
            raise ValueError(f"row {cell!r}: {len(keys)} keys but {len(commands)} commands")
        for key, number in zip(keys, commands):
            if key in result:
                raise ValueError(f"{key_text(*key)} is listed twice")
            result[key] = number
    return result


def differences(program, guide):
    """Sentences naming each key that differs; empty when the tables agree."""
    problems = []
    for key in sorted(program.keys() | guide.keys(), key=lambda k: key_text(*k)):
        if key not in guide:
            problems.append(f"{key_text(*key)} (command {program[key]}) is missing")
        elif key not in program:
            problems.append(f"{key_text(*key)} is not a key of the program")
        elif program[key] != guide[key]:
            problems.append(f"{key_text(*key)} runs command {program[key]}, "
                            f"the guide says {guide[key]}")
    return problems


def main(root):
    root = pathlib.Path(root)
    ids = command_ids((root / "resources/resource.h").read_text(encoding="utf-8"))
    program = accelerators((root / "resources/vendrel.rc").read_text(encoding="utf-8"), ids)
    failed = False
    for language in KEY_NAMES:
        path = root / "guide" / f"{language}.html.in"
        try:
            problems = differences(program, guide_keys(path.read_text(encoding="utf-8"),
                                                       language, ids))
        except ValueError as error:
            problems = [str(error)]
        for problem in problems:
            print(f"{path}: {problem}", file=sys.stderr)
        failed = failed or bool(problems)
    if not failed:
        print(f"guides agree with the {len(program)} accelerators of resources/vendrel.rc")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parents[1]))
