#!/usr/bin/env python3
"""Writes the sample reconciliation text file sverka.txt: what the pension
fund hands back to the employer of samples/szv6 for 2010 q3 to 2011 q4, with
the corrections applied, in Windows-1251 and CR LF line ends.

Run from anywhere: python3 samples/recon/make_recon_text.py [OUTPUT_FILE]
(default: sverka.txt beside this script).
"""
import decimal
import importlib.util
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SEPARATOR = "-" * 80


def load_szv6_samples():
    path = os.path.join(HERE, "..", "szv6", "make_samples.py")
    module_spec = importlib.util.spec_from_file_location("make_samples", path)
    module = importlib.util.module_from_spec(module_spec)
    module_spec.loader.exec_module(module)
    return module


def corrected_rows(samples):
    """Per person the quarters with the amounts after the corrective packs."""
    persons = [dict(p, rows=dict(p["rows"])) for p in samples.PERSONS]
    for pack in samples.CORRECTIONS:
        for index, quarter, row in pack["records"]:
            persons[index]["rows"][quarter] = row
    return persons


def amount(value):
    """12345.6 as the fund writes it: "12345,60", right-aligned in 11 places."""
    return ("%.2f" % value).replace(".", ",").rjust(11)


def columns(str_nach, nak_nach, str_upl, nak_upl):
    return ";".join(amount(v) for v in (str_nach, nak_nach, str_upl, nak_upl))


def person_block(samples, p):
    last, first, middle = p["name"]
    latest = p["rows"][max(p["rows"])][5]  # the name of the latest report
    if latest:
        last, first, middle = latest
    lines = [SEPARATOR,
             "Рег.№ %s СНИЛС: %s ФИО: %s %s %s" % (samples.REG_NUMBER, p["snils"], last,
                                                    first, middle)]
    totals = [decimal.Decimal(0)] * 4
    for (year, quarter) in sorted(p["rows"]):
        _, str_nach, str_upl, nak_nach, nak_upl, _ = p["rows"][(year, quarter)]
        row = [decimal.Decimal(v) for v in (str_nach, nak_nach, str_upl, nak_upl)]
        totals = [t + v for t, v in zip(totals, row)]
        lines.append("%d г. %d кв.%s" % (year, quarter, columns(*row)))
        lines.append("Итого:     %s" % columns(*totals))
    return lines


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "sverka.txt")
    samples = load_szv6_samples()
    lines = [
        "ГУ - Управление Пенсионного фонда РФ в г. Северодвинске",
        "Сверка расчетов по страховым взносам на обязательное пенсионное страхование",
        "Страхователь: %s, рег.№ %s" % (samples.EMPLOYER, samples.REG_NUMBER),
        "Период: 3 квартал 2010 г. - 4 квартал 2011 г.",
        "Графы: начислено на страховую часть; начислено на накопительную часть;",
        "       уплачено на страховую часть; уплачено на накопительную часть",
        "",
    ]
    for p in corrected_rows(samples):
        lines += person_block(samples, p)
    lines += [SEPARATOR, "", "Главный специалист-эксперт ____________"]
    with open(out, "wb") as f:
        f.write(("\r\n".join(lines) + "\r\n").encode("cp1251"))


if __name__ == "__main__":
    main()
