// An amount whose debt leaves the range of money stops the import with an
// error naming the file and the record, instead of storing a wrapped debt.
#include "ImportTestSupport.h"

namespace quarlex::test {
namespace {

class MoneyOverflowImportTest : public ImportTest {};

TEST_F(MoneyOverflowImportTest, DebtOutOfRangeNamesFileAndRecord) {
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

} // namespace
} // namespace quarlex::test
