#!/usr/bin/python3
"""oauth_check_test.py WORK_DIR [WINE_RUN] MAILCHECK: XOAUTH2 through mailcheck against Dovecot's oauth2
passdb and the tests' authorization server, then --token-url: refresh, rotation, a revoked grant."""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
from dovecot_pop3 import USER, DovecotPop3  # noqa: E402
from expectations import expect, verdict  # noqa: E402
from mailcheck_driver import Pop3CheckDriver  # noqa: E402
from oauth_server import CLIENT_ID, OAuthServer  # noqa: E402
from tls_servers import Authority, windows_path  # noqa: E402

# Dovecot whose only passdb is oauth2: each token is checked at the authorization server's introspection.
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


work = os.path.abspath(sys.argv[1])
mailcheck = sys.argv[2:]
windows = len(mailcheck) > 1


def check(port, *extra, **environment):
    result = subprocess.run(mailcheck + ["--port", str(port), *extra, "localhost", USER], capture_output=True,
                            text=True, timeout=120, env=dict(os.environ, **environment))
    return result.returncode, result.stdout + result.stderr


def check_short_lived_tokens(idp, port, refresh_check):
    """The second check at once takes the held token; the third, 12 s later, finds it within a
    minute of its end and refreshes first, with the refresh token the provider rotated."""
    idp.lifetime, requests = 72, len(idp.requests)
    os.environ["ZANTOLI_REFRESH_TOKEN"] = idp.tokens[-1].refresh_token
    driver = Pop3CheckDriver(mailcheck + list(refresh_check), port, USER, "", checks=3, ack=False)
    try:
        checks = [driver.next_check(), driver.next_check()]
        time.sleep(12)
        checks.append(driver.next_check())
        ended = driver.finish()
    finally:
        driver.kill()
    refreshed = [form["refresh_token"] for form in idp.requests[requests:]]
    expect(ended == 0 and [c.new for c in checks] == [3, 3, 3] and len(refreshed) == 2 and
           refreshed[1] == idp.tokens[-2].refresh_token, "tokens of 72 s", f"{checks}\nrefreshed: {refreshed}")


def main():
    authority = Authority(os.path.join(work, "ca"), "Zantoli OAuth test CA")
    with OAuthServer(authority.issue("idp", "localhost")) as idp, \
            dovecot_oauth(os.path.join(work, "dovecot"), f"{idp.url}/introspect", authority.pem) as dovecot:
        dovecot.add_messages(3)
        granted = idp.grant()
        access, refresh = granted.access_token, granted.refresh_token
        for protocol, port, command in [("pop3", dovecot.port, "AUTH"), ("imap", dovecot.imap_port, "AUTHENTICATE")]:
            code, output = check(port, "--protocol", protocol, "--xoauth2", ZANTOLI_ACCESS_TOKEN=access)
            expect(code == 0 and "check 1: new=3" in output and f"{command} XOAUTH2 ****" in output,
                   f"{protocol}: XOAUTH2 login", output)
            expect(access not in output, f"{protocol}: the access token is traced", output)
            code, output = check(port, "--protocol", protocol, "--xoauth2", ZANTOLI_ACCESS_TOKEN="not-a-token")
            expect(code == 1 and "token refused" in output, f"{protocol}: a token the server does not know", output)

        # The notifier's refresh (WinHTTP under Wine takes the tests' CA from the trust file).
        trust = windows_path(authority.pem) if windows else authority.pem
        refresh_check = ("--token-url", f"{idp.url}/token", "--client-id", CLIENT_ID, "--trust-file", trust)
        code, output = check(dovecot.port, *refresh_check, ZANTOLI_REFRESH_TOKEN=refresh)
        if windows:
            expect(code == 0 and "check 1: new=3" in output and "new refresh token" in output,
                   "a check that refreshes first", output)
            expect(refresh not in output and all(t.access_token not in output for t in idp.tokens),
                   "a token is traced", output)
            code, output = check(dovecot.imap_port, "--protocol", "imap", *refresh_check,
                                 ZANTOLI_REFRESH_TOKEN=idp.tokens[-1].refresh_token)
            expect(code == 0 and "check 1: new=3" in output and "AUTHENTICATE XOAUTH2 ****" in output,
                   "imap: a check that refreshes first", output)
            requests = len(idp.requests)
            code, output = check(dovecot.port, *refresh_check[:4], ZANTOLI_REFRESH_TOKEN=refresh)
            expect(code == 1 and "failed: token endpoint: " in output and len(idp.requests) == requests,
                   "without the trust file the CA is unknown and the request never arrives", output)
            check_short_lived_tokens(idp, dovecot.port, refresh_check)
            idp.revoke_all()
            code, output = check(dovecot.port, *refresh_check, ZANTOLI_REFRESH_TOKEN=refresh)
            expect(code == 1 and "sign-in expired: sign in again in Setting.exe" in output, "a revoked grant", output)
        else:
            expect(code == 1 and "HTTPS is not available in this build" in output, "native: no HTTPS", output)
    return verdict("OAuth checks")


sys.exit(main())
