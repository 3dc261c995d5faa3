#!/usr/bin/env python3
"""[tls_servers.py --work DIR --] dovecot_check_test.py WORK_DIR [WINE_RUN] MAILCHECK: mailcheck against
Dovecot on loopback; inside tls_servers.py also STLS, STARTTLS, TLS and every certificate verdict."""
import os
import re
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
from dovecot_pop3 import PASSWORD, USER, DovecotPop3  # noqa: E402
from expectations import expect, verdict  # noqa: E402
from mailcheck_driver import Pop3CheckDriver  # noqa: E402

env = os.environ.get
# Commands that could change a mailbox: none of them may ever leave an IMAP check.
CHANGING = re.compile(r"^A\d+ (UID )?(STORE|EXPUNGE|APPEND|COPY|MOVE|FETCH|DELETE|RENAME|CREATE|CLOSE)\b", re.I)


def check(security, port, *extra, user="me", host="localhost", password=PASSWORD):
    """mailcheck's exit status, output and seconds for two checks that acknowledge."""
    start = time.monotonic()
    result = subprocess.run(sys.argv[2:] + ["--security", security, "--port", str(port), "--checks", "2", "--ack",
                                            *extra, host, user], capture_output=True, text=True,
                            timeout=120, env=dict(os.environ, ZANTOLI_PASSWORD=password))
    return result.returncode, result.stdout, time.monotonic() - start


def expect_check(what, outcome, status, *texts, absent=(), also=True):
    code, output, _ = outcome
    expect(also and code == status and all(t in output for t in texts) and not any(t in output for t in absent),
           f"{what} (status {code})", output)


def expect_counts(result, new, seen, what):
    expect((result.new, result.seen) == (new, seen), f"{what}: expected {new}/{seen}, got {result.new}/{result.seen}")


def check_plain(server):
    first = server.add_messages(5)
    driver = Pop3CheckDriver(sys.argv[2:], server.port, USER, PASSWORD, checks=3)
    # Dovecot offers PIPELINING; a check that remembers it still sends CAPA along with the login.
    fast = ["CAPA", "USER tester", "PASS ****", "STAT", "UIDL", "QUIT"]
    sent = lambda trace: [line for line in trace if line and not line.startswith(("MSG:", "Command"))]  # noqa: E731
    try:
        result = driver.next_check()
        expect_counts(result, 5, 0, "first check: everything new")
        expect(len(set(result.uids)) == 5 and all(uid.endswith("\\r\\n") for uid in result.uids),
               "five UIDs, kept as sent, line end included")
        expect("PASS ****" in result.trace and not any(PASSWORD in line for line in result.trace),
               "the trace hides the password")
        expect(sent(result.trace) == fast, f"the fast path, got {sent(result.trace)}")
        server.add_messages(2)
        result = driver.next_check()
        expect(sent(result.trace) == fast, f"the remembered fast path, got {sent(result.trace)}")
        expect_counts(result, 2, 5, "two new after acknowledging")
        server.remove_message(first[2])
        expect_counts(driver.next_check(), 0, 6, "the removed one is forgotten")
        expect(driver.finish() == 0, "exit status 0 after a completed check")
    finally:
        driver.kill()
    expect_check("a refused login ends the check, reported as a failure, not as an empty mailbox",
                 check("none", server.port, user=USER, password="not-the-password"), 1,
                 "Bad Connection", "check 1: failed: login refused", absent=["QUIT", "new="])


def check_protected(server, pem, pin):
    server.add_messages(3)  # beside the six the plain checks left
    der = env("ZANTOLI_TLS_TRUST_DER")
    for protocol, plain, tls, upgrade, login, listed in [
            ("pop3", server.port, server.tls_port, "STLS", "USER ", ["check 1: new=9 seen=0", "check 2: new=0 seen=9"]),
            ("imap", server.imap_port, server.imaps_port, "STARTTLS", "LOGIN ", ["check 1: new="])]:
        listed.append("Server certificate: CN=localhost; issued by ")
        stls = check("stls", plain, "--protocol", protocol, "--trust-file", pem, user=USER)
        expect_check(f"{protocol}: listed after {upgrade}, the login only after it", stls, 0, *listed,
                     also=-1 < stls[1].find(upgrade + "\n") < stls[1].find(login))
        expect_check(f"{protocol}: listed over TLS", check("tls", tls, "--protocol", protocol, "--trust-file", der,
                                                           user=USER), 0, *listed)
    outcome = check("tls", server.port)
    expect_check(f"TLS against a plain listener fails in time ({outcome[2]:.1f} s with Wine's start)", outcome, 1,
                 "TLS handshake failed", also=outcome[2] < 12)
    # Each verdict comes before the login; an address is compared with the certificate's addresses only.
    trusting, other = ["--trust-file", pem], ["--trust-file", env("ZANTOLI_TLS_OTHER_TRUST")]
    for kind, extra, host, reason in [("GOOD", [], "localhost", "Certificate not trusted"),  # the system's roots
                                      ("OTHER_CA", trusting, "localhost", "Certificate not trusted"),
                                      ("GOOD", other, "localhost", "Certificate not trusted"),
                                      ("WRONG_NAME", trusting, "localhost", "Certificate name mismatch"),
                                      ("EXPIRED", trusting, "localhost", "Certificate expired"),
                                      ("GOOD", trusting + ["--fingerprint", "00" + pin[2:]], "localhost",
                                       "Fingerprint mismatch"),
                                      ("DNS_IP", trusting, "127.0.0.1", "Certificate name mismatch")]:
        expect_check(f"{kind} {extra} {host}: {reason}", check("tls", env("ZANTOLI_TLS_" + kind), *extra, host=host),
                     1, "MSG: " + reason, "Server certificate: CN=", absent=["USER"])
    expect_check("127.0.0.1 against IP:127.0.0.1", check("tls", env("ZANTOLI_TLS_IP_SAN"), *trusting, host="127.0.0.1"),
                 0, "check 2: new=0 seen=1")
    # Read before the handshake, within the check's bounds: no certificate is even seen.
    for entry in env("ZANTOLI_TLS_BAD_TRUST").split("|"):
        reason, path = entry.split("=", 1)
        outcome = check("tls", env("ZANTOLI_TLS_GOOD"), "--trust-file", path)
        expect_check(f"trust file {path}: {reason} ({outcome[2]:.1f} s)", outcome, 1,
                     "MSG: Trust file unusable: " + reason, absent=["USER", "Server certificate"],
                     also=outcome[2] < 12)
    expect_check("pinned, whoever signed it", check("tls", env("ZANTOLI_TLS_OTHER_CA"), "--fingerprint", pin), 0,
                 "check 2: new=0 seen=1", "; issued by CN=Zantoli Other CA; valid until 20", f" UTC; SHA-256 {pin}\n")


def check_imap(server):
    """Unread mail listed and acknowledged, a new UIDVALIDITY, a folder with a non-ASCII name."""
    driver = Pop3CheckDriver(sys.argv[2:] + ["--protocol", "imap"], server.imap_port, USER, PASSWORD, checks=4)
    try:
        waiting = sum(len(os.listdir(os.path.join(server.maildir, sub))) for sub in ("new", "cur"))
        result = driver.next_check()
        expect_counts(result, waiting, 0, "IMAP: every unread message new")
        expect(all(re.fullmatch(r"\d+\.\d+", uid) for uid in result.uids), f"UIDVALIDITY.UID, got {result.uids[:2]}")
        expect(any(line.endswith('LOGIN "tester" ****') for line in result.trace) and
               not any(PASSWORD in line for line in result.trace), "IMAP: the trace hides the password", result.trace)
        server.add_messages(2)
        expect_counts(driver.next_check(), 2, waiting, "IMAP: two new after acknowledging")
        server.forget_uids()
        result = driver.next_check()
        expect_counts(result, waiting + 2, 0, "IMAP: a new UIDVALIDITY, all new")
        expect(any("opened with SELECT" in line for line in result.trace), "IMAP: a moved UIDVALIDITY is said")
        expect_counts(driver.next_check(), 0, waiting + 2, "IMAP: acknowledged again")
        expect(driver.finish() == 0, "IMAP: exit status 0")
    finally:
        driver.kill()
    folder = server.folder_path("Entw&APw-rfe")
    server.add_messages(3, "Entw&APw-rfe")
    read = os.listdir(os.path.join(folder, "new"))[0]
    os.rename(os.path.join(folder, "new", read), os.path.join(folder, "cur", read + ":2,S"))
    code, output, _ = check("none", server.imap_port, "--protocol", "imap", "--folder", "Entwürfe", user=USER)
    expect(code == 0 and "check 1: new=2 seen=0" in output and "check 2: new=0 seen=2" in output and
           'EXAMINE "Entw&APw-rfe"' in output, "IMAP: a folder with a non-ASCII name, read mail left out", output)
    sent = [line for line in output.splitlines() if CHANGING.match(line)]
    expect(not sent, f"IMAP: nothing that changes the mailbox on the wire, got {sent}")
    flagged = [name for name in os.listdir(os.path.join(server.maildir, "cur")) if re.search(r":2,.*S", name)]
    expect(not flagged, f"IMAP: no message marked read by a check, got {flagged}")


def main():
    pem, pin = env("ZANTOLI_TLS_TRUST_PEM"), env("ZANTOLI_TLS_OTHER_FINGERPRINT")
    good = (env("ZANTOLI_TLS_GOOD_CERT"), env("ZANTOLI_TLS_GOOD_KEY")) if pem else None
    with DovecotPop3(os.path.join(sys.argv[1], "dovecot"), certificate=good, client_ca=env("ZANTOLI_TLS_CA")) as server:
        check_plain(server)
        if pem:
            check_protected(server, pem, pin)
        check_imap(server)  # after POP3's checks: it adds mail
    return verdict(f"Dovecot checks (server log in {sys.argv[1]}/dovecot)")


sys.exit(main())
