// The fund's reconciliation text file, as bytes, through the import run into fresh working tables,
// both tables filled as the program fills them. An Error is the import's answer to bad input; a
// crash, a hang, a sanitizer report or any other exception is a fault.
#include <cstdint>
#include <cstdlib>

#include "FuzzInput.h"
#include "import/ImportRun.h"
#include "tables/Error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = quarlex::fuzz::writeInput("sverka.txt", data, size);
    quarlex::WorkingTables tables;
    quarlex::NumberFormat format;
    quarlex::fuzz::SilentPrompts prompts;
    try {
        quarlex::runImport(tables, {"", path, quarlex::ftTxt}, {false, true}, format, prompts);
    } catch (const quarlex::AssertionFailure&) {
        std::abort(); // an internal check failed: a fault, whatever the input
    } catch (const quarlex::Error&) {
    }
    return 0;
}
