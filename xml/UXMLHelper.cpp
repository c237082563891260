#include "xml/UXMLHelper.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <pugixml.hpp>

#include "tables/Error.h"
#include "tables/WholeNumber.h"
#include "xml/ElementIndex.h"
#include "xml/WellFormed.h"

namespace quarlex {

namespace {

const unsigned kParseOptions = pugi::parse_default | pugi::parse_embed_pcdata;

bool nameIs(const char* name, std::string_view wanted) {
    return std::strncmp(name, wanted.data(), wanted.size()) == 0 && name[wanted.size()] == '\0';
}

// A tag name, or a path of names joined by '/': the elements named by the
// last step whose parents, innermost first, carry the earlier steps.
struct TagPath {
    std::vector<std::string_view> steps;

    explicit TagPath(std::string_view tag) {
        size_t start = 0;
        while (true) {
            size_t slash = tag.find('/', start);
            steps.push_back(tag.substr(start, slash - start));
            if (slash == std::string_view::npos)
                break;
            start = slash + 1;
        }
    }

    // `node` lies beneath `root`; the ancestors that the earlier steps name
    // must lie beneath it too.
    bool matches(pugi::xml_node node, pugi::xml_node root) const {
        if (!nameIs(node.name(), steps.back()))
            return false;
        pugi::xml_node p = node.parent();
        for (size_t j = steps.size() - 1; j-- > 0;) {
            if (!p || p == root || p.type() != pugi::node_element || !nameIs(p.name(), steps[j]))
                return false;
            p = p.parent();
        }
        return true;
    }
};

// All character data beneath the element, joined in document order.
// With parse_embed_pcdata an element's text before its first child is the
// element's own value, which halves the nodes of a record: text comes from
// elements, character data and CDATA nodes alike, each before its children.
std::string textOf(pugi::xml_node element) {
    pugi::xml_node child = element.first_child();
    if (!child)
        return element.value();
    std::string text = element.value();
    for (pugi::xml_node n = child; n;) {
        text += n.value();
        if (n.first_child()) {
            n = n.first_child();
            continue;
        }
        while (n && !n.next_sibling()) {
            n = n.parent();
            if (n == element)
                return text;
        }
        if (n)
            n = n.next_sibling();
    }
    return text;
}

struct StringWriter : pugi::xml_writer {
    std::string out;
    void write(const void* data, size_t size) override {
        out.append(static_cast<const char*>(data), size);
    }
};

std::string markupOf(pugi::xml_node element) {
    StringWriter writer;
    element.print(writer, "", pugi::format_raw, pugi::encoding_utf8);
    return std::move(writer.out);
}

// Line and column (in characters) of a byte offset into the text.
std::string placeOf(std::string_view text, size_t offset) {
    if (offset > text.size())
        offset = text.size();
    size_t line = 1;
    size_t column = 1;
    for (size_t i = 0; i < offset; ++i) {
        unsigned char c = (unsigned char)text[i];
        if (c == '\n' || (c == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) {
            ++line;
            column = 1;
        } else if ((c & 0xC0) != 0x80 && c != '\r') {
            ++column;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

[[noreturn]] void raiseParseError(const std::string& reason) {
    throw Error("Error while parsing XML document:\r\n\r\n" + reason);
}

} // namespace

// One parsed document with its element index. The subset holds on to the
// document it was made from, so that a later LoadXML leaves it usable.
struct Document {
    pugi::xml_document doc;
    ElementIndex index;
};

struct TXMLParser::Impl {
    using Pos = ElementIndex::Pos;

    std::shared_ptr<Document> doc = std::make_shared<Document>();
    std::shared_ptr<Document> subsetDoc; // the document of `subset` and `current`
    std::vector<Pos> subset;
    std::optional<Pos> current;

    // The first element that `path` names in [from, to) of `d`, whose earlier
    // steps lie beneath `scope`; `to` if there is none. A plain name is a
    // binary search; a path checks the parents of each candidate.
    static Pos firstOf(const Document& d, std::string_view tag, Pos from, Pos to,
                       pugi::xml_node scope) {
        if (tag.find('/') == std::string_view::npos)
            return d.index.first(tag, from, to);
        TagPath path(tag);
        const std::vector<Pos>& list = d.index.positions(path.steps.back());
        for (auto it = std::lower_bound(list.begin(), list.end(), from);
             it != list.end() && *it < to; ++it)
            if (path.matches(d.index.node(*it), scope))
                return *it;
        return to;
    }

    static std::vector<Pos> allOf(const Document& d, const TagPath& path) {
        const std::vector<Pos>& list = d.index.positions(path.steps.back());
        if (path.steps.size() == 1)
            return list;
        std::vector<Pos> out;
        for (Pos p : list)
            if (path.matches(d.index.node(p), d.doc))
                out.push_back(p);
        return out;
    }

    pugi::xml_node firstInDocument(std::string_view tag) const {
        Pos p = firstOf(*doc, tag, 0, doc->index.size(), doc->doc);
        return p < doc->index.size() ? doc->index.node(p) : pugi::xml_node();
    }

    Pos currentPos() const {
        if (!current)
            throw Error("No current item in the XML record subset");
        return *current;
    }

    // The first element named `tag` beneath the element at `p`.
    pugi::xml_node firstBeneath(Pos p, std::string_view tag, Pos* found = nullptr) const {
        const ElementIndex& index = subsetDoc->index;
        Pos end = index.end(p);
        Pos q = firstOf(*subsetDoc, tag, p + 1, end, index.node(p));
        if (found)
            *found = q;
        return q < end ? index.node(q) : pugi::xml_node();
    }

    pugi::xml_node firstInItem(std::string_view tag) const {
        return firstBeneath(currentPos(), tag);
    }

    // The last Root looked up beneath the current item: a record's pairs
    // come two by two ("Год" and "Квартал" of one period).
    mutable std::string lastRoot;
    mutable Pos lastRootItem = 0, lastRootPos = 0;
    mutable const Document* lastRootDoc = nullptr;

    pugi::xml_node firstInItem(std::string_view root, std::string_view tag) const {
        const Pos item = currentPos();
        Pos r = 0;
        if (lastRootDoc == subsetDoc.get() && lastRootItem == item && lastRoot == root) {
            r = lastRootPos;
        } else {
            if (!firstBeneath(item, root, &r))
                r = subsetDoc->index.end(item);
            lastRoot.assign(root);
            lastRootItem = item;
            lastRootPos = r;
            lastRootDoc = subsetDoc.get();
        }
        if (r >= subsetDoc->index.end(item))
            return pugi::xml_node();
        return firstBeneath(r, tag);
    }
};

TXMLParser::TXMLParser(std::string_view Values, bool /*Init*/, int ID)
    : m_impl(std::make_unique<Impl>()) {
    LoadXML(Values);
    checkHeader(ID);
}

TXMLParser::TXMLParser(XmlTextInPlace Values, bool /*Init*/, int ID)
    : m_impl(std::make_unique<Impl>()) {
    LoadXML(Values);
    checkHeader(ID);
}

void TXMLParser::checkHeader(int ID) {
    if (ID <= 2200)
        return;
    try {
        pugi::xml_node id = m_impl->firstInDocument("Header/ID");
        if (!id)
            throw Error("No expected ID " + std::to_string(ID) + " found!");
        std::string text = textOf(id);
        std::optional<int> found = parseInt32(text);
        if (!found)
            throw Error("Bad ID '" + text + "' value");
        if (*found != ID)
            throw Error("Unexpected ID " + std::to_string(*found) + " instead of " +
                        std::to_string(ID) + " received");
    } catch (const Error& e) {
        raiseParseError(std::string("XML document header checking failed : ") + e.what());
    }
}

TXMLParser::~TXMLParser() = default;

void TXMLParser::LoadXML(std::string_view Values) {
    load(Values, false, [&](pugi::xml_document& doc) {
        return doc.load_buffer(Values.data(), Values.size(), kParseOptions, pugi::encoding_utf8);
    });
}

void TXMLParser::LoadXML(XmlTextInPlace Values) {
    std::string_view text(Values.data, Values.size);
    load(text, Values.validUtf8, [&](pugi::xml_document& doc) {
        return doc.load_buffer_inplace(Values.data, Values.size, kParseOptions,
                                       pugi::encoding_utf8);
    });
}

template <class Parse> void TXMLParser::load(std::string_view text, bool validUtf8, Parse parse) {
    // The document model takes much that is not XML; what it would let
    // through is refused here first, with the place of the fault.
    if (std::optional<Malformation> fault = findMalformation(text, validUtf8))
        raiseParseError(fault->reason + " (" + placeOf(text, fault->offset) + ")");
    auto doc = std::make_shared<Document>();
    pugi::xml_parse_result result = parse(doc->doc);
    if (result.status == pugi::status_out_of_memory)
        throw std::bad_alloc();
    // Text parsed in place has been changed by now: the place is near, not
    // exact. The check above leaves little for the model to refuse.
    if (!result)
        raiseParseError(std::string(result.description()) + " (" +
                        placeOf(text, size_t(result.offset)) + ")");
    doc->index.build(doc->doc);
    m_impl->doc = std::move(doc);
}

std::string TXMLParser::GetValueByName(std::string_view Tag, std::string_view DefValue) const {
    pugi::xml_node n = m_impl->firstInDocument(Tag);
    return n ? textOf(n) : std::string(DefValue);
}

std::string TXMLParser::GetXMLByName(std::string_view Tag) const {
    pugi::xml_node n = m_impl->firstInDocument(Tag);
    return n ? markupOf(n) : std::string();
}

int TXMLParser::InitSubset(std::string_view Tag) {
    std::vector<ElementIndex::Pos> found = Impl::allOf(*m_impl->doc, TagPath(Tag));
    if (found.size() > size_t(std::numeric_limits<int>::max()))
        throw Error("Too many XML elements named '" + std::string(Tag) + "'");
    if (!found.empty()) {
        m_impl->current = found.front();
        m_impl->subsetDoc = m_impl->doc;
    } else if (!m_impl->current) {
        m_impl->subsetDoc.reset();
    }
    // The current item of an earlier subset stays current after an empty
    // one, and keeps its document alive; an empty list needs none.
    m_impl->subset = std::move(found);
    m_impl->lastRootDoc = nullptr; // a new document may take the old one's place
    return int(m_impl->subset.size());
}

void TXMLParser::SubsetSetItem(int Index) {
    if (Index < 0 || size_t(Index) >= m_impl->subset.size())
        throw Error("XML record subset index " + std::to_string(Index) + " out of range (" +
                    std::to_string(m_impl->subset.size()) + " items)");
    m_impl->current = m_impl->subset[size_t(Index)];
}

std::string TXMLParser::GetSubsetValue(std::string_view Tag) const {
    pugi::xml_node n = m_impl->firstInItem(Tag);
    return n ? textOf(n) : std::string();
}

std::string TXMLParser::GetSubsetSubValue(std::string_view Root, std::string_view Tag) const {
    pugi::xml_node n = m_impl->firstInItem(Root, Tag);
    return n ? textOf(n) : std::string();
}

std::string TXMLParser::GetSubsetValueXML(std::string_view Tag) const {
    pugi::xml_node n = m_impl->firstInItem(Tag);
    return n ? markupOf(n) : std::string();
}

std::string TXMLParser::GetSubsetValueInnerXML(std::string_view Tag) const {
    // The element's own tags are part of it, as the document model has it.
    return GetSubsetValueXML(Tag);
}

std::string TXMLParser::GetSubsetXML() const {
    ElementIndex::Pos p = m_impl->currentPos(); // raises Error when there is no item
    return markupOf(m_impl->subsetDoc->index.node(p));
}

// Node access for the typed reads and attribute reads of UXMLHelperTyped.cpp.

namespace {

std::optional<std::string> attributeOf(pugi::xml_node element, std::string_view attr) {
    if (!element)
        return std::nullopt;
    for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute())
        if (nameIs(a.name(), attr))
            return std::string(a.value());
    return std::nullopt;
}

} // namespace

std::optional<std::string> TXMLParser::rootAttribute(std::string_view Attr) const {
    pugi::xml_node root = m_impl->doc->doc.document_element();
    if (!root)
        throw Error("The XML document has no root element");
    return attributeOf(root, Attr);
}

std::optional<std::string> TXMLParser::currentItemAttribute(std::string_view Attr) const {
    const ElementIndex::Pos p = m_impl->currentPos(); // raises Error when there is no item
    return attributeOf(m_impl->subsetDoc->index.node(p), Attr);
}

std::optional<std::string> TXMLParser::firstElementAttribute(std::string_view Tag,
                                                             std::string_view Attr) const {
    return attributeOf(m_impl->firstInDocument(Tag), Attr);
}

std::optional<std::string> TXMLParser::firstItemElementAttribute(std::string_view Tag,
                                                                 std::string_view Attr) const {
    return attributeOf(m_impl->firstInItem(Tag), Attr);
}

std::string TXMLParser::currentItemText() const {
    const ElementIndex::Pos p = m_impl->currentPos(); // raises Error when there is no item
    return textOf(m_impl->subsetDoc->index.node(p));
}

} // namespace quarlex
