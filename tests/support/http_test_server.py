#!/usr/bin/env python3
"""A small web server for the HTTP client tests, on 127.0.0.1.

usage: http_test_server.py PORT LOGDIR [DEFAULT_STATUS]

Every request is stored byte for byte (request line, headers, body) in
LOGDIR/request-N, N counting from 1. Answers:
  /status/<code>   that status with the body "body of <code>"
  /big/<n>         200 with n bytes (byte i is i % 251), sent in pieces
  anything else    DEFAULT_STATUS (200 unless given) with the body "hello"
"""
import http.server
import os
import sys


class Tee:
    """Keeps a copy of every byte the request handler reads."""

    def __init__(self, stream):
        self.stream = stream
        self.copy = bytearray()

    def readline(self, *args):
        data = self.stream.readline(*args)
        self.copy += data
        return data

    def read(self, *args):
        data = self.stream.read(*args)
        self.copy += data
        return data

    def close(self):
        self.stream.close()


class Handler(http.server.BaseHTTPRequestHandler):
    counter = 0

    def setup(self):
        super().setup()
        self.rfile = Tee(self.rfile)

    def log_message(self, *args):
        pass

    def record(self):
        length = int(self.headers.get("Content-Length") or 0)
        if length:
            self.rfile.read(length)
        Handler.counter += 1
        with open(os.path.join(LOGDIR, "request-%d" % Handler.counter), "wb") as f:
            f.write(bytes(self.rfile.copy))

    def answer(self, with_body):
        self.record()
        path = self.path.split("?")[0]
        parts = path.strip("/").split("/")
        if len(parts) == 2 and parts[0] == "big":
            size = int(parts[1])
            self.send_response(200)
            self.send_header("Content-Type", "application/octet-stream")
            self.send_header("Content-Length", str(size))
            self.end_headers()
            if with_body:
                pattern = bytes(i % 251 for i in range(251 * 256))
                sent = 0
                while sent < size:
                    piece = pattern[: min(len(pattern), size - sent)]
                    self.wfile.write(piece)
                    sent += len(piece)
            return
        if len(parts) == 2 and parts[0] == "status":
            code = int(parts[1])
            body = b"body of %d" % code
        else:
            code = DEFAULT_STATUS
            body = b"hello"
        self.send_response(code)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if with_body:
            self.wfile.write(body)

    def do_GET(self):
        self.answer(True)

    def do_POST(self):
        self.answer(True)

    def do_PUT(self):
        self.answer(True)

    def do_HEAD(self):
        self.answer(False)


if __name__ == "__main__":
    PORT = int(sys.argv[1])
    LOGDIR = sys.argv[2]
    DEFAULT_STATUS = int(sys.argv[3]) if len(sys.argv) > 3 else 200
    server = http.server.HTTPServer(("127.0.0.1", PORT), Handler)
    server.serve_forever()
