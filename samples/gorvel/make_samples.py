#!/usr/bin/env python3
"""Writes the sample DATA folder of the accounting program Gorvel for the
employer of samples/szv6: the employee table ZP/ZP_TAB/zp_tab03.dbf and the
pension-fund sums table ZP/ZP_OPER/zp_sumPF.dbf, dBASE III files with their
character fields in code page 866 (language mark 0x65).

Run from anywhere: python3 samples/gorvel/make_samples.py [OUTPUT_DIR]
(default: the folder of this script; the tables go below OUTPUT_DIR/DATA).
"""
import os
import struct
import sys

LAST_UPDATE = (2012, 1, 20)  # the date the accounting program last wrote them
CP866_MARK = 0x65

# Employees: tab number, name, SNILS. Соколов (156-702-345 62) left in 2011 and
# is no longer in the table; Васильев joined in 2012 and is in no report yet.
STAFF = [
    ("1001", "Иванов Сергей Петрович", "112-233-445 95", "20050301"),
    ("1002", "Белова Анна Викторовна", "123-456-789 64", "20110110"),
    ("1003", "Смирнов Алексей Николаевич", "134-578-901 85", "20070815"),
    ("1004", "Кузнецова Ольга Игоревна", "145-690-123 66", "20080201"),
    ("1006", "Попова Елена Сергеевна", "167-813-567 03", "20090512"),
    ("1007", "Васильев Игорь Олегович", "178-924-789 29", "20120116"),
]

# Sums as the accounting program holds them: tab number, year, period,
# category, paid and debt of the insurance part, paid and debt of the funded
# part, and whether the row is deleted. What differs from the report of
# samples/szv6 (per-period totals, one category):
#   - Иванов 2011 q4: the debts were never brought in (0.00 instead of
#     4500.00 / 1500.00);
#   - Белова (Петрова) 2011 q3 and q4: missing;
#   - Кузнецова 2011 q4: the insurance overpayment is -1200.00, the report
#     says -1800.00;
#   - Попова 2011 q4: only a deleted row, so missing.
SUMS = [
    ("1001", 2010, 3, "ОСН", "9000.00", "0.00", "3000.00", "0.00"),
    ("1001", 2010, 4, "ОСН", "9000.00", "0.00", "3000.00", "0.00"),
    ("1001", 2011, 1, "ОСН", "9000.00", "0.00", "3000.00", "0.00"),
    ("1001", 2011, 2, "ОСН", "9000.00", "0.00", "3000.00", "0.00"),
    ("1001", 2011, 3, "ОСН", "9000.00", "0.00", "3000.00", "0.00"),
    ("1001", 2011, 4, "ОСН", "4500.00", "0.00", "1500.00", "0.00"),
    ("1002", 2011, 1, "ОСН", "6400.00", "0.00", "2400.00", "0.00"),
    ("1002", 2011, 2, "ОСН", "3200.00", "3200.00", "1200.00", "1200.00"),
    ("1003", 2010, 3, "ОСН", "12000.00", "0.00", "4500.00", "0.00"),
    ("1003", 2010, 4, "ОСН", "12000.00", "0.00", "4500.00", "0.00"),
    ("1003", 2011, 1, "ОСН", "12000.00", "0.00", "4500.00", "0.00"),
    ("1003", 2011, 2, "ОСН", "10800.00", "0.00", "4050.00", "0.00"),
    ("1003", 2011, 3, "ОСН", "10800.00", "0.00", "4050.00", "0.00"),
    ("1003", 2011, 4, "ОСН", "10800.00", "0.00", "4050.00", "0.00"),
    ("1004", 2010, 3, "ОСН", "4800.00", "0.00", "1800.00", "0.00"),
    ("1004", 2010, 4, "ОСН", "4800.00", "0.00", "1800.00", "0.00"),
    ("1004", 2011, 1, "ОСН", "4800.00", "0.00", "1800.00", "0.00"),
    ("1004", 2011, 2, "ОСН", "6000.00", "-1200.00", "2400.00", "-600.00"),
    ("1004", 2011, 3, "ОСН", "4800.00", "-1200.00", "1800.00", "-600.00"),
    ("1004", 2011, 4, "ОСН", "5400.00", "-1200.00", "1800.00", "-600.00"),
    ("1006", 2010, 3, "ОСН", "7000.00", "0.00", "2600.00", "0.00"),
    ("1006", 2010, 4, "ОСН", "7000.00", "0.00", "2600.00", "0.00"),
    ("1006", 2011, 1, "ОСН", "7000.00", "0.00", "2600.00", "0.00"),
    ("1006", 2011, 2, "ОСН", "7000.00", "0.00", "2600.00", "0.00"),
    ("1006", 2011, 3, "ОСН", "7000.00", "0.00", "2600.00", "0.00"),
    ("1006", 2011, 4, "ОСН", "3500.00", "0.00", "1300.00", "0.00", True),
    ("1007", 2012, 1, "ОСН", "0.00", "5000.00", "0.00", "1800.00"),
]


def dbf(fields, rows):
    """A dBASE III table: fields as (name, type, width, decimals), rows as
    (values, deleted) with values as text, character fields in code page 866
    left-aligned, numeric fields right-aligned."""
    record_length = 1 + sum(f[2] for f in fields)
    header_length = 32 + 32 * len(fields) + 1
    year, month, day = LAST_UPDATE
    out = bytearray(struct.pack("<BBBBIHH", 0x03, year - 1900, month, day, len(rows),
                                header_length, record_length))
    out += bytes(16) + bytes([0, CP866_MARK]) + bytes(2)  # bytes 12..31; 28: no index
    for name, kind, width, decimals in fields:
        out += name.encode("ascii").ljust(11, b"\0") + kind.encode("ascii") + bytes(4)
        out += bytes([width, decimals]) + bytes(14)
    out += b"\r"
    for values, deleted in rows:
        out += b"*" if deleted else b" "
        for (name, kind, width, decimals), value in zip(fields, values):
            data = value.encode("cp866")
            if len(data) > width:
                raise ValueError("%s too wide for %s" % (value, name))
            out += data.rjust(width) if kind == "N" else data.ljust(width)
    out += b"\x1a"
    return bytes(out)


def staff_table():
    fields = [("CODE", "C", 6, 0), ("FIO", "C", 40, 0), ("ATTR01", "C", 14, 0),
              ("DATEP", "D", 8, 0)]
    return dbf(fields, [((code, fio, snils, date), False) for code, fio, snils, date in STAFF])


def sums_table():
    fields = [("CODE", "C", 6, 0), ("GOD", "N", 4, 0), ("PERIOD", "N", 1, 0),
              ("TAR", "C", 10, 0), ("UPLS", "N", 12, 2), ("ZADSK", "N", 12, 2),
              ("UPLN", "N", 12, 2), ("ZADNK", "N", 12, 2), ("DATEZ", "D", 8, 0)]
    rows = []
    for code, god, period, tar, upls, zadsk, upln, zadnk, *deleted in SUMS:
        rows.append(((code, str(god), str(period), tar, upls, zadsk, upln, zadnk, "20120120"),
                     bool(deleted)))
    return dbf(fields, rows)


def main():
    base = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    for relative, content in (("DATA/ZP/ZP_TAB/zp_tab03.dbf", staff_table()),
                              ("DATA/ZP/ZP_OPER/zp_sumPF.dbf", sums_table())):
        path = os.path.join(base, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(content)


if __name__ == "__main__":
    main()
