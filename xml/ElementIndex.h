#pragma once
// The elements of one parsed document numbered in document order, each with
// the end of its subtree, and per element name the ascending list of its
// positions. "The first element of this name beneath this element" is then a
// binary search in the element's range: a lookup costs the same however
// deeply records nest in one another, and an absent name costs no walk.
#include <cstdint>
#include <pugixml.hpp>
#include <string_view>
#include <vector>

namespace quarlex {

class ElementIndex {
public:
    using Pos = std::uint32_t;

    // Numbers the elements beneath `root` (never `root` itself); raises Error
    // for a document of more elements than a position can count.
    void build(pugi::xml_node root);

    Pos size() const { return Pos(m_nodes.size()); }
    pugi::xml_node node(Pos p) const { return m_nodes[p]; }
    // One past the last element beneath the element at `p`.
    Pos end(Pos p) const { return m_ends[p]; }

    // The positions of the elements named `name`, ascending; empty if none.
    const std::vector<Pos>& positions(std::string_view name) const;
    // The first element named `name` in [from, to); `to` if there is none.
    Pos first(std::string_view name, Pos from, Pos to) const;

private:
    struct Name {
        std::string_view text;
        std::vector<Pos> positions;
        mutable size_t hint = 0; // where the last search ended
    };

    std::vector<Pos>& positionsFor(std::string_view name, std::uint64_t hash);
    const Name* find(std::string_view name) const;

    std::vector<pugi::xml_node> m_nodes;
    std::vector<Pos> m_ends;
    std::vector<Name> m_names;
    // Open addressing over m_names: slot holds index + 1, 0 is free.
    std::vector<std::uint32_t> m_slots;
};

} // namespace quarlex
