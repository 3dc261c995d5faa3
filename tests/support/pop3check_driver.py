"""Drives pop3check (natively, or the Windows build through a Wine runner) one check at a time:
started with --step, it waits for a line on its standard input before every check after the
first; each check's result block is read with bounded waits.
"""
import os
import queue
import re
import subprocess
import threading
from types import SimpleNamespace

RESULT = re.compile(r"^check \d+: (?:new=(\d+) seen=(\d+)|failed: (.*))$")


class Pop3CheckDriver:
    def __init__(self, command, port, user, password, checks, ack=True, wait=60):
        """command: the list that starts pop3check, e.g. [path] or [wine_run, path.exe]."""
        args = list(command) + ["--port", str(port), "--checks", str(checks), "--step"]
        args += (["--ack"] if ack else []) + ["127.0.0.1", user]
        self.wait, self.checks_read, self.lines = wait, 0, queue.Queue()
        self.process = subprocess.Popen(args, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                        env=dict(os.environ, ZANTOLI_PASSWORD=password))
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for raw in self.process.stdout:
            self.lines.put(raw.decode("latin-1").rstrip("\r\n"))
        self.lines.put(None)

    def _next_line(self):
        line = self.lines.get(timeout=self.wait)
        if line is None:
            raise RuntimeError("pop3check ended early")
        return line

    def next_check(self):
        """Lets the next check run and returns new, seen, uids (escaped), trace lines and failed
        (the reason of a failed check, else None)."""
        if self.checks_read > 0:  # the first check starts by itself
            self.process.stdin.write(b"\n")
            self.process.stdin.flush()
        self.checks_read += 1
        trace = []
        while not RESULT.match(trace[-1] if trace else ""):
            trace.append(self._next_line())
        new, seen, failed = RESULT.match(trace.pop()).groups()
        new, seen = int(new or 0), int(seen or 0)
        return SimpleNamespace(new=new, seen=seen, uids=[self._next_line() for _ in range(new)], trace=trace,
                               failed=failed)

    def finish(self):
        """Waits for pop3check to end; returns its exit status."""
        self.process.stdin.close()
        return self.process.wait(self.wait)

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait(10)
