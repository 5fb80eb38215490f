#!/usr/bin/env python3
"""The reading `straatwijs --extract FILE...` does, written with lxml.html (or,
with --bs4 first, BeautifulSoup on Python's own HTML parser), as the
yardstick for its speed. Same output for the site's pages: per file
"# FILE<TAB>count", then one line per record, \\N for Null."""
import os
import re
import sys

import lxml.html

NUMBER = re.compile(r"[+-]?(\d+(\.\d*)?|\.\d+)")


def count_of(text):
    a = text.find("Uw zoekactie")
    b = text.find("heeft", a) if a >= 0 else -1
    c = text.find("opgeleverd", b) if b >= 0 else -1
    if a < 0 or b < 0 or c < 0:
        return None
    digits = re.sub(r"[ \t\n]", "", text[b + 6:c])
    m = NUMBER.match(digits)
    return float(m.group(0)) if m else 0.0


def number_text(value):
    return str(int(value)) if value == int(value) else repr(value)


def text_or_null(part):
    part = part.strip(" ")
    return part or None


def split_nr(nr):
    if "t/m" not in nr:
        van = tm = text_or_null(nr)
    else:
        parts = nr.split(" t/m ")
        if len(parts) < 2:
            parts = nr.split("t/m")
        van, tm = text_or_null(parts[0]), text_or_null(parts[1])
    even = None
    if van is not None:
        m = re.match(r"\d+", van)
        if m:
            even = "1" if int(m.group(0)) % 2 == 0 else "0"
    return even, van, tm


def column(value):
    if value is None:
        return "\\N"
    return (value.replace("\\", "\\\\").replace("\t", "\\t")
            .replace("\n", "\\n").replace("\r", "\\r"))


def extract(name, out):
    with open(name, "rb") as f:
        doc = lxml.html.document_fromstring(f.read())
    body = doc.find("body")
    for skipped in body.iter("script", "style"):
        skipped.text = None
    count = count_of(body.text_content())
    shown = None if count is None else number_text(count)
    out.append("# %s\t%s\n" % (name, column(shown)))
    query = os.path.splitext(os.path.basename(name))[0]
    for table in body.iter("table"):
        for row in table.xpath("./tr|./tbody/tr|./thead/tr|./tfoot/tr"):
            if row.find(".//th") is not None or row.find(".//table") is not None:
                continue
            cells = [e for e in row.iter() if e is not row][:4]
            if len(cells) < 4:
                continue
            texts = [c.text_content().strip(" ") for c in cells]
            even, van, tm = split_nr(cells[2].text_content())
            fields = [query, "S", texts[0], texts[1], even, van, tm, texts[3], shown]
            out.append("\t".join(column(f) for f in fields) + "\n")


def record(query, cells, texts, shown):
    even, van, tm = split_nr(cells[2])
    fields = [query, "S", texts[0], texts[1], even, van, tm, texts[3], shown]
    return "\t".join(column(f) for f in fields) + "\n"


def extract_bs4(name, out):
    from bs4 import BeautifulSoup
    with open(name, "rb") as f:
        soup = BeautifulSoup(f.read(), "html.parser")
    body = soup.body
    for skipped in body.find_all(["script", "style"]):
        skipped.string = ""
    count = count_of(body.get_text())
    shown = None if count is None else number_text(count)
    out.append("# %s\t%s\n" % (name, column(shown)))
    query = os.path.splitext(os.path.basename(name))[0]
    for table in body.find_all("table"):
        for row in table.find_all("tr"):
            if row.find_parent("table") is not table:
                continue
            if row.find("th") is not None or row.find("table") is not None:
                continue
            cells = row.find_all(True)[:4]
            if len(cells) < 4:
                continue
            texts = [c.get_text() for c in cells]
            out.append(record(query, texts, [t.strip(" ") for t in texts], shown))


def main():
    out = []
    names = sys.argv[1:]
    read = extract
    if names and names[0] == "--bs4":
        names, read = names[1:], extract_bs4
    for name in names:
        read(name, out)
    sys.stdout.write("".join(out))


if __name__ == "__main__":
    main()
