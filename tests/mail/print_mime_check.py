#!/usr/bin/env python3
"""Checks straatwijs-mail --print with an independent MIME parser.

Usage: print_mime_check.py PROGRAM

The printed stream must be a valid DATA stream (CR LF line ends, lines of at
most 998 bytes, one final "." line, dot-stuffing), and Python's email package
must parse it without defects into the headers, body and attachment bytes
that were asked for, with Bcc nowhere in it.
"""
import email.policy
import email.utils
import os
import random
import subprocess
import sys
import tempfile
from email.parser import BytesParser

import mail_checks
from mail_checks import display

PROGRAM = sys.argv[1]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def run(*args, stdin=None):
    return subprocess.run([PROGRAM, *args], input=stdin, capture_output=True)


def data_lines(stream):
    """Checks the DATA stream's lines and gives the message as sent."""
    check(stream.endswith(b"\r\n.\r\n"), "stream ends with the final '.' line")
    lines = stream[:-2].split(b"\r\n")
    check(lines[-1] == b".", "last line is '.'")
    lines = lines[:-1]
    for n, line in enumerate(lines):
        check(b"\r" not in line and b"\n" not in line, f"line {n} has a bare CR or LF")
        check(len(line) <= 998, f"line {n} is {len(line)} bytes")
        check(line != b".", f"line {n} would end the data early")
    # What the server stores: one leading dot removed from stuffed lines.
    return b"\r\n".join(l[1:] if l.startswith(b".") else l for l in lines) + b"\r\n"


def parse(raw):
    return mail_checks.parse(raw, check)


with tempfile.TemporaryDirectory() as folder:
    first = os.path.join(folder, "rapport.pdf")
    second = os.path.join(folder, "gegevens.bin")
    first_bytes = bytes(range(256)) * 300 + b"\x00"
    second_bytes = random.Random(11).randbytes(40000) + b"\r\n.\r\n"
    with open(first, "wb") as f:
        f.write(first_bytes)
    with open(second, "wb") as f:
        f.write(second_bytes)

    subject = "Verslag van de vergadering in Curaçao, met één bijlage ëxtra en nog véél meer tekst"
    body = ("Beste Piet,\n.\n..twee punten\n.begint met een punt\r\nregel\rna een CR\n"
            + "x" * 2000 + "\n" + "woord " * 400 + "\nGroeten, Jürgen")
    result = run(
        "--print", "--from", "jurgen@voorbeeld.nl", "--from-name", "Jürgen Müller",
        "--to", "piet@voorbeeld.nl;klaas@example.com", "--to-name", "Piet Jansen;Klaas Ødegård",
        "--cc", "anne@voorbeeld.nl", "--cc-name", "Anne-Marie Çelik",
        "--bcc", "geheim@voorbeeld.nl", "--reply-to", "secretariaat@voorbeeld.nl",
        "--subject", subject, "--body", body, "--attach", first, "--attach", second)
    check(result.returncode == 0, f"exit status {result.returncode}: {result.stderr!r}")
    stream = result.stdout
    check(b"geheim@voorbeeld.nl" not in stream, "the Bcc address is not in the stream")
    check(not any(l.lower().startswith(b"bcc") for l in stream.split(b"\r\n")), "no Bcc line")
    message = parse(data_lines(stream))
    check(display(message["From"]) == [("Jürgen Müller", "jurgen@voorbeeld.nl")],
          f"From: {message['From']}")
    check(display(message["To"]) == [("Piet Jansen", "piet@voorbeeld.nl"),
                                     ("Klaas Ødegård", "klaas@example.com")],
          f"To: {message['To']}")
    check(display(message["Cc"]) == [("Anne-Marie Çelik", "anne@voorbeeld.nl")],
          f"Cc: {message['Cc']}")
    check(str(message["Subject"]) == subject, f"Subject: {message['Subject']}")
    check(display(message["Reply-to"]) == [("", "secretariaat@voorbeeld.nl")], "Reply-to")
    check(email.utils.parsedate_to_datetime(str(message["Date"])) is not None, "Date")
    check(message.get_content_type() == "multipart/mixed", message.get_content_type())

    parts = list(message.iter_parts())
    check(len(parts) == 3, f"{len(parts)} parts")
    text = parts[0].get_payload(decode=True).decode("latin-1")
    expected = body.replace("\r\n", "\n").replace("\r", "\n").replace("\n", "\r\n")
    # One empty line before the text, three line ends after it (the last one
    # belongs to the boundary). Long lines come back folded; unfolded, the
    # text is the text sent.
    check(text.startswith("\r\n") and text.endswith("\r\n\r\n"), "body framing")
    received = text[2:-4]
    check(received.replace("\r\n", "") == expected.replace("\r\n", ""), "body text")
    check(received.split("\r\n")[:6] == expected.split("\r\n")[:6], "body's first lines")
    check(str(parts[0].get_content_charset()) == "iso-8859-1", "charset")
    for part, name, data in ((parts[1], "rapport.pdf", first_bytes),
                             (parts[2], "gegevens.bin", second_bytes)):
        check(part.get_filename() == name, f"file name {part.get_filename()}")
        check(part.get_payload(decode=True) == data, f"bytes of {name}")
    check(parts[1].get_content_type() == "application/pdf", parts[1].get_content_type())

    # A body file is read in the locale's encoding (UTF-8); one that is not
    # valid UTF-8 byte for byte as ISO-8859-1. Either way declared 8bit, and
    # text that fits ISO-8859-1 keeps its bytes.
    for given, sent, charset in ((b"Cura\xe7ao\n", b"Cura\xe7ao", "iso-8859-1"),
                                 ("Curaçao\n".encode(), b"Cura\xe7ao", "iso-8859-1"),
                                 ("Prijs: 5 €\n".encode(), "Prijs: 5 €".encode(), "utf-8")):
        result = run("--print", "--from", "a@voorbeeld.nl", "--to", "b@voorbeeld.nl",
                     "--body-file", "-", stdin=given)
        message = parse(data_lines(result.stdout))
        check(message["Content-Transfer-Encoding"] == "8bit", f"body file {given!r}: 8bit")
        check(message.get_content_charset() == charset, f"body file {given!r}: charset")
        check(message.get_payload(decode=True) == b"\r\n" + sent + b"\r\n\r\n\r\n\r\n",
              f"body file {given!r}: bytes")

    # Hostile display names and file names come back as written, through the
    # lenient parser and through the strict address parser on the raw header.
    hostile = ["Müller, Jan", 'Renée "Ré" Dubois, jr.', 'Smith, "Bob" \\ <x@y.nl>',
               "Zoë – € Łukasz (test)", "=?utf-8?q?nep?= <boef@example.com>"]
    addresses = [f"r{i}@voorbeeld.nl" for i in range(len(hostile))]
    names = ["rapport \"final\".txt", "Overzicht mei – café.txt", "€uro's & co (1).csv",
             "plain.txt"]
    paths = []
    for name in names:
        paths.append(os.path.join(folder, name))
        with open(paths[-1], "wb") as f:
            f.write(name.encode() * 3)
    subject = "Factuur – € 12,50 voor Zoë"
    result = run("--print", "--from", "jan@voorbeeld.nl", "--from-name", hostile[1],
                 "--to", ";".join(addresses), "--to-name", ";".join(hostile),
                 "--subject", subject, "--body", "Bedrag: € 12,50 – betaald",
                 *[a for p in paths for a in ("--attach", p)])
    check(result.returncode == 0, f"hostile: exit {result.returncode}: {result.stderr!r}")
    raw = data_lines(result.stdout)
    check(all(b < 128 for b in raw.split(b"\r\n\r\n", 1)[0]), "headers are 7-bit")
    message = parse(raw)
    check(display(message["From"]) == [(hostile[1], "jan@voorbeeld.nl")], f"From {message['From']}")
    check(display(message["To"]) == list(zip(hostile, addresses)), f"To {message['To']}")
    check(str(message["Subject"]) == subject, f"Subject {message['Subject']}")
    parts = list(message.iter_parts())
    check(parts[0].get_content().replace("\r\n", "\n").strip() == "Bedrag: € 12,50 – betaald",
          "body with euro sign")
    check([p.get_filename() for p in parts[1:]] == names,
          f"file names {[p.get_filename() for p in parts[1:]]}")
    for header, expected in (("From", [(hostile[1], "jan@voorbeeld.nl")]),
                             ("To", list(zip(hostile, addresses)))):
        decoded = mail_checks.strict_display(raw, header)
        check(decoded == expected, f"strict {header}: {decoded}")
    legacy = BytesParser(policy=email.policy.compat32).parsebytes(raw)
    check([p.get_param("name") for p in legacy.walk()][-1] is not None, "name= for old readers")

    # Refusals go to stderr with status 1, usage errors with status 2.
    result = run("--print", "--from", "a@voorbeeld.nl", "--to", "geen-adres")
    check(result.returncode == 1 and result.stdout == b"", f"refusal: {result.returncode}")
    check(b"Missing or Invalid Recipient E-mail Address" in result.stderr, "refusal text")
    for args in (["--print", "--encode-type", "2"], ["--print", "--onbekend"],
                 ["--print", "overbodig"]):
        check(run(*args).returncode == 2, f"usage error for {args}")
    check(run("--help").returncode == 0, "--help")

for failure in failures:
    print("FAIL:", failure)
sys.exit(1 if failures else 0)
