#pragma once
// A helper program run as a child: started from an argument vector (no
// shell, so any path is passed as it is), its standard output and error in
// one pipe, its input empty, at a lower priority than ours. The object owns
// the child: destroying it ends a child still running and reaps it.

#include <sys/types.h>

#include <atomic>
#include <string>
#include <vector>

namespace platform {

// `program`'s full path: in `folder` when it is there and executable, else
// on PATH; empty when neither has it.
std::string FindProgram(const std::string& program, const std::string& folder = {});

class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // argv[0] is the program's path. `niceness` is added to ours.
  bool Start(const std::vector<std::string>& argv, int niceness, std::string& error);
  // The read end of the output pipe (owned here); -1 before Start.
  int Output() const { return out_; }
  // Waits for the end: the exit status, or 128 + the signal that ended it.
  int Wait();
  // Asks the child's group to end; kills it when it has not within a second.
  void Terminate();
  // Sends `sig` to the child's group while it runs; safe from any thread
  // while another waits.
  void Signal(int sig) const;

 private:
  std::atomic<pid_t> pid_{-1};
  int out_ = -1;
  int status_ = -1;
};

}  // namespace platform
