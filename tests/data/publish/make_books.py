#!/usr/bin/python3
"""Writes the small workbooks the publisher's engine tests read (run with Debian's python3, which
has python3-xlwt):  /usr/bin/python3 tests/data/publish/make_books.py"""
import os
import xlwt

here = os.path.dirname(os.path.abspath(__file__))

wb = xlwt.Workbook(encoding="utf-8")
ws = wb.add_sheet("Looks & <more>")
bold_red = xlwt.easyxf("font: bold on, colour red; pattern: pattern solid, fore_colour yellow;"
                       "borders: left thin, right medium, top dashed, bottom double")
money = xlwt.easyxf(num_format_str="#,##0.00;[Red]-#,##0.00")
wrap = xlwt.easyxf("alignment: wrap on, vertical top")
ws.write(0, 0, "A long title that spills over the empty cells to its right")
ws.write(1, 0, "<script>alert(1)</script>")
ws.write(1, 1, "two  blanks   here")
ws.write(2, 0, "styled", bold_red)
ws.write(2, 1, -1234.5, money)
ws.write(2, 2, 1234.5, money)
ws.write(3, 0, "wrapped text in a narrow cell", wrap)
ws.write_merge(4, 5, 0, 2, "merged")
ws.write(6, 0, "hidden row")
ws.row(6).hidden = True
ws.write(7, 3, "hidden column")
ws.col(3).hidden = True
ws.write(7, 4, True)
ws.write(8, 0, xlwt.Formula("1/0"))
ws.col(0).width = 3000
wb.add_sheet("Empty")
wb.save(os.path.join(here, "looks.xls"))
