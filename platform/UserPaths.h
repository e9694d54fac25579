#pragma once
// Where per-user data and the program's own files live on this system.

#include <string>

namespace platform {

// The user's roaming application-data folder: $XDG_DATA_HOME when it is an
// absolute path, else $HOME/.local/share (the home folder from the password
// database when HOME is unset). No trailing slash. Any thread.
std::string RoamingDataFolder();

// Folder of the running executable, without a trailing slash. Any thread.
std::string ExecutableFolder();

}  // namespace platform
