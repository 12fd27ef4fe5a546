#include "debugline.h"

#include <QDebug>
#include <QLoggingCategory>

namespace {

// Room for the usual line, so that appending the items seldom grows it.
constexpr int kUsualLength = 160;

bool debugEnabled()
{
    // Without a default category (while the program ends) Qt writes the
    // message unfiltered.
    const QLoggingCategory *category = QLoggingCategory::defaultCategory();
    return !category || category->isDebugEnabled();
}

// Whether QDebug writes the string between quotes unchanged: printable
// ASCII other than the quote and the backslash.
bool needsNoEscape(const QString &text)
{
    for (const QChar c : text) {
        const ushort code = c.unicode();
        if (code < 0x20 || code > 0x7e || code == '"' || code == '\\')
            return false;
    }
    return true;
}

} // namespace

DebugLine::DebugLine(const char *file, int line, const char *function)
    : m_file(file)
    , m_line(line)
    , m_function(function)
    , m_enabled(debugEnabled())
{
    if (m_enabled)
        m_message.reserve(kUsualLength);
}

DebugLine::~DebugLine()
{
    if (!m_enabled)
        return;
    const QMessageLogContext context(m_file, m_line, m_function, "default");
    qt_message_output(QtDebugMsg, context, m_message);
}

void DebugLine::separate()
{
    // Every item but the first follows a space, however empty the one
    // before it was.
    if (m_items++ > 0)
        m_message += QLatin1Char(' ');
}

DebugLine &DebugLine::operator<<(const char *text)
{
    if (m_enabled) {
        separate();
        m_message += QString::fromUtf8(text);
    }
    return *this;
}

DebugLine &DebugLine::operator<<(const QString &text)
{
    if (!m_enabled)
        return *this;
    separate();
    if (needsNoEscape(text)) {
        m_message += QLatin1Char('"');
        m_message += text;
        m_message += QLatin1Char('"');
    } else {
        QString quoted;
        QDebug(&quoted).nospace() << text;
        m_message += quoted;
    }
    return *this;
}

DebugLine &DebugLine::operator<<(int value)
{
    if (m_enabled) {
        separate();
        m_message += QString::number(value);
    }
    return *this;
}
