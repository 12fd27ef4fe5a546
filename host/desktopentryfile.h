#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

namespace host {

// Reads and writes one XDG key file (a desktop entry, mimeapps.list). Groups,
// keys, comments and their order survive a load and save untouched, so other
// programs' entries in a shared file are kept, and saving an unchanged file
// gives the same bytes. Values are handled unescaped; the key-file escapes
// (\s \n \t \r \\) are applied on the way in and out. Not thread-safe; used on
// the thread that owns the object.
class DesktopEntryFile
{
public:
    explicit DesktopEntryFile(const QString &path);

    QString path() const;

    // Reads the file. A missing file gives an empty entry and true; an
    // unreadable one gives false (with a warning) and leaves the entry empty.
    bool load();
    // Writes the file atomically, creating its folder. Returns false (with a
    // warning) when it cannot.
    bool save() const;
    // Saves only when the bytes on disk differ from what save() would write,
    // so unchanged files keep their time stamps. Returns false on failure.
    bool saveIfChanged() const;

    QByteArray toByteArray() const;
    void parse(const QByteArray &bytes);

    QStringList groups() const;
    bool hasGroup(const QString &group) const;
    void removeGroup(const QString &group);
    QStringList keys(const QString &group) const;
    bool contains(const QString &group, const QString &key) const;
    QString value(const QString &group, const QString &key, const QString &defaultValue = QString()) const;
    // Replaces the value in place, or appends the key (and the group) when absent.
    void setValue(const QString &group, const QString &key, const QString &value);
    void remove(const QString &group, const QString &key);

    // The Exec value for a command: each argument quoted where the desktop
    // entry rules need it ('%' doubled, reserved characters in double quotes
    // with " ` $ \ escaped), then `fieldCode` ("%u") unquoted when given.
    static QString execLine(const QStringList &arguments, const QString &fieldCode = QString());
    // Splits an Exec value back into its arguments; field codes such as "%u"
    // stay as they are, "%%" becomes '%'. A malformed value (an unclosed
    // quote) gives what could be read up to the fault.
    static QStringList execArguments(const QString &execValue);
    // The arguments of the Exec key of `group` (the main group by default).
    QStringList execArgumentsOf(const QString &group = mainGroup()) const;

    static QString mainGroup();

    // The key-file level of escaping for string values.
    static QString escapeValue(const QString &value);
    static QString unescapeValue(const QString &raw);

private:
    struct Line {
        QString key;  // empty for comments and blank lines
        QString text; // the raw value, or the whole line when key is empty
        QString lead; // "key =" as written when it is not plain "key="
    };
    struct Group {
        QString name; // empty for the lines before the first group header
        QVector<Line> lines;
    };

    const Group *findGroup(const QString &name) const;
    Group *findGroup(const QString &name);
    static const Line *findLine(const Group &group, const QString &key);

    QString m_path;
    QVector<Group> m_groups;
};

} // namespace host
