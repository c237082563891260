#pragma once
// What the file-reading targets share: a folder for the whole run, removed at
// exit, into which each input is written under the name the reader expects,
// and prompts that show nothing.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tables/Prompts.h"

namespace quarlex::fuzz {

struct SilentPrompts : Prompts {
    void message(const std::string&, const std::string&) override {}
};

inline const std::string& folder() {
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
    static const Folder dir;
    return dir.path;
}

// Writes the input as `relative` below the folder (parents made) and returns its path.
inline std::string writeInput(const std::string& relative, const std::uint8_t* data,
                              std::size_t size) {
    const std::filesystem::path path = std::filesystem::path(folder()) / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    if (!out)
        std::abort();
    return path.string();
}

} // namespace quarlex::fuzz
