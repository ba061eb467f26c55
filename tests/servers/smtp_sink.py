#!/usr/bin/python3
"""A mail sink for the integration tests: an SMTP server on 127.0.0.1 that keeps every message
it receives as a folder of plain files a test can compare byte for byte.

Usage: smtp_sink.py FOLDER [--refuse | --silent | ""] [--port N]
Prints "PORT <n>" once it accepts connections, then serves until terminated. Without --port it
takes a free port; with it, a test can first try a port where nothing listens yet.
  FOLDER/<k>/message.eml    the message as received
  FOLDER/<k>/from, to       the envelope sender and recipients (one a line)
  FOLDER/<k>/subject        the decoded subject
  FOLDER/<k>/body           the text part, transfer encoding undone
  FOLDER/<k>/attachments/   each attachment under its file name, decoded
--refuse answers every recipient with 550; --silent takes connections and never says a word.
"""
import asyncio
import email
import email.policy
import os
import signal
import sys

from aiosmtpd.smtp import SMTP


class Store:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        target = os.path.join(self.folder, str(self.count))
        os.makedirs(os.path.join(target, "attachments"))
        raw = envelope.original_content or envelope.content
        write(target, "message.eml", raw)
        write(target, "from", envelope.mail_from.encode())
        write(target, "to", "\n".join(envelope.rcpt_tos).encode())
        message = email.message_from_bytes(raw, policy=email.policy.default)
        write(target, "subject", str(message.get("Subject", "")).encode())
        body_written = False
        for part in message.walk():
            if part.is_multipart():
                continue
            name = part.get_filename()
            if name:
                write(os.path.join(target, "attachments"), os.path.basename(name),
                      part.get_payload(decode=True))
            elif not body_written and part.get_content_type() == "text/plain":
                write(target, "body", part.get_payload(decode=True))
                body_written = True
        return "250 Message accepted"


class Refuse:
    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        return "550 No such user here"


def write(folder, name, data):
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


async def silent(reader, writer):
    await reader.read()
    writer.close()


async def main():
    folder = sys.argv[1]
    mode = sys.argv[2] if len(sys.argv) > 2 else ""
    port = int(sys.argv[sys.argv.index("--port") + 1]) if "--port" in sys.argv else 0
    os.makedirs(folder, exist_ok=True)
    loop = asyncio.get_running_loop()
    if mode == "--silent":
        server = await asyncio.start_server(silent, "127.0.0.1", port)
    else:
        handler = Refuse() if mode == "--refuse" else Store(folder)
        server = await loop.create_server(
            lambda: SMTP(handler, decode_data=False, hostname="sink.test"), "127.0.0.1", port)
    stop = asyncio.Event()
    loop.add_signal_handler(signal.SIGTERM, stop.set)
    print("PORT", server.sockets[0].getsockname()[1], flush=True)
    await stop.wait()
    server.close()


asyncio.run(main())
