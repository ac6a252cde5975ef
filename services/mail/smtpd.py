#!/usr/bin/env python3
"""Local SMTP server for the demo and the tests.

STARTTLS is required before AUTH and before any mail; AUTH LOGIN (and PLAIN) checks one account.
Recipients at nowhere.test are refused (550). Every accepted letter is written to the letters
folder as NNNN.eml, headed by two lines that record the envelope. --no-starttls makes a server
that never offers STARTTLS, so that tests can check that the workstation refuses to talk to it.
"""
import argparse
import os
import signal
import ssl
import threading

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword


class LetterBox:
    def __init__(self, folder):
        self.folder = folder
        self.lock = threading.Lock()

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        # A mailbox that does not exist, for the tests of refused recipients.
        if address.lower().endswith("@nowhere.test"):
            return "550 5.1.1 Mailbox unavailable"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        with self.lock:
            n = len([f for f in os.listdir(self.folder) if f.endswith(".eml")]) + 1
            path = os.path.join(self.folder, "%04d.eml" % n)
            tmp = path + ".part"
            with open(tmp, "wb") as out:
                out.write(b"X-Envelope-From: " + envelope.mail_from.encode() + b"\r\n")
                out.write(b"X-Envelope-To: " + ",".join(envelope.rcpt_tos).encode() + b"\r\n")
                out.write(envelope.original_content)
            os.rename(tmp, path)
        return "250 Message accepted for delivery"


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--host", default="127.0.0.1")
    p.add_argument("--port", type=int, required=True)
    p.add_argument("--cert")
    p.add_argument("--key")
    p.add_argument("--user", required=True)
    p.add_argument("--password", required=True)
    p.add_argument("--letters", required=True)
    p.add_argument("--no-starttls", action="store_true")
    a = p.parse_args()
    os.makedirs(a.letters, exist_ok=True)

    def authenticator(server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword)
              and auth_data.login.decode() == a.user
              and auth_data.password.decode() == a.password)
        print("AUTH", mechanism, "ok" if ok else "refused", flush=True)
        return AuthResult(success=ok)

    kwargs = dict(hostname=a.host, port=a.port, authenticator=authenticator, auth_required=True,
                  server_hostname="localhost")
    if a.no_starttls:
        kwargs.update(auth_require_tls=False)
    else:
        ctx = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        ctx.load_cert_chain(a.cert, a.key)
        kwargs.update(tls_context=ctx, require_starttls=True, auth_require_tls=True)
    controller = Controller(LetterBox(a.letters), **kwargs)
    controller.start()
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    stop.wait()
    controller.stop()


if __name__ == "__main__":
    main()
