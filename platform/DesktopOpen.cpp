#include "platform/DesktopOpen.h"

#include "platform/ChildProcess.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace platform {
namespace {

constexpr const char* kOpener = "xdg-open";

}  // namespace

bool OpenWithDesktop(const std::string& urlOrPath, std::string& error) {
  const std::string opener = FindProgram(kOpener);
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
