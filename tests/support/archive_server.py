#!/usr/bin/env python3
"""Serves the files of a directory over HTTP/1.0 on 127.0.0.1, for the update tests.

usage: archive_server.py PORT ROOT

GET /<path> answers 200 with ROOT/<path>, or 404 "Not Found" when there is no
such file. ROOT/behaviour.json, read at every request, may change the answer:
  {"status": 500}          answer that status (with the file or a short text)
  {"cut": N}               announce the whole length but send only N bytes, then close
  {"length": false}        send no Content-Length header
  {"length": "abc"}        send this text as the Content-Length value
  {"body": "text"}         send this text instead of the file
  {"pause": 0.2}           wait this many seconds after each 8 KiB piece
Each request line is appended to ROOT/requests.log; headers to ROOT/headers.log.
"""
import http.server
import json
import os
import sys
import time


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *args):
        pass

    def do_GET(self):
        with open(os.path.join(ROOT, "requests.log"), "a", encoding="latin-1") as log:
            log.write(self.requestline + "\n")
        with open(os.path.join(ROOT, "headers.log"), "a", encoding="latin-1") as log:
            log.write(str(self.headers))
        behaviour = {}
        try:
            with open(os.path.join(ROOT, "behaviour.json"), encoding="utf-8") as f:
                behaviour = json.load(f)
        except FileNotFoundError:
            pass

        path = os.path.normpath(os.path.join(ROOT, self.path.split("?")[0].lstrip("/")))
        status = 200
        if "body" in behaviour:
            body = behaviour["body"].encode("latin-1")
        elif path.startswith(ROOT + os.sep) and os.path.isfile(path):
            with open(path, "rb") as f:
                body = f.read()
        else:
            status, body = 404, b"Not Found"
        status = int(behaviour.get("status", status))

        self.send_response(status)
        self.send_header("Content-Type", "application/zip")
        length = behaviour.get("length", True)
        if length is True:
            self.send_header("Content-Length", str(len(body)))
        elif length is not False:
            self.send_header("Content-Length", str(length))
        self.end_headers()
        if "cut" in behaviour:
            body = body[: int(behaviour["cut"])]
        for start in range(0, len(body), 8192):
            self.wfile.write(body[start : start + 8192])
            self.wfile.flush()
            if "pause" in behaviour:
                time.sleep(float(behaviour["pause"]))


if __name__ == "__main__":
    PORT = int(sys.argv[1])
    ROOT = os.path.realpath(sys.argv[2])
    http.server.HTTPServer(("127.0.0.1", PORT), Handler).serve_forever()
