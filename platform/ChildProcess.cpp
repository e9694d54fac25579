#include "platform/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>

extern char** environ;

namespace platform {
namespace {

// A wait status as one number: the exit status, or 128 + the signal.
int ExitCode(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

}  // namespace

std::string FindProgram(const std::string& program, const std::string& folder) {
  if (!folder.empty()) {
    const std::string own = folder + "/" + program;
    if (::access(own.c_str(), X_OK) == 0) return own;
  }
  const char* path = std::getenv("PATH");
  std::istringstream folders(path ? path : "");
  std::string dir;
  while (std::getline(folders, dir, ':')) {
    if (dir.empty()) continue;
    const std::string candidate = dir + "/" + program;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

ChildProcess::~ChildProcess() {
  Terminate();
  if (out_ >= 0) ::close(out_);
}

bool ChildProcess::Start(const std::vector<std::string>& argv, int niceness, std::string& error) {
  if (argv.empty() || pid_ > 0) {
    error = "nothing to start";
    return false;
  }
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
    error = std::string("cannot make a pipe: ") + std::strerror(errno);
    return false;
  }
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  // A group of its own: ending the job ends whatever it started too.
  posix_spawnattr_setpgroup(&attr, 0);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  pid_t pid = -1;
  const int rc = ::posix_spawn(&pid, args[0], &actions, &attr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  ::close(pipeFds[1]);
  if (rc != 0) {
    ::close(pipeFds[0]);
    error = "cannot start " + argv[0] + ": " + std::strerror(rc);
    return false;
  }
  pid_ = pid;
  out_ = pipeFds[0];
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(pid), ::getpriority(PRIO_PROCESS, 0) + niceness);
  return true;
}

int ChildProcess::Wait() {
  const pid_t pid = pid_;
  if (pid <= 0) return status_;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      pid_ = -1;
      return status_;
    }
  }
  pid_ = -1;
  status_ = ExitCode(status);
  return status_;
}

void ChildProcess::Signal(int sig) const {
  const pid_t pid = pid_;
  if (pid > 0) ::kill(-pid, sig);
}

void ChildProcess::Terminate() {
  const pid_t pid = pid_;
  if (pid <= 0) return;
  ::kill(-pid, SIGTERM);
  for (int i = 0; i < 100; ++i) {
    int status = 0;
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      pid_ = -1;
      status_ = ExitCode(status);
      return;
    }
    if (done < 0 && errno != EINTR) {
      pid_ = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(-pid, SIGKILL);
  Wait();
}

}  // namespace platform
