#!/usr/bin/env python3
"""A scripted search-engine result-page server for the rank checker tests.

Usage: rank_server.py PORT SCRIPT.json LOG

SCRIPT is a JSON list of rules, tried in order; the first that matches a
request answers it:
  {"path": "/Titles",            # the request path (required)
   "params": {"st": "26"},       # raw query values that must match (optional)
   "times": 2,                   # answer only the first N matching requests
   "status": 200, "reason": "OK",
   "body": "...",                # or "pieces": ["...", "..."], sent apart
   "silent": false,              # accept the request and never answer
   "pause": 0.05,                # seconds between the pieces
   "filler": 0,                  # bytes of filler sent after the pieces
   "hang": false,                # after the pieces, keep the connection open
   "headers": {"Retry-After": "120"}}   # further response headers
A request no rule answers gets 200 with an empty result page. Query values are
compared as sent (no decoding), so "blue+widgets" stays as it is. A request
whose target is an absolute address (through a proxy) is matched on its path.
Every request target is appended to LOG, one per line, as received, and the
request's headers to LOG.headers as one JSON object per line.
Listens on 127.0.0.1 only.
"""
import json
import socket
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import urlsplit

port, script_file, log_file = int(sys.argv[1]), sys.argv[2], sys.argv[3]
with open(script_file, encoding="utf-8") as f:
    rules = json.load(f)
used = [0] * len(rules)
lock = threading.Lock()


def raw_params(query):
    values = {}
    for part in query.split("&"):
        key, _, value = part.partition("=")
        values.setdefault(key, value)
    return values


def pick(path, query):
    params = raw_params(query)
    with lock:
        for i, rule in enumerate(rules):
            if rule.get("path") != path:
                continue
            if any(params.get(k) != v for k, v in rule.get("params", {}).items()):
                continue
            if "times" in rule and used[i] >= rule["times"]:
                continue
            used[i] += 1
            return rule
    return {}


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *args):
        pass

    def do_GET(self):
        with lock, open(log_file, "a", encoding="latin-1") as log:
            log.write(self.path + "\n")
            with open(log_file + ".headers", "a", encoding="utf-8") as headers:
                headers.write(json.dumps(dict(self.headers.items())) + "\n")
        parts = urlsplit(self.path)
        rule = pick(parts.path, parts.query)
        if rule.get("silent"):
            time.sleep(3600)
            return
        pieces = rule.get("pieces")
        if pieces is None:
            pieces = [rule.get("body", "<html><body>No results</body></html>")]
        self.send_response(int(rule.get("status", 200)), rule.get("reason"))
        self.send_header("Content-Type", rule.get("type", "text/html"))
        for name, value in rule.get("headers", {}).items():
            self.send_header(name, value)
        self.end_headers()
        self.wfile.flush()
        self.connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        for i, piece in enumerate(pieces):
            if i:
                time.sleep(float(rule.get("pause", 0.05)))  # lets the client take each piece on its own
            self.wfile.write(piece.encode("latin-1"))
            self.wfile.flush()
        left = int(rule.get("filler", 0))
        chunk = b"<p>filler</p>" * 5000
        try:
            while left > 0:
                self.wfile.write(chunk[:left])
                left -= len(chunk)
        except OSError:
            return  # the client stopped reading
        if rule.get("hang"):
            time.sleep(3600)


class Server(ThreadingHTTPServer):
    daemon_threads = True


Server(("127.0.0.1", port), Handler).serve_forever()
