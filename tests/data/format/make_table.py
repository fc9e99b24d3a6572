#!/usr/bin/python3
"""Builds format_cases.tsv, the table read by the format tests, from oracle.tsv (the text two
spreadsheet programs show, made by make_oracle.py) and review.tsv (the review of every row where
the oracles disagree).  Usage:
    /usr/bin/python3 make_table.py PATH/TO/format_probe
format_probe (bench/format) prints what this engine shows; a row goes into the table
- with origin "both" when both oracles show that text,
- with origin "gnumeric" or "libreoffice" when one oracle does (the review line gives the reason
  the other was overruled),
- with origin "hand" when neither does: every such row needs a review line saying why the
  application shows what the table says; rows without one stop the script.
Rows the review excludes are left out."""
import os, re, subprocess, sys

HERE = os.path.dirname(os.path.abspath(__file__))

def main():
    probe = sys.argv[1]
    rules = []
    with open(os.path.join(HERE, 'review.tsv'), encoding='utf-8') as f:
        for line in f:
            line = line.rstrip('\n')
            if not line or line.startswith('#'):
                continue
            k, fm, v, action, reason = line.split('\t')
            rules.append((re.compile(k), re.compile(fm), re.compile(v), action, reason))
    oracle = []
    with open(os.path.join(HERE, 'oracle.tsv'), encoding='utf-8') as f:
        for line in f:
            if line.startswith('#'):
                continue
            oracle.append(line.rstrip('\n').split('\t'))
    out = subprocess.run([probe, os.path.join(HERE, 'oracle.tsv')], check=True,
                         capture_output=True, text=True, encoding='utf-8').stdout.split('\n')
    mine = [l.split('\t')[3] for l in out if l]
    assert len(mine) == len(oracle)
    rows, missing, excluded = [], [], 0
    counts = {}
    for (kind, fmt, value, g, lo), m in zip(oracle, mine):
        rule = next((r for r in rules if r[0].fullmatch(kind) and r[1].fullmatch(fmt)
                     and r[2].fullmatch(value)), None)
        if rule and rule[3] == 'exclude':
            excluded += 1
            continue
        if g == lo == m:
            origin = 'both'
        elif m == g:
            origin = 'gnumeric'
        elif m == lo:
            origin = 'libreoffice'
        else:
            origin = 'hand'
        if origin != 'both':
            if not rule:
                missing.append((kind, fmt, value, g, lo, m))
                continue
            origin += ': ' + rule[4]
        counts[origin.split(':')[0]] = counts.get(origin.split(':')[0], 0) + 1
        rows.append((kind, fmt, value, m, origin))
    if missing:
        for r in missing:
            print('unreviewed:', ' | '.join(r))
        sys.exit(1)
    with open(os.path.join(HERE, 'format_cases.tsv'), 'w', encoding='utf-8', newline='') as f:
        f.write('# kind\tformat\tvalue\texpected\torigin (made by make_table.py; do not edit)\n')
        for r in rows:
            f.write('\t'.join(r) + '\n')
    print(len(rows), 'rows;', excluded, 'excluded;', counts)

if __name__ == '__main__':
    main()
