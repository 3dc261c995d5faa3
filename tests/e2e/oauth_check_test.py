#!/usr/bin/python3
"""oauth_check_test.py WORK_DIR [WINE_RUN] MAILCHECK: XOAUTH2 through mailcheck against Dovecot's oauth2
passdb and the tests' authorization server, then --token-url: refresh, rotation, a revoked grant."""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
from dovecot_oauth import dovecot_oauth  # noqa: E402
from dovecot_pop3 import USER  # noqa: E402
from expectations import expect, verdict  # noqa: E402
from oauth_server import CLIENT_ID, OAuthServer  # noqa: E402
from tls_servers import Authority, windows_path  # noqa: E402

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
    run = subprocess.Popen(mailcheck + ["--port", str(port), "--checks", "3", "--step", *refresh_check, "localhost",
                                        USER], stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                           text=True, env=dict(os.environ, ZANTOLI_REFRESH_TOKEN=idp.tokens[-1].refresh_token))
    output = ""
    for step in range(2):
        for line in run.stdout:  # bounded by the run's own checks
            output += line
            if line.startswith(f"check {step + 1}:"):
                break
        time.sleep(12 * step)
        run.stdin.write("\n")
        run.stdin.flush()
    output += run.communicate(timeout=120)[0]
    refreshed = [form["refresh_token"] for form in idp.requests[requests:]]
    expect(run.returncode == 0 and output.count(": new=3") == 3 and len(refreshed) == 2 and
           refreshed[1] == idp.tokens[-2].refresh_token, "tokens of 72 s", f"{output}\nrefreshed: {refreshed}")


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
