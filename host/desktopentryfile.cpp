#include "desktopentryfile.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace host {

namespace {

// Characters that make the desktop entry rules quote an Exec argument.
const QString kReservedCharacters = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");

QString quoteArgument(const QString &argument)
{
    QString text = argument;
    text.replace(QLatin1Char('%'), QStringLiteral("%%"));
    const bool needsQuotes = text.isEmpty() || std::any_of(text.cbegin(), text.cend(), [](QChar c) {
                                 return kReservedCharacters.contains(c);
                             });
    if (!needsQuotes)
        return text;
    QString quoted(QLatin1Char('"'));
    for (const QChar c : qAsConst(text)) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    quoted += QLatin1Char('"');
    return quoted;
}

} // namespace

DesktopEntryFile::DesktopEntryFile(const QString &path)
    : m_path(path)
{
}

QString DesktopEntryFile::path() const
{
    return m_path;
}

QString DesktopEntryFile::mainGroup()
{
    return QStringLiteral("Desktop Entry");
}

bool DesktopEntryFile::load()
{
    m_groups.clear();
    QFile file(m_path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning() << "Cannot read" << m_path << ":" << file.errorString();
        return false;
    }
    parse(file.readAll());
    return true;
}

bool DesktopEntryFile::save() const
{
    const QFileInfo info(m_path);
    if (!QDir().mkpath(info.absolutePath())) {
        qWarning() << "Cannot create the folder of" << m_path;
        return false;
    }
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly)) {
        qWarning() << "Cannot write" << m_path << ":" << file.errorString();
        return false;
    }
    file.write(toByteArray());
    if (!file.commit()) {
        qWarning() << "Cannot write" << m_path << ":" << file.errorString();
        return false;
    }
    return true;
}

bool DesktopEntryFile::saveIfChanged() const
{
    QFile current(m_path);
    if (current.open(QIODevice::ReadOnly) && current.readAll() == toByteArray())
        return true;
    return save();
}

QByteArray DesktopEntryFile::toByteArray() const
{
    QString text;
    for (const Group &group : m_groups) {
        if (!group.name.isEmpty())
            text += QLatin1Char('[') + group.name + QStringLiteral("]\n");
        for (const Line &line : group.lines) {
            if (line.key.isEmpty())
                text += line.text;
            else if (!line.lead.isEmpty())
                text += line.lead + line.text;
            else
                text += line.key + QLatin1Char('=') + line.text;
            text += QLatin1Char('\n');
        }
    }
    return text.toUtf8();
}

void DesktopEntryFile::parse(const QByteArray &bytes)
{
    m_groups.clear();
    QString text = QString::fromUtf8(bytes);
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    if (text.isEmpty())
        return;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']'))) {
            m_groups.append(Group{trimmed.mid(1, trimmed.size() - 2), {}});
            continue;
        }
        if (m_groups.isEmpty())
            m_groups.append(Group());
        const int equals = line.indexOf(QLatin1Char('='));
        const QString key = equals > 0 ? line.left(equals).trimmed() : QString();
        if (trimmed.startsWith(QLatin1Char('#')) || key.isEmpty()) {
            // Comments, blank lines and anything unreadable are kept as they stand.
            m_groups.last().lines.append(Line{QString(), line, QString()});
            continue;
        }
        // Blanks around '=' are allowed; the value starts after them. Such a
        // line keeps its own spelling of "key =" so saving leaves it as it was.
        int start = equals + 1;
        while (start < line.size() && (line.at(start) == QLatin1Char(' ') || line.at(start) == QLatin1Char('\t')))
            ++start;
        const QString lead = line.left(start);
        m_groups.last().lines.append(Line{key, line.mid(start), lead == key + QLatin1Char('=') ? QString() : lead});
    }
}

QStringList DesktopEntryFile::groups() const
{
    QStringList names;
    for (const Group &group : m_groups) {
        if (!group.name.isEmpty())
            names.append(group.name);
    }
    return names;
}

bool DesktopEntryFile::hasGroup(const QString &group) const
{
    return findGroup(group) != nullptr;
}

void DesktopEntryFile::removeGroup(const QString &group)
{
    for (int i = m_groups.size() - 1; i >= 0; --i) {
        if (m_groups.at(i).name == group)
            m_groups.remove(i);
    }
}

QStringList DesktopEntryFile::keys(const QString &group) const
{
    QStringList result;
    if (const Group *found = findGroup(group)) {
        for (const Line &line : found->lines) {
            if (!line.key.isEmpty())
                result.append(line.key);
        }
    }
    return result;
}

bool DesktopEntryFile::contains(const QString &group, const QString &key) const
{
    const Group *found = findGroup(group);
    return found && findLine(*found, key);
}

QString DesktopEntryFile::value(const QString &group, const QString &key, const QString &defaultValue) const
{
    const Group *found = findGroup(group);
    const Line *line = found ? findLine(*found, key) : nullptr;
    return line ? unescapeValue(line->text) : defaultValue;
}

void DesktopEntryFile::setValue(const QString &group, const QString &key, const QString &value)
{
    Group *found = findGroup(group);
    if (!found) {
        m_groups.append(Group{group, {}});
        found = &m_groups.last();
    }
    const QString raw = escapeValue(value);
    for (Line &line : found->lines) {
        if (line.key == key) {
            line.text = raw;
            line.lead.clear();
            return;
        }
    }
    // New keys go after the group's last key, before trailing blank lines.
    int at = found->lines.size();
    while (at > 0 && found->lines.at(at - 1).key.isEmpty() && found->lines.at(at - 1).text.trimmed().isEmpty())
        --at;
    found->lines.insert(at, Line{key, raw, QString()});
}

void DesktopEntryFile::remove(const QString &group, const QString &key)
{
    Group *found = findGroup(group);
    if (!found)
        return;
    for (int i = found->lines.size() - 1; i >= 0; --i) {
        if (found->lines.at(i).key == key)
            found->lines.remove(i);
    }
}

QString DesktopEntryFile::execLine(const QStringList &arguments, const QString &fieldCode)
{
    QStringList parts;
    for (const QString &argument : arguments)
        parts.append(quoteArgument(argument));
    if (!fieldCode.isEmpty())
        parts.append(fieldCode);
    return parts.join(QLatin1Char(' '));
}

QStringList DesktopEntryFile::execArguments(const QString &execValue)
{
    QStringList arguments;
    QString current;
    bool inArgument = false;
    bool quoted = false;
    for (int i = 0; i < execValue.size(); ++i) {
        const QChar c = execValue.at(i);
        if (quoted) {
            if (c == QLatin1Char('\\') && i + 1 < execValue.size()) {
                current += execValue.at(++i);
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else if (c == QLatin1Char('%') && i + 1 < execValue.size() && execValue.at(i + 1) == QLatin1Char('%')) {
                current += c;
                ++i;
            } else {
                current += c;
            }
            continue;
        }
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n')) {
            if (inArgument)
                arguments.append(current);
            current.clear();
            inArgument = false;
            continue;
        }
        inArgument = true;
        if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char('%') && i + 1 < execValue.size() && execValue.at(i + 1) == QLatin1Char('%')) {
            current += c;
            ++i;
        } else {
            current += c;
        }
    }
    if (quoted)
        qWarning() << "Unclosed quote in Exec value" << execValue;
    if (inArgument)
        arguments.append(current);
    return arguments;
}

QStringList DesktopEntryFile::execArgumentsOf(const QString &group) const
{
    return execArguments(value(group, QStringLiteral("Exec")));
}

QString DesktopEntryFile::escapeValue(const QString &value)
{
    QString raw;
    raw.reserve(value.size());
    for (int i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == QLatin1Char('\\'))
            raw += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            raw += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            raw += QStringLiteral("\\t");
        else if (c == QLatin1Char('\r'))
            raw += QStringLiteral("\\r");
        else if (c == QLatin1Char(' ') && i == 0)
            raw += QStringLiteral("\\s");
        else
            raw += c;
    }
    return raw;
}

QString DesktopEntryFile::unescapeValue(const QString &raw)
{
    QString value;
    value.reserve(raw.size());
    for (int i = 0; i < raw.size(); ++i) {
        const QChar c = raw.at(i);
        if (c != QLatin1Char('\\') || i + 1 == raw.size()) {
            value += c;
            continue;
        }
        const QChar next = raw.at(++i);
        switch (next.unicode()) {
        case 's':
            value += QLatin1Char(' ');
            break;
        case 'n':
            value += QLatin1Char('\n');
            break;
        case 't':
            value += QLatin1Char('\t');
            break;
        case 'r':
            value += QLatin1Char('\r');
            break;
        case '\\':
            value += QLatin1Char('\\');
            break;
        default:
            // Unknown escapes (such as "\;" in lists) are left for the reader of the list.
            value += c;
            value += next;
            break;
        }
    }
    return value;
}

const DesktopEntryFile::Group *DesktopEntryFile::findGroup(const QString &name) const
{
    for (const Group &group : m_groups) {
        if (group.name == name && !name.isEmpty())
            return &group;
    }
    return nullptr;
}

DesktopEntryFile::Group *DesktopEntryFile::findGroup(const QString &name)
{
    for (Group &group : m_groups) {
        if (group.name == name && !name.isEmpty())
            return &group;
    }
    return nullptr;
}

const DesktopEntryFile::Line *DesktopEntryFile::findLine(const Group &group, const QString &key)
{
    for (const Line &line : group.lines) {
        if (line.key == key)
            return &line;
    }
    return nullptr;
}

} // namespace host
