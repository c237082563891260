// Errors of the import that must name the file and the record and stay
// readable whatever the file holds.
#include "ImportTestSupport.h"

namespace quarlex::test {
namespace {

class ImportErrorsTest : public ImportTest {};

// A debt beyond the range of money stops the import instead of storing a
// wrapped amount, and is not taken for one refused row.
TEST_F(ImportErrorsTest, DebtOutOfRangeNamesFileAndRecord) {
    struct Case {
        const char* name;
        SzvRec overflowing;
    };
    SzvRec insurance;
    insurance.strNach = "-922337203685477.5808";
    insurance.strUpl = "0.0001";
    SzvRec funded;
    funded.nakNach = "922337203685477.5807";
    funded.nakUpl = "-1";
    SzvRec corrective = insurance;
    corrective.kind = "КОРРЕКТИРУЮЩАЯ";
    corrective.corrYear = "2011";
    corrective.corrQuarter = "1";
    const Case cases[] = {
        {"insurance part", insurance}, {"funded part", funded}, {"corrective record", corrective}};
    for (const Case& c : cases) {
        resetImportTables(tables);
        SzvRec fine;
        fine.snils = "111-111-111 45";
        const std::string path = write("a.xml", {fine, c.overflowing});
        const std::string error = runError();
        EXPECT_NE(error.find("is out of the range of money"), std::string::npos)
            << c.name << ": " << error;
        EXPECT_NE(error.find("\r\nФайл: " + path + ", запись 2"), std::string::npos)
            << c.name << ": " << error;
        EXPECT_TRUE(prompts.messages.empty()) << c.name << ": reported as a refused row";
        prompts.messages.clear();
        EXPECT_EQ(tables.ImpTable.state(), Table::State::Browse) << c.name;
    }
}

// A huge value is quoted by its first 200 characters, not whole.
TEST_F(ImportErrorsTest, QuotedValueIsCutAt200Characters) {
    SzvRec huge;
    huge.strNach = "Я" + std::string(100000, '9') + "x";
    const std::string path = write("a.xml", {huge});
    const std::string error = runError();
    EXPECT_EQ(error, "'Я" + std::string(199, '9') + "…' is not a valid floating point value" +
                         "\r\nФайл: " + path + ", запись 1");
}

std::string repeated(const std::string& text, int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += text;
    return out;
}

// A refused row's message quotes the record's texts by their first 200
// characters too.
TEST_F(ImportErrorsTest, RefusedRowMessageQuotesCutTexts) {
    SzvRec twice;
    twice.lName = repeated("Ж", 300);
    write("a.xml", {twice, twice});
    EXPECT_EQ(runError(), "");
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_NE(prompts.messages[0].second.find("Фамилия: " + repeated("Ж", 200) + "…\r\n"),
              std::string::npos)
        << prompts.messages[0].second;
}

} // namespace
} // namespace quarlex::test
