#!/usr/bin/env python3
"""push_latency.py WORK_DIR WINE_RUN BIN_DIR: how long a message delivered into Dovecot's maildir
takes to reach Zantoli.exe's trace of the new count, under Wine, with one IMAP account idling;
ten deliveries, half a second apart, and their median, beside what a polled account waits."""
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "e2e"))
from push_test import WORK, DovecotPop3, Notifier, write_profile, zdriver  # noqa: E402


def main():
    os.makedirs(WORK, exist_ok=True)
    with DovecotPop3(os.path.join(WORK, "dovecot")) as server:
        server.add_messages(1)
        write_profile(server.imap_port, 1)
        notifier = Notifier("bench")
        try:
            if not notifier.wait_for(lambda: notifier.counts()[-1:] == [(1, 0)], 60):
                print("push latency: the first check never came")
                return 1
            waits = []
            for _ in range(10):
                known = len(notifier.counts())
                time.sleep(0.5)
                delivered = time.monotonic()
                server.add_messages(1)
                if not notifier.wait_for(lambda: len(notifier.counts()) > known, 30):
                    print("push latency: a delivery was never traced")
                    return 1
                waits.append(time.monotonic() - delivered)
        finally:
            zdriver("command", "57665")
            notifier.process.wait(30)
            notifier.stop()
    print(f"push latency under Wine, delivery to the trace of the new count: median"
          f" {statistics.median(waits) * 1000:.0f} ms (min {min(waits) * 1000:.0f}, max {max(waits) * 1000:.0f},"
          f" n=10); a polled account at a one-minute interval waits 30 s on average")
    return 0


sys.exit(main())
