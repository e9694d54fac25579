#pragma once
// Opens a web address, a file or a folder the way the desktop does, with
// the user's own browser, player or file manager (xdg-open). Returns at
// once; the opener runs on its own and is never waited for.

#include <string>
#include <vector>

namespace platform {

// False, with the reason in `error`, when the desktop's opener is not
// installed or cannot be started. UI thread or any other.
bool OpenWithDesktop(const std::string& urlOrPath, std::string& error);

// Starts argv[0] (a full path, no shell) in a session of its own, so it
// outlives us: an installer that replaces the program. False, with the
// reason in `error`, when it cannot be started.
bool StartDetached(const std::vector<std::string>& argv, std::string& error);

}  // namespace platform
