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

// Whether c may be part of "[\\w-]" or a letter of "[a-z]" in the pattern:
// ASCII letters, digits, '_' and '-', and any character beyond ASCII (the
// Unicode-aware classes and caseless matching take in some of those).
bool mayBeWordCharacter(QChar c)
{
    const ushort u = c.unicode();
    return u >= 0x80 || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_'
           || u == '-';
}

bool mayBeLetter(QChar c)
{
    const ushort u = c.unicode();
    return u >= 0x80 || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
}

// Whether an address may start at the ':' at index colon: the scheme form
// "[a-z][\\w-]+:" followed by '/' or "[a-z0-9%]" needs a letter with at
// least one word character between it and the ':', and a fitting character
// after it.
bool mayBeSchemeColon(QStringView token, int colon)
{
    if (colon + 1 >= token.size())
        return false;
    const QChar next = token.at(colon + 1);
    if (next.unicode() < 0x80 && next != QLatin1Char('/') && next != QLatin1Char('%') && !mayBeWordCharacter(next))
        return false;
    if (next == QLatin1Char('-') || next == QLatin1Char('_'))
        return false;
    for (int i = colon - 1; i >= 0 && mayBeWordCharacter(token.at(i)); --i)
        if (i <= colon - 2 && mayBeLetter(token.at(i)))
            return true;
    return false;
}

// The alternatives of the address pattern without a scheme need a '.'; those
// with one need a ':' as mayBeSchemeColon finds it. A token with neither
// holds no address.
bool mayHoldAddress(QStringView token)
{
    for (int i = 0; i < token.size(); ++i) {
        const QChar c = token.at(i);
        if (c == QLatin1Char('.') || (c == QLatin1Char(':') && mayBeSchemeColon(token, i)))
            return true;
    }
    return false;
}

// Whether text holds "<html" or "<a href=\"" compared without regard to case
// as QString::contains compares it: no character beyond ASCII folds to a
// letter of either. One pass.
bool containsMarkup(const QString &text)
{
    const auto lower = [](ushort u) { return u >= 'A' && u <= 'Z' ? ushort(u + ('a' - 'A')) : u; };
    const QChar *data = text.constData();
    const int size = text.size();
    const auto follows = [&](int at, const char *rest) {
        for (int i = 0; rest[i]; ++i)
            if (at + i >= size || lower(data[at + i].unicode()) != uchar(rest[i]))
                return false;
        return true;
    };
    for (int at = 0; at < size; ++at)
        if (data[at] == QLatin1Char('<') && (follows(at + 1, "html") || follows(at + 1, "a href=\"")))
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

// The link an address gets: "http://" in front, taken away again where the
// address has a scheme of its own.
QString linkFor(const QString &address)
{
    QString href = hrefFor(address);
    href.replace(doubledSchemePattern(), QStringLiteral("\\1"));
    return href;
}

// Only web links and the program's own links are made clickable: a peer's
// "file:", "smb:" or any other scheme would hand the desktop something to
// open on this machine.
bool isClickable(const QString &href)
{
    static const QRegularExpression allowed(QStringLiteral("^(?:https?://|tavri:)"),
                                            QRegularExpression::CaseInsensitiveOption);
    return allowed.match(href).hasMatch();
}

// Where an address in escaped text ends at the latest: the text has been
// made HTML before it is linkified, so an escaped angle bracket or double
// quote is markup that the writer typed, not part of the address.
int escapedMarkupAt(const QString &address)
{
    int cut = -1;
    // The entity's closing ';' may already be outside the match (no address
    // ends in one); an ampersand the writer typed is "&amp;" by now, so the
    // entity's start alone is enough.
    for (const QLatin1String entity : {QLatin1String("&lt"), QLatin1String("&gt"), QLatin1String("&quot")}) {
        const int at = address.indexOf(entity);
        if (at >= 0 && (cut < 0 || at < cut))
            cut = at;
    }
    return cut;
}

// Appends token with every address in it made an anchor. Addresses never
// contain white space, so each token is matched on its own.
void appendLinkified(QString &out, const QString &token)
{
    QString linked;
    int position = 0;
    int offset = 0;
    while (offset < token.size()) {
        const QRegularExpressionMatch match = addressPattern().match(token, offset);
        if (!match.hasMatch())
            break;
        const int start = match.capturedStart();
        QString address = match.captured(0);
        int end = match.capturedEnd();
        const int cut = escapedMarkupAt(address);
        if (cut >= 0) {
            // What stands before the markup is matched again on its own.
            const QRegularExpressionMatch before = addressPattern().match(
                address.left(cut), 0, QRegularExpression::NormalMatch, QRegularExpression::AnchoredMatchOption);
            address = before.hasMatch() ? before.captured(0) : QString();
            end = start + (address.isEmpty() ? qMax(cut, 1) : address.size());
        }
        const QString href = address.isEmpty() ? QString() : linkFor(address);
        if (!href.isEmpty() && isClickable(href)) {
            linked += token.midRef(position, start - position);
            linked += QStringLiteral("<a href=\"") + href + QStringLiteral("\">") + address + QStringLiteral("</a>");
            position = end;
        }
        offset = end;
    }
    if (position == 0) {
        out += token;
        return;
    }
    linked += token.midRef(position);
    out += linked;
}

} // namespace

QString linkify(const QString &text)
{
    if (containsMarkup(text))
        return text;

    // Text that is not valid UTF-16 is never matched against the patterns
    // (and says nothing of its runs): it is returned as it is. Checked at
    // the first run that would be matched or reported.
    int valid = -1;
    const auto isValid = [&text, &valid] {
        if (valid < 0)
            valid = QStringView(text).isValidUtf16() ? 1 : 0;
        return valid == 1;
    };

    // Tokens are the runs without white space; the white space between them
    // is kept as it is, and so is every token without an address: the text
    // is copied only up to a token that gets anchors.
    QString result;
    int copied = 0;
    const QStringView all(text);
    const int size = text.size();
    int position = 0;
    while (position < size) {
        int start = position;
        while (start < size && isWhiteSpace(all.at(start)))
            ++start;
        if (start == size)
            break;
        int end = start;
        while (end < size && !isWhiteSpace(all.at(end)))
            ++end;
        const QStringView token = all.mid(start, end - start);
        if (token.size() > kMaxLinkLength) {
            if (!isValid())
                return text;
            qDebug() << "linkify: left a run of" << token.size() << "characters without links";
        } else if (mayHoldAddress(token)) {
            if (!isValid())
                return text;
            if (result.isNull())
                result.reserve(size + 64);
            result += text.midRef(copied, start - copied);
            appendLinkified(result, token.toString());
            copied = end;
        }
        position = end;
    }
    if (copied == 0)
        return text;
    result += text.midRef(copied);
    return result;
}
