#pragma once
// An accounting DATA folder for the synchronisation tests: the employee table
// zp_tab03.dbf and the sums table zp_sumPF.dbf in the accounting program's
// layout (fields in an order and letter case of their own, with fields the
// run never touches), and working tables filled by hand.
#include <filesystem>
#include <string>
#include <vector>

#include "DbfFixture.h"
#include "tables/Period.h"
#include "tables/WorkingTables.h"

namespace quarlex::test {

struct StaffRow {
    std::string code, name, snils;
    bool deleted = false;
};

struct SumsRow {
    std::string code;
    std::string god, period, tar;
    std::string upls, zadsk, upln, zadnk;
    std::string note;
    bool deleted = false;
};

inline DbfSpec staffSpec(const std::vector<StaffRow>& rows) {
    DbfSpec layout;
    layout.fields = {{"CODE", 'C', 8}, {"FAM", 'C', 20}, {"ATTR01", 'C', 14}, {"DR", 'D', 8}};
    for (const StaffRow& r : rows)
        layout.rows.push_back({{r.code, r.name, r.snils, "19800101"}, r.deleted});
    return layout;
}

inline DbfSpec sumsSpec(const std::vector<SumsRow>& rows) {
    DbfSpec layout;
    layout.fields = {{"Code", 'C', 8},      {"NOTE", 'C', 10},    {"God", 'N', 4},
                   {"PERIOD", 'N', 2},    {"Tar", 'C', 10},     {"UplS", 'N', 12, 2},
                   {"ZADSK", 'N', 12, 2}, {"UPLN", 'N', 12, 2}, {"ZADNK", 'N', 12, 2},
                   {"DT", 'D', 8}};
    for (const SumsRow& r : rows)
        layout.rows.push_back({{r.code, r.note, r.god, r.period, r.tar, r.upls, r.zadsk, r.upln,
                              r.zadnk, r.note.empty() ? "" : "20110101"},
                             r.deleted});
    return layout;
}

struct DataFolder {
    std::filesystem::path root;
    std::filesystem::path staff() const { return root / "ZP" / "ZP_TAB" / "zp_tab03.dbf"; }
    std::filesystem::path sums() const { return root / "ZP" / "ZP_OPER" / "zp_sumPF.dbf"; }
};

inline DataFolder makeDataFolder(const std::filesystem::path& root, const DbfSpec& staff,
                                 const DbfSpec& sums) {
    DataFolder data{root};
    writeDbf(data.staff(), staff);
    writeDbf(data.sums(), sums);
    return data;
}

struct ReportRowSpec {
    std::string snils;
    std::string cat;
    int god, period;
    const char* strItog;
    const char* nakItog;
};

struct PaidSpec {
    std::string snils;
    std::string cat;
    int god, kvartal;
    const char* strUpl;
    const char* nakUpl;
};

inline Money amount(const char* text) {
    return *Money::parse(text);
}

inline void fillTables(WorkingTables& t, const std::vector<ReportRowSpec>& report,
                       const std::vector<PaidSpec>& paid) {
    resetTable(t.ImpTable);
    resetTable(t.ResTable);
    for (const PaidSpec& p : paid) {
        t.ImpTable.Insert();
        t.ImpTable.setField("SNILS", p.snils);
        t.ImpTable.setField("God", p.god);
        t.ImpTable.setField("Kvartal", p.kvartal);
        t.ImpTable.setField("Period", periodKey(p.god, p.kvartal));
        t.ImpTable.setField("Category", p.cat);
        t.ImpTable.setField("StrUpl", amount(p.strUpl));
        t.ImpTable.setField("NakUpl", amount(p.nakUpl));
        t.ImpTable.Post();
    }
    for (const ReportRowSpec& r : report) {
        t.ResTable.Insert();
        t.ResTable.setField("SNILS", r.snils);
        t.ResTable.setField("FIO", "Фамилия Имя Отчество");
        t.ResTable.setField("Cat", r.cat);
        t.ResTable.setField("God", r.god);
        t.ResTable.setField("Period", r.period);
        t.ResTable.setField("StrItog", amount(r.strItog));
        t.ResTable.setField("NakItog", amount(r.nakItog));
        t.ResTable.Post();
    }
}

} // namespace quarlex::test
