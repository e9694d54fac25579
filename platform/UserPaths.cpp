#include "platform/UserPaths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace platform {

std::string RoamingDataFolder() {
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/') {
    std::string dir(xdg);
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
  }
  std::string home;
  if (const char* h = std::getenv("HOME"); h && h[0] == '/') {
    home = h;
  } else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
    home = pw->pw_dir;
  } else {
    home = "/tmp";
  }
  while (home.size() > 1 && home.back() == '/') home.pop_back();
  return home + "/.local/share";
}

std::string ExecutableFolder() {
  std::vector<char> buf(4096);
  const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return ".";
  std::string path(buf.data(), static_cast<std::size_t>(n));
  const auto slash = path.rfind('/');
  return slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace platform
