#pragma once

#include <string>

namespace ostrel {

// The one temporary folder shared by the program, the voice SDK and the
// platform library: the canonical path of $TMPDIR (or "/tmp" when unset or
// empty) followed by "/ostrel-<uid>". It is created with mode 0700 and used
// only when it is a real folder (not a link) owned by this user.
//
// Returns the folder's path, or an empty string when it cannot be used; in
// that case one line has been written straight to standard error (once per
// process) and callers skip whatever they would have written there.
std::string temporaryFolder();

// temporaryFolder() + "/" + relative, with every missing level of `relative`
// created with mode 0700. Empty when the base or a level cannot be used.
std::string temporarySubfolder(const std::string &relative);

} // namespace ostrel
