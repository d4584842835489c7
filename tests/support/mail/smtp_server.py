#!/usr/bin/python3
"""Test SMTP servers for Orvanto's mail tests, on 127.0.0.1 only.

Modes:
  auth-tls  aiosmtpd with STARTTLS and AUTH PLAIN/LOGIN (AUTH only after STARTTLS)
  auth      aiosmtpd without TLS, with AUTH PLAIN/LOGIN
  plain     aiosmtpd without TLS and without AUTH
  utf8      as plain, offering SMTPUTF8 (the others do not offer it)
  tls-only  aiosmtpd with STARTTLS, no AUTH
  --introspect URL  (auth-tls) also AUTH XOAUTH2, the bearer token checked with the
            RFC 7662 introspection endpoint at URL (as client "mail")
  fault:NAME a hand-written server that misbehaves on purpose:
            greet554, mail451, rcpt550, data552, data451, drop-data, stall, drop-idle, slow,
            stall-data (takes the message, then never answers again)
Every accepted message is stored as msg-N.eml with its envelope in msg-N.json.
Prints "READY <port>" once listening.
"""
import argparse
import asyncio
import base64
import json
import os
import signal
import ssl
import sys
import threading
import time
import urllib.parse
import urllib.request


def store(directory, envelope_from, rcpts, data):
    os.makedirs(directory, exist_ok=True)
    n = len([f for f in os.listdir(directory) if f.endswith('.eml')]) + 1
    with open(os.path.join(directory, 'msg-%d.json' % n), 'w') as f:
        json.dump({'from': envelope_from, 'to': rcpts}, f)
    tmp = os.path.join(directory, '.msg-%d.tmp' % n)
    with open(tmp, 'wb') as f:
        f.write(data)
    os.rename(tmp, os.path.join(directory, 'msg-%d.eml' % n))


def run_aiosmtpd(args):
    from aiosmtpd.controller import Controller
    from aiosmtpd.smtp import AuthResult, LoginPassword, MISSING

    class Handler:
        async def handle_DATA(self, server, session, envelope):
            store(args.store, envelope.mail_from, envelope.rcpt_tos, envelope.original_content or envelope.content)
            return '250 OK stored'

    class OAuthHandler(Handler):
        async def auth_XOAUTH2(self, server, words):
            blob = base64.b64decode(words[1]) if len(words) > 1 else await server.challenge_auth('')
            if blob is MISSING:
                return AuthResult(success=False, handled=True)
            fields = dict(f.split('=', 1) for f in blob.decode().split('\x01') if '=' in f)
            user, token = fields.get('user', ''), fields.get('auth', '').replace('Bearer ', '', 1)
            if introspect(token).get('username') == user:
                print('AUTH XOAUTH2 user=%s accepted' % user, flush=True)
                return AuthResult(success=True, auth_data=user)
            print('AUTH XOAUTH2 user=%s refused' % user, flush=True)
            # The reason goes in a challenge, which the client answers with an empty line.
            await server.challenge_auth(json.dumps({'status': 'invalid_token', 'schemes': 'bearer'}))
            return AuthResult(success=False, message='535 5.7.8 Token not active')

    def introspect(token):
        data = urllib.parse.urlencode({'token': token}).encode()
        req = urllib.request.Request(args.introspect, data)
        req.add_header('Authorization', 'Basic ' + base64.b64encode(b'mail:mailsecret').decode())
        with urllib.request.urlopen(req, timeout=10) as answer:
            info = json.load(answer)
        return info if info.get('active') else {}

    def authenticator(server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword)
              and auth_data.login.decode() == args.user
              and auth_data.password.decode() == args.password)
        print('AUTH %s user=%s %s' % (mechanism, auth_data.login.decode(), 'accepted' if ok else 'refused'),
              flush=True)
        # handled=False makes the server answer 535 itself.
        return AuthResult(success=ok, handled=False)

    kwargs = {}
    tls = args.mode in ('auth-tls', 'tls-only')
    if tls:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.cert, args.key)
        kwargs['tls_context'] = context
        kwargs['require_starttls'] = False
    if args.mode in ('auth-tls', 'auth'):
        kwargs['authenticator'] = authenticator
        kwargs['auth_require_tls'] = args.mode == 'auth-tls'
    kwargs['enable_SMTPUTF8'] = args.mode == 'utf8'
    handler = OAuthHandler() if args.introspect else Handler()
    controller = Controller(handler, hostname='127.0.0.1', port=args.port,
                            server_hostname='localhost', **kwargs)
    controller.start()
    print('READY %d' % args.port, flush=True)
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *a: stop.set())
    signal.signal(signal.SIGINT, lambda *a: stop.set())
    while not stop.is_set():
        stop.wait(0.2)
    controller.stop()


class FaultSession:
    dropped = False  # drop-idle closes only the first connection
    def __init__(self, args, reader, writer):
        self.args, self.reader, self.writer = args, reader, writer
        self.fault = args.mode.split(':', 1)[1]

    async def reply(self, line):
        self.writer.write((line + '\r\n').encode())
        await self.writer.drain()

    async def run(self):
        if self.fault == 'stall':
            await asyncio.sleep(3600)
            return
        if self.fault == 'greet554':
            await self.reply('554 5.3.2 No service for you')
            # Waits for QUIT like a real server would.
        else:
            await self.reply('220 localhost fault server ready')
        mail_from, rcpts = None, []
        while True:
            raw = await self.reader.readline()
            if not raw:
                return
            line = raw.decode(errors='replace').rstrip('\r\n')
            verb = line.split(' ', 1)[0].upper()
            if verb in ('EHLO', 'HELO'):
                await self.reply('250-localhost\r\n250-AUTH PLAIN LOGIN\r\n250 8BITMIME')
            elif verb == 'AUTH':
                parts = line.split(' ')
                if len(parts) < 3:
                    await self.reply('334 ')
                    await self.reader.readline()
                await self.reply('235 2.7.0 Authentication successful')
            elif verb == 'NOOP':
                await self.reply('250 OK')
                if self.fault == 'drop-idle' and not FaultSession.dropped:
                    FaultSession.dropped = True
                    # Closes the idle connection after the login, as servers do after a while.
                    await asyncio.sleep(0.2)
                    await self.reply('421 4.4.2 idle too long')
                    self.writer.close()
                    return
            elif verb == 'MAIL':
                if self.fault == 'mail451':
                    await self.reply('451 4.3.0 Mail server temporarily rejected message')
                else:
                    mail_from = line[10:].strip()
                    await self.reply('250 OK')
            elif verb == 'RCPT':
                if self.fault == 'rcpt550':
                    await self.reply('550 5.1.1 <nobody@example.test>: Recipient address rejected')
                else:
                    rcpts.append(line[8:].strip())
                    await self.reply('250 OK')
            elif verb == 'DATA':
                await self.reply('354 End data with <CR><LF>.<CR><LF>')
                data = bytearray()
                while True:
                    chunk = await self.reader.readline()
                    if not chunk:
                        return
                    if self.fault == 'drop-data' and len(data) > 2000:
                        self.writer.transport.abort()
                        return
                    if chunk == b'.\r\n':
                        break
                    data += chunk
                if self.fault == 'stall-data':
                    await asyncio.sleep(3600)
                    return
                if self.fault == 'slow':
                    # Takes its time to accept, so that a test can act while a message is sent.
                    await asyncio.sleep(2)
                if self.fault == 'data552':
                    await self.reply('552 5.3.4 Message size exceeds fixed limit')
                elif self.fault == 'data451':
                    await self.reply('451 4.3.0 Error: queue file write error')
                else:
                    store(self.args.store, mail_from, rcpts, bytes(data))
                    await self.reply('250 OK stored')
            elif verb == 'RSET':
                await self.reply('250 OK')
            elif verb == 'QUIT':
                await self.reply('221 Bye')
                self.writer.close()
                return
            else:
                await self.reply('502 5.5.2 Command not recognized')


def run_fault(args):
    async def main():
        async def handle(reader, writer):
            try:
                await FaultSession(args, reader, writer).run()
            except (ConnectionError, asyncio.CancelledError):
                pass

        server = await asyncio.start_server(handle, '127.0.0.1', args.port)
        print('READY %d' % args.port, flush=True)
        loop = asyncio.get_running_loop()
        stop = loop.create_future()
        loop.add_signal_handler(signal.SIGTERM, lambda: stop.done() or stop.set_result(None))
        loop.add_signal_handler(signal.SIGINT, lambda: stop.done() or stop.set_result(None))
        async with server:
            await stop
    asyncio.run(main())


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--port', type=int, required=True)
    parser.add_argument('--mode', default='auth-tls')
    parser.add_argument('--store', default='.')
    parser.add_argument('--cert')
    parser.add_argument('--key')
    parser.add_argument('--user', default='ann')
    parser.add_argument('--password', default='secret')
    parser.add_argument('--introspect')
    args = parser.parse_args()
    if args.mode.startswith('fault:'):
        run_fault(args)
    else:
        run_aiosmtpd(args)


if __name__ == '__main__':
    main()
