#include "tables/TableDef.h"

namespace quarlex {

namespace {

// Column names are ASCII; fold only A-Z (no locale lookup: this runs for every
// field assignment).
char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

} // namespace

const FieldDef* TableDef::field(std::string_view fieldName) const {
    for (const auto& f : fields)
        if (sameName(f.name, fieldName))
            return &f;
    return nullptr;
}

} // namespace quarlex
