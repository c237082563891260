#pragma once
// TXMLParser: one XML document parsed from text, with name-based lookups
// (document-wide, record subsets walked by index, values inside the current
// item). A lookup that finds nothing yields the empty text or the default,
// never an error; only text that does not parse, or a failed header check,
// raises Error. A parse error names the line and column (in characters) of
// the failure. A tag may be a path of names joined by '/' ("Header/ID").
// SubsetSetItem with an index outside the held list, and subset reads while
// no item is current, raise Error too.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quarlex {

class TXMLParser {
public:
    // Values: the whole document as UTF-8 text, already decoded (an encoding
    // named in its declaration is not applied again). Init: kept for the
    // callers' sake; there is no COM here. ID > 2200: check "Header/ID".
    TXMLParser(std::string_view Values, bool Init, int ID);
    ~TXMLParser();
    TXMLParser(const TXMLParser&) = delete;
    TXMLParser& operator=(const TXMLParser&) = delete;

    void LoadXML(std::string_view Values);
    std::string GetValueByName(std::string_view Tag, std::string_view DefValue) const;
    std::string GetXMLByName(std::string_view Tag) const;
    int InitSubset(std::string_view Tag);
    void SubsetSetItem(int Index);
    std::string GetSubsetValue(std::string_view Tag) const;
    std::string GetSubsetSubValue(std::string_view Root, std::string_view Tag) const;
    std::string GetSubsetValueXML(std::string_view Tag) const;
    std::string GetSubsetValueInnerXML(std::string_view Tag) const;
    std::string GetSubsetXML() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    bool m_init = false;
};

} // namespace quarlex
