#!/usr/bin/python3
"""Makes the example workbooks of the newer formats: regional-sales.xlsx (with Debian's
python3-openpyxl) and stock-list.fods (a flat OpenDocument spreadsheet, written as text).

Run with the system's Python (the Debian modules live there):
    /usr/bin/python3 examples/make_newer_examples.py
The recipe fixes the cells, styles, charts and conditional formats: the same recipe gives the
same workbooks (openpyxl stamps the package with the time it was written; nothing else varies).
"""
import datetime
import os
from xml.sax.saxutils import escape

from openpyxl import Workbook
from openpyxl.chart import BarChart, LineChart, PieChart, Reference
from openpyxl.chart.series import DataPoint
from openpyxl.formatting.rule import CellIsRule, ColorScaleRule, DataBarRule
from openpyxl.styles import Alignment, Border, Font, PatternFill, Side

HERE = os.path.dirname(os.path.abspath(__file__))


def regional_sales():
    book = Workbook()
    sheet = book.active
    sheet.title = "Sales"
    sheet.merge_cells("A1:F1")
    sheet["A1"] = "Regional sales, first half"
    sheet["A1"].font = Font(bold=True, size=14, color="1F4E79")
    sheet["A1"].alignment = Alignment(horizontal="center")
    header_fill = PatternFill("solid", fgColor="DDEBF7")
    thin = Side(style="thin", color="808080")
    months = ["Jan", "Feb", "Mar", "Apr", "May", "Jun"]
    regions = {"North": 1200, "South": 980, "East": 1515, "West": 760}
    sheet.append([])
    sheet.append(["Month"] + list(regions))
    for cell in sheet[3]:
        cell.font = Font(bold=True)
        cell.fill = header_fill
        cell.border = Border(bottom=thin)
    for m, month in enumerate(months):
        sheet.append([month] + [round(base * (1 + 0.07 * m) + 45 * ((m * 7 + i) % 5), 2)
                                for i, base in enumerate(regions.values())])
    totals = [round(sum(sheet.cell(row=r, column=c).value for r in range(4, 10)), 2)
              for c in range(2, 6)]
    sheet.append(["Total"] + totals)
    for row in sheet.iter_rows(min_row=4, max_row=10, min_col=2, max_col=5):
        for cell in row:
            cell.number_format = "#,##0.00"
    for cell in sheet[10]:
        cell.font = Font(bold=True)
        cell.border = Border(top=thin)
    sheet.column_dimensions["A"].width = 12
    for col in "BCDE":
        sheet.column_dimensions[col].width = 11
    for col, text in (("G", "Region"), ("H", "Share")):
        sheet[col + "3"] = text
        sheet[col + "3"].font = Font(bold=True)
        sheet[col + "3"].fill = header_fill
    for i, region in enumerate(regions):
        sheet.cell(row=4 + i, column=7, value=region)
        sheet.cell(row=4 + i, column=8, value=round(0.15 + 0.1 * i, 2)).number_format = "0%"

    # Conditional formats: months above 1,500 in green, a colour scale on the shares, data bars
    # on the North column.
    sheet.conditional_formatting.add(
        "C4:E9", CellIsRule(operator="greaterThan", formula=["1500"],
                            font=Font(color="006100"), fill=PatternFill("solid", bgColor="C6EFCE")))
    sheet.conditional_formatting.add(
        "H4:H7", ColorScaleRule(start_type="min", start_color="F8696B", mid_type="percentile",
                                mid_value=50, mid_color="FFEB84", end_type="max",
                                end_color="63BE7B"))
    sheet.conditional_formatting.add(
        "B4:B9", DataBarRule(start_type="min", end_type="max", color="638EC6"))

    data = Reference(sheet, min_col=2, max_col=5, min_row=3, max_row=9)
    months_ref = Reference(sheet, min_col=1, min_row=4, max_row=9)
    column = BarChart()
    column.type = "col"
    column.title = "Sales by month"
    column.y_axis.title = "Units sold"
    column.add_data(data, titles_from_data=True)
    column.set_categories(months_ref)
    column.width, column.height = 14, 7
    sheet.add_chart(column, "A12")

    line = LineChart()
    line.title = "Trend"
    line.add_data(data, titles_from_data=True)
    line.set_categories(months_ref)
    line.width, line.height = 12, 7
    sheet.add_chart(line, "I12")

    pie = PieChart()
    pie.title = "Share by region"
    pie.add_data(Reference(sheet, min_col=8, min_row=4, max_row=7))
    pie.set_categories(Reference(sheet, min_col=7, min_row=4, max_row=7))
    slice_ = DataPoint(idx=2, explosion=12)
    pie.series[0].dPt.append(slice_)
    pie.width, pie.height = 9, 5.2
    sheet.add_chart(pie, "J1")

    notes = book.create_sheet("Notes")
    notes["A1"] = "Figures are units sold."
    notes["A2"] = "Made by examples/make_newer_examples.py"
    notes["A2"].hyperlink = "https://example.org/quillane"
    book.properties.created = datetime.datetime(2026, 1, 5, 9, 0, 0)
    book.save(os.path.join(HERE, "regional-sales.xlsx"))


def stock_list():
    items = [("Bolts M6", 1200, 0.04, "2026-01-12"), ("Nuts M6", 980, 0.03, "2026-01-15"),
             ("Washers", 3400, 0.01, "2026-02-02"), ("Hinges & brackets", 85, 2.35, "2026-02-20"),
             ("Wood screws", 0, 0.02, "2026-03-01")]
    rows = []
    for name, count, price, date in items:
        style = ' table:style-name="empty"' if count == 0 else ""
        rows.append(
            '<table:table-row>'
            f'<table:table-cell office:value-type="string"><text:p>{escape(name)}</text:p>'
            '</table:table-cell>'
            f'<table:table-cell{style} office:value-type="float" office:value="{count}">'
            f'<text:p>{count}</text:p></table:table-cell>'
            f'<table:table-cell table:style-name="money" office:value-type="currency" '
            f'office:currency="EUR" office:value="{price}"><text:p>{price:.2f} €</text:p>'
            '</table:table-cell>'
            f'<table:table-cell table:style-name="day" office:value-type="date" '
            f'office:date-value="{date}"><text:p>{date}</text:p></table:table-cell>'
            '</table:table-row>')
    document = f'''<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 xmlns:number="urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0"
 office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
<office:automatic-styles>
 <number:currency-style style:name="euro"><number:number number:decimal-places="2"
  number:min-decimal-places="2" number:min-integer-digits="1" number:grouping="true"/>
  <number:text> </number:text><number:currency-symbol>€</number:currency-symbol>
 </number:currency-style>
 <number:date-style style:name="iso"><number:day number:style="long"/><number:text>.</number:text>
  <number:month number:style="long"/><number:text>.</number:text><number:year number:style="long"/>
 </number:date-style>
 <style:style style:name="wide" style:family="table-column">
  <style:table-column-properties style:column-width="1.6in"/></style:style>
 <style:style style:name="narrow" style:family="table-column">
  <style:table-column-properties style:column-width="0.9in"/></style:style>
 <style:style style:name="title" style:family="table-cell">
  <style:table-cell-properties fo:background-color="#1f4e79"/>
  <style:paragraph-properties fo:text-align="center"/>
  <style:text-properties fo:color="#ffffff" fo:font-weight="bold" fo:font-size="13pt"/></style:style>
 <style:style style:name="head" style:family="table-cell">
  <style:table-cell-properties fo:background-color="#ddebf7" fo:border-bottom="0.75pt solid #808080"/>
  <style:text-properties fo:font-weight="bold"/></style:style>
 <style:style style:name="money" style:family="table-cell" style:data-style-name="euro"/>
 <style:style style:name="day" style:family="table-cell" style:data-style-name="iso"/>
 <style:style style:name="empty" style:family="table-cell">
  <style:table-cell-properties fo:background-color="#ffc7ce"/>
  <style:text-properties fo:color="#9c0006"/></style:style>
</office:automatic-styles>
<office:body><office:spreadsheet>
<table:table table:name="Stock">
<table:table-column table:style-name="wide"/>
<table:table-column table:style-name="narrow" table:number-columns-repeated="3"/>
<table:table-row><table:table-cell table:style-name="title" table:number-columns-spanned="4"
 office:value-type="string"><text:p>Stock list, first quarter</text:p></table:table-cell>
<table:covered-table-cell table:number-columns-repeated="3"/></table:table-row>
<table:table-row><table:table-cell table:style-name="head" office:value-type="string"><text:p>Item</text:p></table:table-cell>
<table:table-cell table:style-name="head" office:value-type="string"><text:p>Count</text:p></table:table-cell>
<table:table-cell table:style-name="head" office:value-type="string"><text:p>Unit price</text:p></table:table-cell>
<table:table-cell table:style-name="head" office:value-type="string"><text:p>Last delivery</text:p></table:table-cell></table:table-row>
{chr(10).join(rows)}
</table:table>
</office:spreadsheet></office:body></office:document>
'''
    with open(os.path.join(HERE, "stock-list.fods"), "w", encoding="utf-8") as out:
        out.write(document)


if __name__ == "__main__":
    regional_sales()
    stock_list()
