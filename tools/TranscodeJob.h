#pragma once
// One run of the ffmpeg program for a tool page: the child, the thread that
// follows its output, and the output file. The output is written under a
// temporary name that keeps the extension (ffmpeg picks the container from
// it) and takes its final name only when the job has succeeded, without
// replacing a file already there. Destroying the job ends a child still
// running and removes what it wrote.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/ChildProcess.h"

namespace kal {

struct TranscodeResult {
  bool ok = false;
  std::string output;  // the final file, when ok
  std::string error;   // why not, with the last lines ffmpeg printed
};

class TranscodeJob {
 public:
  // Both are called on the job's own thread. `progress` gets the position
  // and the length in milliseconds; `finished` comes once, unless the job is
  // destroyed first.
  using Progress = std::function<void(std::int64_t positionMs, std::int64_t lengthMs)>;
  using Finished = std::function<void(const TranscodeResult&)>;

  TranscodeJob(Progress progress, Finished finished);
  ~TranscodeJob();
  TranscodeJob(const TranscodeJob&) = delete;
  TranscodeJob& operator=(const TranscodeJob&) = delete;

  // Runs `program` with `args` and the output's temporary name last. The
  // output is `output`, or "-1", "-2", ... before its extension when that is
  // taken. `lengthMs` is what the progress counts against (a cut's own
  // length); -1 takes the input's length from ffmpeg's output. False, with
  // `error`, when the child cannot start (nothing is called then).
  bool Start(const std::string& program, std::vector<std::string> args, const std::string& output,
             std::int64_t lengthMs, std::string& error);

 private:
  void Follow();
  TranscodeResult Conclude(int status, bool endMarker, const std::string& lastLines);

  Progress progress_;
  Finished finished_;
  platform::ChildProcess child_;
  std::string temp_, output_;
  std::int64_t lengthMs_ = -1;
  std::atomic<bool> cancelled_{false};
  std::atomic<bool> ended_{false};  // the child has ended
  std::thread reader_;
};

// `wanted`, or the first of "stem-1.ext", "stem-2.ext", ... that is free.
std::string FreeFileName(const std::string& wanted);

// The ffmpeg program: beside our executable, else on PATH; empty if neither.
std::string FindFfmpeg();

}  // namespace kal
