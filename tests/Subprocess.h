#pragma once
// A child process for a test (a player, a tone, one of our programs), ended
// with the object.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace kaltest {

// Where the child's standard files go. By default it shares the test's.
struct Stdio {
  bool quiet = false;   // stdin and stdout on /dev/null
  std::string errFile;  // stderr into this file, when set
  std::string outFile;  // stdout into this file, when set
};

// Nothing to read, and what the child prints goes to the files named (or
// nowhere).
inline Stdio Quiet(std::string errFile = {}, std::string outFile = {}) {
  Stdio s;
  s.quiet = true;
  s.errFile = std::move(errFile);
  s.outFile = std::move(outFile);
  return s;
}

class Subprocess {
 public:
  explicit Subprocess(const std::vector<std::string>& argv, const Stdio& stdio = {}) {
    // Everything exec needs is built before fork: the child only calls
    // async-signal-safe functions.
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
      if (stdio.quiet) {
        Redirect("/dev/null", O_RDONLY, STDIN_FILENO);
        Redirect("/dev/null", O_WRONLY, STDOUT_FILENO);
      }
      if (!stdio.outFile.empty())
        Redirect(stdio.outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, STDOUT_FILENO);
      if (!stdio.errFile.empty())
        Redirect(stdio.errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, STDERR_FILENO);
      ::execvp(args[0], args.data());
      ::_exit(127);
    }
  }
  ~Subprocess() { Stop(); }
  Subprocess(const Subprocess&) = delete;
  Subprocess& operator=(const Subprocess&) = delete;

  pid_t Pid() const { return pid_; }
  bool Started() const { return pid_ > 0; }
  void Signal(int sig) const {
    if (pid_ > 0) ::kill(pid_, sig);
  }
  void Stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  // Waits for the child to end; its wait status (WIFEXITED, WIFSIGNALED...).
  int WaitStatus() {
    int status = 0;
    if (pid_ > 0) ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
  }
  // Waits for the child to end by itself; its exit code, -1 when a signal
  // ended it.
  int Wait() {
    const int status = WaitStatus();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  static void Redirect(const char* path, int flags, int target) {
    const int fd = ::open(path, flags, 0644);
    if (fd < 0) ::_exit(126);
    ::dup2(fd, target);
    ::close(fd);
  }

  pid_t pid_ = -1;
};

// Runs a shell command to its end; true on exit status 0.
// `text` as one word for the shell, whatever it holds.
inline std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

inline bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }

// What a shell command prints on its standard output.
inline std::string Output(const std::string& command) {
  std::string text;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buf[256];
    while (std::fgets(buf, sizeof buf, p)) text += buf;
    ::pclose(p);
  }
  return text;
}

}  // namespace kaltest
