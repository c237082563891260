#pragma once
// TXMLParser: one XML document parsed from text, with name-based lookups
// (document-wide, record subsets walked by index, values inside the current
// item). A lookup that finds nothing yields the empty text or the default,
// never an error; only text that does not parse, or a failed header check,
// raises Error (a document the memory cannot hold raises std::bad_alloc).
// A parse error names the line and column (in characters) of
// the failure. A tag may be a path of names joined by '/' ("Header/ID").
// SubsetSetItem with an index outside the held list, and subset reads while
// no item is current, raise Error too.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quarlex {

// A text that the reader parses where it lies, without a copy: the parse
// changes it, and it must outlive the reader. validUtf8: the text is known to
// be valid UTF-8 (a code page's decoding), so only its characters are checked.
struct XmlTextInPlace {
    char* data = nullptr;
    size_t size = 0;
    bool validUtf8 = false;
};

class TXMLParser {
public:
    // Values: the whole document as UTF-8 text, already decoded (an encoding
    // named in its declaration is not applied again). Init: kept for the
    // callers' sake; there is no COM here. ID > 2200: check "Header/ID".
    TXMLParser(std::string_view Values, bool Init, int ID);
    TXMLParser(XmlTextInPlace Values, bool Init, int ID);
    ~TXMLParser();
    TXMLParser(const TXMLParser&) = delete;
    TXMLParser& operator=(const TXMLParser&) = delete;

    void LoadXML(std::string_view Values);
    void LoadXML(XmlTextInPlace Values);
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
    void checkHeader(int ID);
    template <class Parse> void load(std::string_view text, bool validUtf8, Parse parse);

    struct Impl;
    std::unique_ptr<Impl> m_impl;
    bool m_init = false;
};

} // namespace quarlex
