// A payroll table of the accounting program, as bytes: opened read-only as
// the synchronisation opens it, each field located by a value and every field
// of a found record read as text, whole number and money. An Error is the
// table access's answer to a damaged table; a crash, a hang, a sanitizer
// report or any other exception is a fault.
#include <cstdint>
#include <cstdlib>

#include "FuzzInput.h"
#include "sync/DbfTable.h"
#include "tables/Error.h"

namespace {

void readRecord(const quarlex::DbfTable& table) {
    for (const quarlex::DbfTable::Field& f : table.fields()) {
        (void)table.asString(f.name);
        (void)table.asInteger(f.name);
        (void)table.asMoney(f.name);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = quarlex::fuzz::writeInput("zp_sumPF.dbf", data, size);
    quarlex::NumberFormat format;
    try {
        quarlex::DbfTable table(path, quarlex::DbfTable::Access::ReadOnly, format);
        const auto& fields = table.fields();
        for (const quarlex::DbfTable::Field& f : fields) {
            const quarlex::Value value =
                f.numeric() ? quarlex::Value(std::int64_t(1)) : quarlex::Value(std::string("1"));
            if (table.Locate(f.name, {value}))
                readRecord(table);
        }
        if (fields.size() >= 2 &&
            table.Locate(fields[0].name + ";" + fields[1].name,
                         {quarlex::Value(std::string()), quarlex::Value(std::int64_t(0))}))
            readRecord(table);
        table.Close();
    } catch (const quarlex::AssertionFailure&) {
        std::abort(); // an internal check failed: a fault, whatever the input
    } catch (const quarlex::Error&) {
    }
    return 0;
}
