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


def expect_counts(result, new, seen):
    expect((result.new, result.seen) == (new, seen),
           f"check {result.number}: new={result.new} seen={result.seen}, expected {new}/{seen}")


def acknowledge_and_follow_changes(server, command):
    """New mail, acknowledged mail, and acknowledged mail that leaves the server."""
    first = server.add_messages(5)
    driver = Pop3CheckDriver(command, server.port, USER, PASSWORD, checks=3)
    try:
        check = driver.next_check()
        expect_counts(check, 5, 0)  # everything is new at the first check
        expect(len(set(check.uids)) == 5, "five different UIDs")
        expect(all(uid.endswith("\\r\\n") for uid in check.uids),
               "UIDs are kept as the server sent them, line end included")
        expect("PASS ****" in check.trace, "the trace hides the password")
        expect(not any(PASSWORD in line for line in check.trace), "the password is not traced")
        expect("UIDL 5" in check.trace and "STAT" in check.trace, "commands traced as sent")
        acknowledged = set(check.uids)

        server.add_messages(2)
        check = driver.next_check()
        expect_counts(check, 2, 5)  # exactly the two new ones
        expect(not acknowledged & set(check.uids), "acknowledged mail is not new again")

        server.remove_message(first[2])
        check = driver.next_check()
        expect_counts(check, 0, 6)  # the removed one is forgotten
        expect(driver.finish() == 0, "exit status 0 after a completed check")
    finally:
        driver.kill()


def wrong_password(server, command):
    driver = Pop3CheckDriver(command, server.port, USER, "not-the-password", checks=1)
    try:
        check = driver.next_check()
        expect_counts(check, 0, 0)
        expect("Bad Connection" in check.trace, "the refused login is traced")
        expect(not any(line == "STAT" for line in check.trace), "no STAT after a refused login")
        expect(driver.finish() == 1, "exit status 1 after a failed check")
    finally:
        driver.kill()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--pop3check", required=True)
    parser.add_argument("--runner", help="runs a Windows program, e.g. build/windows/wine-run")
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    command = ([args.runner] if args.runner else []) + [args.pop3check]

    with DovecotPop3(args.work) as server:
        acknowledge_and_follow_changes(server, command)
        wrong_password(server, command)
    if failures:
        print(f"{len(failures)} expectation(s) failed; server log in {args.work}/dovecot.log")
        return 1
    print("all expectations met")
    return 0


if __name__ == "__main__":
    sys.exit(main())
