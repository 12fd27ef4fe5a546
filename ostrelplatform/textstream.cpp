#include "textstream.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace OstrelSystem {

OutputStream &TextStream::appendFormatted(const char *format, ...)
{
    // Every number format fits easily; "%g" of a double needs at most 13.
    char buffer[64];
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    if (length > 0)
        m_text.append(buffer,
                      static_cast<std::uint32_t>(length < int(sizeof buffer) ? length : int(sizeof buffer) - 1));
    return *this;
}

OutputStream &TextStream::write(const char *bytes, unsigned length)
{
    if (bytes)
        m_text.append(bytes, length);
    return *this;
}

OutputStream &TextStream::write(const unsigned char *bytes, unsigned length)
{
    return write(reinterpret_cast<const char *>(bytes), length);
}

OutputStream &TextStream::operator<<(unsigned long long value)
{
    return appendFormatted("%llu", value);
}
OutputStream &TextStream::operator<<(long value)
{
    return appendFormatted("%ld", value);
}
OutputStream &TextStream::operator<<(long long value)
{
    return appendFormatted("%lld", value);
}
OutputStream &TextStream::operator<<(char value)
{
    return appendFormatted("%c", value);
}
// Written as the byte it is, like a char; no caller needs it as a number.
OutputStream &TextStream::operator<<(unsigned char value)
{
    return write(&value, 1);
}
OutputStream &TextStream::operator<<(short value)
{
    return appendFormatted("%hd", value);
}
OutputStream &TextStream::operator<<(unsigned short value)
{
    return appendFormatted("%hu", value);
}
OutputStream &TextStream::operator<<(unsigned long value)
{
    return appendFormatted("%lu", value);
}
OutputStream &TextStream::operator<<(float value)
{
    return appendFormatted("%g", static_cast<double>(value));
}
OutputStream &TextStream::operator<<(int value)
{
    return appendFormatted("%d", value);
}
OutputStream &TextStream::operator<<(bool value)
{
    return appendFormatted("%d", value ? 1 : 0);
}
OutputStream &TextStream::operator<<(double value)
{
    return appendFormatted("%g", value);
}
OutputStream &TextStream::operator<<(unsigned int value)
{
    return appendFormatted("%u", value);
}

OutputStream &TextStream::operator<<(const void *pointer)
{
    if (!pointer)
        return *this;
    return appendFormatted("0x%llx", static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(pointer)));
}

OutputStream &TextStream::operator<<(const LibraryString &text)
{
    m_text.append(text);
    return *this;
}

OutputStream &TextStream::operator<<(const char *text)
{
    m_text.append(text);
    return *this;
}

} // namespace OstrelSystem
