"""Decodes a voice file in a real browser.

Usage: /usr/bin/python3 browser_decode.py VOICE_FILE OUT_RAW

Serves voice_page.html and the voice file from 127.0.0.1, opens the page in Debian's
Chromium, headless, and waits for the page to post what the Web Audio API made of
the file. Prints one JSON line: {"duration": seconds} with the decoded samples
(16-bit little-endian, 8000 Hz) written to OUT_RAW, or {"refused": "EncodingError"}.
Exits 1, saying why on stderr, when the browser cannot run or the page never reports.
"""

import http.server
import json
import os
import subprocess
import sys
import tempfile
import threading
import urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))
CHROMIUM = "/usr/bin/chromium"
WAIT_SECONDS = 60


def checksum(samples: bytes) -> int:
    value = 0
    for i in range(0, len(samples) - 1, 2):
        value = (value * 31 + int.from_bytes(samples[i:i + 2], "little")) & 0xFFFFFFFF
    return value


def serve(voice: str, reports: list, done: threading.Event):
    class Handler(http.server.BaseHTTPRequestHandler):
        def log_message(self, *args):
            pass

        def send(self, body: bytes, kind: str):
            self.send_response(200)
            self.send_header("Content-Type", kind)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def do_GET(self):
            if self.path == "/":
                with open(os.path.join(HERE, "voice_page.html"), "rb") as page:
                    self.send(page.read(), "text/html; charset=utf-8")
            elif self.path == "/voice":
                kind = "audio/mpeg" if voice.endswith(".mp3") else "audio/wav"
                with open(voice, "rb") as file:
                    self.send(file.read(), kind)
            else:
                self.send_error(404)

        def do_POST(self):
            url = urllib.parse.urlsplit(self.path)
            body = self.rfile.read(int(self.headers.get("Content-Length", 0)))
            self.send(b"", "text/plain")
            reports.append((url.path, dict(urllib.parse.parse_qsl(url.query)), body))
            done.set()

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def main() -> int:
    voice, out = sys.argv[1], sys.argv[2]
    if not os.access(CHROMIUM, os.X_OK):
        print("no browser at " + CHROMIUM, file=sys.stderr)
        return 1
    reports, done = [], threading.Event()
    server = serve(voice, reports, done)
    with tempfile.TemporaryDirectory() as profile:
        env = dict(os.environ, HOME=profile, TMPDIR=profile, XDG_RUNTIME_DIR=profile)
        # Without the background-networking switches Chromium keeps trying hosts
        # this closed network does not reach.
        browser = subprocess.Popen(
            [CHROMIUM, "--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic",
             "--no-first-run", "--disable-background-networking", "--disable-component-update",
             "--disable-sync", "--user-data-dir=" + profile,
             "http://127.0.0.1:%d/" % server.server_address[1]],
            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            done.wait(WAIT_SECONDS)
        finally:
            browser.kill()
            browser.wait()
            server.shutdown()
    if not reports:
        print("the page reported nothing within %d s" % WAIT_SECONDS, file=sys.stderr)
        return 1
    path, query, body = reports[0]
    if path == "/refused":
        print(json.dumps({"refused": query.get("error", "")}))
        return 0
    if checksum(body) != int(query.get("checksum", -1)):
        print("the samples arrived changed", file=sys.stderr)
        return 1
    with open(out, "wb") as file:
        file.write(body)
    print(json.dumps({"duration": float(query["duration"])}))
    return 0


if __name__ == "__main__":
    sys.exit(main())
