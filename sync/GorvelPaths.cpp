#include "sync/GorvelPaths.h"

#include <algorithm>
#include <filesystem>
#include <strings.h>

namespace quarlex {

namespace fs = std::filesystem;

namespace {

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

std::vector<std::string> entryNames(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool isKind(const fs::path& p, EntryKind kind) {
    std::error_code ec;
    const fs::file_status st = fs::status(p, ec);
    switch (kind) {
    case EntryKind::Folder:
        return fs::is_directory(st);
    case EntryKind::File:
        return fs::is_regular_file(st);
    case EntryKind::Any:
        return fs::exists(st);
    }
    return false;
}

std::optional<fs::path> findEntry(const fs::path& folder, std::string_view name, EntryKind kind) {
    const fs::path exact = folder / std::string(name);
    if (isKind(exact, kind))
        return exact;
    for (const std::string& entry : entryNames(folder))
        if (sameIgnoringCase(entry, name) && isKind(folder / entry, kind))
            return folder / entry;
    return std::nullopt;
}

} // namespace

std::optional<std::string> findPath(const std::string& base, std::string_view relative,
                                    EntryKind kind) {
    fs::path current(base);
    while (!relative.empty()) {
        const std::size_t slash = relative.find('/');
        const std::string_view name = relative.substr(0, slash);
        relative =
            slash == std::string_view::npos ? std::string_view() : relative.substr(slash + 1);
        if (name.empty())
            continue;
        const auto found = findEntry(current, name, relative.empty() ? kind : EntryKind::Folder);
        if (!found)
            return std::nullopt;
        current = *found;
    }
    return current.string();
}

std::vector<std::string> indexFilesBeside(const std::string& tablePath) {
    static constexpr std::string_view kExtensions[] = {".mdx", ".cdx", ".ndx", ".ntx", ".idx"};
    const fs::path table(tablePath);
    const std::string stem = table.stem().string();
    std::vector<std::string> found;
    for (const std::string& entry : entryNames(table.parent_path())) {
        const fs::path p(entry);
        const std::string ext = p.extension().string();
        if (!sameIgnoringCase(p.stem().string(), stem))
            continue;
        if (std::any_of(std::begin(kExtensions), std::end(kExtensions),
                        [&](std::string_view e) { return sameIgnoringCase(ext, e); }))
            found.push_back(entry);
    }
    return found;
}

} // namespace quarlex
