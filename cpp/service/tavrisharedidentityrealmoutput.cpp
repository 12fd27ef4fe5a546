#include "tavrisharedidentityrealmoutput.h"

#include <QtEndian>

namespace {

template <typename T>
void appendLittleEndian(QByteArray &bytes, T value)
{
    char raw[sizeof(T)];
    qToLittleEndian<T>(value, raw);
    bytes.append(raw, int(sizeof(T)));
}

QString upToNul(const QString &text)
{
    const int nul = text.indexOf(QChar(0));
    return nul < 0 ? text : text.left(nul);
}

} // namespace

TavriSharedIdentityRealmOutput::TavriSharedIdentityRealmOutput(int messageType, int type)
    : m_messageType(messageType)
    , m_type(type)
{
    int32(messageType);
    int32(0);
    int32(type);
}

TavriSharedIdentityRealmOutput TavriSharedIdentityRealmOutput::response(int type, int status, const QString &statusText,
                                                                        TavriSharedIdentityRealmRequestPtr request)
{
    TavriSharedIdentityRealmOutput output(Response, type);
    output.int32(status);
    output.string(statusText);
    output.int32(request ? request->type : 0);
    output.m_request = std::move(request);
    return output;
}

TavriSharedIdentityRealmOutput TavriSharedIdentityRealmOutput::event(int type)
{
    return TavriSharedIdentityRealmOutput(Event, type);
}

TavriSharedIdentityRealmOutput &TavriSharedIdentityRealmOutput::int32(qint32 value)
{
    appendLittleEndian(m_body, value);
    return *this;
}

TavriSharedIdentityRealmOutput &TavriSharedIdentityRealmOutput::int16(qint16 value)
{
    appendLittleEndian(m_body, value);
    return *this;
}

TavriSharedIdentityRealmOutput &TavriSharedIdentityRealmOutput::byte(bool value)
{
    m_body.append(char(value ? 1 : 0));
    return *this;
}

TavriSharedIdentityRealmOutput &TavriSharedIdentityRealmOutput::string(const QString &text)
{
    return string(upToNul(text).toUtf8());
}

TavriSharedIdentityRealmOutput &TavriSharedIdentityRealmOutput::string(const QByteArray &utf8)
{
    const int nul = utf8.indexOf('\0');
    m_body.append(nul < 0 ? utf8 : utf8.left(nul));
    m_body.append('\0');
    return *this;
}

TavriSharedIdentityRealmOutput &TavriSharedIdentityRealmOutput::wideString(const QString &text)
{
    for (const QChar unit : upToNul(text))
        appendLittleEndian<quint16>(m_body, unit.unicode());
    appendLittleEndian<quint16>(m_body, 0);
    return *this;
}

TavriSharedIdentityRealmOutput &TavriSharedIdentityRealmOutput::strings(const QStringList &list)
{
    for (const QString &text : list)
        string(text);
    return *this;
}

TavriSharedIdentityRealmOutput &TavriSharedIdentityRealmOutput::deviceBlock(int kind, const QString &id,
                                                                            const QString &name)
{
    const QString wideId = upToNul(id);
    const QString wideName = upToNul(name);
    int32(12 + 2 * (wideId.size() + wideName.size()));
    int32(kind);
    wideString(wideId);
    wideString(wideName);
    return *this;
}

QByteArray TavriSharedIdentityRealmOutput::frame() const
{
    QByteArray bytes;
    bytes.reserve(4 + m_body.size());
    appendLittleEndian<qint32>(bytes, m_body.size());
    bytes.append(m_body);
    return bytes;
}
