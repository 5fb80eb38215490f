"""Reading a delivered or printed message back, shared by the mail checks.

The lenient default policy repairs much of what a broken header holds, so
names are also read through the strict address parser on the raw header:
what a careful mail program would show.
"""
import email.header
import email.policy
import email.utils
import inspect
from email.parser import BytesParser


def parse(raw, check):
    message = BytesParser(policy=email.policy.default).parsebytes(raw)
    for part in message.walk():
        check(not part.defects, f"defects in {part.get_content_type()}: {part.defects}")
    return message


def strict_addresses(values):
    """The strict address parser (the default where the option exists)."""
    if "strict" in inspect.signature(email.utils.getaddresses).parameters:
        return email.utils.getaddresses(values, strict=True)
    return email.utils.getaddresses(values)


def display(header):
    return [(a.display_name, a.addr_spec) for a in header.addresses]


def strict_display(raw, header):
    """(name, address) pairs of a header, decoded after the strict parse."""
    legacy = BytesParser(policy=email.policy.compat32).parsebytes(raw)
    pairs = strict_addresses(legacy.get_all(header) or [])
    return [(str(email.header.make_header(email.header.decode_header(n))), a)
            for n, a in pairs]
