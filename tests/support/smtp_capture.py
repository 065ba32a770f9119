#!/usr/bin/python3
"""A mail server for the tests: listens on 127.0.0.1:PORT and stores every
message it accepts as OUTDIR/N.eml (the data as received) and OUTDIR/N.json
(HELO name, MAIL FROM, RCPT TO). Addresses named after --reject are refused
at RCPT with a 550 reply. Writes OUTDIR/ready once it listens."""
import argparse
import json
import os
import signal
import threading

from aiosmtpd.controller import Controller


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
    args = parser.parse_args()
    controller = Controller(Capture(args.outdir, args.reject), hostname="127.0.0.1", port=args.port)
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
