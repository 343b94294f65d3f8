"""Test certificates for the lounge's TLS, made at test time with the openssl command-line
tool into a folder of the caller's (never kept, never committed): a test authority, a server
certificate for localhost and 127.0.0.1, one for another name, an expired one, and one from an
authority nobody trusts."""

import datetime
import hashlib
import ssl
import struct
import subprocess
from pathlib import Path

AUTHORITY_NAME = "Vendrel Test Authority"
SERVER_NAMES = "DNS:localhost,IP:127.0.0.1"

_CONFIG = """[ca]
default_ca = test_ca
[test_ca]
dir = {folder}
database = $dir/{authority}-index.txt
new_certs_dir = $dir
serial = $dir/{authority}-serial
certificate = $dir/{authority}.pem
private_key = $dir/{authority}.key
default_md = sha256
policy = any_name
unique_subject = no
[any_name]
commonName = supplied
[server]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = {names}
"""


def _openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def _stamp(moment):
    return moment.strftime("%Y%m%d%H%M%SZ")


def make_authority(folder, name):
    folder = Path(folder)
    _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", "30",
             "-keyout", f"{name}.key", "-out", f"{name}.pem", "-subj", f"/CN={name}",
             "-addext", "basicConstraints=critical,CA:true",
             "-addext", "keyUsage=critical,keyCertSign,cRLSign", cwd=folder)
    (folder / f"{name}-index.txt").write_text("")
    (folder / f"{name}-serial").write_text("1000\n")
    return folder / f"{name}.pem"


def make_server(folder, authority, name, names=SERVER_NAMES, start=None, end=None):
    """A server certificate signed by the authority; returns (chain PEM, key PEM). The chain
    holds the server's certificate then the authority's, as a server sends them."""
    folder = Path(folder)
    now = datetime.datetime.now(datetime.timezone.utc)
    start = start or now - datetime.timedelta(days=1)
    end = end or now + datetime.timedelta(days=30)
    config = folder / f"{name}.cnf"
    config.write_text(_CONFIG.format(folder=folder, authority=authority, names=names))
    _openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", f"{name}.key", "-out",
             f"{name}.csr", "-subj", "/CN=" + names.split(",")[0].split(":")[1], cwd=folder)
    _openssl("ca", "-batch", "-notext", "-config", str(config), "-extensions", "server",
             "-startdate", _stamp(start), "-enddate", _stamp(end),
             "-in", f"{name}.csr", "-out", f"{name}.crt", cwd=folder)
    chain = folder / f"{name}-chain.pem"
    chain.write_bytes((folder / f"{name}.crt").read_bytes() +
                      (folder / f"{authority}.pem").read_bytes())
    return chain, folder / f"{name}.key"


def make_test_set(folder):
    """Everything the TLS tests use, by role: "authority" (PEM), and for "good", "otherName",
    "expired" and "unknownAuthority" a (chain, key) pair."""
    folder = Path(folder)
    now = datetime.datetime.now(datetime.timezone.utc)
    certificates = {"authority": make_authority(folder, "authority")}
    certificates["good"] = make_server(folder, "authority", "good")
    certificates["otherName"] = make_server(folder, "authority", "other",
                                            names="DNS:other.example")
    certificates["expired"] = make_server(folder, "authority", "expired",
                                          start=now - datetime.timedelta(days=20),
                                          end=now - datetime.timedelta(days=10))
    make_authority(folder, "stranger")
    certificates["unknownAuthority"] = make_server(folder, "stranger", "unknown")
    return certificates


def windows_root_entry(authority_pem):
    """(registry key under the machine's Root store, Blob value) that makes Windows' crypt32
    trust the authority: the key is named by the certificate's SHA-1 hash, and the blob is the
    serialized store element, a property header (id 32, the encoded certificate) before the
    DER bytes."""
    der = ssl.PEM_cert_to_DER_cert(Path(authority_pem).read_text())
    thumbprint = hashlib.sha1(der).hexdigest().upper()
    key = "HKLM\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\" + thumbprint
    return key, struct.pack("<III", 32, 1, len(der)) + der
