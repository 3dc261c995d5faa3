#!/usr/bin/env python3
"""Benchmark: one IMAP check of a large Dovecot folder, mailcheck next to fetchmail -c.

  imap_check_bench.py [--mailcheck PATH] [--windows EXE --runner WINE_RUN]
                      [--messages 100000] [--unread 1000] [--runs 5] [--delay-ms 5.5] [--work DIR]

It fills a Dovecot INBOX on 127.0.0.1 (the tests' recipe) with --messages messages of which
--unread are unread, and times one check behind a proxy that delays every byte by --delay-ms in
each direction (5.5 ms: an 11 ms round trip):
  - mailcheck (native, and the Windows build under Wine when --windows is given): the first
    check of the process sees every unread message as new and acknowledges it; each later
    check of the same process is timed from its go-ahead to its result (so Wine's start-up is
    not counted);
  - fetchmail -c (Debian's package): the whole process, which logs in, reports the unread count
    and logs out without fetching.
Each figure is the median of --runs checks; the ratio is mailcheck's median over fetchmail's.
"""
import argparse
import os
import re
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "support"))
sys.path.insert(0, HERE)
from dovecot_pop3 import PASSWORD, USER, DovecotPop3  # noqa: E402
from latency_proxy import LatencyProxy  # noqa: E402
from mailcheck_driver import Pop3CheckDriver  # noqa: E402
from pop3_check_bench import measured_round_trip  # noqa: E402

CHECK_WAIT = 300


def fill(server, messages, unread):
    """Messages straight into the maildir: the read ones in cur/ with the seen flag."""
    folder = server.folder_path()
    for number in range(messages):
        read = number < messages - unread
        name = f"{1700000000 + number}.M{number:06d}.zantoli" + (":2,S" if read else "")
        with open(os.path.join(folder, "cur" if read else "new", name), "w", newline="") as message:
            message.write(f"From: sender@example.invalid\r\nSubject: Test {number}\r\n"
                          f"Message-ID: <{number}@example.invalid>\r\n\r\nBody.\r\n")
    if os.getuid() == 0:
        subprocess.run(["chown", "-R", f"{server.uid}:{server.gid}", folder], check=True)


def fetchmail_times(work, port, runs, unread):
    rc = os.path.join(work, "fetchmailrc")
    with open(rc, "w") as out:
        out.write(f"poll 127.0.0.1 protocol IMAP port {port} user {USER} password {PASSWORD} sslproto ''\n")
    os.chmod(rc, 0o600)
    seconds = []
    for _ in range(runs):
        start = time.monotonic()
        result = subprocess.run(["fetchmail", "-c", "-f", rc, "-i", os.path.join(work, "fetchids")],
                                capture_output=True, text=True, timeout=CHECK_WAIT,
                                env=dict(os.environ, HOME=work))
        seconds.append(time.monotonic() - start)
        if not re.search(rf"\b{unread} messages? \(\d+ seen\)|\(\d+ seen\)", result.stdout + result.stderr):
            raise RuntimeError("fetchmail -c did not report the folder: " + result.stdout + result.stderr)
    return seconds


def mailcheck_times(command, port, runs, unread):
    driver = Pop3CheckDriver(command + ["--protocol", "imap"], port, USER, PASSWORD, checks=runs + 1, ack=True,
                             wait=CHECK_WAIT)
    try:
        first = driver.next_check()
        if first.new != unread:
            raise RuntimeError(f"mailcheck listed {first.new} unread, not {unread}")
        seconds = []
        for _ in range(runs):
            start = time.monotonic()
            result = driver.next_check()
            seconds.append(time.monotonic() - start)
            if result.failed or result.seen != unread:
                raise RuntimeError("mailcheck did not complete an unchanged check")
        driver.finish()
    finally:
        driver.kill()
    return seconds


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--mailcheck", help="the native build's mailcheck")
    parser.add_argument("--windows", help="the Windows build's mailcheck.exe, run under Wine")
    parser.add_argument("--runner", help="runs a Windows program, e.g. build/windows/wine-run")
    parser.add_argument("--messages", type=int, default=100000)
    parser.add_argument("--unread", type=int, default=1000)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--delay-ms", type=float, default=5.5)
    parser.add_argument("--work", default="build/bench-imap")
    args = parser.parse_args()
    if args.windows and not args.runner:
        parser.error("--windows needs --runner")
    programs = []
    if args.mailcheck:
        programs.append(("mailcheck native", [os.path.abspath(args.mailcheck)]))
    if args.windows:
        programs.append(("mailcheck under Wine", [args.runner, os.path.abspath(args.windows)]))
    if not programs:
        parser.error("give --mailcheck, --windows or both")
    delay = args.delay_ms / 1000
    work = os.path.abspath(args.work)
    print(f"Proxy round trip: {measured_round_trip(delay):.1f} ms ({args.delay_ms:g} ms each way); "
          f"{args.messages:,} messages, {args.unread:,} unread; medians of {args.runs}")
    with DovecotPop3(work, lifetime=3600) as server:
        fill(server, args.messages, args.unread)
        with LatencyProxy(server.imap_port, delay) as proxy:
            fetchmail_times(work, proxy.port, 1, args.unread)  # Dovecot indexes the folder once
            header = ["program", "median", "fetchmail -c", "ratio"]
            print("| " + " | ".join(header) + " |")
            print("|" + "---|" * len(header))
            for name, command in programs:
                ours = statistics.median(mailcheck_times(command, proxy.port, args.runs, args.unread))
                theirs = statistics.median(fetchmail_times(work, proxy.port, args.runs, args.unread))
                print(f"| {name} | {ours:.3f} s | {theirs:.3f} s | {ours / theirs:.2f} |", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
