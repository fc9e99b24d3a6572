#!/usr/bin/python3
"""Bench inputs for the OpenDocument reader (not in CI).

    make_ods.py large OUT.ods [CELLS]   a generated spreadsheet: CELLS cells (default 1,000,000) of
                                        numbers and repeated texts in 20 columns, a few styles
    make_ods.py convert SRC_DIR OUT_DIR the .xls workbooks of SRC_DIR converted to .ods by
                                        LibreOffice (soffice --headless --convert-to ods)

Measure with /usr/bin/time -v gridcast -d DIR -o OUT.ods; compare pages with
bench/publish/fidelity.py --corpus OUT_DIR --pattern '\\.ods$' --gridcast ...
"""
import os
import subprocess
import sys
import zipfile

NS = ('xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
      'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
      'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
      'xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" '
      'xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" '
      'xmlns:number="urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0"')


def large(out, cells):
    cols = 20
    rows = cells // cols
    parts = ['<?xml version="1.0" encoding="UTF-8"?><office:document-content %s>' % NS,
             '<office:automatic-styles>',
             '<number:number-style style:name="N2"><number:number number:decimal-places="2" '
             'number:min-integer-digits="1" number:grouping="true"/></number:number-style>',
             '<style:style style:name="ce1" style:family="table-cell" style:data-style-name="N2"/>',
             '<style:style style:name="ce2" style:family="table-cell"><style:text-properties '
             'fo:font-weight="bold"/></style:style>',
             '<style:style style:name="ce3" style:family="table-cell"><style:table-cell-properties '
             'fo:background-color="#ffffcc"/></style:style>',
             '</office:automatic-styles><office:body><office:spreadsheet>'
             '<table:table table:name="Data"><table:table-column table:number-columns-repeated="20"/>']
    for r in range(rows):
        row = ['<table:table-row>']
        for c in range(cols):
            if c % 4 == 3:
                row.append('<table:table-cell table:style-name="ce2" office:value-type="string">'
                           '<text:p>item %d</text:p></table:table-cell>' % (r % 1000))
            else:
                style = ("ce1", "ce3", "")[c % 3]
                attr = ' table:style-name="%s"' % style if style else ""
                row.append('<table:table-cell%s office:value-type="float" office:value="%d.%02d"/>'
                           % (attr, r * c, c))
        row.append('</table:table-row>')
        parts.append("".join(row))
    parts.append('</table:table></office:spreadsheet></office:body></office:document-content>')
    with zipfile.ZipFile(out, "w") as z:
        z.writestr(zipfile.ZipInfo("mimetype"), "application/vnd.oasis.opendocument.spreadsheet")
        z.writestr("content.xml", "".join(parts), compress_type=zipfile.ZIP_DEFLATED)


def convert(src, out):
    os.makedirs(out, exist_ok=True)
    for f in sorted(os.listdir(src)):
        if not f.lower().endswith(".xls"):
            continue
        if os.path.exists(os.path.join(out, os.path.splitext(f)[0] + ".ods")):
            continue
        subprocess.run(["timeout", "120", "soffice", "-env:UserInstallation=file:///tmp/lo-profile-ods",
                        "--headless", "--convert-to", "ods", "--outdir", out, os.path.join(src, f)],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


if __name__ == "__main__":
    if len(sys.argv) >= 3 and sys.argv[1] == "large":
        large(sys.argv[2], int(sys.argv[3]) if len(sys.argv) > 3 else 1000000)
    elif len(sys.argv) == 4 and sys.argv[1] == "convert":
        convert(sys.argv[2], sys.argv[3])
    else:
        sys.exit(__doc__)
