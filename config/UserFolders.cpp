#include "config/UserFolders.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "platform/UserPaths.h"

namespace kal {
namespace {

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// True when the directory exists afterwards.
bool MakeDirectory(const std::string& path) {
  if (IsDirectory(path)) return true;
  return ::mkdir(path.c_str(), 0755) == 0 || (errno == EEXIST && IsDirectory(path));
}

}  // namespace

void CreateDirectoryPath(const std::string& fullPath) {
  for (std::size_t pos = fullPath.find('/', 1); pos != std::string::npos;
       pos = fullPath.find('/', pos + 1)) {
    const std::string prefix = fullPath.substr(0, pos);
    if (prefix.empty() || prefix.back() == '/') continue;  // doubled slashes
    if (!MakeDirectory(prefix)) std::fprintf(stderr, "create dir error curPath: %s\n", prefix.c_str());
  }
  if (!MakeDirectory(fullPath))
    std::fprintf(stderr, "create dir error fullPath: %s\n", fullPath.c_str());
}

std::string GetUserDataFolder(const std::string& relative) {
  std::string rel = relative;
  while (!rel.empty() && rel.front() == '/') rel.erase(0, 1);
  const std::string path = platform::RoamingDataFolder() + "/" + rel;
  CreateDirectoryPath(path);
  return path;
}

}  // namespace kal
