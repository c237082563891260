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
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tables/NumberFormat.h"
#include "xml/IPv6Utils_2007.h"

namespace quarlex {

// A date-time: days since 30 December 1899, the time of day as the fraction
// (before that day the fraction still counts forward from midnight).
using TDateTime = double;

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

    // Typed reads and attribute reads (UXMLHelperTyped.cpp). Each typed read
    // comes as a pair: the first element named Tag in the document, or beneath
    // the current item. A missing element or text that does not convert
    // yields DefValue; an IP read yields 0.0.0.0 for a missing element.
    // Whole numbers: leading spaces, one sign, then decimal digits, or
    // hexadecimal ones behind '$', 'x', 'X', "0x" or "0X"; the value must fit
    // the type. A Cardinal is the low 32 bits of the 64-bit reading.
    // Booleans: a number in `Format` (zero is false) or "True"/"False" in any
    // letter case; they return DefValue on any failure, the lookup's too.
    // Date-times: XMLStrToDateTime below.
public:
    int GetValueAsInteger(std::string_view Tag, int DefValue) const;
    std::int64_t GetValueAsInt64(std::string_view Tag, std::int64_t DefValue) const;
    std::uint32_t GetValueAsDWord(std::string_view Tag, std::uint32_t DefValue) const;
    bool GetValueAsBoolean(std::string_view Tag, bool DefValue, const NumberFormat& Format) const;
    TDateTime GetValueAsDateTime(std::string_view Tag, TDateTime DefValue) const;
    TIPv6Addr GetValueAsIP(std::string_view Tag, const TIPv6Addr& DefValue) const;
    TIPv6Addr GetValueAsIP(std::string_view Tag) const;
    int GetSubsetValueAsInteger(std::string_view Tag, int DefValue) const;
    std::int64_t GetSubsetValueAsInt64(std::string_view Tag, std::int64_t DefValue) const;
    std::uint32_t GetSubsetValueAsDword(std::string_view Tag, std::uint32_t DefValue) const;
    bool GetSubsetValueAsBoolean(std::string_view Tag, bool DefValue,
                                 const NumberFormat& Format) const;
    TDateTime GetSubsetValueAsDateTime(std::string_view Tag, TDateTime DefValue) const;
    TIPv6Addr GetSubsetValueAsIP(std::string_view Tag, const TIPv6Addr& DefValue) const;
    TIPv6Addr GetSubsetValueAsIP(std::string_view Tag) const;
    // The current item's own text as an Integer.
    int GetCurrentNodeAsInteger(int DefValue) const;

    // Attribute reads: the attribute's text when the element and the
    // attribute exist (an empty attribute yields ""), DefValue otherwise.
    // Attr of the root element; a document without one raises Error.
    std::string GetAttributeByName(std::string_view Attr, std::string_view DefValue) const;
    // Attr of the first element named Tag in the document.
    std::string GetValueAttributeByName(std::string_view Tag, std::string_view Attr,
                                        std::string_view DefValue) const;
    // Attr of the current item; DefValue also when no item is current.
    std::string GetSubsetAttributeByName(std::string_view Attr, std::string_view DefValue) const;
    // Attr of the first element named Tag beneath the current item; no
    // current item raises Error, as the subset reads do.
    std::string GetSubsetValueAttributeByName(std::string_view Tag, std::string_view Attr,
                                              std::string_view DefValue) const;

private:
    // The IP value of an element's text: with the marker "1" IPv6 text (whose
    // result must be IPv6), otherwise the IPv4 value as a whole number.
    static TIPv6Addr XMLValueToIP(std::string_view Text, std::string_view Marker,
                                  const TIPv6Addr& DefValue);
    // Node access for the reads above (UXMLHelper.cpp); nullopt when the
    // element or the attribute is absent.
    std::optional<std::string> rootAttribute(std::string_view Attr) const;
    std::optional<std::string> currentItemAttribute(std::string_view Attr) const;
    std::optional<std::string> firstElementAttribute(std::string_view Tag,
                                                     std::string_view Attr) const;
    std::optional<std::string> firstItemElementAttribute(std::string_view Tag,
                                                         std::string_view Attr) const;
    std::string currentItemText() const;
};

// The compact form YYYYMMDDhhmmss with optional milliseconds zzz; DefValue when
// a field is missing, not a number or out of range. Text after the
// milliseconds is ignored.
TDateTime XMLStrToDateTime(std::string_view Text, TDateTime DefValue);

} // namespace quarlex
