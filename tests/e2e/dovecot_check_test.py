#!/usr/bin/env python3
"""The POP3 check against a real server: Debian's Dovecot on loopback, driven through
pop3check (natively, or the Windows build under Wine with --runner).

  dovecot_check_test.py --pop3check PATH [--runner WINE_RUN] --work DIR
"""
import argparse
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
from dovecot_pop3 import PASSWORD, USER, DovecotPop3  # noqa: E402
from pop3check_driver import Pop3CheckDriver  # noqa: E402

failures = []


def expect(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED:", what)


def main():
    parser = argparse.ArgumentParser()
    for option in ("--pop3check", "--work"):
        parser.add_argument(option, required=True)
    parser.add_argument("--runner", help="runs a Windows program, e.g. build/windows/wine-run")
    args = parser.parse_args()
    command = ([args.runner] if args.runner else []) + [args.pop3check]

    with DovecotPop3(args.work) as server:
        first = server.add_messages(5)
        driver = Pop3CheckDriver(command, server.port, USER, PASSWORD, checks=3)
        wrong = Pop3CheckDriver(command, server.port, USER, "not-the-password", checks=1)
        try:
            check = driver.next_check()
            expect((check.new, check.seen) == (5, 0), f"first check: everything new, got {check.new}/{check.seen}")
            expect(len(set(check.uids)) == 5 and all(uid.endswith("\\r\\n") for uid in check.uids),
                   "five UIDs, kept as sent, line end included")
            expect("PASS ****" in check.trace and not any(PASSWORD in line for line in check.trace),
                   "the trace hides the password")
            # Dovecot offers PIPELINING: the login goes with STAT, the UIDL commands ahead of their replies.
            sent = [line for line in check.trace if line and not line.startswith(("MSG:", "Command"))]
            expect(sent[:5] == ["CAPA", "USER tester", "PASS ****", "STAT", "UIDL 1"], f"the fast path, got {sent[:5]}")
            server.add_messages(2)
            check = driver.next_check()
            expect((check.new, check.seen) == (2, 5), f"two new after acknowledging, got {check.new}/{check.seen}")
            server.remove_message(first[2])
            check = driver.next_check()
            expect((check.new, check.seen) == (0, 6), f"the removed one is forgotten, got {check.new}/{check.seen}")
            expect(driver.finish() == 0, "exit status 0 after a completed check")

            check = wrong.next_check()
            expect("Bad Connection" in check.trace and "QUIT" not in check.trace and check.failed,
                   "a refused login ends the check, reported as a failure, not as an empty mailbox")
            expect(wrong.finish() == 1, "exit status 1 after a failed check")
        finally:
            driver.kill()
            wrong.kill()
    print(f"{len(failures)} expectation(s) failed; server log in {args.work}/dovecot.log" if failures else "all met")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
