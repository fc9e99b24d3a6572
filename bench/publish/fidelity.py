#!/usr/bin/python3
"""Fidelity of the published pages: the displayed text of every non-empty cell, sheet by sheet,
compared with the pages LibreOffice writes for the same workbooks.

    fidelity.py [--corpus DIR] [--cache DIR] [--out DIR] [--tool PATH]
                [--gridcast PATH [--compact]] [--details FILE] [--pattern REGEX]

For the .xlsx family: --corpus ../shared/corpus-xlsx --cache /tmp/lo-html-xlsx
--pattern '\.xl[st][xm]$'.

The LibreOffice pages are made once (soffice --headless --convert-to html) and kept in the cache
folder. Our pages come from publish_tool (the engine directly) or, with --gridcast, from the
command line (with --compact, compacted as gridcast -c does; publish_tool then still lists the
stored formula results). Cells are matched by position: both pages leave hidden rows and columns out;
LibreOffice's page starts at the first used row and column and leaves out columns a few pixels
wide, which the tool allows for (see match_columns and align). A cell of ours that spans several columns (merged or spilled
text) matches a LibreOffice cell at any position it covers.

Counted: every position where either page shows text. Agreement: the same text after squeezing
blanks, or, when both are numbers as General shows them (digits, a point, an exponent), the same
value to the digits both show (a General number shown in fewer digits agrees with the full
number). Formatted numbers ("1,234.50", "12%", "$3") must match as text.

Left out, and counted separately: formula cells where LibreOffice shows a value other than the
result stored in the workbook (it recalculates some formulas on loading); they are found from the
stored results that publish_tool --formulas lists. LibreOffice writes comments into the cell as
<comment> elements; their text is not part of the cell's text.
"""
import argparse
import html.parser
import os
import re
import subprocess
import sys
from collections import Counter, defaultdict

PASSWORDS = {"password.xls": "password", "xor-encryption-abc.xls": "abc",
             "poi-protected_passtika.xlsx": "tika"}


class TableParser(html.parser.HTMLParser):
    """Collects tables as lists of rows of (text, rowspan, colspan), and the LibreOffice sheet
    headings (<h1>Sheet N: <em>name</em></h1>) and page title before each table."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.tables = []  # (heading, rows, column widths)
        self._widths = []
        self.heading = None
        self.title = ""
        self._in_h1 = False
        self._h1 = ""
        self._in_title = False
        self._rows = None
        self._cell = None
        self._skip = 0  # inside <comment>, <style>

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag in ("comment", "style", "script"):
            self._skip += 1
        elif tag == "title":
            self._in_title = True
        elif tag == "h1":
            self._in_h1 = True
            self._h1 = ""
        elif tag == "table":
            self._rows = []
            self._widths = []
        elif tag == "colgroup" and self._rows is not None and a.get("width"):
            self._widths += [int(a["width"])] * int(a.get("span") or 1)
        elif tag == "col" and self._rows is not None:
            m = re.search(r"width:(\d+)px", a.get("style") or "")
            if m:
                self._widths.append(int(m.group(1)))
        elif tag == "tr" and self._rows is not None:
            self._rows.append([])
        elif tag in ("td", "th") and self._rows is not None:
            if not self._rows:
                self._rows.append([])
            self._cell = [[], int(a.get("rowspan") or 1), int(a.get("colspan") or 1)]
            self._rows[-1].append(self._cell)
        elif tag == "br" and self._cell is not None and not self._skip:
            self._cell[0].append("\n")

    def handle_endtag(self, tag):
        if tag in ("comment", "style", "script"):
            self._skip = max(0, self._skip - 1)
        elif tag == "title":
            self._in_title = False
        elif tag == "h1":
            self._in_h1 = False
            m = re.match(r"Sheet \d+: (.*)$", self._h1.strip(), re.S)
            self.heading = m.group(1) if m else self._h1.strip()
        elif tag == "table" and self._rows is not None:
            self.tables.append((self.heading, self._rows, self._widths))
            self._rows = None
            self._cell = None
        elif tag in ("td", "th"):
            self._cell = None

    def handle_data(self, data):
        if self._skip:
            return
        if self._in_title:
            self.title += data
        if self._in_h1:
            self._h1 += data
        if self._cell is not None:
            self._cell[0].append(data)


def norm(text):
    return re.sub(r"\s+", " ", text.replace("\xa0", " ")).strip()


def grid(rows):
    """(row, col) -> (text, rowspan, colspan) for each cell's anchor."""
    cells = {}
    taken = set()
    for r, row in enumerate(rows):
        c = 0
        for parts, rs, cs in row:
            while (r, c) in taken:
                c += 1
            text = norm("".join(parts))
            cells[(r, c)] = (text, rs, cs)
            for dr in range(rs):
                for dc in range(cs):
                    taken.add((r + dr, c + dc))
            c += cs
    return cells


NUMBER = re.compile(r"^[-+(]?[$€£]?\s?[\d,]*\.?\d*(E[-+]?\d+)?\)?%?$", re.I)


def as_number(text):
    t = text.strip()
    if not t or not NUMBER.match(t) or not re.search(r"\d", t):
        return None
    neg = t.startswith("(") and t.endswith(")")
    t = t.strip("()").replace(",", "").replace("$", "").replace("€", "").replace("£", "").strip()
    pct = t.endswith("%")
    t = t.rstrip("%")
    try:
        v = float(t)
    except ValueError:
        return None
    if neg:
        v = -v
    return v / 100 if pct else v


def significant(text):
    mant = re.sub(r"E.*$", "", text.upper())
    digits = re.sub(r"\D", "", mant).lstrip("0")
    return max(1, len(digits))


def same_number(a, b):
    va, vb = as_number(a), as_number(b)
    if va is None or vb is None:
        return False
    if va == vb:
        return True
    digits = min(significant(a), significant(b))
    fmt = "%%.%de" % (digits - 1)
    return fmt % va == fmt % vb


GENERAL = re.compile(r"^-?(\d+\.?\d*|\.\d+)(E[-+]?\d+)?$", re.I)


def agree(ours, theirs):
    """Equal texts; or two numbers as General shows them (digits, point, exponent: no grouping,
    currency or per cent) that agree to the digits both show."""
    if ours == theirs:
        return True
    return bool(GENERAL.match(ours) and GENERAL.match(theirs)) and same_number(ours, theirs)


def lo_pages(corpus, cache, files):
    os.makedirs(cache, exist_ok=True)
    for f in files:
        stem = os.path.splitext(f)[0]
        if os.path.exists(os.path.join(cache, stem + ".html")):
            continue
        subprocess.run(["timeout", "120", "soffice", "-env:UserInstallation=file:///tmp/lo-profile",
                        "--headless", "--convert-to", "html", "--outdir", cache,
                        os.path.join(corpus, f)], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def our_pages(args, f, outdir):
    """Runs the converter over one workbook; returns [(number, name, page)] and the formula facts."""
    path = os.path.join(args.corpus, f)
    stem = os.path.splitext(f)[0]
    os.makedirs(outdir, exist_ok=True)
    facts = os.path.join(outdir, stem + ".formulas")
    cmd = [args.tool, path, outdir, "--formulas", facts]
    if f in PASSWORDS:
        cmd += ["--password", PASSWORDS[f]]
    res = subprocess.run(cmd, capture_output=True, text=True, timeout=120)
    if res.returncode != 0:
        return None, {}, set()
    sheets = []
    hidden = set()
    for line in res.stdout.splitlines():
        n, name, page, visibility = line.split("\t", 3)
        sheets.append((int(n), name, page))
        if visibility == "hidden":
            hidden.add(int(n))
    if args.gridcast:
        # The same pages again, written by the command line into a folder of their own.
        gdir = os.path.join(outdir, "gridcast")
        os.makedirs(gdir, exist_ok=True)
        cmd = [args.gridcast, path, "--dest=" + gdir, "-o", "-f"] + (["-c"] if args.compact else [])
        if f in PASSWORDS:
            cmd.append("--password=" + PASSWORDS[f])
        subprocess.run(cmd, capture_output=True, timeout=300)
        sheets = [(n, name, os.path.join(gdir, os.path.basename(page))) for n, name, page in sheets]
        sheets = [s for s in sheets if os.path.exists(s[2])]
    formulas = {}
    if os.path.exists(facts):
        with open(facts, encoding="utf-8", errors="replace") as fh:
            for line in fh:
                parts = line.rstrip("\n").split("\t")
                if len(parts) >= 5:
                    formulas[(int(parts[0]), int(parts[1]), int(parts[2]))] = (parts[3], parts[4])
    return sheets, formulas, hidden


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser()
    ap.add_argument("--corpus", default=os.path.join(here, "..", "..", "..", "shared", "corpus"))
    ap.add_argument("--cache", default="/tmp/lo-html")
    ap.add_argument("--out", default="/tmp/quillane-fidelity")
    ap.add_argument("--tool", default=os.path.join(here, "..", "..", "build", "h-publish", "bench",
                                                   "publish", "publish_tool"))
    ap.add_argument("--gridcast", default=None, help="take the pages from this gridcast")
    ap.add_argument("--compact", action="store_true", help="with --gridcast: compact the pages")
    ap.add_argument("--details", default=None, help="write every disagreement to this file")
    ap.add_argument("--pattern", default=r"\.xl[stw]$",
                    help="the workbooks of the corpus: a regular expression of their names "
                         "(OpenDocument: '\.(ods|ots|fods)$')")
    args = ap.parse_args()

    files = sorted(f for f in os.listdir(args.corpus) if re.search(args.pattern, f, re.I))
    lo_pages(args.corpus, args.cache, files)

    total = agreeing = excluded = 0
    sheets_compared = 0
    causes = Counter()
    details = []
    skipped = []
    unmatched_cells = [0]
    for f in files:
        stem = os.path.splitext(f)[0]
        lo_file = os.path.join(args.cache, stem + ".html")
        if not os.path.exists(lo_file):
            skipped.append((f, "LibreOffice wrote no page"))
            continue
        sheets, formulas, hidden = our_pages(args, f, os.path.join(args.out, stem))
        if sheets is None:
            skipped.append((f, "our converter refused it"))
            continue
        lo = TableParser()
        with open(lo_file, encoding="utf-8", errors="replace") as fh:
            lo.feed(fh.read())
        lo_by_name = defaultdict(list)
        for heading, rows, widths in lo.tables:
            lo_by_name[heading].append((rows, widths))
        # With a single sheet LibreOffice writes no sheet headings: its tables go to our
        # visible worksheets in order (it leaves hidden sheets out).
        unnamed = lo_by_name.pop(None, [])
        for number, name, page in sheets:
            if unnamed and name not in lo_by_name and number not in hidden:
                lo_by_name[name].append(unnamed.pop(0))
            if name not in lo_by_name or not lo_by_name[name]:
                ours = TableParser()
                with open(page, encoding="utf-8") as fh:
                    ours.feed(fh.read())
                cells = sum(1 for v in grid(ours.tables[0][1]).values() if v[0]) if ours.tables else 0
                unmatched_cells[0] += cells
                skipped.append((f + " / " + name, "no LibreOffice table for the sheet; %d cells with text in ours" % cells))
                continue
            lo_rows, lo_widths = lo_by_name[name].pop(0)
            lo_grid = grid(lo_rows)
            ours = TableParser()
            with open(page, encoding="utf-8") as fh:
                ours.feed(fh.read())
            our_grid = grid(ours.tables[0][1]) if ours.tables else {}
            our_widths = ours.tables[0][2] if ours.tables else []
            lo_grid = match_columns(lo_grid, our_grid, our_widths, lo_widths)
            sheets_compared += 1
            # Our cells by every position they cover.
            cover = {}
            for (r, c), (text, rs, cs) in our_grid.items():
                for dr in range(rs):
                    for dc in range(cs):
                        cover[(r + dr, c + dc)] = ((r, c), text)
            matched_ours = set()
            for (r, c), (text, _, _) in lo_grid.items():
                if not text:
                    continue
                anchor, mine = cover.get((r, c), (None, ""))
                if anchor is not None and mine:
                    matched_ours.add(anchor)
                total += 1
                if agree(mine, text):
                    agreeing += 1
                    continue
                fact = formulas.get((number, r, c))
                if fact is not None:
                    kind, stored = fact
                    recalculated = (kind == "n" and not same_number(stored, text)) or \
                                   (kind != "n" and norm(stored) != text)
                    if recalculated:
                        total -= 1
                        excluded += 1
                        continue
                cause = classify(mine, text)
                causes[cause] += 1
                details.append("%s\t%s\t%d,%d\t%s\t%r\t%r" % (f, name, r, c, cause, mine, text))
            for (r, c), (text, rs, cs) in our_grid.items():
                if not text or (r, c) in matched_ours:
                    continue
                if any(lo_grid.get((r + dr, c + dc), ("",))[0] for dr in range(rs) for dc in range(cs)):
                    continue
                total += 1
                causes["only in our page"] += 1
                details.append("%s\t%s\t%d,%d\t%s\t%r\t%r" % (f, name, r, c, "only in our page", text, ""))

    print("workbooks: %d, sheets compared: %d, skipped: %d" % (len(files), sheets_compared, len(skipped)))
    print("cells compared: %d, agreeing: %d (%.2f%%)" % (total, agreeing, 100.0 * agreeing / max(total, 1)))
    print("left out: %d formula cells where LibreOffice shows a recalculated value" % excluded)
    print("not compared: %d cells with text in our pages of sheets LibreOffice wrote no table for"
          % unmatched_cells[0])
    print("disagreements by cause:")
    for cause, n in causes.most_common():
        print("  %6d  %s" % (n, cause))
    for what, why in skipped:
        print("skipped: %s (%s)" % (what, why))
    if args.details:
        with open(args.details, "w", encoding="utf-8") as fh:
            fh.write("\n".join(details) + "\n")


def align(lo_grid, our_grid):
    """LibreOffice's page starts at the first used row and column, ours at A1: shift its cells by
    the offset under which most texts agree (tried: 0 to 3 rows and columns, and the differences
    of the first rows and columns with text)."""
    def first(grid, axis):
        keys = [k[axis] for k, v in grid.items() if v[0]]
        return min(keys) if keys else 0
    sample = [(k, v[0]) for k, v in sorted(lo_grid.items()) if v[0]][:3000]
    rows = set(range(4)) | {max(0, first(our_grid, 0) - first(lo_grid, 0))}
    cols = set(range(4)) | {max(0, first(our_grid, 1) - first(lo_grid, 1))}
    best, best_score = (0, 0), -1
    for dr in sorted(rows):
        for dc in sorted(cols):
            score = sum(1 for (r, c), text in sample
                        if agree(our_grid.get((r + dr, c + dc), ("",))[0], text))
            if score > best_score:
                best, best_score = (dr, dc), score
    dr, dc = best
    if best == (0, 0):
        return lo_grid
    return {(r + dr, c + dc): v for (r, c), v in lo_grid.items()}


def renumber(lo_grid, count, dropped):
    """LibreOffice's columns renumbered as ours without the columns in `dropped`."""
    kept = [i for i in range(count) if i not in dropped]
    def ours_of(c):
        return kept[c] if c < len(kept) else c + len(dropped)
    out = {}
    for (r, c), (text, rs, cs) in lo_grid.items():
        nc = ours_of(c)
        out[(r, nc)] = (text, rs, ours_of(c + cs - 1) - nc + 1)
    return out


def match_columns(lo_grid, our_grid, ours, theirs):
    """LibreOffice leaves out columns only a few pixels wide, and may end a column earlier when
    the last one holds only a format. When its page has fewer columns, the tool tries leaving out
    our narrowest columns (under 8 px) or our last ones, and keeps whichever lines up more texts;
    then it shifts by the offset of LibreOffice's used area (see align)."""
    extra = len(ours) - len(theirs)
    candidates = [set()]
    if extra > 0 and theirs:
        candidates.append(set(i for _, i in sorted((w, i) for i, w in enumerate(ours) if w < 8)[:extra]))
        candidates.append(set(range(len(ours) - extra, len(ours))))
    best, best_score = lo_grid, -1
    for dropped in candidates:
        g = align(renumber(lo_grid, len(ours), dropped) if dropped else lo_grid, our_grid)
        score = sum(1 for k, v in g.items() if v[0] and agree(our_grid.get(k, ("",))[0], v[0]))
        if score > best_score:
            best, best_score = g, score
    return best


def classify(mine, theirs):
    if not mine:
        return "empty in our page"
    if not theirs:
        return "only in our page"
    if mine in ("TRUE", "FALSE") and theirs in ("1", "0", "-1"):
        return "logical value (LibreOffice shows a number)"
    a, b = as_number(mine), as_number(theirs)
    if a is not None and b is not None:
        return "number shown differently"
    if a is not None or b is not None:
        return "number vs text (date/time or format)"
    if mine.lower() == theirs.lower():
        return "letter case"
    return "text differs"


if __name__ == "__main__":
    main()
