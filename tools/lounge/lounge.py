#!/usr/bin/env python3
"""The Vendrel lounge: a small game-lounge server for tests and demos.

    python3 tools/lounge/lounge.py --demo
    python3 tools/lounge/lounge.py --port 0 --web-port 0 --control-port 0 \\
        --scenario login.scn --log frames.jsonl --exit-when-done

Python standard library only. See README.md beside this file.
"""

import argparse
import json
import os
import signal
import sys
import threading

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from lounge_login import DEFAULT_ACCOUNTS, parse_account  # noqa: E402
from lounge_scenario import ScenarioError  # noqa: E402
from lounge_server import LoungeServer  # noqa: E402


def build_parser():
    parser = argparse.ArgumentParser(description="Vendrel lounge server (loopback only)")
    parser.add_argument("--host", default="127.0.0.1", help="loopback address to bind")
    parser.add_argument("--port", type=int, default=1321, help="game port (0: any free port)")
    parser.add_argument("--web-port", type=int, default=1380,
                        help="web host port for downloads (0: any free port, -1: off)")
    parser.add_argument("--web-root", help="folder served by the web host")
    parser.add_argument("--web-prefix", default="/autodl/",
                        help="URL folder the files are served under")
    parser.add_argument("--control-port", type=int, default=-1,
                        help="line-based control port (0: any free port, -1: off)")
    parser.add_argument("--scenario", help="scenario file with the connection plans")
    parser.add_argument("--log", help="JSON-lines file that receives every event")
    parser.add_argument("--demo", action="store_true",
                        help="run the demo lounge for connections without a plan")
    parser.add_argument("--account", action="append", default=[], metavar="NAME:PASSWORD",
                        help="add an account (repeatable)")
    parser.add_argument("--no-default-accounts", action="store_true",
                        help="do not include demo/demo1234 and guest/guest123")
    parser.add_argument("--exit-when-done", action="store_true",
                        help="exit once every planned connection has ended "
                             "(exit code 1 when an expectation failed)")
    parser.add_argument("--max-seconds", type=float,
                        help="stop after this many seconds whatever happens")
    parser.add_argument("--tls-cert", metavar="PEM",
                        help="serve TLS on the game port and the web host with this "
                             "certificate chain (server first)")
    parser.add_argument("--tls-key", metavar="PEM", help="the private key of --tls-cert")
    return parser


def make_server(args):
    accounts = {} if args.no_default_accounts else dict(DEFAULT_ACCOUNTS)
    for text in args.account:
        name, password = parse_account(text)
        accounts[name] = password
    server = LoungeServer(
        host=args.host, port=args.port,
        web_port=None if args.web_port < 0 else args.web_port,
        web_root=args.web_root, web_prefix=args.web_prefix,
        control_port=None if args.control_port < 0 else args.control_port,
        log_path=args.log, accounts=accounts, demo=args.demo,
        tls_cert=args.tls_cert, tls_key=args.tls_key)
    if args.scenario:
        with open(args.scenario, encoding="utf-8") as handle:
            server.load_script(handle.read())
    return server


def main(argv=None):
    args = build_parser().parse_args(argv)
    try:
        server = make_server(args)
    except (OSError, ValueError, ScenarioError) as err:
        print("lounge: %s" % err, file=sys.stderr)
        return 2
    server.start()
    # One line that a test harness in any language can parse for the ports.
    print(json.dumps({"event": "ready", "host": args.host, "game": server.port,
                      "web": server.web.port if server.web else None,
                      "control": server.control.port if server.control else None}),
          flush=True)
    if not args.exit_when_done and args.max_seconds is None:
        print("Lounge on %s:%d; press Ctrl+C to stop." % (args.host, server.port),
              file=sys.stderr, flush=True)
    stopped = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stopped.set())
    try:
        _wait(server, args, stopped)
    except KeyboardInterrupt:
        pass
    server.stop()
    if server.mismatches:
        print("lounge: %d expectation(s) failed" % len(server.mismatches), file=sys.stderr)
        return 1
    return 0


def _wait(server, args, stopped):
    if args.exit_when_done:
        threading.Thread(target=lambda: (server.wait_scripts_done(), stopped.set()),
                         daemon=True).start()
    # Short waits keep Ctrl+C responsive and notice a shutdown command.
    remaining = args.max_seconds
    while not stopped.is_set() and not server.is_stopping:
        step = 0.2 if remaining is None else min(0.2, remaining)
        if stopped.wait(step) or remaining is None:
            continue
        remaining -= step
        if remaining <= 0:
            server.log("max_seconds_reached")
            break


if __name__ == "__main__":
    sys.exit(main())
