#!/usr/bin/env python3
"""Checks straatwijs-mail sending against independent servers on loopback.

Usage: send_check.py PROGRAM

An SMTP server of its own (aiosmtpd) receives a message with two attachments;
Python's email package must parse it without defects into the bytes sent. A
refused recipient gives status 1 with the server's reply on stderr, --debug
masks the password of a POP3 log-in, and --mx finds the exchanger a loopback
DNS server names.
"""
import asyncio
import email.policy
import os
import random
import socket
import struct
import subprocess
import sys
import tempfile
import threading
from email.parser import BytesParser

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword

PROGRAM = sys.argv[1]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def run(*args, env=None):
    return subprocess.run([PROGRAM, *args], capture_output=True, timeout=60,
                          env={**os.environ, **(env or {})})


class Mailbox:
    def __init__(self):
        self.messages = []

    async def handle_RCPT(self, server, session, envelope, address, options):
        if address.startswith("weg@"):
            return "550 5.1.1 no such user"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.messages.append((envelope.mail_from, list(envelope.rcpt_tos),
                              envelope.original_content))
        return "250 OK queued"


def authenticator(server, session, envelope, mechanism, auth_data):
    """Takes jürgen with the password geheim-€, both as UTF-8."""
    ok = (isinstance(auth_data, LoginPassword) and auth_data.login == "jürgen".encode()
          and auth_data.password == "geheim-€".encode())
    return AuthResult(success=ok)


def free_port(kind=socket.SOCK_STREAM):
    with socket.socket(socket.AF_INET, kind) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def pop3_server():
    """A POP3 server that takes any log-in; returns its port and its lines."""
    lines = []

    async def session(reader, writer):
        writer.write(b"+OK ready\r\n")
        while (line := await reader.readline()):
            lines.append(line.decode().strip())
            writer.write(b"+OK\r\n")
            await writer.drain()
            if line.startswith(b"QUIT"):
                break
        writer.close()

    loop = asyncio.new_event_loop()
    server = loop.run_until_complete(asyncio.start_server(session, "127.0.0.1", 0))
    threading.Thread(target=loop.run_forever, daemon=True).start()
    return server.sockets[0].getsockname()[1], lines


def dns_server(exchanger):
    """A DNS server answering every MX question for voorbeeld.nl."""
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind(("127.0.0.1", 0))

    def serve():
        while True:
            question, sender = sock.recvfrom(512)
            name_end = question.index(b"\x00", 12) + 5
            asked = question[12:name_end - 5]
            header = question[:2] + b"\x81\x80" + question[4:6]
            if asked == b"\x09voorbeeld\x02nl":
                rdata = struct.pack(">H", 10) + b"".join(
                    bytes([len(p)]) + p.encode() for p in exchanger.split(".")) + b"\x00"
                record = b"\xc0\x0c\x00\x0f\x00\x01\x00\x00\x0e\x10" + \
                    struct.pack(">H", len(rdata)) + rdata
                reply = header + b"\x00\x01\x00\x00\x00\x00" + question[12:name_end] + record
            else:
                reply = header + b"\x00\x00\x00\x00\x00\x00" + question[12:name_end]
            sock.sendto(reply, sender)

    threading.Thread(target=serve, daemon=True).start()
    return sock.getsockname()[1]


mailbox = Mailbox()
smtp_port = free_port()
controller = Controller(mailbox, hostname="127.0.0.1", port=smtp_port)
controller.start()
server = ["--smtp-host", "127.0.0.1", "--smtp-port", str(smtp_port)]

with tempfile.TemporaryDirectory() as folder:
    first = os.path.join(folder, "foto.jpg")
    second = os.path.join(folder, "tabel.csv")
    first_bytes = random.Random(3).randbytes(250000)
    second_bytes = b"postcode;straat\r\n.1234AB;Dorpsstraat\r\n" * 500
    for path, data in ((first, first_bytes), (second, second_bytes)):
        with open(path, "wb") as f:
            f.write(data)

    body = "Beste Piet,\n.\nDe bijlagen.\nGroeten, Jürgen"
    result = run(*server, "--from", "jurgen@voorbeeld.nl", "--from-name", "Jürgen",
                 "--to", "piet@voorbeeld.nl", "--bcc", "geheim@voorbeeld.nl",
                 "--subject", "Twee bijlagen", "--body", body,
                 "--attach", first, "--attach", second)
    check(result.returncode == 0, f"send: exit {result.returncode}: {result.stderr!r}")
    check(b"Transmission Complete..." in result.stderr, "status lines on stderr")
    check(len(mailbox.messages) == 1, f"{len(mailbox.messages)} messages arrived")
    if mailbox.messages:
        sender, recipients, raw = mailbox.messages[0]
        check(sender == "jurgen@voorbeeld.nl", f"envelope sender {sender}")
        check(recipients == ["piet@voorbeeld.nl", "geheim@voorbeeld.nl"], f"rcpt {recipients}")
        check(b"geheim" not in raw, "Bcc is not in the message")
        message = BytesParser(policy=email.policy.default).parsebytes(raw)
        for part in message.walk():
            check(not part.defects, f"defects in {part.get_content_type()}: {part.defects}")
        check(str(message["Subject"]) == "Twee bijlagen", "subject")
        check(message["From"].addresses[0].display_name == "Jürgen", "From name")
        parts = list(message.iter_parts())
        check(len(parts) == 3, f"{len(parts)} parts")
        text = parts[0].get_payload(decode=True).decode("latin-1")
        check(text.strip("\r\n") == body.replace("\n", "\r\n"), f"body {text!r}")
        for part, name, data in ((parts[1], "foto.jpg", first_bytes),
                                 (parts[2], "tabel.csv", second_bytes)):
            check(part.get_filename() == name, f"file name {part.get_filename()}")
            check(part.get_payload(decode=True) == data, f"bytes of {name}")

    # Servers that require a log-in, offering LOGIN and PLAIN, or PLAIN
    # only: the mechanism goes in capitals, the name and password as UTF-8,
    # and hostile display names, file names and text outside ISO-8859-1
    # come back from the delivered bytes as written.
    hostile_file = os.path.join(folder, 'rapport "final" – café.txt')
    with open(hostile_file, "wb") as f:
        f.write(b"inhoud\r\n")
    for exclude in ([], ["LOGIN"]):
        box = Mailbox()
        port = free_port()
        secured = Controller(box, hostname="127.0.0.1", port=port, authenticator=authenticator,
                             auth_required=True, auth_require_tls=False,
                             auth_exclude_mechanism=exclude)
        secured.start()
        result = run("--smtp-host", "127.0.0.1", "--smtp-port", str(port), "--auth",
                     "--username", "jürgen", "--from", "jurgen@voorbeeld.nl",
                     "--from-name", "Müller, Jürgen", "--to", "piet@voorbeeld.nl",
                     "--to-name", 'Renée "Ré" Dubois, jr.', "--subject", "Factuur – € 12",
                     "--body", "Totaal: € 12", "--attach", hostile_file,
                     env={"STRAATWIJS_MAIL_PASSWORD": "geheim-€"})
        secured.stop()
        what = f"auth {exclude or 'LOGIN PLAIN'}"
        check(result.returncode == 0, f"{what}: exit {result.returncode}: {result.stderr!r}")
        check(len(box.messages) == 1, f"{what}: {len(box.messages)} messages")
        if not box.messages:
            continue
        message = BytesParser(policy=email.policy.default).parsebytes(box.messages[0][2])
        check(message["From"].addresses[0].display_name == "Müller, Jürgen", f"{what}: From")
        check([(a.display_name, a.addr_spec) for a in message["To"].addresses] ==
              [('Renée "Ré" Dubois, jr.', "piet@voorbeeld.nl")], f"{what}: To {message['To']}")
        check(str(message["Subject"]) == "Factuur – € 12", f"{what}: Subject")
        parts = list(message.iter_parts())
        check(parts[0].get_content().strip() == "Totaal: € 12", f"{what}: body")
        check(parts[1].get_filename() == 'rapport "final" – café.txt',
              f"{what}: file name {parts[1].get_filename()}")

    # A wrong password is refused by the server, and said so.
    box = Mailbox()
    port = free_port()
    secured = Controller(box, hostname="127.0.0.1", port=port, authenticator=authenticator,
                         auth_required=True, auth_require_tls=False)
    secured.start()
    result = run("--smtp-host", "127.0.0.1", "--smtp-port", str(port), "--auth",
                 "--username", "jürgen", "--from", "jurgen@voorbeeld.nl",
                 "--to", "piet@voorbeeld.nl", "--body", "x",
                 env={"STRAATWIJS_MAIL_PASSWORD": "fout"})
    secured.stop()
    check(result.returncode == 1 and not box.messages, f"wrong password: {result}")
    check(b"Login: Login failed" in result.stderr, f"wrong password text {result.stderr!r}")

    # A line break in a recipient reaches no server: status 1, nothing sent.
    before = len(mailbox.messages)
    result = run(*server, "--from", "jan@voorbeeld.nl",
                 "--to", "x>\nRCPT TO:<other@example.nl", "--address-validation", "0",
                 "--body", "x")
    check(result.returncode == 1, f"injection: exit {result.returncode}")
    check(b"Control character (U+000A) in a Recipient address" in result.stderr,
          f"injection text {result.stderr!r}")
    check(len(mailbox.messages) == before, "injection: nothing delivered")

    # A refused recipient: status 1, the server's reply on stderr.
    result = run(*server, "--from", "jan@voorbeeld.nl", "--to", "weg@voorbeeld.nl",
                 "--body", "x")
    check(result.returncode == 1, f"refusal: exit {result.returncode}")
    check(b"550 5.1.1 no such user" in result.stderr, f"refusal text {result.stderr!r}")

    # POP3 before SMTP with --debug: the password never shows.
    pop_port, pop_lines = pop3_server()
    result = run(*server, "--from", "jan@voorbeeld.nl", "--to", "piet@voorbeeld.nl",
                 "--body", "x", "--pop-auth", "--pop3-host", "127.0.0.1",
                 "--pop3-port", str(pop_port), "--username", "jan", "--debug",
                 env={"STRAATWIJS_MAIL_PASSWORD": "Zeer-Geheim"})
    check(result.returncode == 0, f"pop: exit {result.returncode}: {result.stderr!r}")
    check(pop_lines == ["USER jan", "PASS Zeer-Geheim", "QUIT"], f"pop lines {pop_lines}")
    check(b"PASS ********" in result.stderr, "masked PASS line")
    check(b"Zeer-Geheim" not in result.stderr and b"WmVlci1HZWhlaW0" not in result.stderr,
          "no password on stderr")
    check(b"MAIL FROM: <jan@voorbeeld.nl>" in result.stderr, "debug trace")

    # --mx asks the configured server only.
    dns_port = dns_server("mx1.voorbeeld.nl")
    conf = os.path.join(folder, "resolv.conf")
    with open(conf, "w") as f:
        f.write("nameserver 127.0.0.1\ndomain voorbeeld.nl\n")
    dns_env = {"STRAATWIJS_RESOLV_CONF": conf, "STRAATWIJS_DNS_PORT": str(dns_port)}
    result = run("--mx", env=dns_env)
    check(result.returncode == 0 and result.stdout == b"mx1.voorbeeld.nl\n",
          f"--mx: {result.returncode} {result.stdout!r} {result.stderr!r}")
    check(b"Performing MX Query" in result.stderr, "--mx status")
    result = run("--mx", "elders.nl", env=dns_env)
    check(result.returncode == 1 and result.stdout == b"", f"--mx without answer: {result}")

    for args in (["--smtp-port", "vijf"], ["--mx", "a.nl", "b.nl"], ["--print", "--mx"]):
        check(run(*args).returncode == 2, f"usage error for {args}")

controller.stop()
for failure in failures:
    print("FAIL:", failure)
sys.exit(1 if failures else 0)
