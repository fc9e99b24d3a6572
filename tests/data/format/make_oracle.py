#!/usr/bin/python3
"""Builds oracle.tsv: the display text of every (value, format) case in cases.src as two
spreadsheet programs show it. Run with Debian's python3 (python3-xlwt), gnumeric and
libreoffice-calc-nogui installed:   /usr/bin/python3 make_oracle.py
cases.src: one line per format: kind TAB format TAB value TAB value ...
  kind n = number (1900 date system), n1904 = number in a 1904 workbook, s = text value,
  b = number shown with the built-in format whose index is the format column.
The final table (format_cases.tsv) is made from oracle.tsv by make_table.py."""
import csv, os, subprocess, sys, tempfile
import xlwt
from xlwt.Style import StyleCollection

HERE = os.path.dirname(os.path.abspath(__file__))

def builtin_code(index):
    lst = StyleCollection._std_num_fmt_list
    return lst[index] if index < 23 else lst[index - 37 + 23]

def read_cases():
    cases = []
    with open(os.path.join(HERE, 'cases.src'), encoding='utf-8') as f:
        for line in f:
            line = line.rstrip('\n')
            if not line:
                continue
            kind, fmt, *vals = line.split('\t')
            for v in vals:
                cases.append((kind, fmt, v))
    return cases

def write_book(path, cases, date1904):
    wb = xlwt.Workbook()
    wb.set_dates_1904(date1904)
    ws = wb.add_sheet('cases')
    styles = {}
    for row, (kind, fmt, v) in enumerate(cases):
        code = builtin_code(int(fmt)) if kind == 'b' else fmt
        if code not in styles:
            styles[code] = xlwt.easyxf(num_format_str=code)
        ws.write(row, 0, v if kind == 's' else float(v), styles[code])
    wb.save(path)

def gnumeric(path, tmp):
    out = os.path.join(tmp, 'g.txt')
    subprocess.run(['ssconvert', '-O', 'format=preserve', path, out], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with open(out, encoding='utf-8', newline='') as f:
        return [r[0] if r else '' for r in csv.reader(f)]

def libreoffice(path, tmp):
    # Filter options: separator TAB, quote ", UTF-8, ..., 9th token true = save cells as shown.
    subprocess.run(['soffice', '--headless', '--convert-to',
                    'csv:Text - txt - csv (StarCalc):9,34,76,1,,0,false,true,true',
                    '--outdir', tmp, path], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    out = os.path.join(tmp, os.path.splitext(os.path.basename(path))[0] + '.csv')
    with open(out, encoding='utf-8', newline='') as f:
        return [r[0] if r else '' for r in csv.reader(f, delimiter='\t')]

def main():
    cases = read_cases()
    rows = []
    with tempfile.TemporaryDirectory() as tmp:
        for date1904 in (False, True):
            part = [c for c in cases if (c[0] == 'n1904') == date1904]
            book = os.path.join(tmp, 'cases1904.xls' if date1904 else 'cases1900.xls')
            write_book(book, part, date1904)
            g = gnumeric(book, tmp)
            lo = libreoffice(book, tmp)
            for i, c in enumerate(part):
                rows.append((*c, g[i] if i < len(g) else '', lo[i] if i < len(lo) else ''))
    with open(os.path.join(HERE, 'oracle.tsv'), 'w', encoding='utf-8', newline='') as f:
        f.write('# kind\tformat\tvalue\tgnumeric\tlibreoffice\n')
        for r in rows:
            f.write('\t'.join(r) + '\n')
    print(len(rows), 'rows')

if __name__ == '__main__':
    main()
