#!/usr/bin/env python3
"""Two peers for IndexNow tests on 127.0.0.1: a site serving files from a folder,
and an endpoint that validates notifications like the public ones do.

Usage: indexnow_peers.py SITE_DIR CONTROL_JSON REQUEST_LOG [--cert PEM] [--ports SITE ENDPOINT]
Prints "ready SITE_PORT ENDPOINT_PORT" once both listen (on free ports unless
--ports names them). With --cert both speak HTTPS with that certificate (the
endpoint then fetches key files over HTTPS too, trusting what SSL_CERT_FILE names).

The endpoint checks the key's form (400), the URL count and hosts (422), fetches
the key location from the site (403 when missing or different) and that the URLs
lie in the key file's folder (422); then answers 200, or 202 when the control
file says "pending". The control file may also hold "statuses": a list of
answers forced on the following validated requests in turn (each a number, or
{"status": 429, "retry_after": "120"}), and "delay" seconds to wait before
answering ("stall_after": N lets the first N requests through without it).
Every request is appended to the log as one JSON line.
"""
import json
import re
import ssl
import sys
import threading
import time
import urllib.parse
import urllib.request
from http.server import BaseHTTPRequestHandler, SimpleHTTPRequestHandler, ThreadingHTTPServer

SITE_DIR, CONTROL, LOG = sys.argv[1:4]
OPTIONS = sys.argv[4:]
CERT = OPTIONS[OPTIONS.index("--cert") + 1] if "--cert" in OPTIONS else None
PORTS = [int(p) for p in OPTIONS[OPTIONS.index("--ports") + 1:][:2]] if "--ports" in OPTIONS else [0, 0]
KEY_FORM = re.compile(r"^[A-Za-z0-9-]{8,128}$")
lock = threading.Lock()
consumed = [0]
arrived = [0]


def control():
    try:
        with open(CONTROL) as f:
            return json.load(f)
    except (OSError, ValueError):
        return {}


class Site(SimpleHTTPRequestHandler):
    def __init__(self, *args, **kwargs):
        super().__init__(*args, directory=SITE_DIR, **kwargs)

    def log_message(self, *args):
        pass


class Endpoint(BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def answer(self, status, entry, retry_after=None):
        entry["status"] = status
        with lock:
            with open(LOG, "a") as f:
                f.write(json.dumps(entry) + "\n")
        self.send_response(status)
        if retry_after is not None:
            self.send_header("Retry-After", retry_after)
        self.send_header("Content-Type", "text/plain")
        self.end_headers()
        self.wfile.write(b"status %d" % status)

    def validate(self, host, key, location, urls):
        if not KEY_FORM.match(key or ""):
            return 400
        if not urls or len(urls) > 10000:
            return 422
        for url in urls:
            if urllib.parse.urlsplit(url).netloc != host:
                return 422
        location = location or "http://%s/%s.txt" % (host, key)
        try:
            with urllib.request.urlopen(location, timeout=10) as reply:
                held = reply.read().decode("utf-8").strip()
        except Exception:
            return 403
        if held != key:
            return 403
        folder = location[: location.rfind("/") + 1]
        if any(not url.startswith(folder) for url in urls):
            return 422
        return 0

    def decide(self, entry, host, key, location, urls):
        c = control()
        with lock:
            number = arrived[0]
            arrived[0] += 1
        if c.get("delay") and number >= c.get("stall_after", 0):
            time.sleep(c["delay"])
        status = self.validate(host, key, location, urls)
        if status:
            return self.answer(status, entry)
        forced = c.get("statuses", [])
        with lock:
            index = consumed[0]
            consumed[0] += 1
        if index < len(forced):
            rule = forced[index]
            if isinstance(rule, dict):
                return self.answer(rule["status"], entry, rule.get("retry_after"))
            return self.answer(rule, entry)
        self.answer(202 if c.get("pending") else 200, entry)

    def do_GET(self):
        parts = urllib.parse.urlsplit(self.path)
        query = dict(urllib.parse.parse_qsl(parts.query))
        entry = {"method": "GET", "path": parts.path, "query": query, "received": time.time()}
        if parts.path != "/indexnow":
            return self.answer(404, entry)
        url = query.get("url", "")
        self.decide(entry, urllib.parse.urlsplit(url).netloc, query.get("key"), query.get("keyLocation"), [url])

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        raw = self.rfile.read(length)
        entry = {"method": "POST", "path": self.path, "content_type": self.headers.get("Content-Type"),
                 "body": raw.decode("utf-8", "replace"), "received": time.time(), "via": self.headers.get("Via")}
        if self.path != "/indexnow":
            return self.answer(404, entry)
        try:
            body = json.loads(raw)
        except ValueError:
            return self.answer(400, entry)
        self.decide(entry, body.get("host"), body.get("key"), body.get("keyLocation"), body.get("urlList") or [])

    def do_PUT(self):
        self.answer(405, {"method": "PUT", "path": self.path})


class Server(ThreadingHTTPServer):
    daemon_threads = True
    context = None

    def finish_request(self, request, client_address):
        if self.context:
            # The handshake runs in the connection's own thread.
            try:
                request = self.context.wrap_socket(request, server_side=True)
            except (OSError, ssl.SSLError):
                return
        self.RequestHandlerClass(request, client_address, self)

    def handle_error(self, request, client_address):
        pass


if CERT:
    Server.context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    Server.context.load_cert_chain(CERT)
site = Server(("127.0.0.1", PORTS[0]), Site)
endpoint = Server(("127.0.0.1", PORTS[1]), Endpoint)
for server in (site, endpoint):
    threading.Thread(target=server.serve_forever, daemon=True).start()
print("ready %d %d" % (site.server_address[1], endpoint.server_address[1]), flush=True)
threading.Event().wait()
