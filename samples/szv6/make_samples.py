#!/usr/bin/env python3
"""Writes the sample SZV-6 folder: six quarters (2010 q3 to 2011 q4) of one
employer, initial packs and two corrective packs, in Windows-1251.

Run from anywhere: python3 samples/szv6/make_samples.py [OUTPUT_DIR]
(default: the folder of this script).
"""
import os
import sys

REG_NUMBER = "087-101-000001"
EMPLOYER = 'ООО "Северная верфь"'
INN, KPP = "2901123456", "290101001"

QUARTERS = [(2010, 3), (2010, 4), (2011, 1), (2011, 2), (2011, 3), (2011, 4)]
QUARTER_DATES = {
    1: ("01.01", "31.03"), 2: ("01.04", "30.06"), 3: ("01.07", "30.09"), 4: ("01.10", "31.12")}


def snils(body):
    """Body "112-233-445" with its check number appended: "112-233-445 95"."""
    digits = [int(c) for c in body if c.isdigit()]
    total = sum(d * (9 - i) for i, d in enumerate(digits))
    if total > 101:
        total %= 101
    check = 0 if total in (100, 101) else total
    return "%s %02d" % (body, check)


# Per person: SNILS, and per quarter the name, category and the four amounts
# (insurance accrued, insurance paid, funded accrued, funded paid).
def person(body, name, rows):
    return {"snils": snils(body), "name": name, "rows": rows}


def full(cat, str_nach, nak_nach, name=None):
    return (cat, str_nach, str_nach, nak_nach, nak_nach, name)


IVANOV = ("Иванов", "Сергей", "Петрович")
PETROVA = ("Петрова", "Анна", "Викторовна")
BELOVA = ("Белова", "Анна", "Викторовна")  # the same person after her marriage
SMIRNOV = ("Смирнов", "Алексей", "Николаевич")
KUZNETSOVA = ("Кузнецова", "Ольга", "Игоревна")
SOKOLOV = ("Соколов", "Дмитрий", "Андреевич")
POPOVA = ("Попова", "Елена", "Сергеевна")

PERSONS = [
    person("112-233-445", IVANOV, {
        (2010, 3): full("НР", "9000.00", "3000.00"),
        (2010, 4): ("НР", "9000.00", "6000.00", "3000.00", "3000.00", None),
        (2011, 1): full("НР", "9000.00", "3000.00"),
        (2011, 2): full("НР", "9000.00", "3000.00"),
        (2011, 3): full("НР", "9000.00", "3000.00"),
        (2011, 4): ("НР", "9000.00", "4500.00", "3000.00", "1500.00", None),
    }),
    person("123-456-789", PETROVA, {
        (2011, 1): full("НР", "6400.00", "2400.00"),
        (2011, 2): ("НР", "6400.00", "3200.00", "2400.00", "1200.00", None),
        (2011, 3): full("НР", "6400.00", "2400.00", BELOVA),
        (2011, 4): full("НР", "6400.00", "2400.00", BELOVA),
    }),
    person("134-578-901", SMIRNOV, {
        (2010, 3): full("НР", "12000.00", "4500.00"),
        (2010, 4): full("НР", "12000.00", "4500.00"),
        (2011, 1): full("НР", "12000.00", "4500.00"),
        (2011, 2): full("ПНЭД", "10800.00", "4050.00"),
        (2011, 3): ("ПНЭД", "10800.00", "9000.00", "4050.00", "3000.00", None),
        (2011, 4): full("ПНЭД", "10800.00", "4050.00"),
    }),
    person("145-690-123", KUZNETSOVA, {
        (2010, 3): full("ПНЭД", "4800.00", "1800.00"),
        (2010, 4): full("ПНЭД", "4800.00", "1800.00"),
        (2011, 1): full("ПНЭД", "4800.00", "1800.00"),
        (2011, 2): ("ПНЭД", "4800.00", "6000.00", "1800.00", "2400.00", None),
        (2011, 3): full("ПНЭД", "4800.00", "1800.00"),
        (2011, 4): ("ПНЭД", "4800.00", "5400.00", "1800.00", "1800.00", None),
    }),
    person("156-702-345", SOKOLOV, {
        (2010, 3): ("НР", "8000.00", "0.00", "3000.00", "0.00", None),
        (2010, 4): ("НР", "8000.00", "16000.00", "3000.00", "6000.00", None),
        (2011, 1): full("НР", "8000.00", "3000.00"),
        (2011, 2): full("НР", "8000.00", "3000.00"),
    }),
    person("167-813-567", POPOVA, {
        (2010, 3): full("НР", "7000.00", "2600.00"),
        (2010, 4): full("НР", "7000.00", "2600.00"),
        (2011, 1): full("НР", "7000.00", "2600.00"),
        (2011, 2): full("НР", "7000.00", "2600.00"),
        (2011, 3): full("НР", "7000.00", "2600.00"),
        (2011, 4): ("НР", "7000.00", "3500.00", "2600.00", "1300.00", None),
    }),
]

# Corrective packs: submitted with the report of `filed`, each record names
# the person, the corrected quarter and the amounts that replace the earlier ones.
CORRECTIONS = [
    {"filed": (2011, 1), "records": [
        (0, (2010, 4), ("НР", "9000.00", "9000.00", "3000.00", "3000.00", None))]},
    {"filed": (2011, 4), "records": [
        (2, (2011, 3), ("ПНЭД", "10800.00", "10800.00", "4050.00", "4050.00", None))]},
]


def fill_date(year, quarter):
    # The report is filled in the middle of the month after the quarter.
    month = quarter * 3 + 1
    if month > 12:
        return "14.01.%d" % (year + 1)
    return "14.%02d.%d" % (month, year)


def record(number, kind, p, year, quarter, row, corrected=None):
    cat, str_nach, str_upl, nak_nach, nak_upl, name = row
    last, first, middle = name or p["name"]
    start, end = QUARTER_DATES[quarter]
    lines = [
        "<СВЕДЕНИЯ_О_СТРАХОВЫХ_ВЗНОСАХ_И_СТРАХОВОМ_СТАЖЕ_ЗЛ>",
        "<НомерВпачке>%d</НомерВпачке>" % number,
        "<ТипСведений>%s</ТипСведений>" % kind,
        "<СтраховойНомер>%s</СтраховойНомер>" % p["snils"],
        "<ФИО>",
        "<Фамилия>%s</Фамилия>" % last,
        "<Имя>%s</Имя>" % first,
        "<Отчество>%s</Отчество>" % middle,
        "</ФИО>",
        "<КодКатегории>%s</КодКатегории>" % cat,
        "<ОтчетныйПериод>",
        "<Квартал>%d</Квартал>" % quarter,
        "<Год>%d</Год>" % year,
        "<НазваниеОтчетногоПериода>%s</НазваниеОтчетногоПериода>" % (
            ["", "I квартал", "полугодие", "9 месяцев", "год"][quarter]),
        "</ОтчетныйПериод>",
    ]
    if corrected:
        cy, cq = corrected
        lines += [
            "<КорректируемыйОтчетныйПериод>",
            "<Квартал>%d</Квартал>" % cq,
            "<Год>%d</Год>" % cy,
            "</КорректируемыйОтчетныйПериод>",
        ]
        start, end = QUARTER_DATES[cq]
        year_of_work = cy
    else:
        year_of_work = year
    lines += [
        "<СуммаВзносовНаСтраховую>",
        "<Начислено>%s</Начислено>" % str_nach,
        "<Уплачено>%s</Уплачено>" % str_upl,
        "</СуммаВзносовНаСтраховую>",
        "<СуммаВзносовНаНакопительную>",
        "<Начислено>%s</Начислено>" % nak_nach,
        "<Уплачено>%s</Уплачено>" % nak_upl,
        "</СуммаВзносовНаНакопительную>",
        "<СтажевыйПериод>",
        "<НомерСтроки>1</НомерСтроки>",
        "<ДатаНачалаПериода>%s.%d</ДатаНачалаПериода>" % (start, year_of_work),
        "<ДатаКонцаПериода>%s.%d</ДатаКонцаПериода>" % (end, year_of_work),
        "</СтажевыйПериод>",
        "<ДатаЗаполнения>%s</ДатаЗаполнения>" % fill_date(year, quarter),
        "</СВЕДЕНИЯ_О_СТРАХОВЫХ_ВЗНОСАХ_И_СТРАХОВОМ_СТАЖЕ_ЗЛ>",
    ]
    return lines


def file_name(year, pack):
    return "PFR-700-Y-%d-ORG-%s-DCK-%05d-DPT-000000-DCK-00000.XML" % (year, REG_NUMBER, pack)


def pack_file(name, year, quarter, pack, kind, records):
    employer = EMPLOYER.replace('"', "&quot;")
    lines = [
        '<?xml version="1.0" encoding="windows-1251"?>',
        "<ФайлПФР>",
        "<ИмяФайла>%s</ИмяФайла>" % name,
        "<ЗаголовокФайла>",
        "<ВерсияФормата>07.00</ВерсияФормата>",
        "<ТипФайла>ВНЕШНИЙ</ТипФайла>",
        "<ПрограммаПодготовкиДанных>",
        "<НазваниеПрограммы>БУХГАЛТЕРИЯ ПРЕДПРИЯТИЯ</НазваниеПрограммы>",
        "<Версия>1.6</Версия>",
        "</ПрограммаПодготовкиДанных>",
        "<ИсточникДанных>СТРАХОВАТЕЛЬ</ИсточникДанных>",
        "</ЗаголовокФайла>",
        "<ПачкаВходящихДокументов Окружение=\"В составе файла\" Стадия=\"До обработки\">",
        "<ВХОДЯЩАЯ_ОПИСЬ>",
        "<НомерВпачке>1</НомерВпачке>",
        "<ТипВходящейОписи>ОПИСЬ ПАЧКИ</ТипВходящейОписи>",
        "<СоставительПачки>",
        "<НалоговыйНомер>",
        "<ИНН>%s</ИНН>" % INN,
        "<КПП>%s</КПП>" % KPP,
        "</НалоговыйНомер>",
        "<Наименование>%s</Наименование>" % employer,
        "<РегистрационныйНомер>%s</РегистрационныйНомер>" % REG_NUMBER,
        "</СоставительПачки>",
        "<НомерПачки>",
        "<Основной>%05d</Основной>" % pack,
        "</НомерПачки>",
        "<СоставДокументов>",
        "<Количество>1</Количество>",
        "<НаличиеДокументов>",
        "<ТипДокумента>СВЕДЕНИЯ_О_СТРАХОВЫХ_ВЗНОСАХ_И_СТРАХОВОМ_СТАЖЕ_ЗЛ</ТипДокумента>",
        "<Количество>%d</Количество>" % len(records),
        "</НаличиеДокументов>",
        "</СоставДокументов>",
        "<ДатаСоставления>%s</ДатаСоставления>" % fill_date(year, quarter),
        "</ВХОДЯЩАЯ_ОПИСЬ>",
    ]
    for rec in records:
        lines += rec
    lines += ["</ПачкаВходящихДокументов>", "</ФайлПФР>", ""]
    indented, depth = [], 0
    for line in lines:
        if line.startswith("</"):
            depth -= 1
        indented.append("  " * max(depth, 0) + line if line else line)
        if line.startswith("<") and not line.startswith(("</", "<?")) and "</" not in line:
            depth += 1
    return "\r\n".join(indented).encode("cp1251")


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    os.makedirs(out, exist_ok=True)
    pack = 0
    corrections = {c["filed"]: c for c in CORRECTIONS}
    for year, quarter in QUARTERS:
        pack += 1
        records = []
        for p in PERSONS:
            row = p["rows"].get((year, quarter))
            if row:
                records.append(record(len(records) + 2, "ИСХОДНАЯ", p, year, quarter, row))
        name = file_name(year, pack)
        with open(os.path.join(out, name), "wb") as f:
            f.write(pack_file(name, year, quarter, pack, "ИСХОДНАЯ", records))
        if (year, quarter) in corrections:
            pack += 1
            records = []
            for index, corrected, row in corrections[(year, quarter)]["records"]:
                records.append(record(len(records) + 2, "КОРРЕКТИРУЮЩАЯ", PERSONS[index], year,
                                      quarter, row, corrected))
            name = file_name(year, pack)
            with open(os.path.join(out, name), "wb") as f:
                f.write(pack_file(name, year, quarter, pack, "КОРРЕКТИРУЮЩАЯ", records))


if __name__ == "__main__":
    main()
