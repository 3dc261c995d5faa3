#!/usr/bin/env python3
"""with_dovecot.py --work DIR -- COMMAND...: runs COMMAND (inside tls_servers.py) beside a Dovecot of three
messages and a folder "Entwürfe", and ZANTOLI_DOWN_PORT, a loopback port where nothing listens."""
import os
import socket
import subprocess
import sys

sys.path.insert(0, os.path.dirname(__file__))
from dovecot_pop3 import PASSWORD, USER, DovecotPop3  # noqa: E402


def main():
    work, command = os.path.abspath(sys.argv[2]), sys.argv[4:]  # --work DIR -- COMMAND...
    certificate = (os.environ["ZANTOLI_TLS_GOOD_CERT"], os.environ["ZANTOLI_TLS_GOOD_KEY"])
    with DovecotPop3(work, lifetime=300, certificate=certificate) as server, socket.socket() as closed:
        server.add_messages(3)
        server.folder_path("Entw&APw-rfe")
        closed.bind(("127.0.0.1", 0))  # bound, never listening: connections to it are refused
        env = dict(os.environ, ZANTOLI_DOVECOT_PORT=str(server.port), ZANTOLI_DOVECOT_TLS_PORT=str(server.tls_port),
                   ZANTOLI_DOVECOT_IMAP_PORT=str(server.imap_port),
                   ZANTOLI_DOVECOT_USER=USER, ZANTOLI_DOVECOT_PASSWORD=PASSWORD,
                   ZANTOLI_DOWN_PORT=str(closed.getsockname()[1]))
        return subprocess.run(command, env=env, timeout=240).returncode


sys.exit(main())
