#pragma once

#include <cstdint>

namespace OstrelSystem {

// A byte string with a short inline buffer: texts of up to 33 bytes live in
// the object, longer ones on the library heap. The characters are always
// NUL-terminated; no encoding is applied. When the heap cannot give memory,
// the string keeps its old text (an assignment leaves it empty).
class LibraryString
{
public:
    static constexpr std::uint32_t kInlineCapacity = 33;

    LibraryString();
    LibraryString(const char *text);
    LibraryString(const char *bytes, std::uint32_t length);
    LibraryString(const LibraryString &other);
    LibraryString &operator=(const LibraryString &other);
    ~LibraryString();

    void assign(const char *bytes, std::uint32_t length);
    void append(const char *bytes, std::uint32_t length);
    void append(const char *text);
    void append(const LibraryString &other) { append(other.data(), other.length()); }

    const char *data() const { return m_data; }
    std::uint32_t length() const { return m_length; }
    bool isEmpty() const { return m_length == 0; }
    std::uint32_t capacity() const { return m_heap ? m_capacity : kInlineCapacity; }
    bool isInline() const { return m_heap == nullptr; }

    // The first `count` bytes; the whole string when `count` is larger.
    LibraryString left(std::uint32_t count) const;
    // From `position` to the end; empty at or past the end.
    LibraryString tail(std::uint32_t position) const;
    // First occurrence of `needle`; -1 when absent, 0 for an empty needle.
    int find(const char *needle, std::uint32_t needleLength) const;
    int find(const char *needle) const;
    // Last byte that is any of `set`; -1 when none.
    int findLastOf(const char *set) const;
    // Last path separator '/'; -1 when none.
    int findLastSeparator() const;

    bool operator==(const char *text) const;

private:
    bool holds(const char *bytes) const;

    std::uint32_t m_length = 0;
    char *m_data = m_inline;
    char *m_heap = nullptr;
    std::uint32_t m_capacity = 0;
    char m_inline[36] = {};
};

// Joins two path parts with exactly one '/' between them (an empty part
// gives the other unchanged). Empty when the result cannot be allocated.
LibraryString path_combine(const LibraryString &first, const LibraryString &second);

} // namespace OstrelSystem
