#include "linkify.h"

#include <QDebug>
#include <QRegularExpression>

namespace {

// The address pattern. The body of an address is matched one character or
// one parenthesised group at a time (not as nested repetitions of runs), so
// that a long token that is no address is rejected in linear time instead of
// backtracking through every way of splitting it.
const QRegularExpression &addressPattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("(?:[a-z][\\w-]+:(?:/{1,3}|[a-z0-9%])|www\\d{0,3}[.]|[a-z0-9.\\-]+[.][a-z]{2,4}/)"
                       "(?:[^\\s()<>]|\\((?:[^\\s()<>]|\\([^\\s()<>]+\\))*\\))+"
                       "(?:\\((?:[^\\s()<>]|\\([^\\s()<>]+\\))*\\)"
                       "|[^\\s`!()\\[\\]{};:'\".,<>?\u00ab\u00bb\u201c\u201d\u2018\u2019])"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    return pattern;
}

// "http://" put in front of an address that has a scheme of its own.
const QRegularExpression &doubledSchemePattern()
{
    static const QRegularExpression pattern(QStringLiteral("http://([A-Za-z][\\w-]+:(?:/{1,3}|[A-Za-z0-9%]))"),
                                            QRegularExpression::UseUnicodePropertiesOption);
    return pattern;
}

// White space as the Unicode-aware "\\s" of the address pattern knows it:
// the separators, the line and tab controls, and U+180E.
bool isWhiteSpace(QChar c)
{
    return c.isSpace() || c.unicode() == 0x180e;
}

// Every alternative of the address pattern needs a ':' or a '.': a token
// without either holds no address.
bool mayHoldAddress(const QStringRef &token)
{
    for (const QChar c : token)
        if (c == QLatin1Char(':') || c == QLatin1Char('.'))
            return true;
    return false;
}

QString hrefFor(const QString &address)
{
    QString href = QStringLiteral("http://") + address;
    href.replace(QLatin1Char('"'), QLatin1String("%22"));
    href.replace(QLatin1Char('\''), QLatin1String("%27"));
    return href;
}

// Appends token with every address in it made an anchor. Addresses never
// contain white space, so each token is matched on its own. Every address
// first gets "http://" in front, which is taken away again where the address
// has a scheme of its own.
void appendLinkified(QString &out, const QString &token)
{
    QString linked;
    int position = 0;
    QRegularExpressionMatchIterator it = addressPattern().globalMatch(token);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const QString address = match.captured(0);
        linked += token.midRef(position, match.capturedStart() - position);
        linked +=
            QStringLiteral("<a href=\"") + hrefFor(address) + QStringLiteral("\">") + address + QStringLiteral("</a>");
        position = match.capturedEnd();
    }
    linked += token.midRef(position);
    if (position > 0)
        linked.replace(doubledSchemePattern(), QStringLiteral("\\1"));
    out += linked;
}

} // namespace

QString linkify(const QString &text)
{
    if (text.contains(QLatin1String("<html"), Qt::CaseInsensitive)
        || text.contains(QLatin1String("<a href=\""), Qt::CaseInsensitive))
        return text;

    // Text that is not valid UTF-16 is never matched against the patterns.
    if (!QStringView(text).isValidUtf16())
        return text;

    // Tokens are the runs without white space; the white space between them
    // is kept as it is.
    QString result;
    result.reserve(text.size());
    const int size = text.size();
    int position = 0;
    while (position < size) {
        int start = position;
        while (start < size && isWhiteSpace(text.at(start)))
            ++start;
        result += text.midRef(position, start - position);
        if (start == size)
            break;
        int end = start;
        while (end < size && !isWhiteSpace(text.at(end)))
            ++end;
        const QStringRef token = text.midRef(start, end - start);
        if (token.size() > kMaxLinkLength) {
            qDebug() << "linkify: left a run of" << token.size() << "characters without links";
            result += token;
        } else if (!mayHoldAddress(token)) {
            result += token;
        } else {
            appendLinkified(result, token.toString());
        }
        position = end;
    }
    return result;
}
