#pragma once

namespace OstrelSystem {

class LibraryString;

// An output stream of formatted values. Every write returns the stream, so
// writes chain: `stream << "pid " << pid`.
class OutputStream
{
public:
    virtual ~OutputStream() = default;

    virtual OutputStream &write(const char *bytes, unsigned length) = 0;
    virtual OutputStream &write(const unsigned char *bytes, unsigned length) = 0;
    virtual OutputStream &operator<<(unsigned long long value) = 0;
    virtual OutputStream &operator<<(long value) = 0;
    virtual OutputStream &operator<<(long long value) = 0;
    virtual OutputStream &operator<<(char value) = 0;
    virtual OutputStream &operator<<(unsigned char value) = 0;
    virtual OutputStream &operator<<(short value) = 0;
    virtual OutputStream &operator<<(unsigned short value) = 0;
    virtual OutputStream &operator<<(unsigned long value) = 0;
    virtual OutputStream &operator<<(float value) = 0;
    virtual OutputStream &operator<<(int value) = 0;
    virtual OutputStream &operator<<(bool value) = 0;
    virtual OutputStream &operator<<(const void *pointer) = 0;
    virtual OutputStream &operator<<(const LibraryString &text) = 0;
    virtual OutputStream &operator<<(double value) = 0;
    virtual OutputStream &operator<<(unsigned int value) = 0;
    virtual OutputStream &operator<<(const char *text) = 0;
};

} // namespace OstrelSystem
