#include "logcategories.h"

Q_LOGGING_CATEGORY(ssint, "ssint  ")
Q_LOGGING_CATEGORY(userint, "userint")
Q_LOGGING_CATEGORY(sdkint, "sdkint ")
