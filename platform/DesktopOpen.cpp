#include "platform/DesktopOpen.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <thread>

extern char** environ;

namespace platform {
namespace {

constexpr const char* kOpener = "xdg-open";

// The opener's full path on PATH, or empty.
std::string FindOnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::istringstream folders(path ? path : "");
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    if (folder.empty()) continue;
    const std::string candidate = folder + "/" + program;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

}  // namespace

bool OpenWithDesktop(const std::string& urlOrPath, std::string& error) {
  const std::string opener = FindOnPath(kOpener);
  if (opener.empty()) {
    error = "xdg-open is not installed (package xdg-utils)";
    return false;
  }
  char* argv[] = {const_cast<char*>(opener.c_str()), const_cast<char*>(urlOrPath.c_str()),
                  nullptr};
  pid_t pid = 0;
  if (::posix_spawn(&pid, opener.c_str(), nullptr, nullptr, argv, environ) != 0) {
    error = "cannot start xdg-open";
    return false;
  }
  // Reaped when it ends, so it never stays a zombie of ours.
  std::thread([pid] {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return true;
}

}  // namespace platform
