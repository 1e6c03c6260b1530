#!/usr/bin/env python3
"""Cuts the multi-row INSERT part of a quarrow-cli -m script anew, for the
statement-size benches: every statement holds ROWS rows, or (with a size
ending in K or M) as many rows as keep it within that many bytes, or all
rows ("all"). Only for scripts whose values hold no line break. What
follows the rows (a COMMIT) is kept.

    recut_statements.py IN OUT ROWS|BYTES{K,M}|all [LAYOUT]

LAYOUT  rows: every row on a line of its own, as quarrow-cli writes it
        (default); line: every statement on one line, its rows joined by
        "," without a line break
"""
import sys


def main():
    src, dst, size = sys.argv[1:4]
    layout = sys.argv[4] if len(sys.argv) > 4 else "rows"
    if layout not in ("rows", "line"):
        sys.exit("LAYOUT is rows or line")
    data = open(src, "rb").read()
    first = data.index(b"\r\nINSERT INTO ") + 2
    header_end = data.index(b"\r\n", first) + 2
    header = data[first:header_end]
    if layout == "line":
        header = header[:-2]
    lines = data[first:].split(b"\r\n")
    last = max(k for k, line in enumerate(lines) if line.startswith(b"("))
    rows = [line[:-1] for line in lines[: last + 1] if line.startswith(b"(")]  # without "," or ";"
    tail = b"\r\n".join(lines[last + 1 :])
    joint = b"," if layout == "line" else b",\r\n"
    by_rows = by_bytes = None
    if size == "all":
        by_rows = len(rows)
    elif size[-1] in "KM":
        by_bytes = int(size[:-1]) * (1024 if size[-1] == "K" else 1024 * 1024)
    else:
        by_rows = int(size)
    with open(dst, "wb") as out:
        out.write(data[:first])
        statement = 0  # bytes of the open statement; 0 before its first row
        count = 0
        for row in rows:
            cost = len(row) + len(joint)
            if statement and ((by_rows and count == by_rows) or (by_bytes and statement + cost > by_bytes)):
                out.write(b";\r\n")
                statement = 0
                count = 0
            if statement:
                out.write(joint)
            else:
                out.write(header)
                statement = len(header)
            out.write(row)
            statement += cost
            count += 1
        if rows:
            out.write(b";\r\n")
        out.write(tail)


main()
