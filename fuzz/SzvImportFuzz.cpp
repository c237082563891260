// One SZV-6 file, as bytes, through the folder import into fresh working
// tables, the corrective merge included, in category mode, as the program
// runs it. An Error is the import's answer to bad input; a crash, a hang, a
// sanitizer report or any other exception is a fault.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "import/ImportRun.h"
#include "tables/Error.h"

namespace {

struct SilentPrompts : quarlex::Prompts {
    void message(const std::string&, const std::string&) override {}
};

// One folder for the whole run, removed at exit; the input is written into
// it as its one file.
struct Folder {
    std::string path;
    Folder() {
        path = (std::filesystem::temp_directory_path() / "quarlex-fuzz-XXXXXX").string();
        if (!mkdtemp(path.data()))
            std::abort();
    }
    ~Folder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

const std::string& folder() {
    static const Folder dir;
    return dir.path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    {
        std::ofstream out(folder() + "/pack.xml", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
        if (!out)
            std::abort();
    }
    quarlex::WorkingTables tables;
    quarlex::NumberFormat format;
    SilentPrompts prompts;
    try {
        quarlex::runImport(tables, {folder(), "", quarlex::ftNone}, {true, true}, format, prompts);
    } catch (const quarlex::AssertionFailure&) {
        std::abort(); // an internal check failed: a fault, whatever the input
    } catch (const quarlex::Error&) {
    }
    return 0;
}
