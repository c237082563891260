#include "tables/WorkingTables.h"

namespace quarlex {

namespace {

FieldDef text(std::string name, FieldType type, int size, std::string title = {}, int width = 0) {
    return FieldDef{std::move(name), type, size, std::move(title), width, true};
}
FieldDef number(std::string name, FieldType type, std::string title = {}, int width = 0) {
    return FieldDef{std::move(name), type, 0, std::move(title), width, true};
}
FieldDef hidden(FieldDef f) {
    f.visible = false;
    return f;
}

// ImpTable and CorrTable share these columns; CorrTable adds KPeriod after Period.
std::vector<FieldDef> importColumns(bool withCorrectedPeriod) {
    std::vector<FieldDef> f{
        text("SNILS", FieldType::AnsiText, 15, "Стр.номер"),
        text("FName", FieldType::UnicodeText, 100, "Имя", 15),
        text("MName", FieldType::UnicodeText, 100, "Отчество", 25),
        text("LName", FieldType::UnicodeText, 100, "Фамилия", 25),
        number("God", FieldType::SmallInt, "Год", 6),
        number("Kvartal", FieldType::SmallInt, "Квартал", 8),
        hidden(number("Period", FieldType::SmallInt)),
    };
    if (withCorrectedPeriod)
        f.push_back(number("KPeriod", FieldType::SmallInt));
    for (auto&& c : {
             text("Category", FieldType::AnsiText, 20, "Категория", 8),
             number("StrNach", FieldType::Money, "Стр.начисл"),
             number("StrUpl", FieldType::Money, "Стр.упл"),
             number("StrDolg", FieldType::Money, "Стр.долг"),
             number("NakNach", FieldType::Money, "Нак.начисл"),
             number("NakUpl", FieldType::Money, "Нак.упл"),
             number("NakDolg", FieldType::Money, "Нак.долг"),
         })
        f.push_back(c);
    return f;
}

} // namespace

TableDef impTableDef() {
    return TableDef{
        "ImpTable", importColumns(false), "ByDatesIdx", {"SNILS", "Period", "Category"}};
}

TableDef corrTableDef() {
    return TableDef{
        "CorrTable", importColumns(true), "ByDatesIdx", {"SNILS", "Period", "KPeriod", "Category"}};
}

TableDef resTableDef() {
    return TableDef{"ResTable",
                    {
                        text("SNILS", FieldType::AnsiText, 15, "Стр.номер"),
                        text("FIO", FieldType::UnicodeText, 100, "ФИО", 40),
                        text("Cat", FieldType::AnsiText, 10, "Категория", 8),
                        number("God", FieldType::SmallInt, "Год", 8),
                        number("Period", FieldType::Integer, "Период", 8),
                        number("StrItog", FieldType::Money, "Стр.итог"),
                        number("NakItog", FieldType::Money, "Нак.итог"),
                    },
                    "ResTableByDate",
                    {"SNILS", "Cat", "God", "Period"}};
}

TableDef tmpTableDef() {
    return TableDef{"TmpTable",
                    {
                        number("God", FieldType::SmallInt),
                        number("Kvartal", FieldType::SmallInt),
                        number("Period", FieldType::Integer),
                    },
                    {},
                    {}};
}

TableDef catTableDef() {
    return TableDef{"CatTable", {text("Cat", FieldType::AnsiText, 20)}, {}, {}};
}

void clearTable(Table& table) {
    if (table.Active()) {
        table.Close();
        table.EmptyTable();
    } else {
        table.setInMemory(true);
        table.CreateTable();
    }
}

void resetTable(Table& table) {
    clearTable(table);
    table.Open();
}

} // namespace quarlex
