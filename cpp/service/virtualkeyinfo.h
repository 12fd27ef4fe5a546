#pragma once

#include <QMap>
#include <QString>
#include <QVector>

// One supported key: its Windows virtual-key code (mouse buttons use the
// Windows codes 1, 2, 4, 5 and 6), its "VK_" name, the short name that is the
// program's vocabulary for key names (push-to-talk keys, talk-key words of an
// external application) and a description.
//
// The 126 records are built once and live for the whole process; lookups hand
// out pointers to them, never copies.
class VirtualKeyInfo
{
public:
    int code;
    QString vkName;
    QString shortName;
    QString description;

    // Every record, in ascending code order.
    static const QVector<VirtualKeyInfo> &records();

    // The record of `code`, or null when the code has none.
    static const VirtualKeyInfo *findByCode(int code);

    // The code of the first record, in ascending code order, whose short name
    // equals `name` ignoring case; 0 when none does.
    static int codeByShortName(const QString &name);
};

// The key table: code to record, ordered by code. Empty until
// fillVirtualKeyTable() has run.
const QMap<int, const VirtualKeyInfo *> &virtualKeyTable();

// Fills virtualKeyTable() from the records. Only the first call in a process
// does anything; later calls leave the table as it is.
void fillVirtualKeyTable();
