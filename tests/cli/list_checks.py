"""Checks of lumora-cli's JSON and HTML lists with Python's own parsers.

list_checks.py roundtrip LIST.json  -- each ZIP archive's description in the
    list equals its description member decoded by Python (cp437 where the
    bytes are MS-DOS drawings, else cp1252), line by line.
list_checks.py html PAGE.html  -- parses the page as XML (well-formedness)
    and prints the text of every <pre> block, blocks separated by NUL.
"""
import json
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


def roundtrip(list_file):
    with open(list_file, encoding="utf-8") as f:
        document = json.load(f)
    checked = 0
    for archive in document["archives"]:
        if archive["status"] != "ok" or not archive["path"].upper().endswith(".ZIP"):
            continue
        raw = description_member(archive["path"])
        drawn = re.search(rb"[\xb0-\xdf]{2}", raw) is not None
        text = raw.decode("cp437" if drawn else "cp1252")
        lines = re.split(r"\r\n|\r|\n", text)
        if lines and lines[-1] == "":
            lines.pop()
        if lines != archive["description"]:
            sys.exit(f"{archive['path']}: {archive['description']!r} != {lines!r}")
        checked += 1
    print(checked)


def html(page):
    tree = ET.parse(page)
    sys.stdout.write("\0".join(pre.text or "" for pre in tree.iter("pre")))


if __name__ == "__main__":
    {"roundtrip": roundtrip, "html": html}[sys.argv[1]](sys.argv[2])
