#pragma once
// dBASE III tables for the tests, written byte by byte from a readable
// description (and independently of the code under test): the header with
// its record count, date, production index mark and language mark, the field
// descriptors, the records with their deletion flags, the end-of-file mark.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

namespace quarlex::test {

inline std::string toCp866(std::string_view utf8) {
    iconv_t cd = iconv_open("CP866", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error("iconv has no CP866");
    std::string in(utf8), out(in.size() + 1, '\0');
    char* inPtr = in.data();
    char* outPtr = out.data();
    size_t inLeft = in.size(), outLeft = out.size();
    const size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1))
        throw std::runtime_error("not in CP866: " + std::string(utf8));
    out.resize(out.size() - outLeft);
    return out;
}

struct DbfField {
    std::string name;
    char type; // 'C', 'N', 'D'
    int width;
    int decimals = 0;
};

// Values in UTF-8: character fields are stored in code page 866, left-aligned,
// numeric fields right-aligned, both padded with blanks. A value that starts
// with '\x01' is stored as the raw bytes that follow.
struct DbfRow {
    std::vector<std::string> values;
    bool deleted = false;
};

struct DbfSpec {
    std::vector<DbfField> fields;
    std::vector<DbfRow> rows;
    unsigned char languageMark = 0x65; // code page 866
    unsigned char indexMark = 0;
    bool endMark = true;
};

inline std::string fieldBytes(const DbfField& f, const std::string& value) {
    std::string bytes = !value.empty() && value[0] == '\x01' ? value.substr(1)
                        : f.type == 'C'                      ? toCp866(value)
                                                             : value;
    if (bytes.size() > static_cast<std::size_t>(f.width))
        throw std::runtime_error("fixture value too wide for " + f.name + ": " + value);
    const std::string pad(static_cast<std::size_t>(f.width) - bytes.size(), ' ');
    return f.type == 'N' ? pad + bytes : bytes + pad;
}

inline std::string recordBytes(const DbfSpec& layout, const DbfRow& row) {
    std::string record(1, row.deleted ? '*' : ' ');
    for (std::size_t i = 0; i < layout.fields.size(); ++i)
        record += fieldBytes(layout.fields[i], i < row.values.size() ? row.values[i] : "");
    return record;
}

inline int recordLength(const DbfSpec& layout) {
    int length = 1;
    for (const DbfField& f : layout.fields)
        length += f.width;
    return length;
}

inline int headerLength(const DbfSpec& layout) {
    return 32 + 32 * static_cast<int>(layout.fields.size()) + 1;
}

inline void putLe(std::string& s, std::size_t at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        s[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

inline std::string dbfBytes(const DbfSpec& layout) {
    std::string header(32, '\0');
    header[0] = 0x03;
    header[1] = 120; // last update 2020-01-02: a write must make it today
    header[2] = 1;
    header[3] = 2;
    putLe(header, 4, static_cast<std::uint32_t>(layout.rows.size()), 4);
    putLe(header, 8, static_cast<std::uint32_t>(headerLength(layout)), 2);
    putLe(header, 10, static_cast<std::uint32_t>(recordLength(layout)), 2);
    header[28] = static_cast<char>(layout.indexMark);
    header[29] = static_cast<char>(layout.languageMark);
    for (const DbfField& f : layout.fields) {
        std::string d(32, '\0');
        d.replace(0, f.name.size(), f.name);
        d[11] = f.type;
        d[16] = static_cast<char>(f.width);
        d[17] = static_cast<char>(f.decimals);
        header += d;
    }
    header += '\x0D';
    for (const DbfRow& row : layout.rows)
        header += recordBytes(layout, row);
    if (layout.endMark)
        header += '\x1A';
    return header;
}

inline std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline void writeDbf(const std::filesystem::path& path, const DbfSpec& layout) {
    writeBytes(path, dbfBytes(layout));
}

// Offset of record `index` (0-based) in the file.
inline std::size_t recordOffset(const DbfSpec& layout, int index) {
    return static_cast<std::size_t>(headerLength(layout) + index * recordLength(layout));
}

inline std::uint32_t headerCount(const std::string& bytes) {
    std::uint32_t n = 0;
    for (int i = 3; i >= 0; --i)
        n = n << 8 | static_cast<unsigned char>(bytes[4 + static_cast<std::size_t>(i)]);
    return n;
}

// A scratch folder, removed with the test.
class ScratchDir {
public:
    ScratchDir() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_path = std::filesystem::temp_directory_path() /
                 ("quarlex-sync-" + std::to_string(getpid()) + "-" + info->test_suite_name() + "-" +
                  info->name());
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~ScratchDir() { std::filesystem::remove_all(m_path); }
    const std::filesystem::path& path() const { return m_path; }
    std::string str() const { return m_path.string(); }

private:
    std::filesystem::path m_path;
};

// What python3-dbfread, a reader that shares no code with ours, makes of a
// table: "count=<header count> read=<records up to the end mark>", then one
// line per live record, "NAME=value|..." with trailing blanks dropped. Empty
// optional when dbfread is not installed.
inline std::optional<std::string> readWithDbfread(const std::filesystem::path& table) {
    const std::string python = QUARLEX_SYNC_PYTHON;
    if (std::system((python + " -c 'import dbfread' 2>/dev/null").c_str()) != 0)
        return std::nullopt;
    const std::string command =
        python + " '" + QUARLEX_SYNC_TEST_DIR + "/read_dbf.py' '" + table.string() + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return std::nullopt;
    std::string output;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
    const int status = pclose(pipe);
    if (status != 0)
        return "dbfread failed: " + output;
    return output;
}

} // namespace quarlex::test
