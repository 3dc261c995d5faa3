#!/usr/bin/python3
"""The OAuth 2.0 check with real parts: the tests' authorization server (python3-authlib) over
HTTPS with the tests' CA, and Dovecot's oauth2 passdb asking it about every token. Through
mailcheck (natively, or the Windows build under Wine with a runner): XOAUTH2 over POP3 and IMAP with an access token
from a sign-in made here, a refused token, and the notifier's token check (--token-url): refresh,
rotation, and a revoked grant.

  oauth_check_test.py WORK_DIR [WINE_RUN] MAILCHECK
"""
import base64
import hashlib
import os
import secrets
import ssl
import subprocess
import sys
import urllib.parse
import urllib.request

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
from dovecot_oauth import DovecotOAuth  # noqa: E402
from dovecot_pop3 import USER  # noqa: E402
from oauth_server import CLIENT_ID, OAuthServer  # noqa: E402
from tls_servers import Authority  # noqa: E402

failures = []
work = os.path.abspath(sys.argv[1])
mailcheck = sys.argv[2:]
windows = len(mailcheck) > 1


def expect(condition, what, output=""):
    if not condition:
        failures.append(what)
        print(f"FAILED: {what}\n{output}")


def host_path(path):
    return "Z:" + path.replace("/", "\\") if windows else path


def sign_in(idp, context):
    """The authorization code with PKCE, consent given as the browser stand-in would."""
    verifier = secrets.token_urlsafe(32)
    challenge = base64.urlsafe_b64encode(hashlib.sha256(verifier.encode()).digest()).rstrip(b"=").decode()
    redirect = "http://127.0.0.1:9/"
    query = urllib.parse.urlencode({"response_type": "code", "client_id": CLIENT_ID, "redirect_uri": redirect,
                                    "scope": "mail", "state": "s", "code_challenge": challenge,
                                    "code_challenge_method": "S256", "consent": "yes"})

    class Keep(urllib.request.HTTPRedirectHandler):
        def redirect_request(self, *args):
            return None
    opener = urllib.request.build_opener(Keep, urllib.request.HTTPSHandler(context=context))
    try:
        opener.open(f"{idp.url}/authorize?{query}")
        raise RuntimeError("no redirect")
    except urllib.error.HTTPError as redirect_reply:
        location = redirect_reply.headers["Location"]
    code = urllib.parse.parse_qs(urllib.parse.urlparse(location).query)["code"][0]
    body = urllib.parse.urlencode({"grant_type": "authorization_code", "code": code, "redirect_uri": redirect,
                                   "code_verifier": verifier, "client_id": CLIENT_ID}).encode()
    import json
    with urllib.request.urlopen(f"{idp.url}/token", body, context=context) as reply:
        return json.load(reply)


def check(port, *extra, **environment):
    result = subprocess.run(mailcheck + ["--port", str(port), *extra, "localhost", USER], capture_output=True,
                            text=True, timeout=120, env=dict(os.environ, **environment))
    return result.returncode, result.stdout + result.stderr


def main():
    authority = Authority(os.path.join(work, "ca"), "Zantoli OAuth test CA")
    certificate = authority.issue("idp", "localhost")
    context = ssl.create_default_context(cafile=authority.pem)
    with OAuthServer(certificate, lifetime=3600) as idp, \
            DovecotOAuth(os.path.join(work, "dovecot"), f"https://localhost:{idp.port}/introspect",
                         authority.pem) as dovecot:
        dovecot.add_messages(3)
        tokens = sign_in(idp, context)
        access, refresh = tokens["access_token"], tokens["refresh_token"]

        code, output = check(dovecot.port, "--xoauth2", ZANTOLI_ACCESS_TOKEN=access)
        expect(code == 0 and "check 1: new=3" in output and "AUTH XOAUTH2 ****" in output, "XOAUTH2 login", output)
        expect(access not in output, "the access token is traced", output)
        code, output = check(dovecot.port, "--xoauth2", ZANTOLI_ACCESS_TOKEN="not-a-token")
        expect(code == 1 and "token refused" in output, "a token the server does not know", output)
        code, output = check(dovecot.imap_port, "--protocol", "imap", "--xoauth2", ZANTOLI_ACCESS_TOKEN=access)
        expect(code == 0 and "check 1: new=3" in output and "AUTHENTICATE XOAUTH2 ****" in output,
               "IMAP XOAUTH2 login", output)
        expect(access not in output, "the access token is traced over IMAP", output)
        code, output = check(dovecot.imap_port, "--protocol", "imap", "--xoauth2", ZANTOLI_ACCESS_TOKEN="not-a-token")
        expect(code == 1 and "token refused" in output, "IMAP: a token the server does not know", output)

        # The notifier's own path: a refresh at the token endpoint (WinHTTP under Wine, which
        # must take the tests' CA from the trust file), the rotated token, then a revoked grant.
        token_url = f"https://localhost:{idp.port}/token"
        refresh_check = ("--token-url", token_url, "--client-id", CLIENT_ID, "--trust-file", host_path(authority.pem))
        code, output = check(dovecot.port, *refresh_check, ZANTOLI_REFRESH_TOKEN=refresh)
        if windows:
            expect(code == 0 and "check 1: new=3" in output and "new refresh token" in output,
                   "a check that refreshes first", output)
            expect(refresh not in output and all(t.access_token not in output for t in idp.tokens),
                   "a token is traced", output)
            requests = len(idp.requests)
            code, output = check(dovecot.port, *refresh_check[:4], ZANTOLI_REFRESH_TOKEN=refresh)
            expect(code == 1 and "failed: token endpoint: " in output and len(idp.requests) == requests,
                   "without the trust file the CA is unknown and the request never arrives", output)
            idp.revoke_all()
            code, output = check(dovecot.port, *refresh_check, ZANTOLI_REFRESH_TOKEN=refresh)
            expect(code == 1 and "sign-in expired: sign in again in Setting.exe" in output, "a revoked grant",
                   output)
        else:
            expect(code == 1 and "HTTPS is not available in this build" in output, "native: no HTTPS", output)
    if failures:
        print(f"{len(failures)} failure(s)")
        return 1
    print("all OAuth checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
