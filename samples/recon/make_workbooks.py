#!/usr/bin/env python3
"""Writes the sample reconciliation workbooks: the pension fund's view of the
employer of samples/szv6 (the same six persons and quarters, with the two
corrections applied), in the two sheet layouts that the program reads.

  sverka_sums.xls     "Суммы ЗЛ нарастающим итогом по организации": per person
                      and quarter the accrued and paid amounts and the running
                      totals (18 columns)
  sverka_insurer.xls  "Данные в АИС ДПУ по страхователю": per quarter and
                      person the accrued and paid amounts only (9 columns)

Run from anywhere: python3 samples/recon/make_workbooks.py [OUTPUT_DIR]
(default: the folder of this script). Needs xlwt (Debian: python3-xlwt).
"""
import os
import runpy
import sys
import types
from decimal import Decimal

import xlwt

HERE = os.path.dirname(os.path.abspath(__file__))


def load_szv6():
    """The persons and corrections of the SZV-6 sample generator."""
    path = os.path.join(HERE, "..", "szv6", "make_samples.py")
    return types.SimpleNamespace(**runpy.run_path(path))


SZV6 = load_szv6()

SUMS_TITLE = "Суммы ЗЛ нарастающим итогом по организации"
INSURER_TITLE = "Данные в АИС ДПУ по страхователю"
EMPLOYER = "%s, рег. № %s" % (SZV6.EMPLOYER, SZV6.REG_NUMBER)

SUMS_HEADINGS = ["№ п/п", "Рег. номер", "СНИЛС", "КС", "Фамилия", "Имя", "Отчество",
                 "Дата рождения", "Категория", "Тариф", "Вид сведений",
                 "Сальдо СЧ", "Сальдо НЧ", "Начислено СЧ", "Уплачено СЧ", "Начислено НЧ",
                 "Уплачено НЧ", "Отчетный период"]
INSURER_HEADINGS = ["Период", "СНИЛС", "Категория", "Начислено СЧ", "Начислено НЧ",
                    "Уплачено СЧ", "Уплачено НЧ", "Дата поступления", "Примечание"]
BIRTH_DATES = ["12.03.1975", "05.11.1986", "23.07.1969", "30.01.1990", "17.09.1981",
               "08.06.1978"]


def fund_rows():
    """Per person the quarters with (name, category, accrued and paid amounts),
    the corrective records applied as the fund applies them."""
    persons = [dict(p, rows=dict(p["rows"])) for p in SZV6.PERSONS]
    for correction in SZV6.CORRECTIONS:
        for index, quarter, row in correction["records"]:
            kept_name = persons[index]["rows"][quarter][5]
            persons[index]["rows"][quarter] = row[:5] + (kept_name,)
    return persons


def amounts(row):
    _, str_nach, str_upl, nak_nach, nak_upl, _ = row
    return [Decimal(v) for v in (str_nach, str_upl, nak_nach, nak_upl)]


def money_style():
    style = xlwt.XFStyle()
    style.num_format_str = "#,##0.00"
    return style


def sums_book(path):
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("Сверка")
    money = money_style()
    sheet.write(0, 0, SUMS_TITLE)
    sheet.write(1, 0, EMPLOYER)
    for c, heading in enumerate(SUMS_HEADINGS):
        sheet.write(3, c, heading)
    r = 4
    for n, p in enumerate(fund_rows(), start=1):
        body, check = p["snils"].split(" ")
        saldo_str = saldo_nak = Decimal(0)
        for year, quarter in SZV6.QUARTERS:
            row = p["rows"].get((year, quarter))
            if not row:
                continue
            str_nach, str_upl, nak_nach, nak_upl = amounts(row)
            # The fund's balance: paid minus accrued, so a debt is negative.
            saldo_str += str_upl - str_nach
            saldo_nak += nak_upl - nak_nach
            last, first, middle = row[5] or p["name"]
            values = [n, SZV6.REG_NUMBER, int(body.replace("-", "")), int(check), last, first,
                      middle, BIRTH_DATES[n - 1], row[0], "26%", "ИСХОДНАЯ"]
            for c, v in enumerate(values):
                sheet.write(r, c, v)
            for c, v in enumerate([saldo_str, saldo_nak, str_nach, str_upl, nak_nach, nak_upl]):
                sheet.write(r, 11 + c, float(v), money)
            sheet.write(r, 17, "%d квартал %d" % (quarter, year))
            r += 1
        sheet.write(r, 4, "Итого по застрахованному лицу")
        sheet.write(r, 11, float(saldo_str), money)
        sheet.write(r, 12, float(saldo_nak), money)
        r += 2
    book.save(path)


def insurer_book(path):
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("Данные")
    money = money_style()
    sheet.write(0, 0, "%s: %s" % (INSURER_TITLE, EMPLOYER))
    for c, heading in enumerate(INSURER_HEADINGS):
        sheet.write(2, c, heading)
    r = 3
    persons = fund_rows()
    for year, quarter in SZV6.QUARTERS:
        for p in persons:
            row = p["rows"].get((year, quarter))
            if not row:
                continue
            str_nach, str_upl, nak_nach, nak_upl = amounts(row)
            sheet.write(r, 0, "%d-%d" % (year, quarter))
            # The fund's export keeps the SNILS as a number of 11 digits.
            sheet.write(r, 1, int(p["snils"].replace("-", "").replace(" ", "")))
            sheet.write(r, 2, row[0])
            for c, v in enumerate([str_nach, nak_nach, str_upl, nak_upl]):
                sheet.write(r, 3 + c, float(v), money)
            sheet.write(r, 7, SZV6.fill_date(year, quarter))
            if str_upl < str_nach or nak_upl < nak_nach:
                sheet.write(r, 8, "недоплата")
            elif str_upl > str_nach or nak_upl > nak_nach:
                sheet.write(r, 8, "переплата")
            r += 1
    book.save(path)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else HERE
    os.makedirs(out, exist_ok=True)
    sums_book(os.path.join(out, "sverka_sums.xls"))
    insurer_book(os.path.join(out, "sverka_insurer.xls"))


if __name__ == "__main__":
    main()
