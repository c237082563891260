#!/usr/bin/env python3
"""Writes the reconciliation workbooks that the workbook import tests read.

usage: make_workbooks.py OUTPUT_DIR

The cumulative sums sheet has 18 columns: number, registration, SNILS without
check digits (F3), check digits (F4), surname, first name, patronymic (F5-F7),
four columns not read (F8-F11), cumulative insurance and funded amounts with
the fund's sign (F12, F13), accrued and paid insurance part (F14, F15),
accrued and paid funded part (F16, F17), period (F18).
The insurer data sheet has 9 columns: period "2011-3" (F1), SNILS of 11 digits
(F2), a column not read, accrued insurance and funded part (F4, F5), paid
insurance and funded part (F6, F7), two columns not read.
"""
import os
import sys

from xls_writer import FormulaWithResult, workbook

SUMS_TITLE = "Суммы ЗЛ нарастающим итогом по организации"
INSURER_TITLE = "Данные в АИС ДПУ по страхователю"

SUMS_HEADINGS = ["№", "Рег.№", "СНИЛС", "КС", "Фамилия", "Имя", "Отчество", "Дата рожд.",
                 "Пол", "Категория", "Тариф", "Итог СЧ", "Итог НЧ", "Начислено СЧ",
                 "Уплачено СЧ", "Начислено НЧ", "Уплачено НЧ", "Период"]
INSURER_HEADINGS = ["Период", "СНИЛС", "Категория", "Начислено СЧ", "Начислено НЧ",
                    "Уплачено СЧ", "Уплачено НЧ", "Дата", "Примечание"]


def sums_row(n, number, check, name, itog, amounts, period):
    """One row of the sums sheet; `itog` and `amounts` as the fund writes them."""
    return ([n, "087-101-000001", number, check, *name, "01.01.1970", "М", "НР", "26%"]
            + list(itog) + list(amounts) + [period])


def sums_sheet(title, rows, headings=SUMS_HEADINGS):
    return [[title], headings] + rows


IVANOV = ("Иванов", "Сергей", "Петрович")
PETROVA = ("Петрова", "Анна", "Викторовна")


def sums():
    rows = [
        # row 3: SNILS parts as numbers that lost their leading zeros
        sums_row(1, 12345678, 5, IVANOV, (-600, 0), (1000, 400, 0, 0), "4 квартал 2011"),
        # row 4: text SNILS parts, a fraction FreeXL cannot give exactly, an
        # empty paid amount, an amount written as text
        sums_row(2, "112233445", "95", PETROVA, (-1234.56, -0.1),
                 (1234.56, None, "300,50", 300.4), "за 2 полугодие 2010 г."),
        # rows 5-6: a total row and a blank row, skipped
        [None, "Итого", None, None, None, None, None, None, None, None, None, -1834.56, -0.1,
         2234.56, 400, 300.5, 300.4, "Итого"],
        [],
        # row 7: the person and period of row 3 again: refused by both tables
        sums_row(3, 12345678, 5, IVANOV, (-1, -1), (1, 1, 1, 1), "4 квартал 2011"),
        # row 8: a quarter digit outside 1-4 is taken as it is
        sums_row(4, 12345678, 5, IVANOV, (0, 0), (0, 0, 0, 0), "7 квартал 2011"),
    ]
    return [("Сверка", sums_sheet("Выписка. " + SUMS_TITLE + " на 01.01.2012", rows))]


def sums_shifted():
    # The used area starts at C3: the fields count from there.
    rows = [sums_row(1, "123456789", "64", PETROVA, (0, 0), (10, 10, 5, 5), "1 квартал 2011"),
            sums_row(2, "134578901", "85", IVANOV, (0, 0), (10, "12a", 5, 5), "1 квартал 2011")]
    return [("Сверка", sums_sheet(SUMS_TITLE, rows), 2, 2)]


def sums_formulas():
    rows = [
        # The surname and the accrued amount are formulas; their stored results count.
        sums_row(1, "112233445", "95",
                 (FormulaWithResult('"Ива"&"нов"', "Иванов"), "Сергей", "Петрович"),
                 (FormulaWithResult("-N3", -1500.25), 0),
                 (FormulaWithResult("1000.25+500", 1500.25), 0, 0, 0), "1 квартал 2011"),
        # A money cell whose formula result is a text that is no number.
        sums_row(2, "112233445", "95", IVANOV, (0, 0),
                 (FormulaWithResult('"abc"', "abc"), 0, 0, 0), "2 квартал 2011"),
    ]
    return [("Сверка", sums_sheet(SUMS_TITLE, rows))]


def insurer():
    rows = [
        ["2011-1", "11223344595", "НР", 9000, 3000, 6000, 3000, "14.04.2011", None],
        # an 11-digit SNILS with a leading zero stored as a number
        ["2011-1", 1234567801, "НР", 5000, 2000, 5000, 2000, None, None],
        ["2011-2", "11223344595", "НР", 9000, 3000, 9000, 3000, None, None],
        # no period: quarter 5
        ["2011-5", "11223344595", "НР", 1, 1, 1, 1, None, None],
        # not anchored: "2011-12" is 2011, quarter 1
        ["2011-12", "13457890185", "НР", 700, 100, None, None, None, "не оплачено"],
    ]
    return [("Данные", [[INSURER_TITLE + " 087-101-000001"], INSURER_HEADINGS] + rows)]


def insurer_no_periods():
    return [("Данные", [[INSURER_TITLE], INSURER_HEADINGS])]


def unsupported():
    """Sheets that are neither layout, by file name."""
    row = sums_row(1, "112233445", "95", IVANOV, (0, 0), (1, 1, 1, 1), "1 квартал 2011")
    return {
        "sums_17_columns": [("Сверка", [[SUMS_TITLE], SUMS_HEADINGS[:17], row[:17]])],
        "sums_19_columns": [("Сверка", [[SUMS_TITLE], SUMS_HEADINGS + ["Примечание"], row])],
        "sums_other_title": [("Сверка", sums_sheet("Суммы ЗЛ за период", [row]))],
        "sums_upper_case_title": [("Сверка", sums_sheet(SUMS_TITLE.upper(), [row]))],
        "insurer_with_sums_title": [("Данные", [[SUMS_TITLE], INSURER_HEADINGS])],
        "sums_on_second_sheet": [("Пояснения", [["Пояснения к сверке"]]),
                                 ("Сверка", sums_sheet(SUMS_TITLE, [row]))],
        "empty_sheet": [("Лист1", [])],
    }


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    books = {"sums": sums(), "sums_shifted": sums_shifted(), "sums_formulas": sums_formulas(),
             "insurer": insurer(), "insurer_no_periods": insurer_no_periods(), **unsupported()}
    for name, sheets in books.items():
        workbook(os.path.join(out, name + ".xls"), sheets)


if __name__ == "__main__":
    main()
