#!/usr/bin/env python3
"""A scripted add-URL server for the submission tests.

Usage: engine_server.py PORT SCRIPT.json LOG.jsonl [CERT.pem]

SCRIPT maps a request path (without query) to a behaviour:
  {"status": 200, "reason": "OK", "body": "...", "delay": 0.0, "silent": false}
"silent" accepts the request and never answers; "stall" sends the head and part
of the body, then nothing more. Unknown paths answer 200. With CERT (certificate
and key) the server speaks HTTPS.
Every request is appended to LOG as one JSON line: method, path, query, body.
Listens on 127.0.0.1 only and prints "ready" once it accepts connections.
"""
import json
import ssl
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import urlsplit

port, script_file, log_file = int(sys.argv[1]), sys.argv[2], sys.argv[3]
tls_context = None
if len(sys.argv) > 4:
    tls_context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    tls_context.load_cert_chain(sys.argv[4])
with open(script_file, encoding="utf-8") as f:
    script = json.load(f)
log_lock = threading.Lock()


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *args):
        pass

    def handle_any(self, method):
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length else b""
        parts = urlsplit(self.path)
        with log_lock, open(log_file, "a", encoding="utf-8") as log:
            log.write(json.dumps({
                "method": method, "path": parts.path, "query": parts.query,
                "target": self.path, "body": body.decode("latin-1"),
                "content_type": self.headers.get("Content-Type", ""),
            }) + "\n")
        rule = script.get(parts.path, {})
        if rule.get("silent"):
            time.sleep(3600)
            return
        time.sleep(float(rule.get("delay", 0)))
        payload = rule.get("body", "<html><body>Thank you</body></html>").encode("utf-8")
        if rule.get("stall"):
            self.send_response(200, "OK")
            self.send_header("Content-Length", str(len(payload) + 100))
            self.end_headers()
            self.wfile.write(payload)
            self.wfile.flush()
            time.sleep(3600)
            return
        self.send_response(int(rule.get("status", 200)), rule.get("reason"))
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(payload)))
        if "location" in rule:
            self.send_header("Location", rule["location"])
        self.end_headers()
        self.wfile.write(payload)

    def do_GET(self):
        self.handle_any("GET")

    def do_POST(self):
        self.handle_any("POST")


class Server(ThreadingHTTPServer):
    daemon_threads = True

    def finish_request(self, request, client_address):
        if tls_context:
            # In the connection's thread: a client that fails the handshake
            # holds up no other.
            try:
                request = tls_context.wrap_socket(request, server_side=True)
            except (OSError, ssl.SSLError):
                return
        super().finish_request(request, client_address)

    def handle_error(self, request, client_address):
        pass


server = Server(("127.0.0.1", port), Handler)
print("ready", flush=True)
server.serve_forever()
