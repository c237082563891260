#pragma once
// A growable byte buffer that never zero-fills: the import reads every file
// of a folder into the same two buffers, so their pages are touched once per
// folder rather than once per file, and bytes about to be overwritten are
// never cleared first.
#include <cstddef>
#include <cstring>
#include <memory>

namespace quarlex {

class ByteBuffer {
public:
    char* data() { return m_data.get(); }
    const char* data() const { return m_data.get(); }
    size_t size() const { return m_size; }
    size_t capacity() const { return m_capacity; }

    // At least `n` bytes of room; the first size() bytes are kept.
    void reserve(size_t n) {
        if (n <= m_capacity)
            return;
        size_t grown = m_capacity + m_capacity / 2;
        size_t capacity = n > grown ? n : grown;
        std::unique_ptr<char[]> bigger(new char[capacity]); // left uninitialised
        if (m_size)
            std::memcpy(bigger.get(), m_data.get(), m_size);
        m_data = std::move(bigger);
        m_capacity = capacity;
    }

    // The new bytes past the old size are whatever the buffer held.
    void resize(size_t n) {
        reserve(n);
        m_size = n;
    }

private:
    std::unique_ptr<char[]> m_data;
    size_t m_size = 0;
    size_t m_capacity = 0;
};

} // namespace quarlex
