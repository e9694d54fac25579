#pragma once
// File operations the program's lists and tools need, as a user expects them
// on a Linux desktop: a rename that never replaces another file (rename(2)
// would, without a word), a delete that goes to the desktop's trash, and a
// write probe of a folder.

#include <string>

namespace platform {

// Moves `from` to `to` unless `to` exists (errno EEXIST then).
bool RenameNoReplace(const std::string& from, const std::string& to);

// Moves `path` into the user's trash (the freedesktop layout under
// $XDG_DATA_HOME/Trash: files/NAME and info/NAME.trashinfo), so the
// desktop's file manager can restore it. False, with `error`, when there
// is no trash on the file's disk; the file is untouched then.
bool MoveToTrash(const std::string& path, std::string& error);

// Whether a file can be made in `folder`: a probe of a fresh name is made
// and removed again, so no file already there is touched.
bool CanWriteInto(const std::string& folder);

}  // namespace platform
