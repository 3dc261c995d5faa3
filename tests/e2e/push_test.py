#!/usr/bin/env python3
"""push_test.py WORK_DIR WINE_RUN BIN_DIR: Zantoli.exe under Wine with IMAP accounts on Dovecot:
push, read elsewhere, resume, exit."""
import os
import re
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
from dovecot_pop3 import PASSWORD, USER, DovecotPop3  # noqa: E402
from expectations import expect, verdict  # noqa: E402

WORK, WINE_RUN, BIN = (os.path.abspath(a) for a in sys.argv[1:4])
KEY = r"HKEY_CURRENT_USER\Software\QUVA\Zantoli"
COUNTS = re.compile(r"Mailbox changed: new=(\d+) seen=(\d+)")


def wine(*arguments):
    return subprocess.run([WINE_RUN, *arguments], capture_output=True, text=True, timeout=120)


def zdriver(*arguments):
    return wine(os.path.join(BIN, "zdriver.exe"), *arguments)


def write_profile(port, accounts):
    lines = ["Windows Registry Editor Version 5.00", "", f"[-{KEY}]", "", f"[{KEY}\\GLOBAL]",
             f'"POP_COUNT"="{accounts}"']
    for i in range(accounts):
        lines += ["", f"[{KEY}\\POP{i}]", f'"Account"="{USER}"', '"Address"="127.0.0.1"', f'"Port"="{port}"',
                  '"Protocol"="1"', '"Duration"="60"', f'"Passward"="{PASSWORD}"', f'"COLOR"="{i}"']
    path = os.path.join(WORK, "profile.reg")
    with open(path, "w", newline="\r\n") as out:
        out.write("\n".join(lines) + "\n")
    wine("reg", "import", "Z:" + path.replace("/", "\\"))


class Notifier:
    """Zantoli.exe under Wine, its debug channel in a file read as it grows."""

    def __init__(self, name):
        self.path = os.path.join(WORK, name + ".trace")
        self.log = open(self.path, "w")
        env = dict(os.environ, WINEDEBUG="-all,+debugstr")
        self.process = subprocess.Popen([WINE_RUN, os.path.join(BIN, "Zantoli.exe")], stderr=self.log,
                                        stdout=subprocess.DEVNULL, env=env)

    def trace(self):
        with open(self.path, errors="replace") as text:
            return text.read()

    def counts(self):
        return [(int(n), int(s)) for n, s in COUNTS.findall(self.trace())]

    def wait_for(self, condition, seconds=20):
        deadline = time.monotonic() + seconds
        while not condition() and time.monotonic() < deadline:
            time.sleep(0.01)
        return condition()

    def envelopes(self):
        """The envelopes are owned, one by the other, from the character, which has no owner."""
        return len(re.findall(r"visible=1 .*owner=(?!0+ |\(nil\) )", zdriver("windows").stdout))

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait(10)
        self.log.close()


def imap_processes(server):
    """The imap processes this server's master started for the connections so far."""
    rows = [line.split() for line in subprocess.run(["ps", "-eo", "pid=,ppid=,comm="], capture_output=True,
                                                     text=True).stdout.splitlines()]
    masters = {int(r[0]) for r in rows if int(r[1]) == server.process.pid}
    return [int(r[0]) for r in rows if int(r[1]) in masters and r[2] == "imap"]


def push_and_resume(server):
    write_profile(server.imap_port, 1)
    notifier = Notifier("push")
    try:
        expect(notifier.wait_for(lambda: notifier.counts()[-1:] == [(1, 0)], 60), "the first check shows one")
        before = set(imap_processes(server))
        server.add_messages(1)
        expect(notifier.wait_for(lambda: notifier.counts()[-1:] == [(2, 0)]), "a delivered message is pushed")
        expect(notifier.wait_for(lambda: notifier.envelopes() == 2, 20), "its envelope shows")
        server.mark_all_seen()
        expect(notifier.wait_for(lambda: notifier.counts()[-1:] == [(0, 0)]), "mail read elsewhere leaves")
        expect(notifier.wait_for(lambda: notifier.envelopes() == 0, 20), "and so do the envelopes")

        # Asleep: the connection's server side freezes, mail arrives meanwhile, no push comes.
        frozen = [pid for pid in imap_processes(server) if pid not in before] or imap_processes(server)
        for pid in frozen:
            os.kill(pid, signal.SIGSTOP)
        try:
            server.add_messages(1)
            time.sleep(2)
            expect(notifier.counts()[-1:] == [(0, 0)], "no push from a frozen connection")
            zdriver("resume")
            expect(notifier.wait_for(lambda: notifier.counts()[-1:] == [(1, 0)], 15),
                   "after the resume a new connection shows the mail delivered meanwhile")
        finally:
            for pid in frozen:
                os.kill(pid, signal.SIGCONT)
    finally:
        zdriver("command", "57665")
        notifier.process.wait(30)
        notifier.stop()


def exit_with_five(server):
    write_profile(server.imap_port, 5)
    notifier = Notifier("exit")
    try:
        expect(notifier.wait_for(lambda: len(notifier.counts()) >= 5, 90), "five accounts wait for changes")
        logged_out = server_log(server).count("Logged out")
        asked = time.monotonic()
        zdriver("command", "57665")
        ended = notifier.wait_for(lambda: notifier.trace().count("Check ended at exit") >= 5, 10)
        stopped = time.monotonic() - asked
        expect(ended and stopped < 4, f"every waiting connection ends at the exit (took {stopped:.2f} s from the"
                                      " command, Wine's start of zdriver included)")
        expect(notifier.process.wait(30) == 0, "the program ends")
        print(f"exit with five waiting accounts: every worker ended {stopped:.2f} s after the command was sent")
        expect(notifier.wait_for(lambda: server_log(server).count("Logged out") >= logged_out + 5, 10),
               "each connection logged out")
    finally:
        notifier.stop()


def server_log(server):
    with open(os.path.join(server.work, "dovecot.log"), errors="replace") as log:
        return log.read()


def main():
    os.makedirs(WORK, exist_ok=True)
    with DovecotPop3(os.path.join(WORK, "dovecot")) as server:
        server.add_messages(1)
        push_and_resume(server)
        exit_with_five(server)
    return verdict("push test")


if __name__ == "__main__":  # bench/push_latency.py borrows the notifier's driver
    sys.exit(main())
