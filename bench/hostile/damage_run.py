#!/usr/bin/python3
"""The damage run: every workbook of the corpora truncated and bit-flipped into variants, each
converted by gridcast under a time and a memory cap, and counted by how it ended.

    damage_run.py [--gridcast PATH] [--xlsx DIR] [--ods DIR] [--xls DIR] [--variants N]
                  [--quick] [--time-cap S] [--mem-cap MB] [--findings FILE] [--work DIR] [--seed S]

Variants (the same for the same seed): truncations at a fraction of the file, one bit flipped and
several bits flipped at random offsets, and in packages a bit flipped inside the compressed data of
a part, inside a part's local header, its central-directory entry or the end record. Each variant
lies in its own folder under the name of its original, so its pages are named as the original's.
Batches of variants run through one gridcast (-j2, -f, pages beside each workbook); a batch that
crashes, stops or leaves a line out is run again one variant at a time, and that run counts.

Counted: crashes (a signal, or a missing or garbled log line), hangs (past the time cap), lines by
code. For the zip-based formats, where every part carries a CRC-32, a variant whose line is 100
while its pages (every file written beside it) differ from its original's is a finding: damage
passed as success. Exit status 1 on any crash, hang or finding.
"""
import argparse
import hashlib
import os
import random
import re
import resource
import shutil
import struct
import subprocess
import sys
import tempfile
import time

ZIP_EXT = (".xlsx", ".xlsm", ".xltx", ".xltm", ".ods")
XML_EXT = (".fods",)
XLS_EXT = (".xls", ".xlt", ".xlw")
MEMORY = re.compile(r"bad_alloc|memory", re.I)
LINE = re.compile(r"^(\d\d:\d\d:\d\d)  (\d{3}), (.*)$")
# Mutation kinds in the order they rotate through a file's variants.
ZIP_KINDS = ["data", "flip1", "trunc", "name", "data", "central", "flipN", "drop", "data", "local",
             "trunc", "end"]
FLAT_KINDS = ["flip1", "trunc", "flipN", "head", "flip1", "trunc", "flipN"]
TRUNC_AT = (0.02, 0.1, 0.3, 0.5, 0.7, 0.9, 0.98, 0.999)


def family(path):
    low = path.lower()
    if low.endswith(ZIP_EXT):
        return "ods" if low.endswith(".ods") else "xlsx"
    if low.endswith(XML_EXT):
        return "fods"
    if low.endswith(XLS_EXT):
        return "xls"
    return None


# ---------------------------------------------------------------- the map of a package
def zip_regions(data):
    """(start, end, label) of each local header, compressed data and central entry, and the end
    record, read through the central directory; [] when the package cannot be read."""
    at = data.rfind(b"PK\x05\x06")
    if at < 0 or at + 22 > len(data):
        return []
    regions = [(at, min(len(data), at + 22), "end record")]
    count, size, offset = struct.unpack_from("<HII", data, at + 10)
    pos = offset
    for _ in range(count):
        if pos + 46 > len(data) or data[pos:pos + 4] != b"PK\x01\x02":
            break
        csize, = struct.unpack_from("<I", data, pos + 20)
        nlen, elen, clen = struct.unpack_from("<HHH", data, pos + 28)
        local, = struct.unpack_from("<I", data, pos + 42)
        name = data[pos + 46:pos + 46 + nlen].decode("utf-8", "replace")
        regions.append((pos, pos + 46 + nlen + elen + clen, f"central entry of {name}"))
        regions.append((pos + 46, pos + 46 + nlen, f"name in central entry of {name}"))
        pos += 46 + nlen + elen + clen
        if local + 30 <= len(data) and data[local:local + 4] == b"PK\x03\x04":
            lnlen, lelen = struct.unpack_from("<HH", data, local + 26)
            start = local + 30 + lnlen + lelen
            regions.append((local, start, f"local header of {name}"))
            if csize:
                regions.append((start, min(len(data), start + csize), f"data of {name}"))
    return sorted(regions)


def where(regions, offset):
    # The innermost region: a name lies inside its central entry.
    inside = [(end - start, start, label) for start, end, label in regions if start <= offset < end]
    if inside:
        _, start, label = min(inside)
        return f"{label} +{offset - start}"
    return "outside the parts" if regions else ""


def mutate(data, kind, rng, regions):
    """A damaged copy of data, and what was done to it."""
    buf = bytearray(data)

    def flip(offset):
        bit = rng.randrange(8)
        buf[offset] ^= 1 << bit
        place = where(regions, offset)
        return f"bit {bit} of byte {offset}" + (f" ({place})" if place else "")

    if kind == "trunc":
        fraction = rng.choice(TRUNC_AT)
        cut = max(1, min(len(data) - 1, int(len(data) * fraction)))
        return bytes(buf[:cut]), f"truncated to {cut} of {len(data)} bytes ({fraction:g})"
    if kind == "flipN":
        n = rng.randint(2, 16)
        offsets = sorted(rng.sample(range(len(data)), min(n, len(data))))
        what = f"{len(offsets)} bits: " + "; ".join(flip(o) for o in offsets)
        return bytes(buf), what
    if kind == "drop":
        entries = [(s, e, lab[len("central entry of "):]) for s, e, lab in regions
                   if lab.startswith("central entry of ")]
        end = [s for s, _, lab in regions if lab == "end record"]
        if entries and end:
            start, stop, name = rng.choice(entries)
            at = end[0] - (stop - start)
            out = buf[:start] + buf[stop:]
            count, size = struct.unpack_from("<HI", out, at + 10)
            struct.pack_into("<HHI", out, at + 8, count - 1, count - 1, size - (stop - start))
            return bytes(out), f"central entry of {name} dropped"
    if kind in ("data", "local", "central", "end", "name"):
        label = {"data": "data of ", "local": "local header of ", "central": "central entry of ",
                 "end": "end record", "name": "name in central entry of "}[kind]
        spans = [(s, e) for s, e, lab in regions if lab.startswith(label) and e > s]
        if kind == "data":
            # Prefer the parts a reader reads: the XML ones, and pictures and charts.
            xml = [(s, e) for s, e, lab in regions if lab.startswith(label) and e > s
                   and not lab.endswith(("mimetype", ".rels", "manifest.xml", "app.xml", "core.xml"))]
            spans = xml or spans
        if spans:
            start, end = rng.choice(spans)
            what = flip(rng.randrange(start, end))
            return bytes(buf), what
    what = flip(rng.randrange(min(512, len(data)) if kind == "head" else len(data)))
    return bytes(buf), what


# ---------------------------------------------------------------- running gridcast
def limits(mem_mb):
    def apply():
        resource.setrlimit(resource.RLIMIT_AS, (mem_mb << 20, mem_mb << 20))
        resource.setrlimit(resource.RLIMIT_CORE, (0, 0))
        resource.setrlimit(resource.RLIMIT_FSIZE, (1 << 30, 1 << 30))
    return apply


def run_gridcast(gridcast, books, jobs, timeout, mem_mb, scratch):
    """Converts books in one run; returns {book: (code, reason)} or None for every book when the run
    did not end normally, with the run's status ('' / 'signal N' / 'hang' / 'garbled: ...')."""
    listing = os.path.join(scratch, "list.txt")
    log = os.path.join(scratch, "run.log")
    with open(listing, "w") as f:
        f.write("".join(b + "\n" for b in books))
    if os.path.exists(log):
        os.remove(log)
    cmd = [gridcast, f"-j{jobs}", "-o", "-f", "-l", log, "--files-from", listing]
    try:
        proc = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=timeout,
                              preexec_fn=limits(mem_mb), env=dict(os.environ, LC_ALL="C"))
    except subprocess.TimeoutExpired:
        return None, "hang"
    if proc.returncode < 0:
        return None, f"signal {-proc.returncode}"
    if proc.returncode not in (0, 1):
        return None, f"status {proc.returncode}"
    try:
        with open(log, "rb") as f:
            raw = f.read().decode("utf-8", "replace")
    except OSError:
        return None, "garbled: no log"
    lines = raw.split("\r\n")
    if lines and lines[-1] == "":
        lines.pop()
    if len(lines) != len(books):
        return None, f"garbled: {len(lines)} lines for {len(books)} workbooks"
    out = {}
    for book, line in zip(books, lines):
        m = LINE.match(line)
        if not m or book not in m.group(3):
            return None, f"garbled: {line[:120]!r}"
        out[book] = (m.group(2), m.group(3))
    return out, ""


def page_hashes(folder, book):
    """Every file written beside book (relative path -> digest), the workbook itself left out."""
    out = {}
    for root, _, files in os.walk(folder):
        for name in files:
            path = os.path.join(root, name)
            if path == book:
                continue
            with open(path, "rb") as f:
                out[os.path.relpath(path, folder)] = hashlib.sha1(f.read()).hexdigest()
    return out


def page_difference(orig, variant):
    changed = sorted(p for p in orig.keys() & variant.keys() if orig[p] != variant[p])
    missing = sorted(orig.keys() - variant.keys())
    extra = sorted(variant.keys() - orig.keys())
    parts = []
    for label, names in (("differs", changed), ("missing", missing), ("extra", extra)):
        if names:
            shown = ", ".join(names[:4]) + (f" (+{len(names) - 4})" if len(names) > 4 else "")
            parts.append(f"{label}: {shown}")
    return "; ".join(parts)


def convert_all(gridcast, items, args, scratch, on_done):
    """items: (key, book). Runs them in batches; on_done(key, book, code, reason, status)."""
    for i in range(0, len(items), args.batch):
        chunk = items[i:i + args.batch]
        books = [b for _, b in chunk]
        cap = max(60.0, args.time_cap * 3)
        result, status = run_gridcast(gridcast, books, 2, cap, args.mem_cap, scratch)
        # The two workbooks in flight share the address-space cap: one refused for memory is
        # run again alone.
        again = [(k, b) for k, b in chunk if result is None or MEMORY.search(result[b][1])]
        if again:
            # Which one: each alone, under the per-workbook cap.
            for key, book in again:
                one, status = run_gridcast(gridcast, [book], 1, args.time_cap, args.mem_cap, scratch)
                code, reason = one[book] if one else ("-", "")
                on_done(key, book, code, reason, status)
        if result is not None:
            for key, book in chunk:
                if (key, book) not in again:
                    on_done(key, book, *result[book], "")


# ---------------------------------------------------------------- the run
def collect(dirs):
    books = []
    for d in dirs:
        if not os.path.isdir(d):
            print(f"(no folder {d}: left out)")
            continue
        for name in sorted(os.listdir(d)):
            path = os.path.join(d, name)
            if os.path.isfile(path) and family(name):
                books.append(path)
    return books


def plan(books, args):
    """How many variants each original gets: each format its share of the total, spread evenly."""
    share = {"xlsx": 0.62, "ods": 0.12, "fods": 0.04, "xls": 0.22}
    by_family = {}
    for b in books:
        by_family.setdefault(family(b), []).append(b)
    present = sum(share[f] for f in by_family)
    counts = {}
    for fam, members in by_family.items():
        target = args.variants * share[fam] / present
        each, extra = divmod(int(round(target)), len(members))
        for i, b in enumerate(members):
            counts[b] = max(1, each + (i < extra))
    return counts


def convert_originals(books, work, snapshot, scratch, args):
    """The originals, converted twice: their pages are the reference, and must be the same both times."""
    originals = {}
    orig_items = []
    for i, book in enumerate(books):
        folder = os.path.join(work, "orig", f"{i:05d}")
        os.makedirs(folder, exist_ok=True)
        copy = os.path.join(folder, os.path.basename(book))
        shutil.copyfile(book, copy)
        orig_items.append((i, copy))
    for attempt in (0, 1):
        def done(i, book, code, reason, status, attempt=attempt):
            folder = os.path.dirname(book)
            pages = page_hashes(folder, book)
            if attempt == 0:
                originals[i] = {"code": code, "reason": reason, "status": status, "pages": pages}
            elif pages != originals[i]["pages"] or code != originals[i]["code"]:
                originals[i]["unstable"] = True
            for entry in os.listdir(folder):
                path = os.path.join(folder, entry)
                if path != book:
                    shutil.rmtree(path) if os.path.isdir(path) and not os.path.islink(path) else os.remove(path)
        convert_all(snapshot, orig_items, args, scratch, done)
    return originals


def make_variants(books, work, args):
    """The damaged copies, each alone in its folder: (original index, kind, description, path)."""
    counts = plan(books, args)
    variants = []  # (original index, kind, description, path)
    for i, book in enumerate(books):
        with open(book, "rb") as f:
            data = f.read()
        if not data:
            continue
        fam = family(book)
        regions = zip_regions(data) if fam in ("xlsx", "ods") else []
        kinds = ZIP_KINDS if fam in ("xlsx", "ods") else FLAT_KINDS
        for v in range(counts[book]):
            kind = kinds[(i * 3 + v) % len(kinds)]
            rng = random.Random(f"{args.seed}:{os.path.basename(book)}:{v}")
            damaged, what = mutate(data, kind, rng, regions)
            if damaged == data:
                continue
            folder = os.path.join(work, "var", f"{i:05d}-{v:03d}")
            os.makedirs(folder, exist_ok=True)
            path = os.path.join(folder, os.path.basename(book))
            with open(path, "wb") as f:
                f.write(damaged)
            variants.append((i, kind, what, path))
    return variants


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--gridcast", default=os.environ.get("GRIDCAST") or os.path.join(
        here, "..", "..", "build", "release", "app", "gridcast"))
    ap.add_argument("--xlsx", default="/work/shared/corpus-xlsx")
    ap.add_argument("--ods", default="/work/shared/corpus-ods")
    ap.add_argument("--xls", default="/work/shared/corpus")
    ap.add_argument("--variants", type=int, default=6000, help="variants in all (default 6000)")
    ap.add_argument("--quick", action="store_true", help="a small sample: 10 originals a format, 150 variants")
    ap.add_argument("--time-cap", type=float, default=10.0, help="seconds per workbook (default 10)")
    ap.add_argument("--mem-cap", type=int, default=2048, help="address space in MB (default 2048)")
    ap.add_argument("--batch", type=int, default=24, help="variants per gridcast run (default 24)")
    ap.add_argument("--seed", default="20")
    ap.add_argument("--reasons", type=int, default=25, help="reasons of 103 shown (default 25)")
    ap.add_argument("--work", help="scratch folder (default: a temporary one, removed at the end)")
    ap.add_argument("--findings", default="damage_findings.txt", help="file for the findings")
    args = ap.parse_args()
    gridcast = os.path.abspath(args.gridcast)
    if not os.access(gridcast, os.X_OK):
        sys.exit(f"gridcast not found: {gridcast}")
    books = collect([args.xlsx, args.ods, args.xls])
    if args.quick:
        picked = {}
        for b in books:
            picked.setdefault(family(b), []).append(b)
        books = [b for members in picked.values() for b in members[:: max(1, len(members) // 10)][:10]]
        args.variants = min(args.variants, 150)
    work = args.work or tempfile.mkdtemp(prefix="damage_run.")
    scratch = os.path.join(work, "scratch")
    os.makedirs(scratch, exist_ok=True)
    # A copy of the program: a build that relinks it meanwhile does not disturb the run.
    snapshot = os.path.join(work, "gridcast")
    shutil.copy2(gridcast, snapshot)
    started = time.monotonic()
    print(f"gridcast: {gridcast}\noriginals: {len(books)}; seed {args.seed}; caps {args.time_cap:g} s, "
          f"{args.mem_cap} MB; work {work}", flush=True)

    originals = convert_originals(books, work, snapshot, scratch, args)
    unstable = [books[i] for i, o in originals.items() if o.get("unstable")]
    print(f"originals converted twice in {time.monotonic() - started:.0f} s; "
          f"not the same both times: {len(unstable)}", flush=True)
    variants = make_variants(books, work, args)
    print(f"variants: {len(variants)}", flush=True)

    reasons = {}  # (family, reason with names and numbers left out) -> count
    stats = {}  # family -> counter
    by_kind = {}  # (family, kind) -> counter
    findings, troubles, info = [], [], []
    meta = {path: (i, kind, what) for i, kind, what, path in variants}
    keep = os.path.join(work, "kept")

    def done(_key, book, code, reason, status):
        i, kind, what = meta[book]
        fam = family(book)
        s = stats.setdefault(fam, {"variants": 0})
        k = by_kind.setdefault((fam, kind), {})
        s["variants"] += 1
        outcome = status.split(":")[0].split(" ")[0] if status else code
        if status:
            s[outcome] = s.get(outcome, 0) + 1
            troubles.append((fam, book, books[i], what, status))
            keep_variant(book, keep)
        else:
            s[code] = s.get(code, 0) + 1
            if code == "103":
                key = reason_kind(reason)
                reasons[(fam, key)] = reasons.get((fam, key), 0) + 1
        k[outcome] = k.get(outcome, 0) + 1
        if code == "100" and not status:
            orig = originals[i]
            pages = page_hashes(os.path.dirname(book), book)
            if orig["code"] != "100":
                diff = f"the original gave {orig['code'] or orig['status']}"
            else:
                diff = page_difference(orig["pages"], pages)
            if diff:
                k["100-differs"] = k.get("100-differs", 0) + 1
                record = (fam, book, books[i], what, diff, orig.get("unstable", False))
                if fam in ("xlsx", "ods"):
                    s["findings"] = s.get("findings", 0) + 1
                    findings.append(record)
                    keep_variant(book, keep)
                else:
                    s["100-differs"] = s.get("100-differs", 0) + 1
                    info.append(record)
        shutil.rmtree(os.path.dirname(book), ignore_errors=True)

    convert_all(snapshot, [(v[3], v[3]) for v in variants], args, scratch, done)
    elapsed = time.monotonic() - started
    report(stats, by_kind, findings, troubles, info, books, originals, unstable, elapsed, args, keep)
    print("\nlines 103 by reason (names and numbers left out), most frequent first:")
    for (fam, key), n in sorted(reasons.items(), key=lambda x: (-x[1], x[0]))[:args.reasons]:
        print(f"  {n:5d} {fam:5} {key}")
    os.remove(snapshot)
    if not args.work:
        # A temporary folder goes, but for the damaged variants worth keeping.
        for sub in ("orig", "scratch", "var") + (() if os.path.isdir(keep) else ("",)):
            shutil.rmtree(os.path.join(work, sub), ignore_errors=True)
    return 1 if findings or troubles else 0


def reason_kind(reason):
    text = re.sub(r"^Convert .* failure, the error message is ", "", reason)
    text = re.sub(r'"[^"]*"', '"…"', text)
    return re.sub(r"\d+", "N", text)[:110]


def keep_variant(book, keep):
    os.makedirs(keep, exist_ok=True)
    name = os.path.basename(os.path.dirname(book)) + "-" + os.path.basename(book)
    shutil.copyfile(book, os.path.join(keep, name))


def report(stats, by_kind, findings, troubles, info, books, originals, unstable, elapsed, args, keep):
    codes = ["100", "101", "102", "103", "104", "-"]
    print(f"\n{'format':7} {'originals':>9} {'variants':>8} " + " ".join(f"{c:>5}" for c in codes[:5])
          + f" {'crash':>5} {'hang':>5} {'garbl':>5} {'finds':>5} {'100≠':>5}")
    fam_books = {}
    for b in books:
        fam_books[family(b)] = fam_books.get(family(b), 0) + 1
    total = {}
    for fam in ("xlsx", "ods", "fods", "xls"):
        if fam not in stats:
            continue
        s = stats[fam]
        crash = sum(v for k, v in s.items() if k in ("signal", "status"))
        row = [fam_books.get(fam, 0), s["variants"]] + [s.get(c, 0) for c in codes[:5]] + \
              [crash, s.get("hang", 0), s.get("garbled", 0), s.get("findings", 0), s.get("100-differs", 0)]
        for n, v in enumerate(row):
            total[n] = total.get(n, 0) + v
        print(f"{fam:7} {row[0]:9d} {row[1]:8d} " + " ".join(f"{v:5d}" for v in row[2:]))
    print(f"{'all':7} {total.get(0, 0):9d} {total.get(1, 0):8d} " +
          " ".join(f"{total.get(n, 0):5d}" for n in range(2, 12)))
    print("(100≠: line 100 with pages unlike the original's, in formats without checksums: not a finding)")
    print(f"\n{'format':7} {'kind':8} " + " ".join(f"{c:>5}" for c in ("100", "103", "other", "100≠")))
    for (fam, kind), k in sorted(by_kind.items()):
        other = sum(v for c, v in k.items() if c not in ("100", "103", "100-differs"))
        print(f"{fam:7} {kind:8} {k.get('100', 0):5d} {k.get('103', 0):5d} {other:5d} {k.get('100-differs', 0):5d}")
    orig_codes = {}
    for o in originals.values():
        orig_codes[o["code"] or o["status"]] = orig_codes.get(o["code"] or o["status"], 0) + 1
    print(f"\noriginals by line: {dict(sorted(orig_codes.items()))}; unstable: {len(unstable)}"
          + ("".join(f"\n  unstable: {u}" for u in unstable[:20])))
    lines = []
    for fam, book, orig, what, status in troubles:
        lines.append(f"{status.upper()}  [{fam}] {os.path.basename(orig)}: {what}")
    for fam, book, orig, what, diff, unst in findings:
        lines.append(f"FINDING  [{fam}] {os.path.basename(orig)} ({os.path.basename(os.path.dirname(book))}): "
                     f"{what} -> line 100, {diff}" + (" (original unstable)" if unst else ""))
    print(f"\ncrashes and hangs: {len(troubles)}; findings (damage passed as success): {len(findings)}")
    for line in lines:
        print("  " + line)
    if info:
        print(f"\nnot findings (no checksums): {len(info)} variants gave 100 with pages unlike the original's")
        for fam, book, orig, what, diff, _ in info[:15]:
            print(f"  [{fam}] {os.path.basename(orig)}: {what} -> {diff}")
    with open(args.findings, "w") as f:
        f.write(f"# damage run, seed {args.seed}: {len(troubles)} crashes/hangs, {len(findings)} findings\n")
        f.write("".join(x + "\n" for x in lines))
        if info:
            f.write("# not findings (no checksums): 100 with different pages\n")
            for fam, book, orig, what, diff, _ in info:
                f.write(f"INFO  [{fam}] {os.path.basename(orig)}: {what} -> {diff}\n")
    print(f"\nfindings written to {os.path.abspath(args.findings)}; damaged variants kept in {keep}")
    print(f"run took {elapsed:.0f} s")


if __name__ == "__main__":
    sys.exit(main())
