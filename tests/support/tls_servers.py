#!/usr/bin/env python3
"""Loopback TLS servers for the tests, with certificates made by openssl at test time.

  tls_servers.py --work DIR -- COMMAND [ARGS...]

Makes a test CA, a second CA that nobody trusts, and server certificates under DIR; starts
one listener per kind of server on 127.0.0.1 and a free port; runs COMMAND with the ports
(ZANTOLI_TLS_<KIND>), the trust files (as Windows paths, for a program under Wine), the other
CA's certificate's fingerprint and the good certificate and key (for a server of the caller's)
in its environment; and exits with COMMAND's status. Each connection is a small POP3 mailbox
of one message ("tls-message"), which echoes other commands after "+OK" and answers QUIT with
its close_notify (Dovecot sends none). The listeners are:

  GOOD        implicit TLS, "localhost", signed by the test CA
  OTHER_CA    implicit TLS, "localhost", signed by the other CA
  WRONG_NAME  implicit TLS, "wrong.invalid", signed by the test CA
  EXPIRED     implicit TLS, "localhost", signed by the test CA, expired last year
  PLAIN       plain text only, no STLS among its capabilities
  SILENT      accepts and never says anything
"""
import argparse
import os
import socket
import ssl
import subprocess
import sys
import threading

CONNECTION_LIFETIME = 30  # seconds a connection may stay open, whatever the client does

CA_CONFIG = """\
[ca]
default_ca = test_ca
[test_ca]
dir = {dir}
database = $dir/index.txt
new_certs_dir = $dir
serial = $dir/serial
default_md = sha256
default_days = 30
policy = any_name
unique_subject = no
[any_name]
commonName = supplied
[req]
distinguished_name = req_name
[req_name]
[root]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[server]
basicConstraints = CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:$ENV::SERVER_NAME
authorityKeyIdentifier = keyid
"""


def openssl(*args, server_name="unused"):
    # The configuration names the server through the environment, even where it is not used.
    env = dict(os.environ, SERVER_NAME=server_name)
    subprocess.run(["openssl", *args], check=True, env=env,
                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


class Authority:
    """A CA of its own in a folder of its own."""

    def __init__(self, folder, name):
        self.folder = folder
        os.makedirs(folder, exist_ok=True)
        self.config = os.path.join(folder, "ca.cnf")
        with open(self.config, "w") as out:
            out.write(CA_CONFIG.format(dir=folder))
        open(os.path.join(folder, "index.txt"), "w").close()
        with open(os.path.join(folder, "serial"), "w") as out:
            out.write("1000\n")
        self.key = os.path.join(folder, "ca.key")
        self.pem = os.path.join(folder, "ca.pem")
        self.der = os.path.join(folder, "ca.der")
        openssl("req", "-x509", "-config", self.config, "-extensions", "root", "-newkey",
                "rsa:2048", "-nodes", "-keyout", self.key, "-out", self.pem, "-days", "30",
                "-subj", f"/CN={name}")
        openssl("x509", "-in", self.pem, "-outform", "DER", "-out", self.der)

    def issue(self, label, server_name, dates=("-days", "30")):
        """A server certificate and key: (pem, key)."""
        key = os.path.join(self.folder, f"{label}.key")
        request = os.path.join(self.folder, f"{label}.csr")
        pem = os.path.join(self.folder, f"{label}.pem")
        openssl("req", "-new", "-config", self.config, "-newkey", "rsa:2048", "-nodes",
                "-keyout", key, "-out", request, "-subj", f"/CN={server_name}", server_name=server_name)
        openssl("ca", "-config", self.config, "-batch", "-notext", "-extensions", "server",
                "-cert", self.pem, "-keyfile", self.key, "-in", request, "-out", pem, *dates,
                server_name=server_name)
        return pem, key


def server_context(pem, key):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.minimum_version = ssl.TLSVersion.TLSv1_2
    context.load_cert_chain(pem, key)
    return context


REPLIES = {b"CAPA": b"+OK\r\nUSER\r\n.\r\n", b"STAT": b"+OK 1 100\r\n",
           b"UIDL": b"+OK\r\n1 tls-message\r\n.\r\n"}


def converse(stream):
    """The mailbox's conversation; returns at QUIT or when the client goes."""
    stream.sendall(b"+OK ready\r\n")
    reader = stream.makefile("rb")
    while line := reader.readline(4096):
        if line.strip().upper() == b"QUIT":
            stream.sendall(b"+OK bye\r\n")
            if isinstance(stream, ssl.SSLSocket):
                stream.unwrap()  # our close_notify; waits for the client's
            return
        stream.sendall(REPLIES.get(line.strip().upper(), b"+OK " + line))


def serve_connection(kind, context, connection):
    connection.settimeout(CONNECTION_LIFETIME)
    try:
        if kind == "SILENT":
            while connection.recv(1 << 16):
                pass  # until the client goes or the lifetime ends
        elif kind == "PLAIN":
            converse(connection)
        else:
            with context.wrap_socket(connection, server_side=True) as stream:
                converse(stream)
    except (OSError, ssl.SSLError):
        pass  # a client that refused our certificate ends the handshake: expected
    finally:
        connection.close()


def start_listener(kind, context):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)

    def accept_forever():
        while True:
            connection, _ = listener.accept()
            threading.Thread(target=serve_connection, args=(kind, context, connection),
                             daemon=True).start()

    threading.Thread(target=accept_forever, daemon=True).start()
    return listener.getsockname()[1]


def windows_path(path):
    # Wine's drive Z: is the Unix root.
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def fingerprint(pem):
    result = subprocess.run(["openssl", "x509", "-in", pem, "-noout", "-fingerprint", "-sha256"],
                            check=True, capture_output=True, text=True)
    return result.stdout.strip().split("=", 1)[1]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--work", required=True)
    parser.add_argument("--timeout", type=int, default=240)
    parser.add_argument("command", nargs=argparse.REMAINDER)
    options = parser.parse_args()
    command = options.command[1:] if options.command[:1] == ["--"] else options.command
    work = os.path.abspath(options.work)

    test_ca = Authority(os.path.join(work, "test-ca"), "Zantoli Test CA")
    other_ca = Authority(os.path.join(work, "other-ca"), "Zantoli Other CA")
    good = test_ca.issue("good", "localhost")
    other = other_ca.issue("other", "localhost")
    contexts = {
        "GOOD": server_context(*good),
        "OTHER_CA": server_context(*other),
        "WRONG_NAME": server_context(*test_ca.issue("wrong-name", "wrong.invalid")),
        "EXPIRED": server_context(*test_ca.issue(
            "expired", "localhost", ("-startdate", "20200101000000Z", "-enddate", "20210101000000Z"))),
        "PLAIN": None,
        "SILENT": None,
    }
    env = dict(os.environ)
    for kind, context in contexts.items():
        env[f"ZANTOLI_TLS_{kind}"] = str(start_listener(kind, context))
    env["ZANTOLI_TLS_TRUST_PEM"] = windows_path(test_ca.pem)
    env["ZANTOLI_TLS_TRUST_DER"] = windows_path(test_ca.der)
    env["ZANTOLI_TLS_OTHER_TRUST"] = windows_path(other_ca.pem)
    env["ZANTOLI_TLS_OTHER_FINGERPRINT"] = fingerprint(other[0])
    env["ZANTOLI_TLS_GOOD_CERT"], env["ZANTOLI_TLS_GOOD_KEY"] = good
    try:
        return subprocess.run(command, env=env, timeout=options.timeout).returncode
    except subprocess.TimeoutExpired:
        print(f"tls_servers: {command[0]} did not end within {options.timeout} s")
        return 1


if __name__ == "__main__":
    sys.exit(main())
