#!/usr/bin/env python3
"""Benchmark: one POP3 check of a large Dovecot mailbox, mailcheck next to mpop -s.

  pop3_check_bench.py [--mailcheck PATH] [--windows EXE --runner WINE_RUN]
                      [--mailcheck-before PATH] [--windows-before EXE]
                      [--mailboxes 1000,10000] [--runs 5] [--mailcheck-runs N]
                      [--delay-ms 5] [--work DIR]

For each mailbox size it fills a Dovecot mailbox on 127.0.0.1 (the tests' recipe) and times
one check in the steady state "no new mail", on the bare loopback link and behind a proxy that
delays every byte by --delay-ms in each direction:
  - mailcheck (native, and the Windows build under Wine when --windows is given): the first
    check of the process sees every message as new and acknowledges it; each later check of
    the same process is timed from its go-ahead to its result; the --*-before builds (say,
    of the previous commit) run beside them in the same run, for a before-and-after table;
  - mpop -s (installed for this benchmark with apt-get when missing): its UID file is primed by
    one retrieval that keeps the mail on the server, so -s reports "no messages" new.
Each figure is the median of --runs checks (--mailcheck-runs caps mailcheck's, which are slow
today); the ratio is mailcheck's median over mpop's.
"""
import argparse
import os
import shutil
import socket
import statistics
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "support"))
sys.path.insert(0, HERE)
from dovecot_pop3 import PASSWORD, USER, DovecotPop3  # noqa: E402
from latency_proxy import LatencyProxy  # noqa: E402
from mailcheck_driver import Pop3CheckDriver  # noqa: E402

CHECK_WAIT = 900  # seconds for one check at most: today's build needs minutes behind the proxy


def ensure_mpop():
    if shutil.which("mpop"):
        return True
    subprocess.run(["apt-get", "install", "-y", "-q", "mpop"], stdout=subprocess.DEVNULL,
                   timeout=600)
    return shutil.which("mpop") is not None


def measured_round_trip(delay):
    """The median round trip of a small message through a proxy with this delay, in ms."""
    with socket.socket() as listener:
        listener.bind(("127.0.0.1", 0))
        listener.listen()

        def echo():
            connection, _ = listener.accept()
            with connection:
                while data := connection.recv(64):
                    connection.sendall(data)

        threading.Thread(target=echo, daemon=True).start()
        with LatencyProxy(listener.getsockname()[1], delay) as proxy:
            with socket.create_connection(("127.0.0.1", proxy.port), timeout=10) as client:
                client.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
                times = []
                for _ in range(21):
                    start = time.monotonic()
                    client.sendall(b"ping\r\n")
                    client.recv(64)
                    times.append(time.monotonic() - start)
    return statistics.median(times) * 1000


class Mpop:
    def __init__(self, work, server_port):
        self.work = work
        self.maildir = os.path.join(work, "mpop-maildir")
        for sub in ("new", "cur", "tmp"):
            os.makedirs(os.path.join(self.maildir, sub), exist_ok=True)
        self.options = [
            "-C", "/dev/null", f"--user={USER}", f"--passwordeval=echo {PASSWORD}",
            "--auth=user", "--tls=off", "--keep=on", "--only-new=on",
            "--uidls-file=" + os.path.join(work, "mpop-uidls"),
            "--delivery=maildir," + self.maildir]
        self.prime(server_port)

    def run(self, port, *extra):
        return subprocess.run(["mpop", "--host=127.0.0.1", f"--port={port}", *self.options,
                               *extra], capture_output=True, text=True, timeout=CHECK_WAIT)

    def prime(self, port):
        result = self.run(port, "-q")
        if result.returncode != 0:
            raise RuntimeError("mpop could not prime its UID file: " + result.stderr)
        shutil.rmtree(self.maildir)  # only the UID file matters
        for sub in ("new", "cur", "tmp"):
            os.makedirs(os.path.join(self.maildir, sub))

    def times(self, port, runs):
        seconds = []
        for _ in range(runs):
            start = time.monotonic()
            result = self.run(port, "-s")
            seconds.append(time.monotonic() - start)
            if result.returncode != 0 or "new: no messages" not in result.stdout:
                raise RuntimeError("mpop -s did not report an unchanged mailbox: " +
                                   result.stdout + result.stderr)
        return seconds


def mailcheck_times(command, port, runs):
    driver = Pop3CheckDriver(command, port, USER, PASSWORD, checks=runs + 1, ack=True,
                             wait=CHECK_WAIT)
    try:
        driver.next_check()  # every message new; acknowledged
        seconds = []
        for _ in range(runs):
            start = time.monotonic()
            result = driver.next_check()
            seconds.append(time.monotonic() - start)
            if result.new != 0 or not any("QUIT" in line for line in result.trace):
                raise RuntimeError("mailcheck did not complete an unchanged check")
        driver.finish()
    finally:
        driver.kill()
    return seconds


def median_text(seconds):
    return f"{statistics.median(seconds):.3f} s" + ("" if len(seconds) > 1 else " (1 run)")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--mailcheck", help="the native build's mailcheck")
    parser.add_argument("--windows", help="the Windows build's mailcheck.exe, run under Wine")
    parser.add_argument("--runner", help="runs a Windows program, e.g. build/windows/wine-run")
    parser.add_argument("--mailcheck-before", help="another native mailcheck to compare with")
    parser.add_argument("--windows-before", help="another mailcheck.exe to compare with")
    parser.add_argument("--mailboxes", default="1000,10000")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--mailcheck-runs", type=int)
    parser.add_argument("--delay-ms", type=float, default=5.0)
    parser.add_argument("--work", default="build/bench-pop3")
    args = parser.parse_args()
    if (args.windows or args.windows_before) and not args.runner:
        parser.error("--windows needs --runner")
    if not args.mailcheck and not args.windows:
        parser.error("give --mailcheck, --windows or both")
    if not ensure_mpop():
        print("mpop is not installed and could not be installed")
        return 1
    programs = []
    if args.mailcheck_before:
        programs.append(("native before", [os.path.abspath(args.mailcheck_before)]))
    if args.mailcheck:
        programs.append(("mailcheck native", [os.path.abspath(args.mailcheck)]))
    if args.windows_before:
        programs.append(("Wine before", [args.runner, os.path.abspath(args.windows_before)]))
    if args.windows:
        programs.append(("mailcheck under Wine", [args.runner, os.path.abspath(args.windows)]))
    check_runs = args.mailcheck_runs or args.runs
    delay = args.delay_ms / 1000

    print(f"Proxy round trip: {measured_round_trip(delay):.1f} ms "
          f"({args.delay_ms:g} ms each way); medians of {args.runs} "
          f"(mailcheck: {check_runs})")
    header = ["mailbox", "link"] + [name for name, _ in programs] + ["mpop -s"] + \
        [f"{name} / mpop" for name, _ in programs]
    print("| " + " | ".join(header) + " |")
    print("|" + "---|" * len(header))
    for size in (int(text) for text in args.mailboxes.split(",")):
        work = os.path.abspath(os.path.join(args.work, str(size)))
        with DovecotPop3(work, lifetime=7200) as server:
            server.add_messages(size)
            mpop = Mpop(work, server.port)
            for link in ("loopback", f"+{args.delay_ms:g} ms each way"):
                proxy = LatencyProxy(server.port, delay) if link != "loopback" else None
                with proxy or open(os.devnull):
                    port = proxy.port if proxy else server.port
                    ours = [mailcheck_times(command, port, check_runs)
                            for _, command in programs]
                    theirs = mpop.times(port, args.runs)
                row = [f"{size:,}", link] + [median_text(s) for s in ours] + \
                    [median_text(theirs)] + \
                    [f"{statistics.median(s) / statistics.median(theirs):.1f}" for s in ours]
                print("| " + " | ".join(row) + " |", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
