#!/usr/bin/python3
"""Writes the small test workbooks of this folder with python3-xlwt (Debian's package).

    /usr/bin/python3 tests/data/biff/make_workbooks.py
"""
import os
import random
import zlib

import xlwt

HERE = os.path.dirname(os.path.abspath(__file__))


def basic():
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("Values")
    bold = xlwt.easyxf("font: bold on")
    sheet.write(0, 0, "Text äöü €", bold)
    sheet.write(1, 0, 1234.5678, xlwt.easyxf(num_format_str="#,##0.00"))
    sheet.write(2, 0, 45000, xlwt.easyxf(num_format_str="M/D/YY"))
    sheet.write(3, 0, True)
    sheet.write(4, 0, None, xlwt.easyxf("pattern: pattern solid, fore_colour yellow"))
    sheet.write_rich_text(5, 0, ["plain ", ("bold", xlwt.easyfont("bold on"))])
    sheet.write_merge(6, 7, 0, 2, "merged")
    sheet.col(0).width = 6000
    sheet.row(1).height_mismatch = True
    sheet.row(1).height = 500
    sheet.panes_frozen = True
    sheet.horz_split_pos = 1
    hidden = book.add_sheet("Hidden été")
    hidden.write(0, 0, "x")
    hidden.visibility = 1
    book.save(os.path.join(HERE, "xlwt_basic.xls"))


def shared_strings():
    """Enough strings that the shared-string table goes on in CONTINUE records, some split in the
    middle of their characters, 8-bit and 16-bit."""
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("Strings")
    for i in range(2000):
        text = "row %d " % i + ("\u0416\u00e9" if i % 3 == 0 else "ab") * (i % 40)
        sheet.write(i, 0, text)
    sheet.write(0, 1, "\u4e2d" * 5000)
    sheet.write(1, 1, "x" * 9000)
    book.save(os.path.join(HERE, "xlwt_strings.xls"))


def deflate():
    """zlib streams for the unpacker (tests/data/container): stored, fixed and dynamic codes."""
    out = os.path.join(HERE, "..", "container")
    words = [b"cell", b"row", b"column", b"sheet", b"format", b"value", b"\x00\x01", b"\xff"]
    chooser = random.Random(7)
    text = b" ".join(chooser.choice(words) for _ in range(3000)) + bytes(range(256))
    with open(os.path.join(out, "deflate_plain.bin"), "wb") as f:
        f.write(text)
    with open(os.path.join(out, "deflate_stored.zlib"), "wb") as f:
        f.write(zlib.compress(text, 0))
    with open(os.path.join(out, "deflate_dynamic.zlib"), "wb") as f:
        f.write(zlib.compress(text, 9))
    packer = zlib.compressobj(9, zlib.DEFLATED, 15, 9, zlib.Z_FIXED)
    with open(os.path.join(out, "deflate_fixed.zlib"), "wb") as f:
        f.write(packer.compress(text) + packer.flush())


if __name__ == "__main__":
    basic()
    shared_strings()
    deflate()
