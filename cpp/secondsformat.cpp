#include "secondsformat.h"

SecondsFormat::SecondsFormat(const QString &format)
    : m_format(format)
{
}

QString SecondsFormat::text(const QDateTime &when)
{
    // The format reads the date and the time of day only, so the same local
    // date and second give the same text.
    const QDate date = when.date();
    const QTime time = when.time();
    if (!date.isValid() || !time.isValid())
        return when.toString(m_format);
    const int second = time.msecsSinceStartOfDay() / 1000;
    if (date.toJulianDay() != m_day || second != m_second) {
        m_text = when.toString(m_format);
        m_day = date.toJulianDay();
        m_second = second;
    }
    return m_text;
}
