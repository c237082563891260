#!/usr/bin/env python3
"""Writes a large reconciliation workbook of the cumulative sums layout for
recon_xls_bench: PERSONS persons x PERIODS quarters, one row per person and
quarter, amounts as number cells with kopecks, SNILS parts as numbers.

usage: recon_xls_gen.py OUT.xls [PERSONS [PERIODS]]   (default 3250 x 20)

An Excel 97-2003 sheet holds at most 65,536 rows, so 3,250 x 20 = 65,000 rows
(with the title and heading rows) is about the largest such workbook.
Needs xlwt (Debian: python3-xlwt).
"""
import random
import sys

import xlwt

TITLE = "Суммы ЗЛ нарастающим итогом по организации"
HEADINGS = ["№", "Рег.№", "СНИЛС", "КС", "Фамилия", "Имя", "Отчество", "Дата рожд.", "Пол",
            "Категория", "Тариф", "Сальдо СЧ", "Сальдо НЧ", "Начислено СЧ", "Уплачено СЧ",
            "Начислено НЧ", "Уплачено НЧ", "Период"]
SURNAMES = ["Иванов", "Петров", "Сидоров", "Смирнов", "Кузнецов", "Попов", "Соколов", "Лебедев"]
NAMES = ["Сергей", "Алексей", "Дмитрий", "Андрей", "Николай", "Павел"]
PATRONYMICS = ["Петрович", "Иванович", "Андреевич", "Сергеевич", "Николаевич"]


def main():
    out = sys.argv[1]
    persons = int(sys.argv[2]) if len(sys.argv) > 2 else 3250
    periods = int(sys.argv[3]) if len(sys.argv) > 3 else 20
    if persons * periods + 2 > 65536:
        sys.exit("more rows than an Excel 97-2003 sheet holds")
    rng = random.Random(6)
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("Сверка")
    sheet.write(0, 0, TITLE)
    for c, heading in enumerate(HEADINGS):
        sheet.write(1, c, heading)
    r = 2
    for p in range(persons):
        body = 100000000 + p * 7919
        name = [SURNAMES[p % 8], NAMES[p % 6], PATRONYMICS[p % 5]]
        saldo_str = saldo_nak = 0
        for k in range(periods):
            year, quarter = 2007 + k // 4, k % 4 + 1
            str_nach = rng.randrange(100000, 2000000)  # kopecks
            nak_nach = rng.randrange(30000, 600000)
            str_upl = str_nach if rng.random() < 0.8 else rng.randrange(0, str_nach)
            nak_upl = nak_nach if rng.random() < 0.8 else rng.randrange(0, nak_nach)
            saldo_str += str_upl - str_nach
            saldo_nak += nak_upl - nak_nach
            row = [p + 1, "087-101-000001", body, p % 100] + name + [
                "01.01.1980", "М", "НР", "26%"]
            row += [v / 100 for v in (saldo_str, saldo_nak, str_nach, str_upl, nak_nach,
                                      nak_upl)]
            row.append("%d квартал %d" % (quarter, year))
            for c, v in enumerate(row):
                sheet.write(r, c, v)
            r += 1
    book.save(out)


if __name__ == "__main__":
    main()
