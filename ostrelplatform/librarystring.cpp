#include "librarystring.h"

#include "platformalloc.h"

#include <cstring>

namespace OstrelSystem {

LibraryString::LibraryString() = default;

LibraryString::LibraryString(const char *text)
{
    if (text)
        assign(text, static_cast<std::uint32_t>(std::strlen(text)));
}

LibraryString::LibraryString(const char *bytes, std::uint32_t length)
{
    assign(bytes, length);
}

LibraryString::LibraryString(const LibraryString &other)
{
    assign(other.m_data, other.m_length);
}

LibraryString &LibraryString::operator=(const LibraryString &other)
{
    if (this != &other)
        assign(other.m_data, other.m_length);
    return *this;
}

LibraryString::~LibraryString()
{
    platform_free(m_heap);
}

bool LibraryString::holds(const char *bytes) const
{
    const auto address = reinterpret_cast<std::uintptr_t>(bytes);
    const auto start = reinterpret_cast<std::uintptr_t>(m_data);
    return address >= start && address <= start + m_length;
}

void LibraryString::assign(const char *bytes, std::uint32_t length)
{
    if (length == 0) {
        m_length = 0;
        m_data[0] = '\0';
        return;
    }
    if (holds(bytes)) {
        // A part of this very string: the buffer may be replaced below.
        const LibraryString copy(bytes, length);
        assign(copy.m_data, copy.m_length);
        return;
    }
    if (length > kInlineCapacity || m_heap) {
        if (m_capacity < length) {
            std::uint64_t capacity = m_heap ? 2ull * m_capacity : length;
            if (capacity < length)
                capacity = length;
            if (capacity >= 0xffffffffull)
                capacity = length;
            char *buffer = static_cast<char *>(platform_alloc(static_cast<std::uint32_t>(capacity) + 1));
            if (!buffer) {
                m_length = 0;
                m_data[0] = '\0';
                return;
            }
            platform_free(m_heap);
            m_heap = buffer;
            m_capacity = static_cast<std::uint32_t>(capacity);
            m_data = m_heap;
        }
    }
    std::memcpy(m_data, bytes, length);
    m_data[length] = '\0';
    m_length = length;
}

void LibraryString::append(const char *bytes, std::uint32_t length)
{
    if (length == 0)
        return;
    if (holds(bytes)) {
        const LibraryString copy(bytes, length);
        append(copy.m_data, copy.m_length);
        return;
    }
    const std::uint64_t newLength = std::uint64_t(m_length) + length;
    if (newLength >= 0xffffffffull)
        return;
    if (newLength > kInlineCapacity && newLength > m_capacity) {
        char *buffer = static_cast<char *>(platform_alloc(static_cast<std::uint32_t>(newLength) + 1));
        if (!buffer)
            return;
        std::memcpy(buffer, m_data, m_length);
        std::memset(buffer + m_length, 0, static_cast<std::size_t>(newLength) + 1 - m_length);
        platform_free(m_heap);
        m_heap = buffer;
        m_capacity = static_cast<std::uint32_t>(newLength);
        m_data = m_heap;
    }
    std::memcpy(m_data + m_length, bytes, length);
    m_length = static_cast<std::uint32_t>(newLength);
    m_data[m_length] = '\0';
}

void LibraryString::append(const char *text)
{
    if (text)
        append(text, static_cast<std::uint32_t>(std::strlen(text)));
}

LibraryString LibraryString::left(std::uint32_t count) const
{
    return LibraryString(m_data, count > m_length ? m_length : count);
}

LibraryString LibraryString::tail(std::uint32_t position) const
{
    if (position >= m_length)
        return LibraryString();
    return LibraryString(m_data + position, m_length - position);
}

int LibraryString::find(const char *needle, std::uint32_t needleLength) const
{
    if (needleLength == 0)
        return 0;
    if (needleLength > m_length)
        return -1;
    for (std::uint32_t i = 0; i + needleLength <= m_length; ++i) {
        if (std::memcmp(m_data + i, needle, needleLength) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

int LibraryString::find(const char *needle) const
{
    return find(needle, needle ? static_cast<std::uint32_t>(std::strlen(needle)) : 0);
}

int LibraryString::findLastOf(const char *set) const
{
    if (!set)
        return -1;
    for (std::uint32_t i = m_length; i > 0; --i) {
        if (m_data[i - 1] != '\0' && std::strchr(set, m_data[i - 1]))
            return static_cast<int>(i - 1);
    }
    return -1;
}

int LibraryString::findLastSeparator() const
{
    return findLastOf("/");
}

bool LibraryString::operator==(const char *text) const
{
    const std::size_t length = text ? std::strlen(text) : 0;
    return length == m_length && std::memcmp(m_data, text ? text : "", length) == 0;
}

LibraryString path_combine(const LibraryString &first, const LibraryString &second)
{
    if (first.isEmpty())
        return second;
    if (second.isEmpty())
        return first;
    std::uint32_t firstLength = first.length();
    while (firstLength > 1 && first.data()[firstLength - 1] == '/')
        --firstLength;
    std::uint32_t skip = 0;
    while (skip < second.length() && second.data()[skip] == '/')
        ++skip;
    const bool needsSeparator = first.data()[firstLength - 1] != '/';
    const std::uint64_t total = std::uint64_t(firstLength) + (needsSeparator ? 1 : 0) + (second.length() - skip);
    LibraryString joined(first.data(), firstLength);
    if (needsSeparator)
        joined.append("/", 1);
    joined.append(second.data() + skip, second.length() - skip);
    if (joined.length() != total)
        return LibraryString(); // an allocation failed on the way
    return joined;
}

} // namespace OstrelSystem
