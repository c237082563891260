// The emitted SQLite form where the form itself matters (constants against
// identifiers, '||', canonical names, the result columns and their types) and
// the errors. What the statements do is checked by running them in QueryTest.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "tables/Error.h"
#include "tables/SqlTranslator.h"
#include "tables/WorkingTables.h"

using namespace quarlex;

namespace {

class SqlTranslatorTest : public ::testing::Test {
protected:
    TableDef imp = impTableDef();
    TableDef tmp = tmpTableDef();
    SqlTranslator translator{[this](std::string_view name) -> const TableDef* {
        auto same = [](std::string_view a, std::string_view b) {
            return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
                return std::toupper(static_cast<unsigned char>(x)) ==
                       std::toupper(static_cast<unsigned char>(y));
            });
        };
        for (const TableDef* d : {&imp, &tmp})
            if (same(name, d->name))
                return d;
        return nullptr;
    }};

    std::string sql(std::string_view statement) { return translator.translate(statement).sql(); }
};

TEST_F(SqlTranslatorTest, QuotedTextIsConstantExceptAfterAs) {
    const auto t =
        translator.translate("SELECT distinct Category AS \"Cat\" INTO CatTable FROM ImpTable;");
    EXPECT_EQ(t.sql(), "SELECT DISTINCT \"ImpTable\".\"Category\" AS \"Cat\" FROM \"ImpTable\"");
    EXPECT_EQ(t.intoTable, "CatTable");
    ASSERT_EQ(t.columns.size(), 1u);
    EXPECT_EQ(t.columns[0].name, "Cat");
    EXPECT_EQ(t.columns[0].type, FieldType::AnsiText);

    // A double-quoted column name elsewhere stays a text; a single quote inside is escaped.
    EXPECT_EQ(sql("SELECT \"SNILS\" AS X FROM ImpTable WHERE Category = \"it's\""),
              "SELECT 'SNILS' AS \"X\" FROM \"ImpTable\" WHERE (\"ImpTable\".\"Category\" = "
              "'it''s')");
    // A doubled quote inside a text or a quoted name is one quote.
    EXPECT_EQ(sql("SELECT \"a\"\"b\" AS \"x\"\"y\" FROM ImpTable"),
              "SELECT 'a\"b' AS \"x\"\"y\" FROM \"ImpTable\"");
}

// '+' joins texts, and only texts: numbers are never added, so nothing can
// overflow silently in the engine's arithmetic.
TEST_F(SqlTranslatorTest, PlusJoinsTexts) {
    const auto t = translator.translate("SELECT LName + \" \" + FName AS F FROM ImpTable");
    ASSERT_EQ(t.columns.size(), 1u);
    EXPECT_EQ(t.columns[0].expr, "((\"ImpTable\".\"LName\" || ' ') || \"ImpTable\".\"FName\")");
    EXPECT_EQ(t.columns[0].type, FieldType::UnicodeText);
    for (const char* expr : {"God + Kvartal", "SNILS + God", "StrDolg + StrUpl"}) {
        try {
            translator.translate(std::string("SELECT ") + expr + " AS X FROM ImpTable");
            ADD_FAILURE() << "accepted: " << expr;
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("'+' joins texts only"), std::string::npos)
                << e.what();
        }
    }
}

TEST_F(SqlTranslatorTest, ResultColumnsOfTheTotalsStatement) {
    const auto t = translator.translate(
        "SELECT SNILS, LName + \" \" +FName + \" \" + MNAME as FIO, 2011 AS \"God\",4 AS "
        "\"Period\", \"ОСН\" AS Cat , SUM(StrDolg) AS \"StrItog\" , SUM(NakDolg) AS \"NakItog\" "
        "FROM ImpTable WHERE ( (Category=\"ОСН\") AND (Period <= 20114) ) GROUP BY "
        "SNILS,FName,MName,LName;");
    std::vector<std::string> names;
    std::vector<FieldType> types;
    for (const auto& c : t.columns) {
        names.push_back(c.name);
        types.push_back(c.type);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"SNILS", "FIO", "God", "Period", "Cat", "StrItog",
                                               "NakItog"}));
    EXPECT_EQ(types,
              (std::vector<FieldType>{FieldType::AnsiText, FieldType::UnicodeText,
                                      FieldType::Integer, FieldType::Integer,
                                      FieldType::UnicodeText, FieldType::Money, FieldType::Money}));
    EXPECT_TRUE(t.intoTable.empty());
    // MNAME in the canonical spelling; Period in WHERE is the table's, not the alias.
    EXPECT_NE(t.sql().find("\"ImpTable\".\"MName\""), std::string::npos) << t.sql();
    EXPECT_NE(t.sql().find("(\"ImpTable\".\"Period\" <= 20114)"), std::string::npos) << t.sql();
    EXPECT_NE(t.sql().find(" GROUP BY \"ImpTable\".\"SNILS\", \"ImpTable\".\"FName\", "
                           "\"ImpTable\".\"MName\", \"ImpTable\".\"LName\""),
              std::string::npos)
        << t.sql();
}

TEST_F(SqlTranslatorTest, ResultNames) {
    const auto t = translator.translate("SELECT period, God AS g, 1 AS \"Y y\" FROM ImpTable");
    std::vector<std::string> names;
    for (const auto& c : t.columns)
        names.push_back(c.name);
    // A column's own spelling, or the name after AS.
    EXPECT_EQ(names, (std::vector<std::string>{"Period", "g", "Y y"}));
    // ORDER BY names the table's column, never a result name.
    EXPECT_NE(sql("SELECT 1 AS God FROM ImpTable ORDER BY god asc")
                  .find("ORDER BY \"ImpTable\".\"God\" ASC"),
              std::string::npos);
}

TEST_F(SqlTranslatorTest, SubqueryAndAggregates) {
    const auto t = translator.translate("select DISTINCT period, god, kvartal INTO tmptable from "
                                        "imptable where PERIOD=(SELECT distinct MAX(Period) from "
                                        "ImpTable);");
    EXPECT_EQ(t.sql(),
              "SELECT DISTINCT \"ImpTable\".\"Period\" AS \"Period\", \"ImpTable\".\"God\" "
              "AS \"God\", \"ImpTable\".\"Kvartal\" AS \"Kvartal\" FROM \"ImpTable\" WHERE "
              "(\"ImpTable\".\"Period\" = (SELECT DISTINCT max(\"ImpTable\".\"Period\") "
              "FROM \"ImpTable\"))");
    EXPECT_EQ(t.intoTable, "tmptable");

    struct Case {
        const char* expr;
        FieldType type;
    };
    const Case cases[] = {
        {"SUM(StrDolg)", FieldType::Money},
        {"MAX(NakDolg)", FieldType::Money},
        {"SUM(God)", FieldType::SmallInt},
        {"(SELECT MAX(Period) FROM TmpTable)", FieldType::Integer},
    };
    for (const Case& c : cases) {
        const auto r =
            translator.translate(std::string("SELECT ") + c.expr + " AS X FROM ImpTable");
        EXPECT_EQ(r.columns.at(0).type, c.type) << c.expr;
    }
}

TEST_F(SqlTranslatorTest, ErrorsNameWhatAndWhere) {
    struct Case {
        const char* statement;
        std::vector<std::string> parts; // each must be in the message
    };
    const Case cases[] = {
        {"SELECT SNILS, Dolg FROM ImpTable",
         {"position 15", "column Dolg", "table ImpTable", "SELECT SNILS, Dolg FROM ImpTable"}},
        {"SELECT SNILS FROM ImpTable WHERE Dolg = 1", {"position 34", "column Dolg"}},
        {"SELECT SNILS FROM ImpTable GROUP BY Dolg", {"position 37", "column Dolg"}},
        {"SELECT SNILS FROM ImpTable ORDER BY Dolg", {"position 37", "column Dolg"}},
        {"SELECT SNILS FROM ImpTable WHERE Period = (SELECT MAX(Dolg) FROM ImpTable)",
         {"column Dolg", "table ImpTable"}},
        {"SELECT SNILS FROM Nowhere", {"position 19", "table Nowhere does not exist"}},
        {"SELECT SNILS FROM ImpTable WHERE Period = (SELECT MAX(Period) FROM Nowhere)",
         {"table Nowhere"}},
        {"SELECT distinct Period, God, Kvartal INTO TmpTable ImpTable",
         {"SQL error at position 52 in statement \"SELECT distinct Period, God, Kvartal INTO "
          "TmpTable ImpTable\": expected FROM"}},
        {"SELECT SNILS ImpTable", {"position 14", "expected FROM"}},
        {"SELECT SNILS FROM ImpTable WHERE Category = \"ОСН", {"position 45", "unterminated"}},
        {"SELECT \"abc FROM ImpTable", {"position 8", "unterminated"}},
        {"SELECT SNILS FROM ImpTable WHERE Period / 2 = 1", {"position 41", "'/'"}},
        // Positions count characters: "ОСН" is three letters, six bytes.
        {"SELECT \"ОСН\" AS C FROM ImpTable WHERE Period ! 1", {"position 46", "'!'"}},
        {"SELECT SNILS FROM ImpTable LIMIT 5", {"position 28", "LIMIT"}},
        {"SELECT SNILS FROM ImpTable;;", {"position 28"}},
        {"SELECT FROM ImpTable", {"position 8", "expected an expression"}},
        {"SELECT SNILS AS FROM ImpTable", {"position 17", "column name after AS"}},
        {"SELECT SNILS, FROM ImpTable", {"position 15"}},
        {"SELECT SUM(StrDolg FROM ImpTable", {"position 20", "')'"}},
        {"SELECT SNILS FROM ImpTable WHERE SUM(StrDolg) <= 0", {"position 34", "WHERE"}},
        {"SELECT SUM(MAX(StrDolg)) AS S FROM ImpTable", {"position 12"}},
        {"SELECT SNILS FROM ImpTable WHERE SNILS = 5", {"position 40", "compared"}},
        {"SELECT SNILS FROM ImpTable WHERE StrDolg <= 5", {"position 42", "amount"}},
        {"SELECT SNILS FROM ImpTable WHERE Category", {"position 34", "condition"}},
        {"SELECT SNILS FROM ImpTable WHERE God AND Period = 1", {"position 38", "conditions"}},
        {"SELECT Period = 1 AS C FROM ImpTable", {"position 15", "condition"}},
        {"SELECT SUM(LName) AS S FROM ImpTable", {"position 8", "numeric"}},
        {"SELECT LName + God AS X FROM ImpTable", {"position 14", "text"}},
        {"SELECT SUM(StrDolg) FROM ImpTable", {"position 8", "name after AS"}},
        {"SELECT God, Period AS god FROM ImpTable", {"position 13", "god appears twice"}},
        {"SELECT God AS Y FROM ImpTable ORDER BY y", {"position 40", "no column y"}},
        // What the system's statements do not use is not part of the dialect.
        {"SELECT SNILS FROM ImpTable WHERE God = 1 OR God = 2", {"position 42", "'OR'"}},
        {"SELECT SNILS FROM ImpTable WHERE NOT God = 1", {"position 38", "'God'"}},
        {"SELECT SNILS FROM ImpTable WHERE God <> 1", {"position 38", "'<'"}},
        {"SELECT SNILS FROM ImpTable WHERE God >= 1", {"position 38", "'>'"}},
        {"SELECT SNILS FROM ImpTable WHERE God - 1 = 0", {"position 38", "'-'"}},
        {"SELECT SNILS FROM ImpTable ORDER BY God DESC", {"position 41", "'DESC'"}},
        {"SELECT MIN(God) AS M FROM ImpTable", {"position 11", "'('"}},
        {"SELECT COUNT(*) AS N FROM ImpTable", {"position 14", "'*'"}},
        {"SELECT SNILS FROM ImpTable WHERE StrDolg = 0.5", {"position 45", "'.'"}},
        {"SELECT 'x' AS Y FROM ImpTable", {"position 8", "unexpected character"}},
        {"SELECT SNILS FROM ImpTable WHERE Period = (SELECT Period, God FROM ImpTable)",
         {"exactly one column"}},
        {"SELECT 99999999999999999999 FROM ImpTable", {"position 8", "too large"}},
        {"UPDATE ImpTable SET God = 1", {"position 1", "expected SELECT"}},
        {"", {"position 1", "expected SELECT"}},
    };
    for (const Case& c : cases) {
        try {
            translator.translate(c.statement);
            ADD_FAILURE() << "accepted: " << c.statement;
        } catch (const Error& e) {
            const std::string message = e.what();
            for (const auto& part : c.parts)
                EXPECT_NE(message.find(part), std::string::npos)
                    << "'" << part << "' missing in: " << message;
        }
    }
}

} // namespace
