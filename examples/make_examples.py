#!/usr/bin/python3
"""Makes the example workbooks of this folder with Debian's python3-xlwt.

Run with the system's Python (the Debian modules live there):
    /usr/bin/python3 examples/make_examples.py
It rewrites quarterly-sales.xls, staff-rota.xls and notes.xls beside this script. The workbooks
are fixed by this recipe: the same recipe gives the same cells, formats and sheets.
"""
import datetime
import os

import xlwt

HERE = os.path.dirname(os.path.abspath(__file__))


def quarterly_sales():
    book = xlwt.Workbook(encoding="utf-8")
    title = xlwt.easyxf("font: bold on, height 280; align: horiz center")
    header = xlwt.easyxf("font: bold on; pattern: pattern solid, fore_colour light_turquoise;"
                         " borders: bottom thin")
    money = xlwt.easyxf(num_format_str="#,##0.00")
    percent = xlwt.easyxf(num_format_str="0.0%")
    date = xlwt.easyxf(num_format_str="yyyy-mm-dd")
    regions = ["North", "South", "East", "West"]
    base = [1200.5, 980.25, 1515.0, 760.75]
    for q in range(1, 4):
        sheet = book.add_sheet("Q%d" % q)
        sheet.write_merge(0, 0, 0, 4, "Sales, quarter %d" % q, title)  # a merged range
        for col, text in enumerate(["Region", "Date", "Units", "Revenue", "Share"]):
            sheet.write(2, col, text, header)
        total = sum(b * q for b in base)
        for row, (region, value) in enumerate(zip(regions, base), start=3):
            sheet.write(row, 0, region)
            sheet.write(row, 1, datetime.date(2026, 3 * q, 1 + row), date)
            sheet.write(row, 2, int(value // 10) * q)
            sheet.write(row, 3, value * q, money)
            sheet.write(row, 4, value * q / total, percent)
        sheet.write(7, 0, "Total", header)
        sheet.write(7, 3, sum(b * q for b in base), money)
        sheet.col(0).width = 14 * 256
        sheet.col(1).width = 12 * 256
    summary = book.add_sheet("Summary")
    summary.write(0, 0, "Quarter")
    summary.write(0, 1, "Revenue")
    for q in range(1, 4):
        summary.write(q, 0, "Q%d" % q)
        summary.write(q, 1, sum(b * q for b in base), money)
    book.save(os.path.join(HERE, "quarterly-sales.xls"))


def staff_rota():
    book = xlwt.Workbook(encoding="utf-8")
    time = xlwt.easyxf(num_format_str="hh:mm")
    day = xlwt.easyxf(num_format_str="dddd, d mmmm yyyy")
    hours = xlwt.easyxf(num_format_str="0.00")
    people = ["Ana", "Bram", "Chiara", "Dmitri", "Émile"]
    for week in (1, 2):
        sheet = book.add_sheet("Week %d" % week)
        sheet.write_merge(0, 1, 0, 3, "Rota, week %d" % week,
                          xlwt.easyxf("font: bold on; align: vert center, horiz center"))
        for col, text in enumerate(["Day", "Name", "Start", "End", "Hours"]):
            sheet.write(2, col, text)
        for i in range(7):
            row = 3 + i
            start = datetime.time(7 + i % 3, 30 if i % 2 else 0)
            end = datetime.time(15 + i % 3, 30 if i % 2 else 0)
            sheet.write(row, 0, datetime.date(2026, 1, 7 * (week - 1) + 5 + i), day)
            sheet.write(row, 1, people[(i + week) % len(people)])
            sheet.write(row, 2, start, time)
            sheet.write(row, 3, end, time)
            sheet.write(row, 4, 8.0, hours)
        sheet.col(0).width = 28 * 256
    book.save(os.path.join(HERE, "staff-rota.xls"))


def notes():
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("Notes")
    wrap = xlwt.easyxf("align: wrap on, vert top")
    long_text = " ".join(
        "Paragraph %d: the quick brown fox jumps over the lazy dog, and the text goes on so that"
        " the cell holds far more than its column shows." % i for i in range(1, 9))
    sheet.write(0, 0, "A long text")
    sheet.write(1, 0, long_text, wrap)
    sheet.col(0).width = 60 * 256
    sheet.write(3, 0, "Blanks   kept  between words,  and <markup> & \"quotes\" escaped")
    sheet.write(4, 0, 1234567.891, xlwt.easyxf(num_format_str="#,##0.000"))
    sheet.write(5, 0, -0.5, xlwt.easyxf(num_format_str="0.00%;[Red]-0.00%"))
    sheet.write(6, 0, 44000.75, xlwt.easyxf(num_format_str="d/m/yy h:mm"))
    hidden = book.add_sheet("Hidden")
    hidden.write(0, 0, "A hidden worksheet is a worksheet too")
    hidden.visibility = 1
    book.save(os.path.join(HERE, "notes.xls"))


if __name__ == "__main__":
    quarterly_sales()
    staff_rota()
    notes()
