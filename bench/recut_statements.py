#!/usr/bin/env python3
"""Cuts the multi-row INSERT part of a quarrow-cli -m script anew, for the
statement-size bench: every statement holds ROWS rows, or (with a size
ending in K or M) as many rows as keep it within that many bytes, or all
rows ("all"). Only for scripts whose values hold no line break.

    recut_statements.py IN OUT ROWS|BYTES{K,M}|all
"""
import sys


def main():
    src, dst, size = sys.argv[1:4]
    data = open(src, "rb").read()
    first = data.index(b"\r\nINSERT INTO ") + 2
    header_end = data.index(b"\r\n", first) + 2
    header = data[first:header_end]
    rows = []
    for line in data[first:].split(b"\r\n"):
        if line.startswith(b"("):
            rows.append(line[:-1])  # without its "," or ";"
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
            cost = len(row) + 3
            if statement and ((by_rows and count == by_rows) or (by_bytes and statement + cost > by_bytes)):
                out.write(b";\r\n")
                statement = 0
                count = 0
            if statement:
                out.write(b",\r\n")
            else:
                out.write(header)
                statement = len(header)
            out.write(row)
            statement += cost
            count += 1
        if rows:
            out.write(b";\r\n")


main()
