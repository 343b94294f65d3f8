"""Encrypted connections, end to end: the lounge serves TLS with certificates made here by
openssl, trusted by this Wine prefix only while these tests run; the real client logs in,
downloads and reconnects through SChannel, and the lounge's wire tap shows that the login never
crossed in clear. Certificates that fail the checks end in the client's own message."""

import subprocess
import tempfile
import unittest
from pathlib import Path

from harness import IDOK, REPO, TIMEOUT, ClientTestCase, read_ini, wait_for

import lounge_certs  # noqa: E402  (tools/lounge is on the path once harness is imported)

PROBE_FILE = "tls-e2e-probe.txt"
PROBE_TEXT = b"fetched through TLS\r\n"


class TlsTest(ClientTestCase):

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.folder = tempfile.TemporaryDirectory()
        cls.addClassCleanup(cls.folder.cleanup)
        cls.certificates = lounge_certs.make_test_set(cls.folder.name)
        cls.web_root = Path(cls.folder.name) / "web"
        cls.web_root.mkdir()
        (cls.web_root / PROBE_FILE).write_bytes(PROBE_TEXT)
        # The machine's Root store of this prefix, the one the system's chain engine trusts.
        key, blob = lounge_certs.windows_root_entry(cls.certificates["authority"])
        cls.wine_reg("add", key, "/v", "Blob", "/t", "REG_BINARY", "/d", blob.hex(), "/f")
        cls.addClassCleanup(cls.wine_reg, "delete", key, "/f")

    @classmethod
    def wine_reg(cls, *args):
        subprocess.run(["wine", "reg", *args], env=cls.session.env, check=True, timeout=120,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)

    def start_tls_lounge(self, role="good"):
        chain, key = self.certificates[role]
        return self.start_lounge(tls_cert=chain, tls_key=key, web_root=self.web_root)

    def tls_settings(self, lounge):
        # localhost: the name the server certificate is made out for.
        return {"servers[1].host": "localhost", "servers[1].tls": "true",
                "servers[1].http.host": f"https://localhost:{lounge.web.port}"}

    def events(self, lounge, name):
        return [e for e in lounge.events.events if e["event"] == name]

    def test_login_download_and_reconnect_over_tls(self):
        lounge = self.start_tls_lounge()
        client, _, session, _ = self.connect_to_lounge(lounge,
                                                       extra=self.tls_settings(lounge))
        self.assertEqual(self.events(lounge, "tls")[0]["serverName"], "localhost")
        # A download from the https web host comes through TLS too.
        target = self.session.exe.parent / PROBE_FILE
        target.unlink(missing_ok=True)
        self.addCleanup(target.unlink, missing_ok=True)
        session.send_text(f"dwnl {PROBE_FILE} 0")
        wait_for(lambda: target.is_file() and target.read_bytes() == PROBE_TEXT, TIMEOUT,
                 f"{target} downloaded")
        downloads = [e for e in self.events(lounge, "http") if e.get("path")]
        self.assertEqual([(e["path"], e["status"], e["tls"]) for e in downloads],
                         [(f"/autodl/{PROBE_FILE}", 200, True)])
        # A drop: the client comes back by itself, encrypted again.
        session.drop()
        again = lounge.next_session(timeout=TIMEOUT)
        self.assertIsNotNone(again, "the client did not reconnect")
        wire = self.events(lounge, "login_wire")
        self.assertEqual([(e["tls"], e["loginInClear"]) for e in wire],
                         [(True, False), (True, False)])
        again.send_text("quit")
        self.assertEqual(client.wait_exit(), 0)

    def test_refused_certificates_end_with_their_own_message(self):
        english = dict(read_ini(REPO / "lang" / "english.lng"))
        for role in ("otherName", "expired", "unknownAuthority"):
            with self.subTest(role=role):
                lounge = self.start_tls_lounge(role)
                appdata, roaming = self.fresh_appdata(f"tls_{role}")
                self.write_lounge_config(roaming, lounge, self.tls_settings(lounge))
                client = self.start_client(appdata)
                client.connect()
                box = client.wait_dialog(english["error"])
                self.assertIn(english["tlscertificateerror"], box["texts"])
                client.answer(box, IDOK)
                self.assertEqual(client.wait_exit(), 0)
                # One attempt, never retried and never in clear; the client may finish the
                # handshake before it judges the certificate, but then it hangs up: no
                # request, no login record.
                self.assertEqual(len(self.events(lounge, "connect")), 1)
                self.assertEqual(self.events(lounge, "handshake"), [])
                self.assertEqual(self.events(lounge, "login_record"), [])


if __name__ == "__main__":
    unittest.main()
