"""An OAuth 2.0 authorization server for the tests, on Debian's python3-authlib: the authorization
code with PKCE (S256 only), refresh with rotation (the old refresh token stops working), revocation
and token introspection (for Dovecot), over HTTPS with the tests' CA on 127.0.0.1.

Consent is given over HTTP: GET /authorize?...&consent=yes (or no) answers with the redirect to
the client, as a browser that the user clicked through would follow it. Access tokens live
`lifetime` seconds."""
import secrets
import ssl
import threading
import time

from authlib.integrations.flask_oauth2 import AuthorizationServer
from authlib.oauth2.rfc6749 import ClientMixin, grants
from authlib.oauth2.rfc7009 import RevocationEndpoint
from authlib.oauth2.rfc7636 import CodeChallenge
from flask import Flask, request
from werkzeug.serving import make_server

CLIENT_ID = "zantoli-test-client"
USER = "tester"


class Client(ClientMixin):
    def __init__(self, client_id):
        self.client_id = client_id

    def get_client_id(self):
        return self.client_id

    def get_default_redirect_uri(self):
        return None

    def get_allowed_scope(self, scope):
        return scope

    def check_redirect_uri(self, redirect_uri):  # loopback at any port (RFC 8252)
        return redirect_uri.startswith("http://127.0.0.1:")

    def check_client_secret(self, client_secret):
        return False

    def check_endpoint_auth_method(self, method, endpoint):
        return method == "none"

    def check_response_type(self, response_type):
        return response_type == "code"

    def check_grant_type(self, grant_type):
        return grant_type in ("authorization_code", "refresh_token")


class Code:
    def __init__(self, **fields):
        self.__dict__.update(fields)

    def get_redirect_uri(self):
        return self.redirect_uri

    def get_scope(self):
        return self.scope

    def get_nonce(self):
        return None

    def get_auth_time(self):
        return None


class Token:
    def __init__(self, client_id, user, scope, access, refresh, lifetime):
        self.client_id, self.user, self.scope = client_id, user, scope
        self.access_token, self.refresh_token = access, refresh
        self.issued_at, self.expires_in, self.revoked = time.time(), lifetime, False

    def check_client(self, client):
        return client.client_id == self.client_id

    def get_scope(self):
        return self.scope

    def get_expires_in(self):
        return self.expires_in

    def is_expired(self):
        return time.time() >= self.issued_at + self.expires_in

    def is_revoked(self):
        return self.revoked


class OAuthServer:
    """Started as a context manager; `url` is its base, `tokens` what it issued."""

    def __init__(self, certificate, lifetime=3600):
        self.certificate, self.lifetime = certificate, lifetime  # (pem, key)
        self.codes, self.tokens, self.requests = {}, [], []
        self.app = self._app()

    def _app(self):
        app = Flask("zantoli-test-idp")
        server = AuthorizationServer(app, query_client=lambda cid: Client(cid) if cid == CLIENT_ID else None,
                                     save_token=self._save_token)
        owner = self

        def generate(client, grant_type, user, scope, expires_in=None, include_refresh_token=True):
            return {"token_type": "Bearer", "access_token": secrets.token_urlsafe(24),
                    "refresh_token": secrets.token_urlsafe(24) if include_refresh_token else None,
                    "expires_in": owner.lifetime, "scope": scope}
        server.generate_token = generate

        class CodeGrant(grants.AuthorizationCodeGrant):
            TOKEN_ENDPOINT_AUTH_METHODS = ["none"]

            def save_authorization_code(self, code, req):
                owner.codes[code] = Code(code=code, client_id=req.client.client_id, redirect_uri=req.redirect_uri,
                                         scope=req.scope, user=USER,
                                         code_challenge=req.data.get("code_challenge"),
                                         code_challenge_method=req.data.get("code_challenge_method"))

            def query_authorization_code(self, code, client):
                found = owner.codes.get(code)
                return found if found and found.client_id == client.client_id else None

            def delete_authorization_code(self, code):
                owner.codes.pop(code.code, None)

            def authenticate_user(self, code):
                return code.user

        class RefreshGrant(grants.RefreshTokenGrant):
            TOKEN_ENDPOINT_AUTH_METHODS = ["none"]
            INCLUDE_NEW_REFRESH_TOKEN = True

            def authenticate_refresh_token(self, refresh_token):
                for token in owner.tokens:
                    if token.refresh_token == refresh_token and not token.revoked:
                        return token
                return None

            def authenticate_user(self, credential):
                return credential.user

            def revoke_old_credential(self, credential):
                credential.revoked = True

        class Revocation(RevocationEndpoint):
            CLIENT_AUTH_METHODS = ["none"]

            def query_token(self, token_string, token_type_hint):
                return owner._find(token_string)

            def revoke_token(self, token, req):
                # The whole grant goes: every token of the user.
                for other in owner.tokens:
                    if other.user == token.user:
                        other.revoked = True

        server.register_grant(CodeGrant, [CodeChallenge(required=True)])
        server.register_grant(RefreshGrant)
        server.register_endpoint(Revocation)

        @app.route("/authorize")
        def authorize():
            if request.args.get("code_challenge_method") != "S256":
                return "S256 only", 400
            consent = request.args.get("consent") == "yes"
            return server.create_authorization_response(grant_user=USER if consent else None)

        @app.route("/token", methods=["POST"])
        def token():
            owner.requests.append(dict(request.form))
            return server.create_token_response()

        @app.route("/revoke", methods=["POST"])
        def revoke():
            return server.create_endpoint_response("revocation")

        # RFC 7662 as Dovecot asks it: the token in a form, no client authentication.
        @app.route("/introspect", methods=["POST", "GET"])
        def introspect():
            token = owner._find(request.values.get("token", ""))
            if token is None or token.revoked or token.is_expired():
                return {"active": False}
            return {"active": True, "username": token.user, "client_id": token.client_id, "scope": token.scope}
        return app

    def _save_token(self, token, req):
        self.tokens.append(Token(req.client.client_id, req.user, token.get("scope"), token["access_token"],
                                 token.get("refresh_token"), token["expires_in"]))

    def _find(self, text):
        for token in self.tokens:
            if text in (token.access_token, token.refresh_token):
                return token
        return None

    def revoke_all(self):
        for token in self.tokens:
            token.revoked = True

    def __enter__(self):
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(*self.certificate)
        self.server = make_server("127.0.0.1", 0, self.app, threaded=True, ssl_context=context)
        self.port = self.server.server_port
        self.url = f"https://localhost:{self.port}"  # the name its certificate carries
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.server.shutdown()
