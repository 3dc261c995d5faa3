#!/usr/bin/env python3
"""Protected checks through pop3check (under Wine with --runner), run inside
tests/support/tls_servers.py: a real Dovecot with STLS and TLS, and the certificate's verdicts
against the loopback servers. A refused check must fail before USER is sent.

  tls_servers.py --work DIR -- tls_check_test.py --pop3check PATH [--runner WINE_RUN] --work DIR
"""
import argparse
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
from dovecot_pop3 import PASSWORD, USER, DovecotPop3  # noqa: E402

failures = []


def check(command, security, port, *extra, user="me"):
    """pop3check's exit status, output and seconds for two checks that acknowledge."""
    start = time.monotonic()
    result = subprocess.run(command + ["--security", security, "--port", str(port), "--checks", "2", "--ack",
                                       *extra, "localhost", user],
                            capture_output=True, text=True, timeout=120, env=dict(os.environ, ZANTOLI_PASSWORD=PASSWORD))
    return result.returncode, result.stdout, time.monotonic() - start


def expect(what, outcome, status, *texts, absent=(), also=True):
    code, output, _ = outcome
    if not also or code != status or any(t not in output for t in texts) or any(t in output for t in absent):
        failures.append(what)
        print(f"FAILED: {what} (status {code})\n{output}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--pop3check", required=True)
    parser.add_argument("--runner")
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    command = ([args.runner] if args.runner else []) + [args.pop3check]
    env = os.environ.get
    port, pem = (lambda kind: int(env("ZANTOLI_TLS_" + kind))), env("ZANTOLI_TLS_TRUST_PEM")
    pin = env("ZANTOLI_TLS_OTHER_FINGERPRINT")
    certificate = (env("ZANTOLI_TLS_GOOD_CERT"), env("ZANTOLI_TLS_GOOD_KEY"))

    with DovecotPop3(os.path.join(args.work, "dovecot"), certificate=certificate) as server:
        server.add_messages(3)
        listed = ("check 1: new=3 seen=0", "check 2: new=0 seen=3", "Server certificate: CN=localhost; issued by ")
        stls = check(command, "stls", server.port, "--trust-file", pem, user=USER)
        expect("listing and acknowledging after STLS, USER only after it", stls, 0, *listed,
               also=-1 < stls[1].find("STLS\n") < stls[1].find("USER "))
        expect("listing and acknowledging over TLS", check(command, "tls", server.tls_port, "--trust-file",
                                                            env("ZANTOLI_TLS_TRUST_DER"), user=USER), 0, *listed)
        plain = check(command, "tls", server.port)
        print(f"TLS against a plain listener failed after {plain[2]:.1f} s, Wine's start included")
        expect("TLS against a plain listener fails within the bounds", plain, 1, "TLS handshake failed",
               absent=["USER"], also=plain[2] < 12)

    refused = [("the system's roots", "GOOD", [], "Certificate not trusted"),
               ("another CA", "OTHER_CA", ["--trust-file", pem], "Certificate not trusted"),
               ("a trust file of another CA", "GOOD", ["--trust-file", env("ZANTOLI_TLS_OTHER_TRUST")], "Certificate not trusted"),
               ("a missing trust file", "GOOD", ["--trust-file", pem + ".missing"], "Certificate not trusted"),
               ("another name", "WRONG_NAME", ["--trust-file", pem], "Certificate name mismatch"),
               ("an expired certificate", "EXPIRED", ["--trust-file", pem], "Certificate expired"),
               ("a pin that differs", "GOOD", ["--trust-file", pem, "--fingerprint", "00" + pin[2:]], "Fingerprint mismatch")]
    for what, kind, extra, reason in refused:
        expect(f"refused: {what}", check(command, "tls", port(kind), *extra), 1, reason, "MSG: " + reason,
               absent=["USER"])
    expect("no STLS offered", check(command, "stls", port("PLAIN")), 1, "Server offers no STLS", absent=["USER"])
    described = f"Server certificate: CN=localhost; issued by CN=Zantoli Other CA; valid until 20"
    for fingerprint in (pin, pin.replace(":", "").lower()):
        expect(f"pinned as {fingerprint[:5]}", check(command, "tls", port("OTHER_CA"), "--fingerprint", fingerprint),
               0, "check 2: new=0 seen=1", described, f" UTC; SHA-256 {pin}\n")
    print(f"{len(failures)} expectation(s) failed" if failures else "all met")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
