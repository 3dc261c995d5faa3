#!/usr/bin/env python3
"""Benchmark: one POP3 check of a 10,000-message mailbox, Dovecot on loopback, via pop3check.

  pop3_check_bench.py --pop3check PATH [--runner WINE_RUN] [--work DIR] [--messages N]

Prints the wall time and messages per second of
  - the first check: the program's start included, and Dovecot indexing the new mailbox;
  - a second check in the same process, timed from its go-ahead to its result: the
    conversation itself (one UIDL round trip per message) and the reconciliation.
"""
import argparse
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "support"))
from dovecot_pop3 import PASSWORD, USER, DovecotPop3  # noqa: E402
from pop3check_driver import Pop3CheckDriver  # noqa: E402


def report(label, seconds, messages):
    print(f"{label}: {seconds:.3f} s wall, {messages / seconds:,.0f} messages/s")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--pop3check", required=True)
    parser.add_argument("--runner", help="runs a Windows program, e.g. build/windows/wine-run")
    parser.add_argument("--work", default="build/bench-pop3")
    parser.add_argument("--messages", type=int, default=10000)
    args = parser.parse_args()
    command = ([args.runner] if args.runner else []) + [args.pop3check]
    target = "Windows build under Wine" if args.runner else "native build"

    with DovecotPop3(args.work) as server:
        server.add_messages(args.messages)
        driver = Pop3CheckDriver(command, server.port, USER, PASSWORD, checks=2, ack=False,
                                 wait=300)
        try:
            start = time.monotonic()
            first = driver.next_check()
            first_seconds = time.monotonic() - start
            start = time.monotonic()
            second = driver.next_check()
            second_seconds = time.monotonic() - start
            status = driver.finish()
        finally:
            driver.kill()

    if first.new != args.messages or second.new != args.messages or status != 0:
        print(f"unexpected result: new={first.new}/{second.new}, exit status {status}")
        return 1
    print(f"pop3check, {target}, {args.messages} messages, Dovecot on 127.0.0.1")
    report("first check (program start, server indexing)", first_seconds, args.messages)
    report("second check (conversation and reconciliation)", second_seconds, args.messages)
    return 0


if __name__ == "__main__":
    sys.exit(main())
