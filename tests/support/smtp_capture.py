#!/usr/bin/python3
"""A mail server for the tests: listens on 127.0.0.1:PORT and stores every
message it accepts as OUTDIR/N.eml (the data as received) and OUTDIR/N.json
(HELO name, MAIL FROM, RCPT TO). Addresses named after --reject are refused
at RCPT with a 550 reply. Writes OUTDIR/ready once it listens.

With --cert PEM (certificate and key) it speaks TLS: --starttls offers STARTTLS
and requires it before anything else, --implicit-tls is TLS from the first
byte. With --user and --password it requires AUTH (over TLS only), with
--no-plain it offers AUTH LOGIN alone. OUTDIR/auth.log records each attempt."""
import argparse
import json
import os
import signal
import ssl
import threading

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult


class Capture:
    def __init__(self, outdir, reject):
        self.outdir = outdir
        self.reject = set(reject)
        self.count = 0
        self.lock = threading.Lock()

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address in self.reject:
            return "550 5.1.1 <%s>: Recipient address rejected" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        with self.lock:
            self.count += 1
            n = self.count
        base = os.path.join(self.outdir, str(n))
        with open(base + ".eml.part", "wb") as f:
            f.write(envelope.original_content or envelope.content)
        with open(base + ".json", "w") as f:
            json.dump({"helo": session.host_name, "mail_from": envelope.mail_from,
                       "rcpt_tos": envelope.rcpt_tos}, f)
        os.rename(base + ".eml.part", base + ".eml")
        return "250 Message accepted"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("port", type=int)
    parser.add_argument("outdir")
    parser.add_argument("--reject", action="append", default=[])
    parser.add_argument("--cert")
    parser.add_argument("--starttls", action="store_true")
    parser.add_argument("--implicit-tls", action="store_true")
    parser.add_argument("--user")
    parser.add_argument("--password")
    parser.add_argument("--no-plain", action="store_true")
    args = parser.parse_args()
    kwargs = {}
    if args.cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.cert)
        if args.implicit_tls:
            kwargs["ssl_context"] = context
        if args.starttls:
            kwargs["tls_context"] = context
            kwargs["require_starttls"] = True
    if args.user:
        log = os.path.join(args.outdir, "auth.log")

        def authenticator(server, session, envelope, mechanism, auth_data):
            login = auth_data.login.decode("utf-8", "replace")
            password = auth_data.password.decode("utf-8", "replace")
            ok = login == args.user and password == args.password
            with open(log, "a") as f:
                f.write("%s %s %s\n" % (mechanism, login, "ok" if ok else "refused"))
            return AuthResult(success=ok, handled=False)

        kwargs["authenticator"] = authenticator
        kwargs["auth_required"] = True
        # Implicit TLS is encrypted from the start; the server cannot tell on its own.
        kwargs["auth_require_tls"] = not args.implicit_tls
        if args.no_plain:
            kwargs["auth_exclude_mechanism"] = ["PLAIN"]
    controller = Controller(Capture(args.outdir, args.reject), hostname="127.0.0.1", port=args.port, **kwargs)
    controller.start()
    with open(os.path.join(args.outdir, "ready"), "w") as f:
        f.write("ready\n")
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    stop.wait()
    controller.stop()


if __name__ == "__main__":
    main()
