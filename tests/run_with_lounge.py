#!/usr/bin/env python3
"""Runs a test program beside a lounge server on loopback, on free ports it finds in the
environment (VENDREL_LOUNGE_GAME, VENDREL_LOUNGE_WEB, VENDREL_LOUNGE_CONTROL and
VENDREL_LOUNGE_WEB_ROOT, the folder the web host serves). A program that ends in .exe is run
under Wine and gets the folder as a Windows path."""
import json
import os
import pathlib
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parent.parent


def main() -> int:
    command = sys.argv[1:]
    if not command:
        print("usage: run_with_lounge.py PROGRAM [ARGS...]", file=sys.stderr)
        return 2
    with tempfile.TemporaryDirectory(prefix="vendrel-lounge-") as web_root:
        lounge = subprocess.Popen(
            [sys.executable, str(ROOT / "tools/lounge/lounge.py"), "--port", "0",
             "--web-port", "0", "--control-port", "0", "--web-root", web_root,
             "--max-seconds", "1200"],
            stdout=subprocess.PIPE, stdin=subprocess.DEVNULL, text=True)
        try:
            ready = json.loads(lounge.stdout.readline())
            env = dict(os.environ, VENDREL_LOUNGE_GAME=str(ready["game"]),
                       VENDREL_LOUNGE_WEB=str(ready["web"]),
                       VENDREL_LOUNGE_CONTROL=str(ready["control"]),
                       VENDREL_LOUNGE_WEB_ROOT=web_root)
            if command[0].lower().endswith(".exe"):
                env["VENDREL_LOUNGE_WEB_ROOT"] = "Z:" + web_root.replace("/", "\\")
                env.setdefault("WINEDEBUG", "-all")
                command = ["wine"] + command
            return subprocess.run(command, env=env, stdin=subprocess.DEVNULL).returncode
        finally:
            lounge.terminate()
            lounge.wait(timeout=10)


if __name__ == "__main__":
    sys.exit(main())
