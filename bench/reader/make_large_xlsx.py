#!/usr/bin/python3
"""Writes a generated .xlsx of ROWS x COLS cells (default 100,000 x 10: one million): numbers,
shared strings (a few thousand distinct) and a few styles, deflated as writers do.

    python3 bench/reader/make_large_xlsx.py OUT.xlsx [ROWS] [COLS]
"""
import sys
import zipfile

NS = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"


def col_name(c):
    name = ""
    c += 1
    while c:
        c, r = divmod(c - 1, 26)
        name = chr(65 + r) + name
    return name


def main():
    out = sys.argv[1]
    rows = int(sys.argv[2]) if len(sys.argv) > 2 else 100000
    cols = int(sys.argv[3]) if len(sys.argv) > 3 else 10
    distinct = 5000
    names = [col_name(c) for c in range(cols)]
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as z:
        z.writestr("[Content_Types].xml",
                   '<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
                   '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
                   '<Default Extension="xml" ContentType="application/xml"/>'
                   '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
                   '</Types>')
        z.writestr("_rels/.rels", f'<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                   f'<Relationship Id="rId1" Type="{REL}/officeDocument" Target="xl/workbook.xml"/></Relationships>')
        z.writestr("xl/workbook.xml", f'<workbook {NS} xmlns:r="{REL}"><sheets><sheet name="Data" sheetId="1" r:id="rId1"/></sheets></workbook>')
        z.writestr("xl/_rels/workbook.xml.rels",
                   f'<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                   f'<Relationship Id="rId1" Type="{REL}/worksheet" Target="worksheets/sheet1.xml"/>'
                   f'<Relationship Id="rId2" Type="{REL}/styles" Target="styles.xml"/>'
                   f'<Relationship Id="rId3" Type="{REL}/sharedStrings" Target="sharedStrings.xml"/></Relationships>')
        z.writestr("xl/styles.xml", f'<styleSheet {NS}><numFmts count="1"><numFmt numFmtId="164" formatCode="#,##0.00"/></numFmts>'
                   '<fonts count="2"><font><sz val="11"/><name val="Calibri"/></font><font><b/><sz val="11"/><color rgb="FFC00000"/><name val="Calibri"/></font></fonts>'
                   '<fills count="3"><fill><patternFill patternType="none"/></fill><fill><patternFill patternType="gray125"/></fill>'
                   '<fill><patternFill patternType="solid"><fgColor theme="4" tint="0.6"/></patternFill></fill></fills>'
                   '<borders count="2"><border/><border><bottom style="thin"><color auto="1"/></bottom></border></borders>'
                   '<cellXfs count="4"><xf/><xf numFmtId="164" applyNumberFormat="1"/><xf fontId="1" fillId="2" borderId="1"/><xf numFmtId="14"/></cellXfs></styleSheet>')
        z.writestr("xl/sharedStrings.xml", f'<sst {NS} count="{distinct}" uniqueCount="{distinct}">' +
                   "".join(f"<si><t>text {i}</t></si>" for i in range(distinct)) + "</sst>")
        with z.open("xl/worksheets/sheet1.xml", "w") as f:
            f.write(f'<worksheet {NS}><sheetData>'.encode())
            for r in range(rows):
                parts = [f'<row r="{r + 1}">']
                for c in range(cols):
                    ref = f"{names[c]}{r + 1}"
                    k = (r * cols + c) % 7
                    if k < 3:
                        parts.append(f'<c r="{ref}"><v>{r * 1.25 + c}</v></c>')
                    elif k == 3:
                        parts.append(f'<c r="{ref}" s="1"><v>{r * 3.5}</v></c>')
                    elif k == 4:
                        parts.append(f'<c r="{ref}" s="3"><v>{40000 + r % 3000}</v></c>')
                    else:
                        parts.append(f'<c r="{ref}" s="{2 if k == 6 else 0}" t="s"><v>{(r * cols + c) % distinct}</v></c>')
                parts.append("</row>")
                f.write("".join(parts).encode())
            f.write(b"</sheetData></worksheet>")


if __name__ == "__main__":
    main()
