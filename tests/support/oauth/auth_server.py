#!/usr/bin/python3
"""An OAuth2 authorization server for Orvanto's tests, on 127.0.0.1 only (authlib on Flask).

  GET  /authorize    authorization code with PKCE (S256 required); consents at once for
                     the login_hint user (the test plays the browser)
  POST /token        authorization_code and refresh_token grants; refresh tokens rotate
  POST /introspect   RFC 7662 for the mail servers (HTTP basic auth as client "mail")
  POST /control/lifetime?seconds=N  lifetime of the access tokens issued from now on
  POST /control/expire              every access token issued so far ends now
  POST /control/revoke              every refresh token is refused from now on
  GET  /control/log                 the grants handed out and refused, as JSON

Clients: "orvanto" (public, no secret) and "orvanto-secret" (secret "s3cret", as
Google's installed-program clients have). Prints "READY <port>" once listening.
"""
import argparse
import logging
import os
import secrets
import sys
import time

# Plain http is fine on the loopback interface, where nothing else listens.
os.environ['AUTHLIB_INSECURE_TRANSPORT'] = '1'

from flask import Flask, jsonify, request
from authlib.integrations.flask_oauth2 import AuthorizationServer
from authlib.oauth2.rfc6749 import grants, ClientMixin, InvalidGrantError, TokenMixin
from authlib.oauth2.rfc6750 import BearerTokenGenerator
from authlib.oauth2.rfc7636 import CodeChallenge
from authlib.oauth2.rfc7662 import IntrospectionEndpoint

SCOPE = 'mail'
state = {'lifetime': 3600, 'log': []}
codes, tokens = {}, []


class Client(ClientMixin):
    def __init__(self, client_id, secret, methods):
        self.client_id, self.secret, self.methods = client_id, secret, methods

    def get_client_id(self): return self.client_id
    def get_default_redirect_uri(self): return None
    def get_allowed_scope(self, scope): return scope
    # RFC 8252: a loopback redirect on any port.
    def check_redirect_uri(self, uri): return uri.startswith('http://127.0.0.1:')
    def check_client_secret(self, secret): return self.secret is not None and secret == self.secret
    def check_endpoint_auth_method(self, method, endpoint): return method in self.methods
    def check_response_type(self, response_type): return response_type == 'code'
    def check_grant_type(self, grant_type): return grant_type in ('authorization_code', 'refresh_token')


CLIENTS = {c.client_id: c for c in (
    Client('orvanto', None, ('none',)),
    Client('orvanto-secret', 's3cret', ('client_secret_post', 'client_secret_basic')),
    Client('mail', 'mailsecret', ('client_secret_basic',)),
)}


class Code:
    def __init__(self, **kw): self.__dict__.update(kw)
    def get_redirect_uri(self): return self.redirect_uri
    def get_scope(self): return self.scope


class Token(TokenMixin):
    def __init__(self, data, client_id, user):
        self.access_token = data['access_token']
        self.refresh_token = data.get('refresh_token')
        self.scope, self.client_id, self.user = data.get('scope', SCOPE), client_id, user
        self.issued, self.expires_in = time.time(), data['expires_in']
        self.access_revoked = self.refresh_revoked = False

    def check_client(self, client): return client.get_client_id() == self.client_id
    def get_scope(self): return self.scope
    def get_expires_in(self): return self.expires_in
    def is_expired(self): return self.access_revoked or time.time() > self.issued + self.expires_in
    def is_revoked(self): return False


class CodeGrant(grants.AuthorizationCodeGrant):
    TOKEN_ENDPOINT_AUTH_METHODS = ['none', 'client_secret_post', 'client_secret_basic']

    def save_authorization_code(self, code, req):
        codes[code] = Code(code=code, client_id=req.client_id, redirect_uri=req.redirect_uri,
                           scope=req.scope, user=req.user,
                           code_challenge=req.data.get('code_challenge'),
                           code_challenge_method=req.data.get('code_challenge_method'))

    def query_authorization_code(self, code, client):
        item = codes.get(code)
        return item if item and item.client_id == client.get_client_id() else None

    def delete_authorization_code(self, code): codes.pop(code.code, None)
    def authenticate_user(self, code): return code.user


class RefreshGrant(grants.RefreshTokenGrant):
    TOKEN_ENDPOINT_AUTH_METHODS = ['none', 'client_secret_post', 'client_secret_basic']
    INCLUDE_NEW_REFRESH_TOKEN = True

    def authenticate_refresh_token(self, refresh_token):
        for t in tokens:
            if t.refresh_token == refresh_token and not t.refresh_revoked:
                return t
        raise InvalidGrantError('Token has been expired or revoked.')

    def authenticate_user(self, credential): return credential.user
    def revoke_old_credential(self, credential): credential.refresh_revoked = True


class Introspection(IntrospectionEndpoint):
    def query_token(self, token, hint):
        return next((t for t in tokens if t.access_token == token), None)

    def introspect_token(self, token):
        return {'active': True, 'client_id': token.client_id, 'username': token.user, 'sub': token.user,
                'scope': token.scope, 'token_type': 'Bearer', 'exp': int(token.issued + token.expires_in)}

    def check_permission(self, token, client, req): return True


def save_token(data, req):
    client_id = req.client.get_client_id()
    tokens.append(Token(data, client_id, req.user))
    state['log'].append({'grant': req.grant_type, 'user': req.user, 'client': client_id})


def make_app():
    app = Flask(__name__)
    server = AuthorizationServer(app, query_client=CLIENTS.get, save_token=save_token)
    server.register_token_generator('default', BearerTokenGenerator(
        lambda **kw: secrets.token_urlsafe(32), lambda **kw: secrets.token_urlsafe(32),
        lambda client, grant_type: state['lifetime']))
    server.register_grant(CodeGrant, [CodeChallenge(required=True)])
    server.register_grant(RefreshGrant)
    server.register_endpoint(Introspection)

    @app.route('/authorize')
    def authorize():
        return server.create_authorization_response(grant_user=request.args.get('login_hint', 'ann'))

    @app.route('/token', methods=['POST'])
    def token():
        response = server.create_token_response()
        if response.status_code != 200:
            state['log'].append({'grant': request.form.get('grant_type'), 'refused': True,
                                 'status': response.status_code})
        return response

    @app.route('/introspect', methods=['POST'])
    def introspect():
        return server.create_endpoint_response(Introspection.ENDPOINT_NAME)

    @app.route('/control/<what>', methods=['GET', 'POST'])
    def control(what):
        if what == 'lifetime':
            state['lifetime'] = int(request.args['seconds'])
        elif what == 'expire':
            for t in tokens:
                t.access_revoked = True
        elif what == 'revoke':
            for t in tokens:
                t.refresh_revoked = True
        return jsonify(state['log'])

    return app


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--port', type=int, required=True)
    args = parser.parse_args()
    logging.getLogger('werkzeug').setLevel(logging.ERROR)
    print('READY %d' % args.port, flush=True)
    make_app().run(host='127.0.0.1', port=args.port, threaded=True)


if __name__ == '__main__':
    sys.exit(main())
