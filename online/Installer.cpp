#include "online/Installer.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "platform/DesktopOpen.h"

namespace kal::online {
namespace {

bool EndsWith(std::string name, const std::string& ext) {
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return name.size() > ext.size() && name.compare(name.size() - ext.size(), ext.size(), ext) == 0;
}

}  // namespace

bool StartInstaller(const std::string& path, std::string& error) {
  if (EndsWith(path, ".deb")) return platform::OpenWithDesktop(path, error);
  if (!EndsWith(path, ".sh") && !EndsWith(path, ".run") && !EndsWith(path, ".appimage")) {
    error = "no way to start " + path;
    return false;
  }
  if (::chmod(path.c_str(), S_IRWXU) != 0) {
    error = "cannot make " + path + " executable: " + std::strerror(errno);
    return false;
  }
  return platform::StartDetached({path}, error);
}

}  // namespace kal::online
