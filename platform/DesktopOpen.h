#pragma once
// Opens a web address, a file or a folder the way the desktop does, with
// the user's own browser, player or file manager (xdg-open). Returns at
// once; the opener runs on its own and is never waited for.

#include <string>

namespace platform {

// False, with the reason in `error`, when the desktop's opener is not
// installed or cannot be started. UI thread or any other.
bool OpenWithDesktop(const std::string& urlOrPath, std::string& error);

}  // namespace platform
