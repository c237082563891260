#include "tables/TableDef.h"

namespace quarlex {

namespace {

char upperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

} // namespace

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && upperAscii(a[i]) != upperAscii(b[i]))
            return false;
    return true;
}

std::string upperName(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        c = upperAscii(c);
    return out;
}

const FieldDef* TableDef::field(std::string_view fieldName) const {
    for (const auto& f : fields)
        if (sameName(f.name, fieldName))
            return &f;
    return nullptr;
}

} // namespace quarlex
