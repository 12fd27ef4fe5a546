#pragma once

#include "librarystring.h"
#include "outputstream.h"

namespace OstrelSystem {

// The output stream that appends every write, formatted in the printf
// manner, to a library string of its own.
class TextStream : public OutputStream
{
public:
    using OutputStream::operator<<;

    OutputStream &write(const char *bytes, unsigned length) override;
    OutputStream &write(const unsigned char *bytes, unsigned length) override;
    OutputStream &operator<<(unsigned long long value) override;
    OutputStream &operator<<(long value) override;
    OutputStream &operator<<(long long value) override;
    OutputStream &operator<<(char value) override;
    OutputStream &operator<<(unsigned char value) override;
    OutputStream &operator<<(short value) override;
    OutputStream &operator<<(unsigned short value) override;
    OutputStream &operator<<(unsigned long value) override;
    OutputStream &operator<<(float value) override;
    OutputStream &operator<<(int value) override;
    OutputStream &operator<<(bool value) override;
    OutputStream &operator<<(const void *pointer) override;
    OutputStream &operator<<(const LibraryString &text) override;
    OutputStream &operator<<(double value) override;
    OutputStream &operator<<(unsigned int value) override;
    OutputStream &operator<<(const char *text) override;

    // A copy of the text written so far.
    LibraryString text() const { return m_text; }

private:
    OutputStream &appendFormatted(const char *format, ...) __attribute__((format(printf, 2, 3)));

    LibraryString m_text;
};

} // namespace OstrelSystem
