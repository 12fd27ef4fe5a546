#pragma once

#include "librarystring.h"

namespace OstrelSystem {
namespace sys {

// The whole text of a (procfs or sysfs) file; empty when it can't be read.
LibraryString read_text_file(const char *path);

// The target of procfs "self/exe": this program's full path.
LibraryString executable_path();

} // namespace sys
} // namespace OstrelSystem
