"""Dovecot whose only passdb is oauth2: each token is checked at the authorization server's introspection."""
import os

from dovecot_pop3 import DovecotPop3

OAUTH_AUTH = """\
auth_mechanisms = xoauth2 oauthbearer
passdb {{
  driver = oauth2
  mechanisms = xoauth2 oauthbearer
  args = {settings}
}}"""
OAUTH_SETTINGS = """\
introspection_mode = post
introspection_url = {introspection}
username_attribute = username
active_attribute = active
active_value = true
tls_ca_cert_file = {ca}
"""


def dovecot_oauth(work, introspection_url, ca_file):
    settings = os.path.abspath(work) + "-oauth2.conf.ext"  # beside the work folder, which the start empties
    with open(settings, "w") as out:
        out.write(OAUTH_SETTINGS.format(introspection=introspection_url, ca=ca_file))
    return DovecotPop3(work, auth=OAUTH_AUTH.format(settings=settings))
