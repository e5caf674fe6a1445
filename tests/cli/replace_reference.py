#!/usr/bin/env python3
"""What `xrkit convert --replace` must write, by Python's codecs with errors="replace".

    replace_reference.py FROM TO IN OUT [IN OUT ...]

FROM and TO are Python's codec names (utf-8, utf-16, utf-16-le, utf-32-be, ...). Two
rules of xrkit's differ from Python's defaults and are stated here: "utf-16" and
"utf-32" read big-endian when the input has no byte-order mark (Python reads the
machine's order), and write a mark only in front of some text (Python writes one for
an empty text too, iconv does not).
"""
import sys

MARKS = {"utf-16": (b"\xff\xfe", b"\xfe\xff"), "utf-32": (b"\xff\xfe\x00\x00", b"\x00\x00\xfe\xff")}


def decode(data, codec):
    if codec in MARKS and not data.startswith(MARKS[codec]):
        codec += "-be"
    return data.decode(codec, "replace")


def encode(text, codec):
    return text.encode(codec) if text else b""


def main(args):
    source, target, files = args[0], args[1], args[2:]
    for i in range(0, len(files), 2):
        with open(files[i], "rb") as f:
            text = decode(f.read(), source)
        with open(files[i + 1], "wb") as f:
            f.write(encode(text, target))


if __name__ == "__main__":
    main(sys.argv[1:])
