#pragma once
// A child process for a test (a player, a tone), ended with the object.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace kaltest {

class Subprocess {
 public:
  explicit Subprocess(const std::vector<std::string>& argv) {
    pid_ = ::fork();
    if (pid_ == 0) {
      std::vector<char*> args;
      for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      ::execvp(args[0], args.data());
      ::_exit(127);
    }
  }
  ~Subprocess() { Stop(); }
  Subprocess(const Subprocess&) = delete;
  Subprocess& operator=(const Subprocess&) = delete;
  void Stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  // Waits for the child to end by itself; its exit status.
  int Wait() {
    int status = 0;
    if (pid_ > 0) ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
};

// Runs a shell command to its end; true on exit status 0.
inline bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }

}  // namespace kaltest
