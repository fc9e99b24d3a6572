#!/usr/bin/python3
"""Compares the workbook model with xlrd on a folder of workbooks.

For every workbook both read: cell types and values, each cell's number-format string, merged
ranges, column widths and row heights. Prints the agreement per workbook, every disagreement
(up to --show per workbook and kind) and the totals.

    /usr/bin/python3 bench/reader/compare_xlrd.py BUILD/bench/reader/dump_model [CORPUS] [--show N]
"""
import argparse
import json
import math
import os
import signal
import subprocess
import sys

import xlrd

# Built-in formats whose code xlrd gives in an older form than the application's en-US display
# (the same format index on both sides).
XLRD_BUILTIN_ALIASES = {("m/d/yyyy", "m/d/yy"), ("m/d/yyyy h:mm", "m/d/yy h:mm")}

XL_EMPTY, XL_TEXT, XL_NUMBER, XL_DATE, XL_BOOLEAN, XL_ERROR, XL_BLANK = range(7)


class Timeout(Exception):
    pass


def on_alarm(signum, frame):
    raise Timeout()


def xlrd_model(path):
    book = xlrd.open_workbook(path, formatting_info=True, on_demand=False, logfile=open(os.devnull, "w"))
    sheets = {}
    used_xfs = set()
    for sheet in book.sheets():
        cells = {}
        for r in range(sheet.nrows):
            for c in range(sheet.row_len(r)):
                cell = sheet.cell(r, c)
                if cell.ctype == XL_EMPTY:
                    continue
                fmt = None
                try:
                    xf = book.xf_list[cell.xf_index]
                    fmt = book.format_map[xf.format_key].format_str
                except (IndexError, KeyError, TypeError):
                    pass
                cells[(r, c)] = (cell.ctype, cell.value, fmt)
        cols = {c: info.width for c, info in sheet.colinfo_map.items()}
        rows = {r: info.height for r, info in sheet.rowinfo_map.items()}
        merged = sorted((rlo, rhi - 1, clo, chi - 1) for rlo, rhi, clo, chi in sheet.merged_cells)
        for r in range(sheet.nrows):
            for c in range(sheet.row_len(r)):
                used_xfs.add(sheet.cell_xf_index(r, c))
        notes = {k: (n.author, n.text) for k, n in sheet.cell_note_map.items()}
        links = [(h.frowx, h.lrowx, h.fcolx, h.lcolx, h.url_or_path or "", h.textmark or "", (h.desc or "").rstrip("\x00"))
                 for h in sheet.hyperlink_list]
        frozen = (sheet.horz_split_pos, sheet.vert_split_pos) if sheet.panes_are_frozen else (0, 0)
        settings = dict(defcolwidth=sheet.defcolwidth, standardwidth=sheet.standardwidth,
                        default_row_height=sheet.default_row_height, gridlines=int(bool(sheet.show_grid_lines)),
                        frozen=frozen)
        sheets[sheet.name] = dict(settings=settings, cells=cells, cols=cols, rows=rows, merged=merged, notes=notes, links=links)
    styles = {}
    underline = {0: 0, 1: 1, 2: 2, 0x21: 3, 0x22: 4}
    for i in used_xfs:
        if i is None or i >= len(book.xf_list):
            continue
        xf = book.xf_list[i]
        a, b, g = xf.alignment, xf.border, xf.background
        fields = dict(hAlign=a.hor_align, vAlign=a.vert_align, wrap=a.text_wrapped, rotation=a.rotation,
                      indent=a.indent_level, shrink=a.shrink_to_fit,
                      left=(b.left_line_style, b.left_colour_index), right=(b.right_line_style, b.right_colour_index),
                      top=(b.top_line_style, b.top_colour_index), bottom=(b.bottom_line_style, b.bottom_colour_index),
                      fill=(g.fill_pattern, g.pattern_colour_index, g.background_colour_index))
        if xf.font_index < len(book.font_list):
            f = book.font_list[xf.font_index]
            fields["font"] = (f.name, f.height, f.weight, int(f.italic), underline.get(f.underline_type, -1),
                              int(f.struck_out), f.colour_index, f.escapement)
        styles[i] = fields
    palette = {i: rgb for i, rgb in book.colour_map.items() if 8 <= i < 64 and rgb is not None}
    return sheets, styles, palette


def our_style(model, i):
    x = model["styles"][i]
    fields = dict(hAlign=x[2], vAlign=x[3], wrap=x[4], rotation=x[5], indent=x[6], shrink=x[7],
                  left=(x[8], x[9]), right=(x[10], x[11]), top=(x[12], x[13]), bottom=(x[14], x[15]),
                  fill=(x[16], x[17], x[18]))
    if x[0] < len(model["fonts"]):
        fields["font"] = tuple(model["fonts"][x[0]])
    return fields


def same_number(a, b):
    if a is None or b is None:
        return a is b
    if a == b:
        return True
    return math.isclose(a, b, rel_tol=1e-12, abs_tol=1e-300)


def compare_cell(ours, theirs):
    """Returns None when the values agree, else a short reason."""
    ctype, value, _ = theirs
    if ours is None:
        return "missing in model"
    kind, v = ours[2], ours[3]
    if ctype in (XL_NUMBER, XL_DATE):
        if kind != "n":
            return "type %s vs number" % kind
        return None if same_number(v, value) else "number %r vs %r" % (v, value)
    if ctype == XL_TEXT:
        if kind == "b" and value == "":
            return None  # a formula with an empty text result: blank in the model
        if kind != "s":
            return "type %s vs text" % kind
        return None if v == value else "text %r vs %r" % (v[:60], value[:60])
    if ctype == XL_BOOLEAN:
        return None if kind == "bool" and v == value else "bool %s %r vs %r" % (kind, v, value)
    if ctype == XL_ERROR:
        return None if kind == "e" and v == value else "error %s %r vs %r" % (kind, v, value)
    if ctype == XL_BLANK:
        return None if kind == "b" else "type %s vs blank" % kind
    return "unknown xlrd type %d" % ctype


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("dump_model")
    parser.add_argument("corpus", nargs="?", default=os.path.join(os.path.dirname(__file__), "../../../shared/corpus"))
    parser.add_argument("--show", type=int, default=5)
    args = parser.parse_args()

    files = sorted(os.path.join(args.corpus, f) for f in os.listdir(args.corpus) if f.lower().endswith((".xls", ".xlt", ".xlw")))
    out = subprocess.run([args.dump_model] + files, capture_output=True, text=True, check=True).stdout
    models = {}
    for line in out.splitlines():
        record = json.loads(line)
        models[record["file"]] = record

    signal.signal(signal.SIGALRM, on_alarm)
    field_problems = {}
    totals = dict(settings=0, settings_ok=0, style_fields=0, style_fields_ok=0, palette=0, palette_ok=0, notes=0, notes_ok=0, links=0, links_ok=0, alias=0, cells=0, value_ok=0, format_ok=0, both_ok=0, merged=0, merged_ok=0, cols=0, cols_ok=0, rows=0, rows_ok=0)
    both = ours_only = theirs_only = neither = 0
    for path in files:
        name = os.path.basename(path)
        record = models.get(path, {"error": "no output"})
        signal.alarm(60)
        try:
            theirs, tstyles, tpalette = xlrd_model(path)
            xerr = None
        except Timeout:
            theirs, xerr = None, "timeout"
        except Exception as e:  # xlrd's own errors, and its crashes on damaged files
            theirs, xerr = None, "%s: %s" % (type(e).__name__, str(e)[:100])
        finally:
            signal.alarm(0)
        if "error" in record:
            if theirs is None:
                neither += 1
                print("%-40s neither reads it (model: %s | xlrd: %s)" % (name, record["error"], xerr))
            else:
                theirs_only += 1
                print("%-40s ONLY XLRD reads it (model: %s)" % (name, record["error"]))
            continue
        if theirs is None:
            ours_only += 1
            print("%-40s only the model reads it (xlrd: %s)" % (name, xerr))
            continue
        both += 1
        ours = {s["name"]: s for s in record["model"]["sheets"]}
        model = record["model"]
        if model["biff"] >= 3:
            for i, tfields in tstyles.items():
                if i >= len(model["styles"]):
                    problems_styles = totals.setdefault("style_missing", 0)
                    totals["style_missing"] = problems_styles + 1
                    continue
                ofields = our_style(model, i)
                for key, value in tfields.items():
                    totals["style_fields"] += 1
                    if ofields.get(key) == value:
                        totals["style_fields_ok"] += 1
                    else:
                        field_problems.setdefault(key, []).append("%s XF %d %s: %r vs %r" % (name, i, key, ofields.get(key), value))
            for i, rgb in tpalette.items():
                totals["palette"] += 1
                v = model["palette"][i - 8]
                if (v >> 16, (v >> 8) & 255, v & 255) == tuple(rgb):
                    totals["palette_ok"] += 1
                else:
                    field_problems.setdefault("palette", []).append("%s colour %d: %06x vs %r" % (name, i, v, rgb))
        stats = dict(cells=0, value_ok=0, format_ok=0, both_ok=0, alias=0)
        problems = []
        for sname, tsheet in theirs.items():
            osheet = ours.get(sname)
            if osheet is None and len(theirs) == 1 and len(ours) == 1:
                osheet = next(iter(ours.values()))  # the one sheet of an old-format file
            if osheet is None:
                problems.append("sheet %r missing in model" % sname)
                stats["cells"] += len(tsheet["cells"])
                continue
            ocells = {(c[0], c[1]): c for c in osheet["cells"]}
            for pos, tcell in sorted(tsheet["cells"].items()):
                ocell = ocells.get(pos)
                stats["cells"] += 1
                reason = compare_cell(ocell, tcell)
                # xlrd has no format for cells of a file without XF records; nothing to compare.
                fmt_ok = ocell is not None and (ocell[4] == tcell[2] or tcell[2] is None)
                if ocell is not None and (ocell[4], tcell[2]) in XLRD_BUILTIN_ALIASES:
                    stats["alias"] += 1
                    fmt_ok = True
                stats["value_ok"] += reason is None
                stats["format_ok"] += fmt_ok
                stats["both_ok"] += reason is None and fmt_ok
                if reason:
                    problems.append("%s!R%dC%d value: %s" % (sname, pos[0], pos[1], reason))
                elif not fmt_ok:
                    problems.append("%s!R%dC%d format: %r vs %r" % (sname, pos[0], pos[1], ocell[4], tcell[2]))
            for pos in ocells:
                if pos not in tsheet["cells"]:
                    kind = ocells[pos][2]
                    problems.append("%s!R%dC%d extra in model (%s)" % (sname, pos[0], pos[1], kind))
            omerged = sorted(tuple(m) for m in osheet["merged"])
            totals["merged"] += len(tsheet["merged"])
            totals["merged_ok"] += len(set(omerged) & set(tsheet["merged"]))
            if set(omerged) != set(tsheet["merged"]):
                problems.append("%s merged: %d in model, %d in xlrd, %d agree" % (sname, len(omerged), len(tsheet["merged"]), len(set(omerged) & set(tsheet["merged"]))))
            ocols = {}
            for first, last, width, hidden in osheet["columns"]:
                for c in range(first, min(last, 255) + 1):
                    ocols[c] = width
            for c, w in tsheet["cols"].items():
                totals["cols"] += 1
                if ocols.get(c) == w:
                    totals["cols_ok"] += 1
                else:
                    problems.append("%s column %d width %s vs %s" % (sname, c, ocols.get(c), w))
            onotes = {(c[0], c[1]): (c[2], c[3]) for c in osheet["comments"]}
            totals["notes"] += len(tsheet["notes"])
            for k, v in tsheet["notes"].items():
                if onotes.get(k) == v:
                    totals["notes_ok"] += 1
                else:
                    problems.append("%s comment %r: %r vs %r" % (sname, k, onotes.get(k), v))
            olinks = [(h[0], h[1], h[2], h[3], h[5], h[6], h[7]) for h in osheet["hyperlinks"]]
            totals["links"] += len(tsheet["links"])
            totals["links_ok"] += sum(1 for a, b in zip(olinks, tsheet["links"]) if a == b)
            if olinks != tsheet["links"]:
                problems.append("%s hyperlinks: %d in model, %d in xlrd differ" % (sname, len(olinks), len(tsheet["links"])))
            dcw, sw, drh, grid, frows, fcols = osheet["settings"]
            ours_settings = dict(defcolwidth=dcw, standardwidth=sw, default_row_height=drh, gridlines=grid,
                                 frozen=(frows, fcols))
            for key, value in tsheet["settings"].items():
                if value is None:
                    continue  # xlrd saw no such record; the model keeps its default
                totals["settings"] += 1
                if ours_settings[key] == value:
                    totals["settings_ok"] += 1
                else:
                    problems.append("%s setting %s: %r vs %r" % (sname, key, ours_settings[key], value))
            orows = {r: h for r, h, hidden in osheet["rows"]}
            for r, h in tsheet["rows"].items():
                totals["rows"] += 1
                if orows.get(r) == h:
                    totals["rows_ok"] += 1
                else:
                    problems.append("%s row %d height %s vs %s" % (sname, r, orows.get(r), h))
        for key in stats:
            totals[key] += stats[key]
        pct = 100.0 * stats["both_ok"] / stats["cells"] if stats["cells"] else 100.0
        print("%-40s %6d cells, %6.2f%% agree" % (name, stats["cells"], pct))
        shown = {}
        for p in problems:
            key = next((k for k in (" setting ", " value:", " format:", " extra in model", " merged:", " column ", " row ", "missing") if k in p), "other").strip(" :")
            shown[key] = shown.get(key, 0) + 1
            if shown[key] <= args.show:
                print("    " + p)
        for key, count in shown.items():
            if count > args.show:
                print("    ... %d more %s" % (count - args.show, key))

    print()
    print("workbooks: %d read by both, %d only by the model, %d only by xlrd, %d by neither" % (both, ours_only, theirs_only, neither))
    c = totals["cells"] or 1
    print("cells: %d; values agree %.4f%%, formats agree %.4f%%, both agree %.4f%%" % (
        totals["cells"], 100.0 * totals["value_ok"] / c, 100.0 * totals["format_ok"] / c, 100.0 * totals["both_ok"] / c))
    print("of the agreeing formats, %d cells (%.4f%%) agree only through xlrd's older built-in codes %s;"
          " counted strictly, formats agree %.4f%% and cells %.4f%%" % (
              totals["alias"], 100.0 * totals["alias"] / c, sorted(XLRD_BUILTIN_ALIASES),
              100.0 * (totals["format_ok"] - totals["alias"]) / c, 100.0 * (totals["both_ok"] - totals["alias"]) / c))
    print("merged ranges: %d/%d, column widths: %d/%d, row heights: %d/%d agree" % (
        totals["merged_ok"], totals["merged"], totals["cols_ok"], totals["cols"], totals["rows_ok"], totals["rows"]))
    print("cell styles (XF records the cells use; font, alignment, wrap, rotation, indent, shrink, borders, fill):"
          " %d/%d fields agree; palette colours %d/%d" % (totals["style_fields_ok"], totals["style_fields"], totals["palette_ok"], totals["palette"]))
    for key, items in sorted(field_problems.items()):
        print("  %s: %d disagree, e.g. %s" % (key, len(items), "; ".join(items[:args.show])))
    print("sheet settings (DEFCOLWIDTH, STANDARDWIDTH, DEFAULTROWHEIGHT, gridlines, frozen panes): %d/%d agree" % (
        totals["settings_ok"], totals["settings"]))
    print("comments: %d/%d, hyperlinks: %d/%d agree" % (totals["notes_ok"], totals["notes"], totals["links_ok"], totals["links"]))


if __name__ == "__main__":
    main()
