#!/usr/bin/python3
"""The worst cases of cost: small workbooks that ask for huge pages, many unpacked pictures, long
runs of styled empty cells and rules over blank ranges. Each is built here, byte for byte, as
.xlsx and .ods (and .fods where the shape exists there), converted by gridcast one at a time under
/usr/bin/time -v and a time cap, and reported as one table row.

    worst_cases.py [--gridcast PATH] [--work DIR] [--timeout S] [--quick] [--keep]

gridcast: --gridcast, else $GRIDCAST, else ../../build/release/app/gridcast beside this script.
The bound checked: a workbook under 64 KB costs at most 2 s, 200 MB of peak memory and 20 MB
written; the picture workbooks (larger) peak under 200 MB; a workbook whose line is 100 shows all
of its content (no row or styled cell left out without a word). Exit status 1 when a case fails.
--quick builds smaller pictures and fewer of them (for a CI smoke run).
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import random
import struct
import time
import zlib

sys.dont_write_bytecode = True  # no __pycache__ beside the scripts
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from hostile_zip import STORED, Payload, write_zip  # noqa: E402

SMALL = 64 << 10
MAX_SECONDS, MAX_MB, MAX_WRITTEN = 2.0, 200.0, 20 << 20
KILL_WRITTEN = 2 << 30  # a run that writes more is stopped, to spare the disk

# ---------------------------------------------------------------- SpreadsheetML
MAIN = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
PKG_REL = "http://schemas.openxmlformats.org/package/2006/relationships"
CT = "http://schemas.openxmlformats.org/package/2006/content-types"
XDR = "http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing"
DML = "http://schemas.openxmlformats.org/drawingml/2006/main"
OFFICE_CT = "application/vnd.openxmlformats-officedocument"


def rels(items):
    body = "".join(f'<Relationship Id="{i}" Type="{REL}/{t}" Target="{target}"/>'
                   for i, t, target in items)
    return f'<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="{PKG_REL}">{body}</Relationships>'


STYLES = (f'<?xml version="1.0" encoding="UTF-8"?><styleSheet xmlns="{MAIN}">'
          '<fonts count="1"><font><sz val="11"/><name val="Calibri"/></font></fonts>'
          '<fills count="3"><fill><patternFill patternType="none"/></fill>'
          '<fill><patternFill patternType="gray125"/></fill>'
          '<fill><patternFill patternType="solid"><fgColor rgb="FFFFEE99"/></patternFill></fill></fills>'
          '<borders count="1"><border/></borders><cellStyleXfs count="1"><xf/></cellStyleXfs>'
          '<cellXfs count="2"><xf/><xf fillId="2" applyFill="1"/></cellXfs>'
          '<dxfs count="1"><dxf><fill><patternFill patternType="solid"><bgColor rgb="FF3366CC"/>'
          '</patternFill></fill></dxf></dxfs></styleSheet>')


def xlsx(path, sheets, sheet_parts, extra_parts=(), sheet_rels=None, content_defaults=""):
    """sheets: (name, target part) per sheet of the workbook; sheet_parts: part name -> XML."""
    overrides = "".join(f'<Override PartName="/{p}" ContentType="{OFFICE_CT}.spreadsheetml.worksheet+xml"/>'
                        for p in sheet_parts)
    types = (f'<?xml version="1.0" encoding="UTF-8"?><Types xmlns="{CT}">'
             '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
             f'<Default Extension="xml" ContentType="application/xml"/>{content_defaults}'
             f'<Override PartName="/xl/workbook.xml" ContentType="{OFFICE_CT}.spreadsheetml.sheet.main+xml"/>'
             f'<Override PartName="/xl/styles.xml" ContentType="{OFFICE_CT}.spreadsheetml.styles+xml"/>'
             f'{overrides}</Types>')
    book = "".join(f'<sheet name="{n}" sheetId="{i + 1}" r:id="rId{i + 1}"/>' for i, (n, _) in enumerate(sheets))
    book_rels = [(f"rId{i + 1}", "worksheet", t) for i, (_, t) in enumerate(sheets)]
    book_rels.append((f"rId{len(sheets) + 1}", "styles", "styles.xml"))
    entries = [("[Content_Types].xml", types),
               ("_rels/.rels", rels([("rId1", "officeDocument", "xl/workbook.xml")])),
               ("xl/workbook.xml", f'<?xml version="1.0" encoding="UTF-8"?><workbook xmlns="{MAIN}" '
                                   f'xmlns:r="{REL}"><sheets>{book}</sheets></workbook>'),
               ("xl/_rels/workbook.xml.rels", rels(book_rels)),
               ("xl/styles.xml", STYLES)]
    for part, xml in sheet_parts.items():
        entries.append((part, xml))
    for part, target in (sheet_rels or {}).items():
        d, f = part.rsplit("/", 1)
        entries.append((f"{d}/_rels/{f}.rels", target))
    entries.extend(extra_parts)
    write_zip(path, entries)


def worksheet(body, before="", after=""):
    return (f'<?xml version="1.0" encoding="UTF-8"?><worksheet xmlns="{MAIN}" xmlns:r="{REL}">'
            f'{before}<sheetData>{body}</sheetData>{after}</worksheet>')


CORNERS = ('<row r="1"><c r="A1" t="inlineStr"><is><t>first</t></is></c></row>'
           '<row r="1048576"><c r="XFD1048576" t="inlineStr"><is><t>last</t></is></c></row>')


def xlsx_corners(path):
    xlsx(path, [("Corners", "worksheets/sheet1.xml")], {"xl/worksheets/sheet1.xml": worksheet(CORNERS)})


def xlsx_shared_part(path, sheets=100):
    xlsx(path, [(f"S{i + 1}", "worksheets/sheet1.xml") for i in range(sheets)],
         {"xl/worksheets/sheet1.xml": worksheet(CORNERS)})


def xlsx_shared_cells(path, sheets=100, rows=4000, cols=40):
    # One part of 160,000 numbers without positions (each follows the one before), which deflate
    # to almost nothing, read by every sheet: 16 million cells, the workbook's bound.
    body = ("<row>" + "<c><v>1</v></c>" * cols + "</row>") * rows
    xlsx(path, [(f"S{i + 1}", "worksheets/sheet1.xml") for i in range(sheets)],
         {"xl/worksheets/sheet1.xml": worksheet(body)})


def xlsx_styled_empty(path, rows=2000, cols=1000):
    # A formatted block without values: every row and every column of it carries a fill.
    body = "".join(f'<row r="{r}" s="1" customFormat="1"/>' for r in range(1, rows + 1))
    xlsx(path, [("Styled", "worksheets/sheet1.xml")],
         {"xl/worksheets/sheet1.xml": worksheet(body, before=f'<cols><col min="1" max="{cols}" style="1" width="9"/></cols>')})


def xlsx_styled_cells(path, rows=2000, cols=1000):
    # The same block written cell by cell, as most writers save it (larger than 64 KB).
    names = [col_name(c) for c in range(cols)]
    body = "".join(f'<row r="{r}">' + "".join(f'<c r="{n}{r}" s="1"/>' for n in names) + "</row>"
                   for r in range(1, rows + 1))
    xlsx(path, [("Styled", "worksheets/sheet1.xml")], {"xl/worksheets/sheet1.xml": worksheet(body)})


def xlsx_banding(path, last=100000, terms=0):
    # terms: a formula of that many more steps, each a no-op ("+0"), that bands the same rows.
    body = (f'<row r="1"><c r="B1" t="inlineStr"><is><t>top</t></is></c></row>'
            f'<row r="{last}"><c r="B{last}" t="inlineStr"><is><t>bottom</t></is></c></row>')
    rule = (f'<conditionalFormatting sqref="A1:A{last}"><cfRule type="expression" dxfId="0" '
            f'priority="1"><formula>MOD(ROW(){"+0" * terms},2)=0</formula></cfRule></conditionalFormatting>')
    xlsx(path, [("Bands", "worksheets/sheet1.xml")], {"xl/worksheets/sheet1.xml": worksheet(body, after=rule)})


def png(width, height, seed):
    """A valid RGBA picture whose pixel data is stored, not compressed: width * height * 4 bytes
    of picture that deflate to almost nothing inside the package."""
    raw = bytearray((width * 4 + 1) * height)
    raw[1:4] = bytes([seed & 0xFF, (seed >> 8) & 0xFF, 0x80])
    idat = zlib.compress(bytes(raw), 0)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", idat) + chunk(b"IEND", b""))


def picture_payloads(count, megabytes):
    # The same picture bytes for all but a few pixels would compress each anew; one payload
    # written under many names costs the reader just as much.
    side = int((megabytes * 1e6 / 4) ** 0.5)
    payload = Payload(png(side, side, 1))
    return [payload] * count


def filler(count, megabytes):
    """A part of random bytes, stored, that nothing names: it makes the package large enough
    for its pictures to pass the bound of unpacked bytes (16 times the file plus 16 MB), so the
    run measures how the pictures are unpacked rather than the refusal."""
    need = max(0, (count * megabytes * 1e6 - (16 << 20)) / 16) + (256 << 10)
    return Payload(random.Random(count).randbytes(int(need)), STORED)


def xlsx_pictures(path, count, megabytes, pad=False):
    payloads = picture_payloads(count, megabytes)
    anchors = "".join(
        f'<xdr:twoCellAnchor><xdr:from><xdr:col>{i % 10}</xdr:col><xdr:colOff>0</xdr:colOff>'
        f'<xdr:row>{i // 10 * 5}</xdr:row><xdr:rowOff>0</xdr:rowOff></xdr:from><xdr:to>'
        f'<xdr:col>{i % 10 + 1}</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>{i // 10 * 5 + 4}</xdr:row>'
        f'<xdr:rowOff>0</xdr:rowOff></xdr:to><xdr:pic><xdr:nvPicPr><xdr:cNvPr id="{i + 2}" '
        f'name="Picture {i + 1}"/><xdr:cNvPicPr/></xdr:nvPicPr><xdr:blipFill><a:blip r:embed="rId{i + 1}"/>'
        '<a:stretch><a:fillRect/></a:stretch></xdr:blipFill><xdr:spPr><a:prstGeom prst="rect"><a:avLst/>'
        '</a:prstGeom></xdr:spPr></xdr:pic><xdr:clientData/></xdr:twoCellAnchor>' for i in range(count))
    drawing = (f'<?xml version="1.0" encoding="UTF-8"?><xdr:wsDr xmlns:xdr="{XDR}" xmlns:a="{DML}" '
               f'xmlns:r="{REL}">{anchors}</xdr:wsDr>')
    extra = [("xl/drawings/drawing1.xml", drawing),
             ("xl/drawings/_rels/drawing1.xml.rels",
              rels([(f"rId{i + 1}", "image", f"../media/image{i + 1}.png") for i in range(count)]))]
    extra += [(f"xl/media/image{i + 1}.png", p) for i, p in enumerate(payloads)]
    if pad:
        extra.append(("xl/media/filler.bin", filler(count, megabytes)))
    body = '<row r="1"><c r="A1" t="inlineStr"><is><t>pictures</t></is></c></row>'
    xlsx(path, [("Pictures", "worksheets/sheet1.xml")],
         {"xl/worksheets/sheet1.xml": worksheet(body, after='<drawing r:id="rId1"/>')}, extra,
         {"xl/worksheets/sheet1.xml": rels([("rId1", "drawing", "../drawings/drawing1.xml")])},
         '<Default Extension="png" ContentType="image/png"/>')


def col_name(c):
    name = ""
    c += 1
    while c:
        c, r = divmod(c - 1, 26)
        name = chr(65 + r) + name
    return name


# ---------------------------------------------------------------- OpenDocument
ODS_NS = ('xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
          'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
          'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
          'xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" '
          'xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" '
          'xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" '
          'xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0" '
          'xmlns:xlink="http://www.w3.org/1999/xlink" '
          'xmlns:calcext="urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0" '
          'xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0"')
ODS_MIME = "application/vnd.oasis.opendocument.spreadsheet"
ODS_STYLES = ('<office:automatic-styles><style:style style:name="ce1" style:family="table-cell">'
              '<style:table-cell-properties fo:background-color="#ffee99"/></style:style>'
              '<style:style style:name="band" style:family="table-cell">'
              '<style:table-cell-properties fo:background-color="#3366cc"/></style:style>'
              '</office:automatic-styles>')


def text_cell(text, repeat=1):
    rep = f' table:number-columns-repeated="{repeat}"' if repeat > 1 else ""
    return f'<table:table-cell office:value-type="string"{rep}><text:p>{text}</text:p></table:table-cell>'


def empty_cells(n, style=""):
    st = f' table:style-name="{style}"' if style else ""
    rep = f' table:number-columns-repeated="{n}"' if n > 1 else ""
    return f"<table:table-cell{st}{rep}/>"


def row(cells, repeat=1):
    rep = f' table:number-rows-repeated="{repeat}"' if repeat > 1 else ""
    return f"<table:table-row{rep}>{cells}</table:table-row>"


def table(name, body, shapes="", after=""):
    return f'<table:table table:name="{name}">{shapes}<table:table-column/>{body}{after}</table:table>'


ODS_TABLES = {
    "corners": lambda: table("Corners", row(text_cell("first")) + row(empty_cells(1), 1048574)
                             + row(empty_cells(16383) + text_cell("last"))),
    "rows-repeated": lambda: table("Rows", row(text_cell("x", 3), 1048576)),
    # At the bounds: 4,194,304 cells in one sheet, and four such sheets (the workbook's bound).
    "rows-at-bound": lambda: table("Rows", row(text_cell("x", 4), 1048576)),
    "rows-4-sheets": lambda: "".join(table(f"Rows{i}", row(text_cell("x", 4), 1048576)) for i in range(4)),
    "grid-repeated": lambda: table("Grid", row(text_cell("x", 16384), 1048576)),
    "styled-empty": lambda: table("Styled", row(empty_cells(1000, "ce1"), 2000)),
    "banding": lambda: table(
        "Bands", row(empty_cells(1) + text_cell("top")) + row(empty_cells(2), 99998)
        + row(empty_cells(1) + text_cell("bottom")),
        after='<calcext:conditional-formats><calcext:conditional-format '
              'calcext:target-range-address="Bands.A1:Bands.A100000"><calcext:condition '
              'calcext:apply-style-name="band" calcext:value="formula-is(MOD(ROW();2)=0)" '
              'calcext:base-cell-address="Bands.A1"/></calcext:conditional-format>'
              '</calcext:conditional-formats>'),
}


def ods_content(tables, styles=ODS_STYLES):
    return (f'<?xml version="1.0" encoding="UTF-8"?><office:document-content {ODS_NS} office:version="1.3">'
            f'{styles}<office:body><office:spreadsheet>{tables}</office:spreadsheet></office:body>'
            '</office:document-content>')


def ods(path, tables, pictures=()):
    files = "".join(f'<manifest:file-entry manifest:full-path="{n}" manifest:media-type="image/png"/>'
                    for n, _ in pictures)
    manifest = (f'<?xml version="1.0" encoding="UTF-8"?><manifest:manifest {ODS_NS} manifest:version="1.3">'
                f'<manifest:file-entry manifest:full-path="/" manifest:media-type="{ODS_MIME}"/>'
                '<manifest:file-entry manifest:full-path="content.xml" manifest:media-type="text/xml"/>'
                f'{files}</manifest:manifest>')
    write_zip(path, [("mimetype", ODS_MIME.encode(), STORED), ("META-INF/manifest.xml", manifest),
                     ("content.xml", ods_content(tables))] + list(pictures))


def fods(path, tables):
    with open(path, "w", encoding="utf-8") as f:
        f.write(f'<?xml version="1.0" encoding="UTF-8"?><office:document {ODS_NS} office:version="1.3" '
                f'office:mimetype="{ODS_MIME}">{ODS_STYLES}<office:body><office:spreadsheet>{tables}'
                '</office:spreadsheet></office:body></office:document>')


def ods_pictures(path, count, megabytes, pad=False):
    payloads = picture_payloads(count, megabytes)
    frames = "".join(f'<draw:frame draw:name="Picture {i + 1}" svg:width="2cm" svg:height="1cm" '
                     f'svg:x="{i % 10 * 2}cm" svg:y="{i // 10}cm"><draw:image xlink:href="Pictures/image{i + 1}.png" '
                     'xlink:type="simple"/></draw:frame>' for i in range(count))
    ods(path, table("Pictures", row(text_cell("pictures")), shapes=f"<table:shapes>{frames}</table:shapes>"),
        [(f"Pictures/image{i + 1}.png", p) for i, p in enumerate(payloads)]
        + ([("Pictures/filler.bin", filler(count, megabytes))] if pad else []))


# ---------------------------------------------------------------- the cases
def cases(quick):
    # (count, MB each, padded to pass the bound)
    pics = [(60, 12, False), (150, 12, False), (16, 12, True)] if not quick else [(8, 4, False), (4, 4, True)]
    out = [("xlsx", "corners", xlsx_corners, "1"),
           ("xlsx", "one-sheet-xml-100", xlsx_shared_part, "1"),
           ("xlsx", "one-sheet-xml-cells", xlsx_shared_cells, "1")]
    for n, mb, pad in pics:
        name = f"pictures-{n}x{mb}MB" + ("-padded" if pad else "")
        out.append(("xlsx", name, lambda p, n=n, mb=mb, pad=pad: xlsx_pictures(p, n, mb, pad), "2"))
    out += [("xlsx", "styled-empty", xlsx_styled_empty, "4"),
            ("xlsx", "styled-cells", xlsx_styled_cells, "4"),
            ("xlsx", "banding", xlsx_banding, "4"),
            ("xlsx", "banding-300-terms", lambda p: xlsx_banding(p, terms=300), "4")]
    for key in ODS_TABLES:
        item = "4" if key in ("styled-empty", "banding") else "1"
        out.append(("ods", key, lambda p, k=key: ods(p, ODS_TABLES[k]()), item))
        if key == "corners":
            for n, mb, pad in pics:
                name = f"pictures-{n}x{mb}MB" + ("-padded" if pad else "")
                out.append(("ods", name, lambda p, n=n, mb=mb, pad=pad: ods_pictures(p, n, mb, pad), "2"))
    for key in ODS_TABLES:
        item = "4" if key in ("styled-empty", "banding") else "1"
        out.append(("fods", key, lambda p, k=key: fods(p, ODS_TABLES[k]()), item))
    return out


def content_check(fmt, case, out_dir):
    """Whether a page of line 100 shows all that was asked of it: a note, and whether it fails."""
    pages = sorted(f for f in os.listdir(out_dir) if f.endswith(".htm"))
    if not pages:
        return "no page", True
    if case.startswith("styled-"):
        # 2,000 styled rows: each must be there (styled rows are not empty rows). Row and column
        # styles of a package without cells are a look the page may leave out, not a cut.
        with open(os.path.join(out_dir, pages[0]), "rb") as f:
            rows = f.read().count(b"<tr")
        if fmt == "xlsx" and case == "styled-empty":
            return f"{rows} rows of 2000; row and column styles only", False
        return f"{rows} rows of 2000", rows < 2000
    if case.startswith("banding"):
        with open(os.path.join(out_dir, pages[0]), "rb") as f:
            page = f.read().lower()
        # The rule's colour, in the page's own styles or inline; count the cells that use it.
        classes = set(re.findall(rb"\.([\w-]+)\s*\{[^}]*#3366cc", page))
        styled = page.count(b"#3366cc") - len(classes)
        for cls in classes:
            styled += len(re.findall(rb'class="[^"]*\b' + re.escape(cls) + rb'\b', page))
        if fmt != "xlsx":
            return f"{styled} banded cells of 50000; OpenDocument rules are not read", False
        return f"{styled} banded cells of 50000", styled < 50000
    return "", False


def dir_bytes(path):
    total = 0
    for root, _, files in os.walk(path):
        for f in files:
            try:
                total += os.lstat(os.path.join(root, f)).st_size
            except OSError:
                pass
    return total


LINE = re.compile(r"^\S+  (\d{3}), (.*)$")


def run_case(gridcast, book, out_dir, log, timeout):
    """Runs one conversion; returns seconds, peak MB, status text and the log's code and text."""
    time_file = out_dir + ".time"
    # -f keeps the supporting folders, so pictures and charts count as written.
    cmd = ["/usr/bin/time", "-v", "-o", time_file, gridcast, "-j1", "-o", "-f", "-d", out_dir, "-l", log, book]
    start = time.monotonic()
    proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                            env=dict(os.environ, LC_ALL="C"))
    stopped = ""
    while proc.poll() is None:
        try:
            proc.wait(0.25)
        except subprocess.TimeoutExpired:
            pass
        if proc.poll() is not None:
            break
        if time.monotonic() - start > timeout:
            stopped = f"timeout {timeout:g}s"
        elif dir_bytes(out_dir) > KILL_WRITTEN:
            stopped = f"stopped past {KILL_WRITTEN >> 30} GB written"
        if stopped:
            kill_child(proc.pid)
            proc.wait()
    seconds = time.monotonic() - start
    stderr = proc.stderr.read().decode(errors="replace")
    peak_kb, signal = 0, ""
    try:
        with open(time_file) as f:
            text = f.read()
        m = re.search(r"Maximum resident set size \(kbytes\): (\d+)", text)
        peak_kb = int(m.group(1)) if m else 0
        m = re.search(r"Elapsed \(wall clock\) time.*: (?:(\d+):)?(\d+):([\d.]+)", text)
        if m:
            seconds = int(m.group(1) or 0) * 3600 + int(m.group(2)) * 60 + float(m.group(3))
        m = re.search(r"Command terminated by signal (\d+)", text)
        signal = f"signal {m.group(1)}" if m else ""
    except OSError:
        pass
    code, reason = "-", ""
    if os.path.exists(log):
        with open(log, encoding="utf-8", errors="replace") as f:
            lines = [x.rstrip("\r\n") for x in f if x.strip()]
        if lines:
            m = LINE.match(lines[-1])
            code, reason = (m.group(1), m.group(2)) if m else ("?", lines[-1])
    status = stopped or signal
    if not status and code == "-":
        status = "no log line" + (f" ({stderr.strip()[:80]})" if stderr.strip() else "")
    return seconds, peak_kb / 1024.0, status, code, reason


def kill_child(pid):
    # /usr/bin/time runs gridcast as its only child: stop that, so time still reports.
    try:
        with open(f"/proc/{pid}/task/{pid}/children") as f:
            children = [int(x) for x in f.read().split()]
    except OSError:
        children = []
    for child in children or [pid]:
        try:
            os.kill(child, 9)
        except ProcessLookupError:
            pass


def short_reason(code, reason):
    if code == "100":
        return "Successfully convert"
    m = re.search(r"the error message is (.*)$", reason)
    return m.group(1) if m else reason


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--gridcast", default=os.environ.get("GRIDCAST") or os.path.join(
        here, "..", "..", "build", "release", "app", "gridcast"))
    ap.add_argument("--work", help="folder for the workbooks and pages (default: a temporary one)")
    ap.add_argument("--timeout", type=float, default=90.0, help="seconds per workbook (default 90)")
    ap.add_argument("--quick", action="store_true", help="small pictures, for a smoke run")
    ap.add_argument("--keep", action="store_true", help="keep the workbooks and pages")
    ap.add_argument("--only", help="run only the cases whose format/case contains this text")
    args = ap.parse_args()
    gridcast = os.path.abspath(args.gridcast)
    if not os.access(gridcast, os.X_OK):
        sys.exit(f"gridcast not found: {gridcast}")
    if not os.access("/usr/bin/time", os.X_OK):
        sys.exit("/usr/bin/time is missing (Debian package 'time')")
    work = args.work or tempfile.mkdtemp(prefix="worst_cases.")
    os.makedirs(work, exist_ok=True)
    # A copy of the program: a build that relinks it meanwhile does not disturb the run.
    snapshot = os.path.join(work, "gridcast")
    shutil.copy2(gridcast, snapshot)
    print(f"gridcast: {gridcast}\nbound: under {SMALL >> 10} KB at most {MAX_SECONDS:g} s, "
          f"{MAX_MB:g} MB peak, {MAX_WRITTEN >> 20} MB written; pictures peak under {MAX_MB:g} MB\n")
    header = f"{'format':6} {'case':26} {'item':>4} {'input B':>9} {'seconds':>8} {'peak MB':>8} " \
             f"{'written B':>13} {'code':>4} verdict  reason / note"
    print(header)
    print("-" * len(header))
    failed = 0
    for fmt, case, build, item in cases(args.quick):
        if args.only and args.only not in f"{fmt}/{case}":
            continue
        book = os.path.join(work, f"{case}.{fmt}")
        build(book)
        size = os.path.getsize(book)
        out_dir = os.path.join(work, f"out-{fmt}-{case}")
        shutil.rmtree(out_dir, ignore_errors=True)
        os.makedirs(out_dir)
        log = out_dir + ".log"
        if os.path.exists(log):
            os.remove(log)
        seconds, peak, status, code, reason = run_case(snapshot, book, out_dir, log, args.timeout)
        written = dir_bytes(out_dir)
        why = []
        if status:
            why.append(status)
        if size < SMALL:
            if seconds > MAX_SECONDS:
                why.append(f"> {MAX_SECONDS:g} s")
            if written > MAX_WRITTEN:
                why.append(f"> {MAX_WRITTEN >> 20} MB written")
        if (size < SMALL or item == "2") and peak > MAX_MB:
            why.append(f"> {MAX_MB:g} MB peak")
        note = ""
        if code == "100" and not status:
            note, cut = content_check(fmt, case, out_dir)
            if cut:
                why.append("silent cap")
        elif code not in ("103",) and not status:
            why.append(f"line {code}")
        verdict = "FAIL" if why else "ok"
        failed += bool(why)
        text = short_reason(code, reason)
        if note:
            text = f"{text} [{note}]"
        if why:
            text = f"{text} ({'; '.join(why)})"
        print(f"{fmt:6} {case:26} {item:>4} {size:9d} {seconds:8.2f} {peak:8.1f} {written:13,d} "
              f"{code:>4} {verdict:7}  {text}", flush=True)
        if not args.keep:
            shutil.rmtree(out_dir, ignore_errors=True)
            os.remove(book)
    os.remove(snapshot)
    if not args.keep and not args.work:
        shutil.rmtree(work, ignore_errors=True)
    print(f"\n{failed} case(s) failed" if failed else "\nall cases within the bound")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
