#!/usr/bin/env python3
"""tls_servers.py --work DIR -- COMMAND...: runs COMMAND with ZANTOLI_TLS_<KIND> the port of a loopback
one-message POP3 mailbox per certificate kind, the trust files, the pin and ZANTOLI_TLS_BAD_TRUST."""
import os
import socket
import ssl
import subprocess
import sys
import threading

CA_CONFIG = """\
[ca]
default_ca = test_ca
[test_ca]
database = {dir}/index.txt
new_certs_dir = {dir}
serial = {dir}/serial
default_md = sha256
policy = any_name
unique_subject = no
[any_name]
commonName = supplied
[server]
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = $ENV::SERVER_NAMES
"""
REPLIES = {b"CAPA": b"+OK\r\nUSER\r\n.\r\n", b"STAT": b"+OK 1 100\r\n",
           b"UIDL": b"+OK\r\n1 tls-message\r\n.\r\n"}


def openssl(*args, server_names="DNS:unused"):
    subprocess.run(["openssl", *args], check=True, env=dict(os.environ, SERVER_NAMES=server_names),
                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


class Authority:
    def __init__(self, folder, name):
        self.folder, self.pem, self.key = folder, os.path.join(folder, "ca.pem"), os.path.join(folder, "ca.key")
        os.makedirs(folder, exist_ok=True)
        for file, text in (("ca.cnf", CA_CONFIG.format(dir=folder)), ("index.txt", ""), ("serial", "1000\n")):
            with open(os.path.join(folder, file), "w") as out:
                out.write(text)
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", self.key, "-out", self.pem, "-days",
                "30", "-subj", f"/CN={name}", "-addext", "basicConstraints=critical,CA:TRUE",
                "-addext", "keyUsage=critical,keyCertSign,cRLSign")
        openssl("x509", "-in", self.pem, "-outform", "DER", "-out", os.path.join(folder, "ca.der"))

    def issue(self, label, server_name, dates=("-days", "30"), names=None):
        pem, key, request = (os.path.join(self.folder, label + end) for end in (".pem", ".key", ".csr"))
        openssl("req", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", request,
                "-subj", f"/CN={server_name}")
        openssl("ca", "-config", os.path.join(self.folder, "ca.cnf"), "-batch", "-notext", "-extensions", "server",
                "-cert", self.pem, "-keyfile", self.key, "-in", request, "-out", pem, *dates,
                server_names=names or "DNS:" + server_name)
        return pem, key


def serve_connection(context, connection):
    connection.settimeout(30)  # whatever the client does
    try:
        if context is None:  # silent until the client goes or the lifetime ends
            while connection.recv(1 << 16):
                pass
            return
        with context.wrap_socket(connection, server_side=True) as stream:
            stream.sendall(b"+OK ready\r\n")
            reader = stream.makefile("rb")
            while (line := reader.readline(4096)) and line.strip().upper() != b"QUIT":
                stream.sendall(REPLIES.get(line.strip().upper(), b"+OK " + line))
            stream.sendall(b"+OK bye\r\n")
            stream.unwrap()  # waits for the client's close_notify
    except (OSError, ssl.SSLError):
        pass  # a client that refused our certificate ends the handshake: expected
    finally:
        connection.close()


def start_listener(certificate):
    context = None
    if certificate:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.minimum_version = ssl.TLSVersion.TLSv1_2
        context.load_cert_chain(*certificate)
    listener = socket.create_server(("127.0.0.1", 0))

    def accept_forever():
        while True:
            threading.Thread(target=serve_connection, args=(context, listener.accept()[0]), daemon=True).start()

    threading.Thread(target=accept_forever, daemon=True).start()
    return str(listener.getsockname()[1])


def bad_trust_files(folder):
    """(reason, path) of files a user might name by mistake, each refused before any handshake."""
    os.makedirs(os.path.join(folder, "folder"), exist_ok=True)
    for name, content in {"empty.pem": b"", "zeros.der": bytes(4096), "big.pem": b"x" * (2 << 20)}.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(content)
    if not os.path.exists(os.path.join(folder, "fifo")):
        os.mkfifo(os.path.join(folder, "fifo"))
    named = [("holds no certificate", "empty.pem"), ("holds no certificate", "zeros.der"), ("too large", "big.pem"),
             ("not a file", "folder"), ("not found", "missing.pem"), ("unreadable", "fifo")]
    # Wine tells neither a type nor a size of /dev/zero.
    return [(reason, os.path.join(folder, name)) for reason, name in named] + [("unreadable", "/dev/zero")]


def windows_path(path):
    return "Z:" + path.replace("/", "\\")  # Wine's drive Z: is the Unix root


def main():
    work, command = os.path.abspath(sys.argv[2]), sys.argv[4:]  # --work DIR -- COMMAND...
    test_ca = Authority(os.path.join(work, "test-ca"), "Zantoli Test CA")
    other_ca = Authority(os.path.join(work, "other-ca"), "Zantoli Other CA")
    good, other = test_ca.issue("good", "localhost"), other_ca.issue("other", "localhost")
    certificates = {"GOOD": good, "OTHER_CA": other, "WRONG_NAME": test_ca.issue("wrong-name", "wrong.invalid"),
                    "EXPIRED": test_ca.issue("expired", "localhost",
                                             ("-startdate", "20200101000000Z", "-enddate", "20210101000000Z")),
                    "IP_SAN": test_ca.issue("ip-san", "127.0.0.1", names="IP:127.0.0.1"),
                    "DNS_IP": test_ca.issue("dns-ip", "127.0.0.1", names="DNS:127.0.0.1"),
                    "SILENT": None}
    env = dict(os.environ, **{f"ZANTOLI_TLS_{kind}": start_listener(c) for kind, c in certificates.items()})
    env.update(ZANTOLI_TLS_TRUST_PEM=windows_path(test_ca.pem), ZANTOLI_TLS_OTHER_TRUST=windows_path(other_ca.pem),
               ZANTOLI_TLS_TRUST_DER=windows_path(os.path.join(test_ca.folder, "ca.der")),
               ZANTOLI_TLS_GOOD_CERT=good[0], ZANTOLI_TLS_GOOD_KEY=good[1], ZANTOLI_TLS_CA=test_ca.pem,
               ZANTOLI_TLS_BAD_TRUST="|".join(f"{reason}={windows_path(path)}"
                                              for reason, path in bad_trust_files(os.path.join(work, "bad-trust"))))
    fingerprint = subprocess.run(["openssl", "x509", "-in", other[0], "-noout", "-fingerprint", "-sha256"],
                                 check=True, capture_output=True, text=True).stdout
    env["ZANTOLI_TLS_OTHER_FINGERPRINT"] = fingerprint.strip().split("=", 1)[1]
    return subprocess.run(command, env=env, timeout=240).returncode


if __name__ == "__main__":
    sys.exit(main())
