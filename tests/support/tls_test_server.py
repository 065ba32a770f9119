#!/usr/bin/env python3
"""TLS peers for the network tests, on 127.0.0.1, with certificates made at test time.

usage:
  tls_test_server.py certs DIR
      Makes a test CA and server certificates in DIR:
        ca.pem           the CA the tests trust (through SSL_CERT_FILE)
        good.pem         localhost and 127.0.0.1, from the CA (certificate and key)
        expired.pem      localhost and 127.0.0.1, from the CA, expired a year ago
        wrongname.pem    only other.invalid, from the CA
        untrusted.pem    localhost and 127.0.0.1, from a CA nobody trusts
  tls_test_server.py serve PORT CERT SCENARIO [ARG]
      SCENARIO:
        http LOGDIR [STATUS]  the plain test web server (http_test_server.py) over TLS
        sni LOGDIR            as "http", but refuses clients that send no server name
        reply FILE            answers every request with the bytes of FILE, then closes
                              without close_notify
        reply-notify FILE     the same, ending with close_notify
        silent                accepts TCP and never says a word (CERT is not used)
        reset                 reads the client's first bytes, then resets the connection
"""
import datetime
import http.server
import ipaddress
import os
import socket
import ssl
import struct
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))


def make_certs(directory):
    from cryptography import x509
    from cryptography.hazmat.primitives import hashes, serialization
    from cryptography.hazmat.primitives.asymmetric import ec
    from cryptography.x509.oid import NameOID

    now = datetime.datetime.utcnow()

    def name(text):
        return x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, text)])

    def pem_key(key):
        return key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                                 serialization.NoEncryption())

    def make_ca(common_name):
        key = ec.generate_private_key(ec.SECP256R1())
        cert = (x509.CertificateBuilder().subject_name(name(common_name)).issuer_name(name(common_name))
                .public_key(key.public_key()).serial_number(x509.random_serial_number())
                .not_valid_before(now - datetime.timedelta(days=1))
                .not_valid_after(now + datetime.timedelta(days=30))
                .add_extension(x509.BasicConstraints(ca=True, path_length=None), critical=True)
                .add_extension(x509.KeyUsage(False, False, False, False, False, True, True, False, False), critical=True)
                .sign(key, hashes.SHA256()))
        return key, cert

    def make_leaf(ca, names, ips, not_before, not_after):
        ca_key, ca_cert = ca
        key = ec.generate_private_key(ec.SECP256R1())
        sans = [x509.DNSName(n) for n in names] + [x509.IPAddress(ipaddress.ip_address(i)) for i in ips]
        cert = (x509.CertificateBuilder().subject_name(name(names[0])).issuer_name(ca_cert.subject)
                .public_key(key.public_key()).serial_number(x509.random_serial_number())
                .not_valid_before(not_before).not_valid_after(not_after)
                .add_extension(x509.SubjectAlternativeName(sans), critical=False)
                .add_extension(x509.BasicConstraints(ca=False, path_length=None), critical=True)
                .sign(ca_key, hashes.SHA256()))
        return cert.public_bytes(serialization.Encoding.PEM) + pem_key(key)

    os.makedirs(directory, exist_ok=True)
    trusted = make_ca("Tolvan Test CA")
    other = make_ca("Nobody's Test CA")
    valid = (now - datetime.timedelta(days=1), now + datetime.timedelta(days=30))
    expired = (now - datetime.timedelta(days=400), now - datetime.timedelta(days=365))
    files = {
        "ca.pem": trusted[1].public_bytes(serialization.Encoding.PEM),
        "good.pem": make_leaf(trusted, ["localhost"], ["127.0.0.1"], *valid),
        "expired.pem": make_leaf(trusted, ["localhost"], ["127.0.0.1"], *expired),
        "wrongname.pem": make_leaf(trusted, ["other.invalid"], [], *valid),
        "untrusted.pem": make_leaf(other, ["localhost"], ["127.0.0.1"], *valid),
    }
    for file_name, data in files.items():
        with open(os.path.join(directory, file_name), "wb") as f:
            f.write(data)


def server_context(cert, require_sni=False):
    ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    ctx.load_cert_chain(cert)
    if require_sni:
        def check(sock, server_name, context):
            if server_name is None:
                return ssl.ALERT_DESCRIPTION_UNRECOGNIZED_NAME
            return None
        ctx.sni_callback = check
    return ctx


def listen(port):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", port))
    listener.listen(64)
    return listener


def read_request(conn):
    data = b""
    conn.settimeout(10)
    try:
        while b"\r\n\r\n" not in data:
            chunk = conn.recv(65536)
            if not chunk:
                break
            data += chunk
    except (OSError, socket.timeout):
        pass
    return data


def serve_http(port, ctx, logdir, status):
    import http_test_server
    http_test_server.LOGDIR = logdir
    http_test_server.DEFAULT_STATUS = status

    class TlsServer(http.server.ThreadingHTTPServer):
        daemon_threads = True

        def finish_request(self, request, client_address):
            # The handshake runs in the connection's own thread, so one silent
            # client never holds up the others.
            try:
                conn = ctx.wrap_socket(request, server_side=True)
            except (OSError, ssl.SSLError):
                return
            self.RequestHandlerClass(conn, client_address, self)

        def handle_error(self, request, client_address):
            pass

    server = TlsServer(("127.0.0.1", port), http_test_server.Handler)
    server.serve_forever()


def serve_raw(port, ctx, scenario, arg):
    listener = listen(port)
    held = []

    def handle(conn):
        try:
            if scenario == "silent":
                held.append(conn)
                return
            if scenario == "reset":
                conn.settimeout(10)
                if conn.recv(10):
                    conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                conn.close()
                return
            tls = ctx.wrap_socket(conn, server_side=True)
            if not read_request(tls):
                tls.close()
                return
            with open(arg, "rb") as f:
                tls.sendall(f.read())
            if scenario == "reply-notify":
                tls = tls.unwrap()
            time.sleep(0.05)
            tls.close()
        except (OSError, ssl.SSLError):
            conn.close()

    while True:
        conn, _ = listener.accept()
        threading.Thread(target=handle, args=(conn,), daemon=True).start()


def main():
    if sys.argv[1] == "certs":
        make_certs(sys.argv[2])
        return
    port = int(sys.argv[2])
    cert = sys.argv[3]
    scenario = sys.argv[4]
    args = sys.argv[5:]
    if scenario == "http":
        serve_http(port, server_context(cert), args[0], int(args[1]) if len(args) > 1 else 200)
    elif scenario == "sni":
        serve_http(port, server_context(cert, require_sni=True), args[0], 200)
    else:
        ctx = server_context(cert) if scenario not in ("silent", "reset") else None
        serve_raw(port, ctx, scenario, args[0] if args else "")


if __name__ == "__main__":
    main()
