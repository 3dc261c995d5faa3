"""The tests' OAuth 2.0 server over HTTPS on 127.0.0.1: refresh with rotation and introspection (for Dovecot)."""
import secrets
import ssl
import threading
import time
from types import SimpleNamespace

from authlib.integrations.flask_oauth2 import AuthorizationServer
from authlib.oauth2.rfc6749 import ClientMixin, grants
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
        return grant_type == "refresh_token"


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
        self.tokens, self.requests = [], []
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

        @app.route("/token", methods=["POST"])
        def token():
            owner.requests.append(dict(request.form))
            return server.create_token_response()

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
