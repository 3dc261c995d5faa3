"""Drives pop3check (natively, or the Windows build through a Wine runner) one check at a time.

pop3check is started with --step, so it waits for a line on its standard input before every
check after the first; the driver reads each check's result block with bounded waits.
"""
import os
import queue
import re
import subprocess
import threading

RESULT = re.compile(r"^check (\d+): new=(\d+) seen=(\d+)$")


class CheckResult:
    def __init__(self, number, new, seen, uids, trace):
        self.number = number
        self.new = new
        self.seen = seen
        self.uids = uids  # the new UIDs, as printed (escaped)
        self.trace = trace  # the debug-channel lines printed during the check


class Pop3CheckDriver:
    def __init__(self, command, port, user, password, checks, ack=True, wait=60):
        """command: the list that starts pop3check, e.g. [path] or [wine_run, path.exe]."""
        args = list(command) + ["--port", str(port), "--checks", str(checks), "--step"]
        if ack:
            args.append("--ack")
        args += ["127.0.0.1", user]
        env = dict(os.environ, ZANTOLI_PASSWORD=password)
        self.wait = wait
        self.process = subprocess.Popen(args, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.STDOUT, env=env)
        self.lines = queue.Queue()
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()
        self.checks_read = 0

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
        """Lets the next check run (after the first) and returns its result."""
        if self.checks_read > 0:  # the first check starts by itself
            self.process.stdin.write(b"\n")
            self.process.stdin.flush()
        self.checks_read += 1
        trace = []
        while True:
            line = self._next_line()
            match = RESULT.match(line)
            if match:
                break
            trace.append(line)
        number, new, seen = (int(group) for group in match.groups())
        uids = [self._next_line() for _ in range(new)]
        return CheckResult(number, new, seen, uids, trace)

    def finish(self):
        """Waits for pop3check to end; returns its exit status."""
        self.process.stdin.close()
        try:
            return self.process.wait(self.wait)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait(10)
            raise

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait(10)
