#pragma once
// File operations the program's lists and tools need, as a user expects them
// on a Linux desktop: a rename that never replaces another file (rename(2)
// would, without a word), and a delete that goes to the desktop's trash.

#include <string>

namespace platform {

// Moves `from` to `to` unless `to` exists (errno EEXIST then).
bool RenameNoReplace(const std::string& from, const std::string& to);

// Moves `path` into the user's trash (the freedesktop layout under
// $XDG_DATA_HOME/Trash: files/NAME and info/NAME.trashinfo), so the
// desktop's file manager can restore it. False, with `error`, when there
// is no trash on the file's disk; the file is untouched then.
bool MoveToTrash(const std::string& path, std::string& error);

}  // namespace platform
