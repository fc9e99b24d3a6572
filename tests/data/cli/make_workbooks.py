#!/usr/bin/python3
"""Makes the small workbooks the command-line tests use, with Debian's python3-xlwt.

    /usr/bin/python3 tests/data/cli/make_workbooks.py

three-sheets.xls   worksheets "One", "Two", "Three" with a number and a text each
twelve-sheets.xls  worksheets "S1" to "S12", for sheet selections
not-a-workbook.xls plain text with a workbook's name (the engine must refuse it)
"""
import os

import xlwt

HERE = os.path.dirname(os.path.abspath(__file__))


def three_sheets():
    book = xlwt.Workbook(encoding="utf-8")
    for i, name in enumerate(["One", "Two", "Three"], start=1):
        sheet = book.add_sheet(name)
        sheet.write(0, 0, "Sheet %s" % name)
        sheet.write(1, 0, i * 1.5, xlwt.easyxf(num_format_str="0.00"))
    book.save(os.path.join(HERE, "three-sheets.xls"))


def twelve_sheets():
    book = xlwt.Workbook(encoding="utf-8")
    for i in range(1, 13):
        book.add_sheet("S%d" % i).write(0, 0, i)
    book.save(os.path.join(HERE, "twelve-sheets.xls"))


def not_a_workbook():
    with open(os.path.join(HERE, "not-a-workbook.xls"), "w") as f:
        f.write("This is plain text, not a workbook.\n")


if __name__ == "__main__":
    three_sheets()
    twelve_sheets()
    not_a_workbook()
