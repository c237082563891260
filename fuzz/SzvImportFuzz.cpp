// One SZV-6 file, as bytes, through the folder import into fresh working
// tables, the corrective merge included, in category mode, as the program
// runs it. An Error is the import's answer to bad input; a crash, a hang, a
// sanitizer report or any other exception is a fault.
#include <cstdint>
#include <cstdlib>

#include "FuzzInput.h"
#include "import/ImportRun.h"
#include "tables/Error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quarlex::fuzz::writeInput("szv/pack.xml", data, size);
    quarlex::WorkingTables tables;
    quarlex::NumberFormat format;
    quarlex::fuzz::SilentPrompts prompts;
    try {
        quarlex::runImport(tables, {quarlex::fuzz::folder() + "/szv", "", quarlex::ftNone},
                           {true, true}, format, prompts);
    } catch (const quarlex::AssertionFailure&) {
        std::abort(); // an internal check failed: a fault, whatever the input
    } catch (const quarlex::Error&) {
    }
    return 0;
}
