#pragma once
// Shared by the import tests: SZV-6 files written at test time in
// Windows-1251 into a temporary folder, a recording Prompts, row lookups.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "import/ImportRun.h"
#include "tables/Error.h"
#include "tables/Money.h"
#include "tables/Prompts.h"
#include "tables/WorkingTables.h"
#include "tests/support/Cp1251Encode.h"

namespace quarlex::test {

struct RecordingPrompts : Prompts {
    std::vector<std::pair<std::string, std::string>> messages; // caption, text
    void message(const std::string& caption, const std::string& text) override {
        messages.emplace_back(caption, text);
    }
};

// One SZV-6 record; a value left empty (nullopt) is not written at all.
struct SzvRec {
    std::optional<std::string> kind = "ИСХОДНАЯ";
    std::optional<std::string> snils = "012-345-678 05";
    std::optional<std::string> lName = "ИВАНОВ";
    std::optional<std::string> fName = "ИВАН";
    std::optional<std::string> mName = "ИВАНОВИЧ";
    std::optional<std::string> category;
    std::optional<std::string> year = "2011";
    std::optional<std::string> quarter = "1";
    std::optional<std::string> corrYear;
    std::optional<std::string> corrQuarter;
    std::optional<std::string> strNach = "1000.00";
    std::optional<std::string> strUpl = "800.00";
    std::optional<std::string> nakNach = "300.00";
    std::optional<std::string> nakUpl = "300.00";
};

inline std::string element(const char* name, const std::optional<std::string>& v) {
    return v ? std::string("<") + name + ">" + *v + "</" + name + ">" : std::string();
}

inline std::string recordXml(const SzvRec& r) {
    std::string x = "<СВЕДЕНИЯ_О_СТРАХОВЫХ_ВЗНОСАХ_И_СТРАХОВОМ_СТАЖЕ_ЗЛ>\r\n";
    x += element("ТипСведений", r.kind);
    x += element("СтраховойНомер", r.snils);
    x += "<ФИО>" + element("Фамилия", r.lName) + element("Имя", r.fName) +
         element("Отчество", r.mName) + "</ФИО>\r\n";
    x += element("КодКатегории", r.category);
    x += "<ОтчетныйПериод>" + element("Квартал", r.quarter) + element("Год", r.year) +
         "</ОтчетныйПериод>\r\n";
    if (r.corrYear || r.corrQuarter)
        x += "<КорректируемыйОтчетныйПериод>" + element("Квартал", r.corrQuarter) +
             element("Год", r.corrYear) + "</КорректируемыйОтчетныйПериод>\r\n";
    x += "<СуммаВзносовНаСтраховую>" + element("Начислено", r.strNach) +
         element("Уплачено", r.strUpl) + "</СуммаВзносовНаСтраховую>\r\n";
    x += "<СуммаВзносовНаНакопительную>" + element("Начислено", r.nakNach) +
         element("Уплачено", r.nakUpl) + "</СуммаВзносовНаНакопительную>\r\n";
    x += "</СВЕДЕНИЯ_О_СТРАХОВЫХ_ВЗНОСАХ_И_СТРАХОВОМ_СТАЖЕ_ЗЛ>\r\n";
    return x;
}

inline std::string szvDocument(const std::vector<SzvRec>& records) {
    std::string x = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<ФайлПФР>\r\n"
                    "<ИмяФайла>PFR-700-Y-2011.XML</ИмяФайла>\r\n<ПачкаВходящихДокументов>\r\n";
    for (const SzvRec& r : records)
        x += recordXml(r);
    return x + "</ПачкаВходящихДокументов>\r\n</ФайлПФР>\r\n";
}

inline std::string toCp1251(const std::string& utf8) {
    std::optional<std::string> bytes = quarlex::testing::encodeCp1251(utf8);
    if (!bytes)
        throw std::runtime_error("text not representable in CP1251");
    return *bytes;
}

inline Money money(const char* text) {
    return Money::parse(text).value();
}

// A temporary folder with the tables reset as an import run leaves them.
class ImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string templ =
            (std::filesystem::temp_directory_path() / "quarlex-import-XXXXXX").string();
        ASSERT_NE(mkdtemp(templ.data()), nullptr);
        dir = templ;
        resetImportTables(tables);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string writeRaw(const std::string& name, const std::string& bytes) {
        std::string path = dir + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    std::string write(const std::string& name, const std::vector<SzvRec>& records) {
        return writeRaw(name, toCp1251(szvDocument(records)));
    }

    // The error text of the run, empty when it succeeds.
    std::string runError() {
        try {
            runImport(tables, {dir, "", ftNone}, {options.categoryMode, true}, format, prompts);
        } catch (const Error& e) {
            return e.what();
        }
        return "";
    }

    bool findImp(const std::string& snils, int period, const std::string& category = "ОСН") {
        return tables.ImpTable.Locate("SNILS;Period;Category",
                                      {Value(snils), Value(std::int64_t(period)), Value(category)});
    }

    std::string dir;
    WorkingTables tables;
    SzvImportOptions options;
    NumberFormat format;
    RecordingPrompts prompts;
};

} // namespace quarlex::test
