#pragma once

#include <QString>

// Rich text reduced to its plain text without rendering it, so that no
// picture or link it names is ever fetched: scripts, styles, comments and
// tags go, character references become characters, and runs of white space
// become one space. Pure function; any thread.
QString plainTextOf(const QString &richText);

// The text as QString::toHtmlEscaped escapes it ('<', '>', '&' and '"' made
// character references). A text without any of those four, as most chat
// lines and names are, is handed back as it is, without a copy.
QString escapedForHtml(const QString &text);
