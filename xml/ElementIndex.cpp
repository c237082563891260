#include "xml/ElementIndex.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "tables/Error.h"

namespace quarlex {

namespace {

// Length and the last eight bytes, mixed: the names of a document differ
// there, and reading them costs far less than hashing every byte.
std::uint64_t hashOf(std::string_view name) {
    std::uint64_t tail = 0;
    size_t n = name.size() < 8 ? name.size() : 8;
    if (n)
        std::memcpy(&tail, name.data() + name.size() - n, n);
    std::uint64_t h = (tail ^ (std::uint64_t(name.size()) << 56)) * 0x9E3779B97F4A7C15ull;
    return h ^ (h >> 29);
}

const std::vector<ElementIndex::Pos> kNone;

} // namespace

const ElementIndex::Name* ElementIndex::find(std::string_view name) const {
    if (m_slots.empty())
        return nullptr;
    size_t mask = m_slots.size() - 1;
    for (size_t s = hashOf(name) & mask;; s = (s + 1) & mask) {
        std::uint32_t slot = m_slots[s];
        if (slot == 0)
            return nullptr;
        if (m_names[slot - 1].text == name)
            return &m_names[slot - 1];
    }
}

std::vector<ElementIndex::Pos>& ElementIndex::positionsFor(std::string_view name,
                                                           std::uint64_t hash) {
    size_t mask = m_slots.size() - 1;
    size_t s = hash & mask;
    for (;; s = (s + 1) & mask) {
        std::uint32_t slot = m_slots[s];
        if (slot == 0)
            break;
        if (m_names[slot - 1].text == name)
            return m_names[slot - 1].positions;
    }
    if ((m_names.size() + 1) * 2 > m_slots.size()) { // keep the table at most half full
        std::vector<std::uint32_t> slots(m_slots.size() * 2, 0);
        for (std::uint32_t i = 0; i < m_names.size(); ++i) {
            size_t t = hashOf(m_names[i].text) & (slots.size() - 1);
            while (slots[t] != 0)
                t = (t + 1) & (slots.size() - 1);
            slots[t] = i + 1;
        }
        m_slots.swap(slots);
        mask = m_slots.size() - 1;
        for (s = hash & mask; m_slots[s] != 0;)
            s = (s + 1) & mask;
    }
    m_names.push_back({name, {}});
    m_slots[s] = std::uint32_t(m_names.size());
    return m_names.back().positions;
}

void ElementIndex::build(pugi::xml_node root) {
    m_nodes.clear();
    m_ends.clear();
    m_names.clear();
    m_slots.assign(64, 0);
    std::vector<Pos> open; // the elements whose subtree is being numbered
    pugi::xml_node n = root.first_child();
    while (n) {
        if (n.type() == pugi::node_element) {
            if (m_nodes.size() >= std::numeric_limits<Pos>::max())
                throw Error("Too many elements in the XML document");
            Pos p = Pos(m_nodes.size());
            m_nodes.push_back(n);
            m_ends.push_back(0);
            std::string_view name = n.name();
            positionsFor(name, hashOf(name)).push_back(p);
            if (pugi::xml_node child = n.first_child()) {
                open.push_back(p);
                n = child;
                continue;
            }
            m_ends[p] = p + 1;
        }
        // Up to the nearest ancestor with a next sibling, closing the
        // subtrees left on the way.
        while (!n.next_sibling()) {
            n = n.parent();
            if (n == root || !n)
                return;
            m_ends[open.back()] = size();
            open.pop_back();
        }
        n = n.next_sibling();
    }
}

const std::vector<ElementIndex::Pos>& ElementIndex::positions(std::string_view name) const {
    const Name* found = find(name);
    return found ? found->positions : kNone;
}

ElementIndex::Pos ElementIndex::first(std::string_view name, Pos from, Pos to) const {
    const Name* found = find(name);
    if (!found)
        return to;
    // Records are read in document order, so the answer for the next record
    // lies just past the last one: the search gallops on from there.
    const std::vector<Pos>& list = found->positions;
    const size_t size = list.size();
    const size_t hint = found->hint;
    size_t lo = 0, end = std::min(hint + 1, size);
    if (hint < size && list[hint] < from) {
        lo = hint + 1;
        size_t probe = lo, step = 1;
        while (probe < size && list[probe] < from) {
            lo = probe + 1;
            probe = lo + step;
            step *= 2;
        }
        end = std::min(probe + 1, size);
    }
    size_t i = size_t(std::lower_bound(list.begin() + lo, list.begin() + end, from) - list.begin());
    if (i < size)
        found->hint = i;
    return i < size && list[i] < to ? list[i] : to;
}

} // namespace quarlex
