#pragma once

#include <QLoggingCategory>

// The program's log categories. Their names are part of every log line.
Q_DECLARE_LOGGING_CATEGORY(ssint)   // "ssint  ": web transport and reply handling
Q_DECLARE_LOGGING_CATEGORY(userint) // "userint": recorded analytics events
Q_DECLARE_LOGGING_CATEGORY(sdkint)  // "sdkint ": lines of the voice SDK
