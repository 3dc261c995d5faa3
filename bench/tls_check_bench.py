#!/usr/bin/env python3
"""Benchmark: one check of a 1,000-message Dovecot mailbox through mailcheck, in plain text,
after STLS and over TLS from the first byte, side by side: the cost of the handshake and of
the encryption.

  tls_check_bench.py --mailcheck PATH [--runner WINE_RUN] [--messages 1000] [--runs 5] [--work DIR]

Dovecot runs on 127.0.0.1 with a certificate for "localhost" from a CA made for the run. For
each protection one mailcheck process runs --runs + 1 checks with --step --ack: the first sees
every message as new and acknowledges it; each later check ("no new mail", the steady state) is
timed from its go-ahead to its result line, so Wine's start-up is not counted. The figure is
the median.
"""
import argparse
import os
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "support"))
from dovecot_pop3 import PASSWORD, USER, DovecotPop3  # noqa: E402
from tls_servers import Authority, windows_path  # noqa: E402


def timed_checks(command, runs):
    """Seconds of each check after the first, and the first check's."""
    process = subprocess.Popen(command + ["--checks", str(runs + 1), "--step", "--ack", "localhost", USER],
                               stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True,
                               env=dict(os.environ, ZANTOLI_PASSWORD=PASSWORD))
    seconds = []
    try:
        for number in range(1, runs + 2):
            start = time.monotonic()
            if number > 1:
                process.stdin.write("\n")
                process.stdin.flush()
            while not (line := process.stdout.readline()).startswith(f"check {number}:"):
                if not line:
                    raise RuntimeError("mailcheck ended early")
            if number > 1 and not line.startswith(f"check {number}: new=0"):
                raise RuntimeError("the steady check found new mail: " + line)
            seconds.append(time.monotonic() - start)
        process.stdin.close()
        if process.wait(60) != 0:
            raise RuntimeError("mailcheck's last check failed")
    finally:
        if process.poll() is None:
            process.kill()
    return seconds[1:], seconds[0]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--mailcheck", required=True)
    parser.add_argument("--runner", help="runs a Windows program, e.g. build/windows/wine-run")
    parser.add_argument("--messages", type=int, default=1000)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--work", default="build/bench-tls")
    args = parser.parse_args()
    work = os.path.abspath(args.work)
    command = ([args.runner] if args.runner else []) + [os.path.abspath(args.mailcheck)]
    ca = Authority(os.path.join(work, "ca"), "Zantoli Bench CA")
    trust = windows_path(ca.pem) if args.runner else ca.pem
    with DovecotPop3(os.path.join(work, "dovecot"), lifetime=3600, certificate=ca.issue("server", "localhost")) as server:
        server.add_messages(args.messages)
        print(f"{args.messages:,} messages; median of {args.runs} unchanged checks, first check apart")
        print("| protection | unchanged check | first check (all new; Wine's start included) |\n|---|---|---|")
        for name, options in (("plain text", ["--port", str(server.port)]),
                              ("STLS", ["--security", "stls", "--port", str(server.port), "--trust-file", trust]),
                              ("TLS", ["--security", "tls", "--port", str(server.tls_port), "--trust-file", trust])):
            steady, first = timed_checks(command + options, args.runs)
            print(f"| {name} | {statistics.median(steady) * 1000:.0f} ms | {first * 1000:.0f} ms |", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
