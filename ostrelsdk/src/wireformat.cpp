#include "wireformat.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace ostrelsdk {

namespace {

void appendString(std::string &out, const std::string &s)
{
    out += '"';
    for (unsigned char ch : s) {
        switch (ch) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (ch < 0x20) {
                char buf[8];
                snprintf(buf, sizeof buf, "\\u%04x", ch);
                out += buf;
            } else {
                out += static_cast<char>(ch);
            }
        }
    }
    out += '"';
}

void appendUtf8(std::string &out, unsigned long cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xc0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3f));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xe0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (cp & 0x3f));
    } else {
        out += static_cast<char>(0xf0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3f));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (cp & 0x3f));
    }
}

class Parser
{
public:
    explicit Parser(const std::string &s)
        : m_s(s)
    {
    }

    bool object(WireObject *out)
    {
        space();
        if (!eat('{'))
            return fail("not an object");
        space();
        if (eat('}'))
            return end();
        for (;;) {
            std::string key;
            space();
            if (!string(&key))
                return false;
            if (out->texts.count(key) || out->numbers.count(key))
                return fail("duplicate key");
            space();
            if (!eat(':'))
                return fail("expected ':'");
            space();
            if (peek() == '"') {
                std::string value;
                if (!string(&value))
                    return false;
                out->texts[key] = value;
            } else if (literal("true")) {
                out->numbers[key] = 1;
            } else if (literal("false")) {
                out->numbers[key] = 0;
            } else if (peek() == '-' || (peek() >= '0' && peek() <= '9')) {
                long long value = 0;
                if (!integer(&value))
                    return false;
                out->numbers[key] = value;
            } else {
                return fail("unsupported value");
            }
            space();
            if (eat('}'))
                return end();
            if (!eat(','))
                return fail("expected ',' or '}'");
        }
    }

    std::string reason;

private:
    char peek() const { return m_pos < m_s.size() ? m_s[m_pos] : '\0'; }
    bool eat(char c)
    {
        if (peek() != c || m_pos >= m_s.size())
            return false;
        ++m_pos;
        return true;
    }
    void space()
    {
        while (m_pos < m_s.size()
               && (m_s[m_pos] == ' ' || m_s[m_pos] == '\t' || m_s[m_pos] == '\n' || m_s[m_pos] == '\r'))
            ++m_pos;
    }
    bool fail(const char *why)
    {
        reason = std::string(why) + " at byte " + std::to_string(m_pos);
        return false;
    }
    bool end()
    {
        space();
        return m_pos == m_s.size() ? true : fail("trailing bytes");
    }
    bool literal(const char *word)
    {
        std::string w(word);
        if (m_s.compare(m_pos, w.size(), w) != 0)
            return false;
        m_pos += w.size();
        return true;
    }
    bool integer(long long *value)
    {
        size_t start = m_pos;
        if (peek() == '-')
            ++m_pos;
        size_t digits = m_pos;
        while (peek() >= '0' && peek() <= '9')
            ++m_pos;
        if (m_pos == digits || m_pos - digits > 18)
            return fail("bad integer");
        if (peek() == '.' || peek() == 'e' || peek() == 'E')
            return fail("not an integer");
        *value = std::strtoll(m_s.c_str() + start, nullptr, 10);
        return true;
    }
    bool hex4(unsigned long *cp)
    {
        if (m_pos + 4 > m_s.size())
            return fail("short escape");
        *cp = 0;
        for (int i = 0; i < 4; ++i) {
            char c = m_s[m_pos++];
            int d = (c >= '0' && c <= '9')   ? c - '0'
                    : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                    : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                             : -1;
            if (d < 0)
                return fail("bad escape");
            *cp = *cp * 16 + unsigned(d);
        }
        return true;
    }
    bool string(std::string *out)
    {
        if (!eat('"'))
            return fail("expected a string");
        for (;;) {
            if (m_pos >= m_s.size())
                return fail("unterminated string");
            unsigned char c = static_cast<unsigned char>(m_s[m_pos++]);
            if (c == '"')
                return true;
            if (c < 0x20)
                return fail("control character in string");
            if (c != '\\') {
                *out += static_cast<char>(c);
                continue;
            }
            if (m_pos >= m_s.size())
                return fail("unterminated string");
            char e = m_s[m_pos++];
            switch (e) {
            case '"':
                *out += '"';
                break;
            case '\\':
                *out += '\\';
                break;
            case '/':
                *out += '/';
                break;
            case 'b':
                *out += '\b';
                break;
            case 'f':
                *out += '\f';
                break;
            case 'n':
                *out += '\n';
                break;
            case 'r':
                *out += '\r';
                break;
            case 't':
                *out += '\t';
                break;
            case 'u': {
                unsigned long cp = 0;
                if (!hex4(&cp))
                    return false;
                if (cp >= 0xd800 && cp < 0xdc00) {
                    unsigned long low = 0;
                    if (!eat('\\') || !eat('u') || !hex4(&low) || low < 0xdc00 || low >= 0xe000)
                        return fail("bad surrogate pair");
                    cp = 0x10000 + ((cp - 0xd800) << 10) + (low - 0xdc00);
                } else if (cp >= 0xdc00 && cp < 0xe000) {
                    return fail("bad surrogate pair");
                }
                appendUtf8(*out, cp);
                break;
            }
            default:
                return fail("bad escape");
            }
        }
    }

    const std::string &m_s;
    size_t m_pos = 0;
};

} // namespace

std::string WireObject::text(const std::string &key) const
{
    auto it = texts.find(key);
    return it == texts.end() ? std::string() : it->second;
}

long long WireObject::number(const std::string &key, long long fallback) const
{
    auto it = numbers.find(key);
    return it == numbers.end() ? fallback : it->second;
}

WireObject &WireObject::set(const std::string &key, const std::string &value)
{
    numbers.erase(key);
    texts[key] = value;
    return *this;
}

WireObject &WireObject::set(const std::string &key, long long value)
{
    texts.erase(key);
    numbers[key] = value;
    return *this;
}

std::string WireObject::toJson() const
{
    std::string out = "{";
    for (const auto &t : texts) {
        if (out.size() > 1)
            out += ',';
        appendString(out, t.first);
        out += ':';
        appendString(out, t.second);
    }
    for (const auto &n : numbers) {
        if (out.size() > 1)
            out += ',';
        appendString(out, n.first);
        out += ':';
        out += std::to_string(n.second);
    }
    return out + "}";
}

bool WireObject::fromJson(const std::string &json, WireObject *out, std::string *reason)
{
    WireObject parsed;
    Parser parser(json);
    if (!parser.object(&parsed)) {
        if (reason)
            *reason = parser.reason;
        return false;
    }
    *out = std::move(parsed);
    return true;
}

std::string WireObject::frame() const
{
    std::string json = toJson();
    uint32_t n = static_cast<uint32_t>(json.size());
    std::string out;
    out += static_cast<char>((n >> 24) & 0xff);
    out += static_cast<char>((n >> 16) & 0xff);
    out += static_cast<char>((n >> 8) & 0xff);
    out += static_cast<char>(n & 0xff);
    return out + json;
}

FrameReader::Result FrameReader::next(std::string *payload, uint32_t *announced)
{
    if (m_skip) {
        uint64_t drop = std::min<uint64_t>(m_skip, m_buffer.size());
        m_buffer.erase(0, drop);
        m_skip -= drop;
        if (m_skip)
            return Nothing;
    }
    if (m_buffer.size() < 4)
        return Nothing;
    const auto *b = reinterpret_cast<const unsigned char *>(m_buffer.data());
    uint32_t n = (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | uint32_t(b[3]);
    if (announced)
        *announced = n;
    if (n > kMaxFrame) {
        m_buffer.erase(0, 4);
        m_skip = n;
        uint64_t drop = std::min<uint64_t>(m_skip, m_buffer.size());
        m_buffer.erase(0, drop);
        m_skip -= drop;
        return Oversized;
    }
    if (m_buffer.size() < 4 + size_t(n))
        return Nothing;
    payload->assign(m_buffer, 4, n);
    m_buffer.erase(0, 4 + size_t(n));
    return Frame;
}

} // namespace ostrelsdk
