"""Dovecot on 127.0.0.1, POP3 and IMAP, one user whose maildir the caller fills; timeout(1) bounds its life."""
import grp
import os
import pwd
import shutil
import socket
import subprocess
import time

USER = "tester"
PASSWORD = "zantoli-test"
CONFIG = """\
base_dir = {work}/run
state_dir = {work}/state
log_path = {work}/dovecot.log
protocols = pop3 imap
listen = 127.0.0.1
{ssl}
disable_plaintext_auth = no
auth_failure_delay = 0
{users}
mail_location = maildir:{work}/mail/%u
pop3_uidl_format = %08Xu%08Xv
{auth}
userdb {{
  driver = static
  args = uid={uid} gid={gid} home={work}/mail/%u
}}
service pop3-login {{
  inet_listener pop3 {{
    port = {port}
  }}
  inet_listener pop3s {{
    port = {tls_port}
  }}
}}
service imap-login {{
  inet_listener imap {{
    port = {imap_port}
  }}
  inet_listener imaps {{
    port = {imaps_port}
  }}
}}
"""
PLAIN_AUTH = """\
auth_mechanisms = plain
passdb {{
  driver = passwd-file
  args = scheme=PLAIN username_format=%u {work}/users
}}"""


class DovecotPop3:
    def __init__(self, work, lifetime=600, certificate=None, client_ca=None, auth=None):
        # client_ca: Dovecot asks every TLS client for a certificate, yet lets in those without one.
        self.work, self.lifetime, self.certificate = os.path.abspath(work), lifetime, certificate
        self.client_ca, self.auth = client_ca, auth or PLAIN_AUTH.format(work=self.work)
        self.maildir = os.path.join(self.work, "mail", USER)
        self.process, self.delivered = None, 0
        if os.getuid() == 0:  # Dovecot never runs mail processes as root: the mailbox is nobody's
            nobody = pwd.getpwnam("nobody")
            self.uid, self.gid, self.users = nobody.pw_uid, nobody.pw_gid, ""
        else:
            self.uid, self.gid = os.getuid(), os.getgid()
            user, group = pwd.getpwuid(self.uid).pw_name, grp.getgrgid(self.gid).gr_name
            self.users = (f"default_login_user = {user}\ndefault_internal_user = {user}\n"
                          f"default_internal_group = {group}")

    def _own(self, path):
        if os.getuid() == 0:
            os.chown(path, self.uid, self.gid)

    def folder_path(self, folder=None):
        """The maildir of folder (its name as IMAP writes it), made when missing; None: INBOX."""
        path = os.path.join(self.maildir, "." + folder) if folder else self.maildir
        for sub in ("", "new", "cur", "tmp"):
            if not os.path.isdir(os.path.join(path, sub)):
                os.makedirs(os.path.join(path, sub))
                self._own(os.path.join(path, sub))
        return path

    def forget_uids(self, folder=None):
        """Drops the folder's UID list and indexes: its next opening gives it a new UIDVALIDITY."""
        time.sleep(1.1)  # the UIDVALIDITY is the time in seconds
        path = self.folder_path(folder)
        for entry in os.listdir(path):
            if entry.startswith("dovecot"):
                os.remove(os.path.join(path, entry))

    def add_messages(self, count, folder=None):
        names = []
        for _ in range(count):
            self.delivered += 1
            names.append(f"{int(time.time())}.M{self.delivered:06d}.zantoli")
            path = os.path.join(self.folder_path(folder), "new", names[-1])
            with open(path, "w", newline="") as message:
                message.write(f"From: sender@example.invalid\r\nSubject: Test {self.delivered}\r\n"
                              f"Message-ID: <{self.delivered}.{time.time_ns()}@example.invalid>\r\n\r\nBody.\r\n")
            self._own(path)
        return names

    def remove_message(self, name):
        for sub in ("new", "cur"):
            for entry in os.listdir(os.path.join(self.maildir, sub)):
                if entry == name or entry.startswith(name + ":"):
                    os.remove(os.path.join(self.maildir, sub, entry))

    def __enter__(self):
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(os.path.join(self.work, "run"))
        os.makedirs(os.path.join(self.work, "mail"))
        self._own(os.path.join(self.work, "mail"))
        self.folder_path()
        with open(os.path.join(self.work, "users"), "w") as users:
            users.write(f"{USER}:{{PLAIN}}{PASSWORD}\n")
        ssl = ("ssl = yes\nssl_cert = <{}\nssl_key = <{}".format(*self.certificate) if self.certificate else "ssl = no")
        if self.certificate and self.client_ca:
            ssl += f"\nssl_ca = <{self.client_ca}\nssl_verify_client_cert = yes"
        config = os.path.join(self.work, "dovecot.conf")
        for _ in range(3):  # a free port may be taken again before Dovecot binds it
            probes = [socket.create_server(("127.0.0.1", 0)) for _ in range(4)]
            self.port, self.tls_port, self.imap_port, self.imaps_port = [p.getsockname()[1] for p in probes]
            for probe in probes:
                probe.close()
            with open(config, "w") as out:  # without a certificate the TLS listeners are off (port 0)
                out.write(CONFIG.format(work=self.work, port=self.port, uid=self.uid, gid=self.gid, users=self.users,
                                        ssl=ssl, tls_port=self.tls_port if self.certificate else 0, auth=self.auth,
                                        imap_port=self.imap_port, imaps_port=self.imaps_port if self.certificate else 0))
            self.process = subprocess.Popen(["timeout", str(self.lifetime), "/usr/sbin/dovecot", "-F", "-c", config],
                                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            deadline = time.monotonic() + 15
            while time.monotonic() < deadline and self.process.poll() is None:
                try:
                    socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
                    return self
                except OSError:
                    time.sleep(0.1)
            self.close()
        raise RuntimeError("dovecot did not start; see " + os.path.join(self.work, "dovecot.log"))

    def mark_all_seen(self):
        """Flags every message \\Seen, as a mail client elsewhere would on reading it."""
        subprocess.run(["doveadm", "-c", os.path.join(self.work, "dovecot.conf"), "flags", "add", "-u", USER,
                        "\\Seen", "mailbox", "INBOX", "all"], check=True, capture_output=True, timeout=30)

    def close(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            self.process.wait(10)
        self.process = None

    def __exit__(self, *exc):
        self.close()
