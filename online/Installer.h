#pragma once
// Starts a downloaded installer the way this desktop does: a .deb package
// goes to the desktop's opener (its package installer), a .sh, .run or
// .AppImage file is made executable by its owner only and run in a session
// of its own, so that it outlives the program it replaces.

#include <string>

namespace kal::online {

// False, with the reason in `error`, when the file is of no kind we start
// or it could not be started.
bool StartInstaller(const std::string& path, std::string& error);

}  // namespace kal::online
