#pragma once

#include <QFile>
#include <QRegularExpression>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <QVector>

// One line of resources.txt: a path the program opens, what kind of file it
// is and who uses it. Shared by the generator and the resources test, so both
// read the one table.
struct ResourceEntry {
    QString path; // "qrc:/textures/Logo.png" or "program:sounds/output_test.wav"
    QString kind; // "32x32", "font", "cue", "tone" or "text"
    QString note;

    bool inResources() const { return path.startsWith(QLatin1String("qrc:/")); }
    bool besideProgram() const { return path.startsWith(QLatin1String("program:")); }

    // The file's path relative to the repository root (and, for files beside
    // the program, relative to the program's folder).
    QString relativePath() const
    {
        const QString rest = path.mid(path.indexOf(QLatin1Char(':')) + 1);
        return rest.startsWith(QLatin1Char('/')) ? rest.mid(1) : rest;
    }

    // ":/textures/Logo.png" for a compiled-in file, empty otherwise.
    QString resourcePath() const { return inResources() ? path.mid(3) : QString(); }

    bool isPicture() const { return size().isValid(); }
    QSize size() const
    {
        static const QRegularExpression pattern(QStringLiteral("^(\\d+)x(\\d+)$"));
        const QRegularExpressionMatch match = pattern.match(kind);
        return match.hasMatch() ? QSize(match.captured(1).toInt(), match.captured(2).toInt()) : QSize();
    }
};

// Reads the table; on a malformed line returns an empty list and says why.
inline QVector<ResourceEntry> readResourceTable(const QString &fileName, QString *error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("cannot read %1: %2").arg(fileName, file.errorString());
        return {};
    }
    static const QRegularExpression kinds(QStringLiteral("^(\\d+x\\d+|font|cue|tone|text)$"));
    QVector<ResourceEntry> entries;
    QTextStream in(&file);
    int lineNumber = 0;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        ++lineNumber;
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList fields = line.split(QRegularExpression(QStringLiteral("\\s+")));
        ResourceEntry entry;
        entry.path = fields.value(0);
        entry.kind = fields.value(1);
        entry.note = fields.mid(2).join(QLatin1Char(' '));
        if ((!entry.inResources() && !entry.besideProgram()) || !kinds.match(entry.kind).hasMatch()) {
            *error = QStringLiteral("%1:%2: expected PATH KIND NOTE").arg(fileName).arg(lineNumber);
            return {};
        }
        entries.append(entry);
    }
    return entries;
}
