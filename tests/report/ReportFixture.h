#pragma once
// Working tables with ImpTable rows put in through the Table API, and
// ResTable read back as plain rows.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tables/Money.h"
#include "tables/Period.h"
#include "tables/WorkingTables.h"

namespace quarlex::test {

inline Money money(const char* text) {
    const auto m = Money::parse(text);
    if (!m)
        throw std::invalid_argument(text);
    return *m;
}

struct ResRow {
    std::string snils, fio, cat;
    int god = 0, period = 0;
    std::string strItog, nakItog; // four decimals, '.'
    bool operator==(const ResRow&) const = default;
};

inline void PrintTo(const ResRow& r, std::ostream* os) {
    *os << "{" << r.snils << ", " << r.fio << ", " << r.cat << ", " << r.god << "-" << r.period
        << ", " << r.strItog << ", " << r.nakItog << "}";
}

struct ImpRow {
    std::string snils;
    std::string lname, fname, mname;
    int god = 0, kvartal = 0;
    std::string category;
    const char* strDolg = "0";
    const char* nakDolg = "0";
};

class TablesFixture : public ::testing::Test {
protected:
    void SetUp() override { resetTable(t.ImpTable); }

    void addImp(const ImpRow& r) {
        Table& imp = t.ImpTable;
        imp.Insert();
        imp.setField("SNILS", r.snils);
        imp.setField("FName", r.fname);
        imp.setField("MName", r.mname);
        imp.setField("LName", r.lname);
        imp.setField("God", r.god);
        imp.setField("Kvartal", r.kvartal);
        imp.setField("Period", periodKey(r.god, r.kvartal));
        imp.setField("Category", r.category);
        imp.setField("StrNach", money(r.strDolg));
        imp.setField("StrUpl", Money());
        imp.setField("StrDolg", money(r.strDolg));
        imp.setField("NakNach", money(r.nakDolg));
        imp.setField("NakUpl", Money());
        imp.setField("NakDolg", money(r.nakDolg));
        imp.Post();
    }

    // ResTable rows in its index order, read through the cursor.
    std::vector<ResRow> resRows() {
        std::vector<ResRow> rows;
        Table& res = t.ResTable;
        if (res.RecordCount() == 0)
            return rows;
        for (res.First(); !res.Eof(); res.Next())
            rows.push_back({res.asString("SNILS"), res.asString("FIO"), res.asString("Cat"),
                            static_cast<int>(res.asInteger("God")),
                            static_cast<int>(res.asInteger("Period")),
                            res.asMoney("StrItog").toFixed(4), res.asMoney("NakItog").toFixed(4)});
        return rows;
    }

    void addRes(const ResRow& r) {
        Table& res = t.ResTable;
        res.Insert();
        res.setField("SNILS", r.snils);
        res.setField("FIO", r.fio);
        res.setField("Cat", r.cat);
        res.setField("God", r.god);
        res.setField("Period", r.period);
        res.setField("StrItog", money(r.strItog.c_str()));
        res.setField("NakItog", money(r.nakItog.c_str()));
        res.Post();
    }

    WorkingTables t;
};

} // namespace quarlex::test
