#!/usr/bin/env python3
"""A scripted raw-socket server on 127.0.0.1 for replies real servers rarely give.

usage: raw_http_server.py PORT SCENARIO [ARG]

Each connection: the request head (and a Content-Length body) is read, then
SCENARIO decides the answer:
  silent        never answers, keeps the connection open
  close         closes without sending a byte
  midheaders    a status line and part of the headers, then closes
  reset         headers and 100000 body bytes, then a connection reset
  reply         sends the file ARG as it is (a whole scripted reply)
  capture       stores the request in the file ARG, answers 200 "ok"
  drop          closes at once without reading anything
"""
import socket
import struct
import sys
import time


def read_request(conn):
    data = b""
    conn.settimeout(10)
    try:
        while b"\r\n\r\n" not in data:
            chunk = conn.recv(65536)
            if not chunk:
                return data
            data += chunk
        head, _, body = data.partition(b"\r\n\r\n")
        length = 0
        for line in head.split(b"\r\n")[1:]:
            name, _, value = line.partition(b":")
            if name.strip().lower() == b"content-length":
                length = int(value.strip())
        while len(body) < length:
            chunk = conn.recv(65536)
            if not chunk:
                break
            body += chunk
        return head + b"\r\n\r\n" + body
    except socket.timeout:
        return data


def main():
    port = int(sys.argv[1])
    scenario = sys.argv[2]
    arg = sys.argv[3] if len(sys.argv) > 3 else ""
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", port))
    listener.listen(16)
    held = []
    while True:
        conn, _ = listener.accept()
        if scenario == "drop":
            conn.close()
            continue
        request = read_request(conn)
        if not request:
            conn.close()  # the readiness probe of the test
            continue
        if scenario == "silent":
            held.append(conn)
            continue
        if scenario == "close":
            conn.close()
        elif scenario == "midheaders":
            conn.sendall(b"HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nX-Parti")
            conn.close()
        elif scenario == "reset":
            conn.sendall(b"HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" + b"x" * 100000)
            time.sleep(0.2)
            conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            conn.close()
        elif scenario == "reply":
            with open(arg, "rb") as f:
                conn.sendall(f.read())
            conn.close()
        elif scenario == "capture":
            with open(arg, "ab") as f:
                f.write(request)
            conn.sendall(b"HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nok")
            conn.close()


if __name__ == "__main__":
    main()
