"""The tests' OAuth 2.0 server over HTTPS on 127.0.0.1: the authorization code with PKCE for any
loopback redirect, refresh with rotation and introspection (for Dovecot).

oauth_server.py --work DIR -- COMMAND... (inside tls_servers.py, whose certificate it uses) runs
COMMAND with ZANTOLI_OAUTH_URL, ZANTOLI_BROWSER (a browser stand-in for Wine's browser list) and
ZANTOLI_OAUTH_ISSUED (the refresh tokens issued, one a line)."""
import os
import re
import secrets
import ssl
import subprocess
import sys
import threading
import time
from types import SimpleNamespace

from authlib.integrations.flask_oauth2 import AuthorizationServer
from authlib.oauth2.rfc6749 import ClientMixin, grants
from authlib.oauth2.rfc7636 import CodeChallenge
from flask import Flask, request
from werkzeug.serving import make_server

CLIENT_ID = "zantoli-test-client"
USER = "tester"


class Client(ClientMixin):
    """A public client: no secret."""
    client_id = CLIENT_ID

    def check_endpoint_auth_method(self, method, endpoint):
        return method == "none"

    def check_grant_type(self, grant_type):
        return grant_type in ("refresh_token", "authorization_code")

    def check_response_type(self, response_type):
        return response_type == "code"

    def check_redirect_uri(self, redirect_uri):
        return re.fullmatch(r"http://127\.0\.0\.1:\d+/", redirect_uri) is not None

    def get_allowed_scope(self, scope):
        return scope


class Token(SimpleNamespace):
    def get_scope(self):
        return self.scope

    def get_expires_in(self):
        return self.expires_in

    def check_client(self, client):
        return client.client_id == self.client_id

    def active(self):
        return not self.revoked and time.time() < self.issued_at + self.expires_in


class OAuthServer:
    """`url` is its base, `tokens` what it issued, `requests` the token endpoint's forms."""
    def __init__(self, certificate, lifetime=3600):
        self.certificate, self.lifetime = certificate, lifetime  # (pem, key)
        self.tokens, self.requests, self.codes, self.issued_file = [], [], {}, None
        self.app = self._app()

    def _app(self):
        app = Flask("zantoli-test-idp")
        server = AuthorizationServer(app, query_client=lambda cid: Client() if cid == CLIENT_ID else None,
                                     save_token=lambda token, req: self._issue(token["access_token"],
                                                                               token["refresh_token"]))
        server.generate_token = lambda *args, **kwargs: {
            "token_type": "Bearer", "access_token": secrets.token_urlsafe(24),
            "refresh_token": secrets.token_urlsafe(24), "expires_in": self.lifetime, "scope": "mail"}
        owner = self

        class RefreshGrant(grants.RefreshTokenGrant):
            TOKEN_ENDPOINT_AUTH_METHODS = ["none"]
            INCLUDE_NEW_REFRESH_TOKEN = True

            def authenticate_refresh_token(self, refresh_token):
                return next((t for t in owner.tokens if t.refresh_token == refresh_token and not t.revoked), None)

            def authenticate_user(self, credential):
                return credential.user

            def revoke_old_credential(self, credential):
                credential.revoked = True

        server.register_grant(RefreshGrant)

        class CodeGrant(grants.AuthorizationCodeGrant):
            TOKEN_ENDPOINT_AUTH_METHODS = ["none"]

            def save_authorization_code(self, code, req):
                owner.codes[code] = SimpleNamespace(
                    code=code, redirect_uri=req.redirect_uri, scope=req.scope, code_challenge=req.data.get(
                        "code_challenge"), code_challenge_method=req.data.get("code_challenge_method"),
                    get_redirect_uri=lambda: req.redirect_uri, get_scope=lambda: req.scope)

            def query_authorization_code(self, code, client):
                return owner.codes.get(code)

            def delete_authorization_code(self, authorization_code):
                owner.codes.pop(authorization_code.code, None)

            def authenticate_user(self, authorization_code):
                return USER

        server.register_grant(CodeGrant, [CodeChallenge(required=True)])

        # The consent page; its form says yes or no, as a user's click would.
        @app.route("/authorize", methods=["GET", "POST"])
        def authorize():
            if request.method == "GET":
                return "<form method=post><button name=consent value=yes>Allow</button></form>"
            return server.create_authorization_response(grant_user=USER if request.form["consent"] == "yes" else None)

        @app.route("/token", methods=["POST"])
        def token():
            owner.requests.append(dict(request.form))
            return server.create_token_response()

        # The user withdraws the program's access at the provider: every grant ends.
        @app.route("/revoke", methods=["POST"])
        def revoke():
            owner.revoke_all()
            return ""

        # Introspection as Dovecot asks it: the token in a form, no client authentication.
        @app.route("/introspect", methods=["POST", "GET"])
        def introspect():
            text = request.values.get("token", "")
            token = next((t for t in owner.tokens if t.access_token == text and t.active()), None)
            if token is None:
                return {"active": False}
            return {"active": True, "username": token.user, "client_id": token.client_id, "scope": token.scope}
        return app

    def _issue(self, access, refresh):
        if self.issued_file:
            with open(self.issued_file, "a") as issued:
                issued.write(refresh + "\n")
        self.tokens.append(Token(client_id=CLIENT_ID, user=USER, scope="mail", access_token=access,
                                 refresh_token=refresh, issued_at=time.time(), expires_in=self.lifetime, revoked=False))
        return self.tokens[-1]

    def grant(self):
        return self._issue(secrets.token_urlsafe(24), secrets.token_urlsafe(24))

    def revoke_all(self):
        for token in self.tokens:
            token.revoked = True

    def __enter__(self):
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(*self.certificate)
        self.server = make_server("127.0.0.1", 0, self.app, threaded=True, ssl_context=context)
        self.url = f"https://localhost:{self.server.server_port}"  # the name its certificate carries
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        return self

    def __exit__(self, *exc):
        self.server.shutdown()


def main():
    work, command = os.path.abspath(sys.argv[2]), sys.argv[4:]  # --work DIR -- COMMAND...
    os.makedirs(work, exist_ok=True)
    stand_in = os.path.join(os.path.dirname(os.path.abspath(__file__)), "browser_stand_in.py")
    with OAuthServer((os.environ["ZANTOLI_TLS_GOOD_CERT"], os.environ["ZANTOLI_TLS_GOOD_KEY"])) as idp:
        idp.issued_file = os.path.join(work, "issued.txt")
        open(idp.issued_file, "w").close()
        env = dict(os.environ, ZANTOLI_OAUTH_URL=idp.url, ZANTOLI_OAUTH_ISSUED="Z:" + idp.issued_file.replace("/", "\\"),
                   ZANTOLI_BROWSER=f"{sys.executable} {stand_in} {os.environ['ZANTOLI_TLS_CA']}")
        return subprocess.run(command, env=env, timeout=280).returncode


if __name__ == "__main__":
    sys.exit(main())
