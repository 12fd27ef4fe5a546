#pragma once

#include <QDateTime>
#include <QString>

#include <limits>

// SecondsFormat: a date and time spelled out in one format that goes no
// finer than whole seconds ("hh:mm:ss", "yyyy/MM/dd HH:mm:ss"), exactly as
// QDateTime::toString spells it. The text of the last second asked for is
// kept: chat lines come in bursts within one second, and spelling a date out
// costs more than the rest of a line. One object serves one thread.
class SecondsFormat
{
public:
    explicit SecondsFormat(const QString &format);

    QString text(const QDateTime &when);

private:
    QString m_format;
    qint64 m_day = std::numeric_limits<qint64>::min();
    int m_second = -1;
    QString m_text;
};
