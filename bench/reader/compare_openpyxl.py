#!/usr/bin/python3
"""Compares the values of the model with openpyxl's reading (cached values) on .xlsx packages.

For every package both read, every cell openpyxl gives a value (type and value): numbers (dates
turned back into serials), text, booleans, errors. Prints the disagreements (up to --show per
package), the packages only one side reads, and the totals: the share of non-empty cells equal.

    /usr/bin/python3 bench/reader/compare_openpyxl.py BUILD/bench/reader/dump_model [FOLDER] [--show N]
"""
import argparse
import datetime
import json
import math
import os
import signal
import subprocess
import sys
import warnings

import openpyxl
from openpyxl.utils.datetime import to_excel

ERRORS = {0x00: "#NULL!", 0x07: "#DIV/0!", 0x0F: "#VALUE!", 0x17: "#REF!", 0x1D: "#NAME?",
          0x24: "#NUM!", 0x2A: "#N/A", 0x2B: "#GETTING_DATA"}


class Timeout(Exception):
    pass


def on_alarm(signum, frame):
    raise Timeout()


def reference(path):
    book = openpyxl.load_workbook(path, read_only=True, data_only=True)
    epoch = book.epoch
    sheets = {}
    for ws in book.worksheets:
        cells = {}
        for row in ws.iter_rows():
            for cell in row:
                value = getattr(cell, "value", None)
                if value is None or value == "":
                    continue
                kind = cell.data_type
                if isinstance(value, bool):
                    cells[(cell.row - 1, cell.column - 1)] = ("bool", int(value))
                elif isinstance(value, (datetime.datetime, datetime.date, datetime.time, datetime.timedelta)):
                    cells[(cell.row - 1, cell.column - 1)] = ("n", float(to_excel(value, epoch)))
                elif isinstance(value, (int, float)):
                    cells[(cell.row - 1, cell.column - 1)] = ("n", float(value))
                elif kind == "e":
                    cells[(cell.row - 1, cell.column - 1)] = ("e", value)
                else:
                    cells[(cell.row - 1, cell.column - 1)] = ("s", str(value))
        sheets[ws.title] = cells
    book.close()
    return sheets


def ours(model):
    sheets = {}
    for sheet in model["sheets"]:
        if sheet["type"] != "worksheet":
            continue
        cells = {}
        for row, col, kind, value, _fmt in sheet["cells"]:
            if kind == "b" or (kind == "s" and value == ""):
                continue
            if kind == "e":
                value = ERRORS.get(value, "#N/A")
            cells[(row, col)] = (kind, float(value) if kind == "n" and value is not None else value)
        sheets[sheet["name"]] = cells
    return sheets


def equal(a, b):
    if a[0] != b[0]:
        return False
    if a[0] == "n":
        return a[1] == b[1] or (a[1] is not None and b[1] is not None and math.isclose(a[1], b[1], rel_tol=1e-12, abs_tol=1e-9))
    return a[1] == b[1]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("dump_model")
    parser.add_argument("folder", nargs="?", default=os.path.join(os.path.dirname(__file__), "../../../shared/corpus-xlsx"))
    parser.add_argument("--show", type=int, default=3)
    args = parser.parse_args()
    files = sorted(os.path.join(args.folder, f) for f in os.listdir(args.folder)
                   if f.lower().endswith((".xlsx", ".xlsm", ".xltx", ".xltm")))
    # One package at a time, bounded: a package whose cells all name one huge shared string gives
    # a dump of gigabytes.
    models = {}
    for path in files:
        try:
            res = subprocess.run([args.dump_model, path], capture_output=True, text=True, timeout=60)
            for line in res.stdout.splitlines():
                entry = json.loads(line)
                models[entry["file"]] = entry
        except subprocess.TimeoutExpired:
            models[path] = {"error": "the dump took longer than 60 s"}
    total = same = 0
    only_ref = only_ours = both_fail = 0
    signal.signal(signal.SIGALRM, on_alarm)
    warnings.simplefilter("ignore")
    for path in files:
        entry = models.get(path, {})
        signal.alarm(60)
        try:
            ref = reference(path)
        except Exception as e:  # noqa: BLE001 - any failure of the reference reader
            ref = None
            ref_error = f"{type(e).__name__}: {e}"
        finally:
            signal.alarm(0)
        name = os.path.basename(path)
        if "model" not in entry:
            if ref is None:
                both_fail += 1
            else:
                only_ref += 1
                print(f"{name}: only openpyxl reads it; ours: {entry.get('error')}")
            continue
        if ref is None:
            only_ours += 1
            print(f"{name}: only ours reads it; openpyxl: {ref_error[:120]}")
            continue
        mine = ours(entry["model"])
        shown = 0
        for sheet, cells in ref.items():
            other = mine.get(sheet, {})
            for key, value in cells.items():
                total += 1
                got = other.get(key)
                if got is not None and equal(got, value):
                    same += 1
                elif shown < args.show:
                    shown += 1
                    print(f"{name} [{sheet}] {key}: openpyxl {value!r}, ours {got!r}")
    share = 100.0 * same / total if total else 100.0
    print(f"\n{total} non-empty cells of openpyxl, {same} equal ({share:.3f}%); "
          f"packages only openpyxl reads: {only_ref}, only ours: {only_ours}, neither: {both_fail}")


if __name__ == "__main__":
    sys.exit(main())
