#include "richtext.h"

#include <QHash>
#include <QRegularExpression>

namespace {

// A character reference of rich text ("&amp;", "&#60;", "&#x3c;") as its
// character; an unknown or invalid one stays as written.
QString decodeReference(const QString &name, const QString &whole)
{
    static const QHash<QString, QString> named{{"amp", "&"},   {"lt", "<"},   {"gt", ">"},
                                               {"quot", "\""}, {"apos", "'"}, {"nbsp", " "}};
    if (!name.startsWith(QLatin1Char('#')))
        return named.value(name, whole);
    bool ok = false;
    const uint code = name.startsWith(QLatin1String("#x"), Qt::CaseInsensitive) ? name.mid(2).toUInt(&ok, 16)
                                                                                : name.mid(1).toUInt(&ok, 10);
    if (!ok || code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return QString();
    return QString::fromUcs4(&code, 1);
}

} // namespace

QString plainTextOf(const QString &richText)
{
    static const QRegularExpression blocks(QStringLiteral("<(script|style)\\b[^>]*>.*?(</\\1\\s*>|$)"),
                                           QRegularExpression::CaseInsensitiveOption
                                               | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression comments(QStringLiteral("<!--.*?(-->|$)"),
                                             QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression tags(QStringLiteral("<[^>]*(>|$)"));
    static const QRegularExpression references(QStringLiteral("&(#[xX][0-9a-fA-F]+|#[0-9]+|[a-zA-Z]+);"));
    QString text = richText;
    text.remove(blocks);
    text.remove(comments);
    text.remove(tags);
    QString decoded;
    int last = 0;
    auto it = references.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        decoded += text.midRef(last, match.capturedStart() - last);
        decoded += decodeReference(match.captured(1), match.captured(0));
        last = match.capturedEnd();
    }
    decoded += text.midRef(last);
    return decoded.simplified();
}

QString escapedForHtml(const QString &text)
{
    for (const QChar c : text) {
        const ushort code = c.unicode();
        if (code == '<' || code == '>' || code == '&' || code == '"')
            return text.toHtmlEscaped();
    }
    return text;
}
