"""Dovecot on 127.0.0.1 whose only passdb is oauth2: every XOAUTH2 or OAUTHBEARER token is checked
against the authorization server's introspection endpoint, over HTTPS with the tests' CA."""
import dovecot_pop3
from dovecot_pop3 import DovecotPop3

OAUTH_PASSDB = """\
passdb {{
  driver = oauth2
  mechanisms = xoauth2 oauthbearer
  args = {work}-oauth2.conf.ext
}}
"""
OAUTH_SETTINGS = """\
introspection_mode = post
introspection_url = {introspection}
username_attribute = username
active_attribute = active
active_value = true
tls_ca_cert_file = {ca}
"""


class DovecotOAuth(DovecotPop3):
    def __init__(self, work, introspection_url, ca_file, lifetime=600):
        super().__init__(work, lifetime)
        self.introspection_url, self.ca_file = introspection_url, ca_file

    def __enter__(self):
        plain = dovecot_pop3.CONFIG
        start = plain.index("passdb {{")
        end = plain.index("}}", start) + 3
        # The format fields of the original stay; only the passdb and the mechanisms change.
        dovecot_pop3.CONFIG = (plain[:start] + OAUTH_PASSDB + plain[end:]).replace(
            "auth_mechanisms = plain", "auth_mechanisms = xoauth2 oauthbearer")
        # Beside the work folder, which the start empties.
        with open(self.work + "-oauth2.conf.ext", "w") as out:
            out.write(OAUTH_SETTINGS.format(introspection=self.introspection_url, ca=self.ca_file))
        try:
            return super().__enter__()
        finally:
            dovecot_pop3.CONFIG = plain
