#!/usr/bin/env python3
"""A small POP3 server for demos and tests.

It serves the messages of one folder (one file per message; the file name is the message's
unique id), binds 127.0.0.1 only, and stops by itself: after --lifetime seconds, or as soon as
the process named by --watch-pid has ended. With --add-every it drops a new message into the
folder now and then, so a running notifier has something new to show.

Tests add messages by writing files into the folder, and stop the server by killing it; a
server started again on the same folder lists the same ids.
"""
import argparse
import os
import socket
import sys
import threading
import time

SAMPLE_SUBJECTS = [
    "Lunch on Friday?",
    "Your parcel is on its way",
    "Minutes of the Tuesday meeting",
    "Photos from the weekend",
    "Invoice 2041",
    "Re: the garden fence",
]


def message_text(number):
    subject = SAMPLE_SUBJECTS[number % len(SAMPLE_SUBJECTS)]
    return (
        f"From: demo{number}@example.invalid\r\n"
        f"To: you@example.invalid\r\n"
        f"Subject: {subject}\r\n"
        f"\r\n"
        f"Demo message number {number}.\r\n"
    )


def add_message(folder):
    """Writes one new message file with a fresh unique id; returns its id."""
    number = len(os.listdir(folder)) + 1
    while True:
        uid = f"demo-{int(time.time() * 1000)}-{number}"
        path = os.path.join(folder, uid)
        if not os.path.exists(path):
            with open(path + ".tmp", "w", newline="") as out:
                out.write(message_text(number))
            os.replace(path + ".tmp", path)
            return uid
        number += 1


def mailbox(folder):
    """The messages now in the folder, oldest first: a list of (uid, size)."""
    entries = []
    for name in os.listdir(folder):
        path = os.path.join(folder, name)
        if name.endswith(".tmp") or not os.path.isfile(path):
            continue
        entries.append((os.path.getmtime(path), name, os.path.getsize(path)))
    entries.sort()
    return [(name, size) for _, name, size in entries]


class Session:
    """One client's conversation. Only what a notifier needs, plus a few harmless extras."""

    def __init__(self, connection, args):
        self.connection = connection
        self.args = args
        self.user = None
        self.messages = None  # fixed at login, as POP3 requires for the session

    def send(self, line):
        self.connection.sendall(line.encode() + b"\r\n")

    def run(self):
        self.connection.settimeout(60)
        self.send("+OK demo POP3 server ready")
        pending = b""
        while True:
            while b"\r\n" not in pending:
                chunk = self.connection.recv(4096)
                if not chunk or len(pending) > 4096:
                    return
                pending += chunk
            line, pending = pending.split(b"\r\n", 1)
            if not self.handle(line.decode(errors="replace")):
                return

    def handle(self, line):
        words = line.split(" ")
        command = words[0].upper()
        argument = words[1] if len(words) > 1 else ""
        if command == "QUIT":
            self.send("+OK bye")
            return False
        if command == "CAPA":
            self.send("+OK\r\nUSER\r\nUIDL\r\n.")
        elif command == "NOOP":
            self.send("+OK")
        elif command == "USER":
            self.user = argument
            self.send("+OK send PASS")
        elif command == "PASS":
            if self.user == self.args.user and line[5:] == self.args.password:
                self.messages = mailbox(self.args.folder)
                self.send("+OK logged in")
            else:
                self.user = None
                self.send("-ERR invalid login")
        elif self.messages is None:
            self.send("-ERR log in first")
        elif command == "STAT":
            total = sum(size for _, size in self.messages)
            self.send(f"+OK {len(self.messages)} {total}")
        elif command in ("UIDL", "LIST"):
            self.listing(command, argument)
        else:
            self.send("-ERR unknown command")
        return True

    def listing(self, command, argument):
        def field(index):
            uid, size = self.messages[index]
            return uid if command == "UIDL" else str(size)

        if not argument:
            lines = [f"{n + 1} {field(n)}" for n in range(len(self.messages))]
            self.send("\r\n".join(["+OK"] + lines + ["."]))
        elif argument.isdigit() and 1 <= int(argument) <= len(self.messages):
            self.send(f"+OK {argument} {field(int(argument) - 1)}")
        else:
            self.send("-ERR no such message")


def serve_client(connection, args):
    try:
        with connection:
            Session(connection, args).run()
    except OSError:
        pass


def process_alive(pid):
    try:
        os.kill(pid, 0)
        return True
    except ProcessLookupError:
        return False
    except PermissionError:
        return True


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--folder", required=True, help="the mailbox: one file per message")
    parser.add_argument("--port", type=int, default=0, help="0 picks a free port")
    parser.add_argument("--port-file", help="write the port here once listening")
    parser.add_argument("--user", default="demo")
    parser.add_argument("--password", default="demo")
    parser.add_argument("--messages", type=int, default=0, help="messages to put in an empty folder")
    parser.add_argument("--add-every", type=float, default=0, help="seconds between new messages")
    parser.add_argument("--lifetime", type=float, default=600, help="stop after this many seconds")
    parser.add_argument("--watch-pid", type=int, default=0, help="stop when this process ends")
    args = parser.parse_args()

    os.makedirs(args.folder, exist_ok=True)
    if not mailbox(args.folder):
        for _ in range(args.messages):
            add_message(args.folder)
            time.sleep(0.002)

    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", args.port))
    listener.listen(8)
    listener.settimeout(0.5)
    port = listener.getsockname()[1]
    if args.port_file:
        with open(args.port_file + ".tmp", "w") as out:
            out.write(f"{port}\n")
        os.replace(args.port_file + ".tmp", args.port_file)
    print(f"demo POP3 server on 127.0.0.1:{port}, folder {args.folder}", flush=True)

    deadline = time.monotonic() + args.lifetime
    next_add = time.monotonic() + args.add_every if args.add_every > 0 else None
    while time.monotonic() < deadline:
        if args.watch_pid and not process_alive(args.watch_pid):
            break
        if next_add is not None and time.monotonic() >= next_add:
            add_message(args.folder)
            next_add += args.add_every
        try:
            connection, _ = listener.accept()
        except socket.timeout:
            continue
        threading.Thread(target=serve_client, args=(connection, args), daemon=True).start()
    listener.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
