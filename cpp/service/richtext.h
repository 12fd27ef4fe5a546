#pragma once

#include <QString>

// Rich text reduced to its plain text without rendering it, so that no
// picture or link it names is ever fetched: scripts, styles, comments and
// tags go, character references become characters, and runs of white space
// become one space. Pure function; any thread.
QString plainTextOf(const QString &richText);
