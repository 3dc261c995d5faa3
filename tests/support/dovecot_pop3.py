"""A real POP3 server for tests and benchmarks: Debian's Dovecot, run in the foreground with a
configuration of its own under a work folder, on 127.0.0.1 and a free high port, with one
passwd-file user whose maildir the caller fills with generated messages.

The server stops when the DovecotPop3 object is closed, and by itself after its lifetime in
any case (it runs under timeout(1)).
"""
import os
import pwd
import grp
import shutil
import socket
import subprocess
import time

DOVECOT = "/usr/sbin/dovecot"
USER = "tester"
PASSWORD = "zantoli-test"

CONFIG = """\
base_dir = {work}/run
state_dir = {work}/state
log_path = {work}/dovecot.log
protocols = pop3
listen = 127.0.0.1
{ssl}
disable_plaintext_auth = no
auth_mechanisms = plain
auth_failure_delay = 0
{users}
mail_location = maildir:{work}/mail/%u
pop3_uidl_format = %08Xu%08Xv
passdb {{
  driver = passwd-file
  args = scheme=PLAIN username_format=%u {work}/users
}}
userdb {{
  driver = static
  args = uid={uid} gid={gid} home={work}/mail/%u
}}
service pop3-login {{
  inet_listener pop3 {{
    address = 127.0.0.1
    port = {port}
  }}
  inet_listener pop3s {{
    address = 127.0.0.1
    port = {tls_port}
  }}
}}
"""


# With a certificate: STLS on the plain listener, and implicit TLS on a second one.
SSL_ON = """\
ssl = yes
ssl_cert = <{pem}
ssl_key = <{key}
ssl_min_protocol = TLSv1.2"""


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def message_text(number):
    return (
        f"From: sender{number}@example.invalid\r\n"
        f"To: {USER}@example.invalid\r\n"
        f"Subject: Test message {number}\r\n"
        f"Message-ID: <{number}.{time.time_ns()}@example.invalid>\r\n"
        f"\r\n"
        f"Body of test message {number}.\r\n"
    )


class DovecotPop3:
    def __init__(self, work, lifetime=600, certificate=None):
        """certificate: (pem, key) files of the server's certificate, to speak TLS."""
        self.work = os.path.abspath(work)
        self.lifetime = lifetime
        self.certificate = certificate
        self.port = 0
        self.tls_port = 0
        self.process = None
        self.next_number = 1
        if os.getuid() == 0:
            # Dovecot never runs mail processes as root: the mailbox belongs to nobody.
            nobody = pwd.getpwnam("nobody")
            self.uid, self.gid = nobody.pw_uid, nobody.pw_gid
            self.users = ""
        else:
            self.uid, self.gid = os.getuid(), os.getgid()
            user = pwd.getpwuid(self.uid).pw_name
            group = grp.getgrgid(self.gid).gr_name
            self.users = (f"default_login_user = {user}\ndefault_internal_user = {user}\n"
                          f"default_internal_group = {group}")

    @property
    def maildir(self):
        return os.path.join(self.work, "mail", USER)

    def prepare(self):
        shutil.rmtree(self.work, ignore_errors=True)
        for sub in ("new", "cur", "tmp"):
            os.makedirs(os.path.join(self.maildir, sub))
        os.makedirs(os.path.join(self.work, "run"))
        with open(os.path.join(self.work, "users"), "w") as users:
            users.write(f"{USER}:{{PLAIN}}{PASSWORD}\n")
        self._own(os.path.join(self.work, "mail"))
        self._own(self.maildir)
        for sub in ("new", "cur", "tmp"):
            self._own(os.path.join(self.maildir, sub))

    def _own(self, path):
        if os.getuid() == 0:
            os.chown(path, self.uid, self.gid)

    def add_messages(self, count):
        """Delivers count new messages; returns their file names."""
        names = []
        for _ in range(count):
            name = f"{int(time.time())}.M{self.next_number:06d}.zantoli"
            self.next_number += 1
            path = os.path.join(self.maildir, "new", name)
            with open(path, "w", newline="") as message:
                message.write(message_text(self.next_number))
            self._own(path)
            names.append(name)
        return names

    def remove_message(self, name):
        """Removes the message delivered under name, wherever Dovecot has moved it."""
        for sub in ("new", "cur"):
            for entry in os.listdir(os.path.join(self.maildir, sub)):
                if entry == name or entry.startswith(name + ":"):
                    os.remove(os.path.join(self.maildir, sub, entry))
                    return True
        return False

    def start(self, attempts=3):
        """Starts the server on a free port; waits (bounded) until it accepts connections."""
        for _ in range(attempts):
            self.port = free_port()
            self.tls_port = free_port() if self.certificate else 0
            ssl = "ssl = no"
            if self.certificate:
                ssl = SSL_ON.format(pem=self.certificate[0], key=self.certificate[1])
            with open(os.path.join(self.work, "dovecot.conf"), "w") as config:
                config.write(CONFIG.format(work=self.work, port=self.port, uid=self.uid,
                                           gid=self.gid, users=self.users, ssl=ssl,
                                           tls_port=self.tls_port))
            self.process = subprocess.Popen(
                ["timeout", str(self.lifetime), DOVECOT, "-F", "-c",
                 os.path.join(self.work, "dovecot.conf")],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            if self._wait_until_listening(15):
                return
            self.close()
        raise RuntimeError("dovecot did not start; see " + os.path.join(self.work, "dovecot.log"))

    def _wait_until_listening(self, seconds):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline and self.process.poll() is None:
            try:
                with socket.create_connection(("127.0.0.1", self.port), timeout=1):
                    return True
            except OSError:
                time.sleep(0.1)
        return False

    def close(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(10)
        self.process = None

    def __enter__(self):
        self.prepare()
        self.start()
        return self

    def __exit__(self, *exc):
        self.close()
