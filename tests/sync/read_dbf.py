#!/usr/bin/env python3
"""Prints a dBASE table as python3-dbfread reads it, for the tests to compare:
the header's record count and the records found up to the end-of-file mark,
then the live records, one line each, character fields decoded from code page
866 with trailing blanks dropped, numeric fields with blanks dropped."""
import sys

from dbfread import DBF

table = DBF(sys.argv[1], encoding="cp866", raw=True, char_decode_errors="strict", load=True)
live = list(table.records)
deleted = list(table.deleted)
print("count=%d read=%d" % (table.header.numrecords, len(live) + len(deleted)))
types = {f.name: f.type for f in table.fields}
for record in live:
    parts = []
    for name, raw in record.items():
        if types[name] == "C":
            value = raw.decode("cp866").rstrip(" ")
        else:
            value = raw.decode("ascii").strip(" ")
        parts.append("%s=%s" % (name, value))
    print("|".join(parts))
