"""Checks of lumora-cli's JSON and HTML lists with Python's own parsers.

roundtrip LIST.json [EXPECTED]: every ZIP's description in the list is its
    member (or the copy in EXPECTED/<archive name>/) decoded as UTF-8, cp437
    or cp1252; prints how many were compared.
html PAGE.html: parses the page as XML, prints each <pre> text, NUL between.
"""
import json
import os
import re
import sys
import xml.etree.ElementTree as ET
import zipfile

NAMES = ("FILE_ID.DIZ", "DESC.SDI")


def description_member(path):
    with zipfile.ZipFile(path) as z:
        for info in z.infolist():
            if info.filename.upper() in NAMES:
                return z.read(info)
    return None


def lines_of(raw, page):
    """The text lines of `raw` in code page `page`, None when it is not."""
    try:
        text = raw.decode(page)
    except UnicodeDecodeError:
        return None
    lines = re.split(r"\r\n|\r|\n", text)
    if lines and lines[-1] == "":
        lines.pop()
    return lines


def reference_copy(folder, name):
    for member in NAMES:
        path = os.path.join(folder, name, member)
        if os.path.isfile(path):
            with open(path, "rb") as f:
                return f.read()
    return None


def roundtrip(list_file, expected=None):
    with open(list_file, encoding="utf-8") as f:
        document = json.load(f)
    checked = 0
    for archive in document["archives"]:
        if archive["status"] != "ok" or not archive["path"].upper().endswith(".ZIP"):
            continue
        name = os.path.basename(archive["path"])
        raw = reference_copy(expected, name) if expected else description_member(archive["path"])
        if raw is None:
            continue
        decodings = [lines_of(raw, page) for page in ("utf-8", "cp437", "cp1252")]
        if archive["description"] not in decodings:
            sys.exit(f"{archive['path']}: {archive['description']!r} is none of {decodings!r}")
        checked += 1
    print(checked)


def html(page):
    tree = ET.parse(page)
    sys.stdout.write("\0".join(pre.text or "" for pre in tree.iter("pre")))


if __name__ == "__main__":
    {"roundtrip": roundtrip, "html": html}[sys.argv[1]](*sys.argv[2:])
