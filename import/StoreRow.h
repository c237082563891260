#pragma once
// How every importer stores one row: insert, fill, post. A row the table
// refuses (usually a duplicate key) is reported through the prompts and
// dropped, and the import goes on; lost rows or an amount out of range
// (a FatalError) end the import instead of passing for one refused row.
#include <string>

#include "tables/Error.h"
#include "tables/Prompts.h"
#include "tables/Table.h"

namespace quarlex {

// `fill(table)` sets the fields; `message()` words the refusal.
template <typename Fill, typename Message>
void storeRowOrReport(Table& table, const char* caption, Prompts& prompts, Fill&& fill,
                      Message&& message) {
    try {
        table.Insert();
        fill(table);
        table.Post();
    } catch (const FatalError&) {
        table.Cancel();
        throw;
    } catch (const Error&) {
        prompts.message(caption, message());
        table.Cancel();
    }
}

} // namespace quarlex
