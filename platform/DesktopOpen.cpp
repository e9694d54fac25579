#include "platform/DesktopOpen.h"

#include "platform/ChildProcess.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

extern char** environ;

namespace platform {
namespace {

constexpr const char* kOpener = "xdg-open";

}  // namespace

bool StartDetached(const std::vector<std::string>& argv, std::string& error) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawnattr_t attr;
  ::posix_spawnattr_init(&attr);
  ::posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
  pid_t pid = 0;
  const int rc = ::posix_spawn(&pid, argv[0].c_str(), nullptr, &attr, args.data(), environ);
  ::posix_spawnattr_destroy(&attr);
  if (rc != 0) {
    error = "cannot start " + argv[0] + ": " + std::strerror(rc);
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

bool OpenWithDesktop(const std::string& urlOrPath, std::string& error) {
  const std::string opener = FindProgram(kOpener);
  if (opener.empty()) {
    error = "xdg-open is not installed (package xdg-utils)";
    return false;
  }
  if (StartDetached({opener, urlOrPath}, error)) return true;
  error = "cannot start xdg-open";
  return false;
}

}  // namespace platform
