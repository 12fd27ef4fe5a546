#pragma once

// The shared world's wire format: each message is a four-byte big-endian
// length followed by that many bytes of UTF-8 JSON holding one flat object
// whose values are strings, integers or booleans. Anything else (nesting,
// fractions, null, trailing bytes, bad escapes) is malformed. Frames longer
// than kMaxFrame are oversized: their bytes are skipped and reported once.

#include <cstdint>
#include <map>
#include <string>

namespace ostrelsdk {

// Room for a 64 KiB chat line with its escapes and the message around it.
constexpr uint32_t kMaxFrame = 512 * 1024;

class WireObject
{
public:
    std::map<std::string, std::string> texts;
    std::map<std::string, long long> numbers; // booleans read as 0 and 1

    std::string text(const std::string &key) const;
    long long number(const std::string &key, long long fallback = 0) const;
    bool hasText(const std::string &key) const { return texts.count(key) > 0; }
    WireObject &set(const std::string &key, const std::string &value);
    WireObject &set(const std::string &key, const char *value) { return set(key, std::string(value ? value : "")); }
    WireObject &set(const std::string &key, long long value);
    WireObject &set(const std::string &key, int value) { return set(key, static_cast<long long>(value)); }

    std::string toJson() const;
    // Parses one object; on failure returns false with a short reason.
    static bool fromJson(const std::string &json, WireObject *out, std::string *reason);
    // The length prefix and the JSON.
    std::string frame() const;
};

// Splits a byte stream into frames. feed() appends bytes; next() hands out
// the next whole frame's payload, or reports an oversized one (once, as it
// starts being skipped).
class FrameReader
{
public:
    enum Result { Nothing, Frame, Oversized };
    void feed(const char *data, size_t size) { m_buffer.append(data, size); }
    Result next(std::string *payload, uint32_t *announced = nullptr);
    void clear()
    {
        m_buffer.clear();
        m_skip = 0;
    }

private:
    std::string m_buffer;
    uint64_t m_skip = 0;
};

} // namespace ostrelsdk
