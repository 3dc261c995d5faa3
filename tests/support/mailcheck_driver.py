"""Drives mailcheck --step one check at a time, with bounded waits for each result block."""
import os
import queue
import re
import subprocess
import threading
from types import SimpleNamespace

RESULT = re.compile(r"^check \d+: (?:new=(\d+) seen=(\d+)|failed: (.*))$")


class Pop3CheckDriver:
    def __init__(self, command, port, user, password, checks, ack=True, wait=60):
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
            raise RuntimeError("mailcheck ended early")
        return line

    def next_check(self):
        """new, seen, uids (escaped), trace lines and failed (the reason, else None)."""
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
        self.process.stdin.close()
        return self.process.wait(self.wait)

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait(10)
