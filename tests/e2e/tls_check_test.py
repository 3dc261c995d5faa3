#!/usr/bin/env python3
"""Protected checks through pop3check inside tests/support/tls_servers.py: Dovecot with STLS and
TLS, and the certificate's verdicts, each failing before USER is sent.

  tls_servers.py --work DIR -- tls_check_test.py WORK_DIR [WINE_RUN] POP3CHECK
"""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
from dovecot_pop3 import PASSWORD, USER, DovecotPop3  # noqa: E402

failures = []
env = os.environ.get


def check(security, port, *extra, user="me"):
    """pop3check's exit status, output and seconds for two checks that acknowledge."""
    start = time.monotonic()
    result = subprocess.run(sys.argv[2:] + ["--security", security, "--port", str(port), "--checks", "2", "--ack",
                                            *extra, "localhost", user], capture_output=True, text=True,
                            timeout=120, env=dict(os.environ, ZANTOLI_PASSWORD=PASSWORD))
    return result.returncode, result.stdout, time.monotonic() - start


def expect(what, outcome, status, *texts, absent=(), also=True):
    code, output, _ = outcome
    if not also or code != status or any(t not in output for t in texts) or any(t in output for t in absent):
        failures.append(what)
        print(f"FAILED: {what} (status {code})\n{output}")


def main():
    pem, pin = env("ZANTOLI_TLS_TRUST_PEM"), env("ZANTOLI_TLS_OTHER_FINGERPRINT")
    good = (env("ZANTOLI_TLS_GOOD_CERT"), env("ZANTOLI_TLS_GOOD_KEY"))
    with DovecotPop3(os.path.join(sys.argv[1], "dovecot"), certificate=good) as server:
        server.add_messages(3)
        listed = ("check 1: new=3 seen=0", "check 2: new=0 seen=3", "Server certificate: CN=localhost; issued by ")
        stls = check("stls", server.port, "--trust-file", pem, user=USER)
        expect("listed and acknowledged after STLS, USER only after it", stls, 0, *listed,
               also=-1 < stls[1].find("STLS\n") < stls[1].find("USER "))
        expect("listed and acknowledged over TLS", check("tls", server.tls_port, "--trust-file",
                                                         env("ZANTOLI_TLS_TRUST_DER"), user=USER), 0, *listed)
        plain = check("tls", server.port)
        expect(f"TLS against a plain listener fails in time ({plain[2]:.1f} s with Wine's start)", plain, 1,
               "TLS handshake failed", also=plain[2] < 12)

    for kind, extra, reason in [("GOOD", [], "Certificate not trusted"),  # the system's roots
                                ("OTHER_CA", ["--trust-file", pem], "Certificate not trusted"),
                                ("GOOD", ["--trust-file", env("ZANTOLI_TLS_OTHER_TRUST")], "Certificate not trusted"),
                                ("GOOD", ["--trust-file", pem + ".missing"], "Certificate not trusted"),
                                ("WRONG_NAME", ["--trust-file", pem], "Certificate name mismatch"),
                                ("EXPIRED", ["--trust-file", pem], "Certificate expired"),
                                ("GOOD", ["--trust-file", pem, "--fingerprint", "00" + pin[2:]], "Fingerprint mismatch")]:
        expect(f"{kind} {extra}: {reason}", check("tls", env("ZANTOLI_TLS_" + kind), *extra), 1, "MSG: " + reason,
               "Server certificate: CN=", absent=["USER"])
    expect("no STLS offered", check("stls", env("ZANTOLI_TLS_PLAIN")), 1, "MSG: Server offers no STLS", absent=["USER"])
    expect("pinned, whoever signed it", check("tls", env("ZANTOLI_TLS_OTHER_CA"), "--fingerprint", pin), 0,
           "check 2: new=0 seen=1", "; issued by CN=Zantoli Other CA; valid until 20", f" UTC; SHA-256 {pin}\n")
    print(f"{len(failures)} expectation(s) failed" if failures else "all met")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
