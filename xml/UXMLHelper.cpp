#include "xml/UXMLHelper.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <pugixml.hpp>

#include "tables/Error.h"
#include "tables/WholeNumber.h"

namespace quarlex {

namespace {

const unsigned kParseOptions = pugi::parse_default;

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

// Visits the elements beneath `root` in document order, never `root` itself,
// with their depth (0 for a child of `root`), until `visit` returns false.
// The library's own walk: a call per node rather than several per step.
template <class Visit> class ElementWalker : public pugi::xml_tree_walker {
public:
    explicit ElementWalker(Visit& visit) : m_visit(visit) {}
    bool for_each(pugi::xml_node& n) override {
        return n.type() != pugi::node_element || m_visit(n, depth());
    }

private:
    Visit& m_visit;
};

template <class Visit> void forEachElementBelow(pugi::xml_node root, Visit visit) {
    ElementWalker<Visit> walker(visit);
    root.traverse(walker);
}

pugi::xml_node firstElement(pugi::xml_node root, std::string_view tag) {
    TagPath path(tag);
    pugi::xml_node found;
    forEachElementBelow(root, [&](pugi::xml_node n, int) {
        if (path.matches(n, root)) {
            found = n;
            return false;
        }
        return true;
    });
    return found;
}

std::vector<pugi::xml_node> allElements(pugi::xml_node root, std::string_view tag) {
    TagPath path(tag);
    std::vector<pugi::xml_node> found;
    forEachElementBelow(root, [&](pugi::xml_node n, int) {
        if (path.matches(n, root))
            found.push_back(n);
        return true;
    });
    return found;
}

// All character data beneath the element, joined in document order.
std::string textOf(pugi::xml_node element) {
    pugi::xml_node child = element.first_child();
    if (child && !child.next_sibling() &&
        (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata))
        return child.value();
    std::string text;
    for (pugi::xml_node n = child; n;) {
        if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata)
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

// The elements beneath one item in document order, each with a key of its name:
// the reads of a record look up a dozen names beneath it, and one walk of
// the record serves them all. The document never changes under a node, so
// the index stays true for as long as the item is current.
class ItemIndex {
public:
    // An item far larger than a record (a subset over the whole document's
    // root, say) is not indexed: its lookups walk it instead.
    static constexpr size_t kMaxEntries = 1 << 16;

    void build(pugi::xml_node item) {
        m_item = item;
        m_entries.clear();
        m_complete = true;
        forEachElementBelow(item, [&](pugi::xml_node n, int depth) {
            if (m_entries.size() == kMaxEntries) {
                m_complete = false;
                return false;
            }
            const char* name = n.name();
            size_t length = std::strlen(name);
            m_entries.push_back({keyOf(name, length), name, length, depth, n});
            return true;
        });
        if (!m_complete)
            std::vector<Entry>().swap(m_entries);
    }

    pugi::xml_node item() const { return m_item; }
    bool complete() const { return m_complete; }

    // First element named `tag` beneath the item.
    pugi::xml_node first(std::string_view tag) const {
        size_t i = find(tag, 0, m_entries.size());
        return i < m_entries.size() ? m_entries[i].node : pugi::xml_node();
    }

    // First element named `tag` beneath the first element named `root`.
    pugi::xml_node firstBelow(std::string_view root, std::string_view tag) const {
        size_t r = find(root, 0, m_entries.size());
        if (r >= m_entries.size())
            return pugi::xml_node();
        int rootDepth = m_entries[r].depth;
        size_t end = r + 1;
        while (end < m_entries.size() && m_entries[end].depth > rootDepth)
            ++end;
        size_t i = find(tag, r + 1, end);
        return i < end ? m_entries[i].node : pugi::xml_node();
    }

private:
    struct Entry {
        std::uint64_t key;
        const char* name;
        size_t length;
        int depth;
        pugi::xml_node node;
    };

    // Length and last eight bytes: cheap, and it tells the names of a record
    // apart; equal keys are compared in full.
    static std::uint64_t keyOf(const char* name, size_t length) {
        std::uint64_t tail = 0;
        size_t n = length < 8 ? length : 8;
        if (n)
            std::memcpy(&tail, name + length - n, n);
        return tail ^ (std::uint64_t(length) << 56);
    }

    size_t find(std::string_view tag, size_t from, size_t end) const {
        std::uint64_t key = keyOf(tag.data(), tag.size());
        for (size_t i = from; i < end; ++i) {
            const Entry& e = m_entries[i];
            if (e.key == key && e.length == tag.size() &&
                std::memcmp(e.name, tag.data(), tag.size()) == 0)
                return i;
        }
        return end;
    }

    pugi::xml_node m_item;
    std::vector<Entry> m_entries;
    bool m_complete = false;
};

bool isPath(std::string_view tag) {
    return tag.find('/') != std::string_view::npos;
}

} // namespace

struct TXMLParser::Impl {
    std::unique_ptr<pugi::xml_document> doc = std::make_unique<pugi::xml_document>();
    // Documents replaced by a later LoadXML while the subset still points
    // into them: kept alive so that the held nodes stay valid.
    std::vector<std::unique_ptr<pugi::xml_document>> retired;
    std::vector<pugi::xml_node> subset;
    pugi::xml_node current;
    mutable ItemIndex index;

    pugi::xml_node currentItem() const {
        if (!current)
            throw Error("No current item in the XML record subset");
        return current;
    }

    // The index of the current item, or null when the item is not indexed.
    const ItemIndex* currentIndex() const {
        pugi::xml_node item = currentItem();
        if (index.item() != item)
            index.build(item);
        return index.complete() ? &index : nullptr;
    }

    pugi::xml_node firstInItem(std::string_view tag) const {
        const ItemIndex* idx = isPath(tag) ? nullptr : currentIndex();
        return idx ? idx->first(tag) : firstElement(currentItem(), tag);
    }

    pugi::xml_node firstInItem(std::string_view root, std::string_view tag) const {
        const ItemIndex* idx = isPath(root) || isPath(tag) ? nullptr : currentIndex();
        if (idx)
            return idx->firstBelow(root, tag);
        pugi::xml_node r = firstElement(currentItem(), root);
        return r ? firstElement(r, tag) : pugi::xml_node();
    }
};

TXMLParser::TXMLParser(std::string_view Values, bool Init, int ID)
    : m_impl(std::make_unique<Impl>()), m_init(Init) {
    LoadXML(Values);
    if (ID <= 2200)
        return;
    try {
        std::vector<pugi::xml_node> ids = allElements(*m_impl->doc, "Header/ID");
        if (ids.empty())
            throw Error("No expected ID " + std::to_string(ID) + " found!");
        std::string text = textOf(ids.front());
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
    auto doc = std::make_unique<pugi::xml_document>();
    pugi::xml_parse_result result =
        doc->load_buffer(Values.data(), Values.size(), kParseOptions, pugi::encoding_utf8);
    if (!result)
        raiseParseError(std::string(result.description()) + " (" +
                        placeOf(Values, size_t(result.offset)) + ")");
    // The parser takes several top-level elements; a document has one.
    pugi::xml_node second = doc->document_element().next_sibling();
    while (second && second.type() != pugi::node_element)
        second = second.next_sibling();
    if (second)
        raiseParseError("Only one top level element is allowed in an XML document (" +
                        placeOf(Values, size_t(second.offset_debug() - 1)) + ")");
    if (!m_impl->subset.empty() || m_impl->current)
        m_impl->retired.push_back(std::move(m_impl->doc));
    m_impl->doc = std::move(doc);
}

std::string TXMLParser::GetValueByName(std::string_view Tag, std::string_view DefValue) const {
    pugi::xml_node n = firstElement(*m_impl->doc, Tag);
    return n ? textOf(n) : std::string(DefValue);
}

std::string TXMLParser::GetXMLByName(std::string_view Tag) const {
    pugi::xml_node n = firstElement(*m_impl->doc, Tag);
    return n ? markupOf(n) : std::string();
}

int TXMLParser::InitSubset(std::string_view Tag) {
    m_impl->subset = allElements(*m_impl->doc, Tag);
    if (m_impl->subset.size() > size_t(std::numeric_limits<int>::max()))
        throw Error("Too many XML elements named '" + std::string(Tag) + "'");
    if (!m_impl->subset.empty())
        m_impl->current = m_impl->subset.front();
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
    return markupOf(m_impl->currentItem());
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
    pugi::xml_node root = m_impl->doc->document_element();
    if (!root)
        throw Error("The XML document has no root element");
    return attributeOf(root, Attr);
}

std::optional<std::string> TXMLParser::currentItemAttribute(std::string_view Attr) const {
    return attributeOf(m_impl->currentItem(), Attr);
}

std::optional<std::string> TXMLParser::firstElementAttribute(std::string_view Tag,
                                                             std::string_view Attr) const {
    return attributeOf(firstElement(*m_impl->doc, Tag), Attr);
}

std::optional<std::string> TXMLParser::firstItemElementAttribute(std::string_view Tag,
                                                                 std::string_view Attr) const {
    return attributeOf(m_impl->firstInItem(Tag), Attr);
}

std::string TXMLParser::currentItemText() const {
    return textOf(m_impl->currentItem());
}

} // namespace quarlex
