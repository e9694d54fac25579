#include "tools/TranscodeJob.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>

#include <glog/logging.h>

#include "platform/FileOps.h"
#include "platform/UserPaths.h"
#include "tools/TranscodeOutput.h"

namespace kal {
namespace {

constexpr int kNiceness = 10;  // a recording on two cores comes first

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// "dir/stem" and ".ext" of a path (the extension empty when there is none).
std::pair<std::string, std::string> SplitExtension(const std::string& path) {
  const size_t slash = path.rfind('/');
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash + 2)) return {path, ""};
  return {path.substr(0, dot), path.substr(dot)};
}

// Creates a free temporary name beside `output` with its extension, so no
// other job takes it.
std::string MakeTemporary(const std::string& output) {
  const auto [stem, ext] = SplitExtension(output);
  for (int i = 0; i < 1000; ++i) {
    const std::string name = stem + ".part" + std::to_string(i) + ext;
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) {
      ::close(fd);
      return name;
    }
    if (errno != EEXIST) return {};
  }
  return {};
}

}  // namespace

std::string FreeFileName(const std::string& wanted) {
  if (!Exists(wanted)) return wanted;
  const auto [stem, ext] = SplitExtension(wanted);
  for (int i = 1;; ++i) {
    const std::string name = stem + "-" + std::to_string(i) + ext;
    if (!Exists(name)) return name;
  }
}

std::string FindFfmpeg() { return platform::FindProgram("ffmpeg", platform::ExecutableFolder()); }

TranscodeJob::TranscodeJob(Progress progress, Finished finished)
    : progress_(std::move(progress)), finished_(std::move(finished)) {}

TranscodeJob::~TranscodeJob() {
  cancelled_ = true;
  child_.Signal(SIGTERM);
  // ffmpeg ends within moments of the signal; one that does not is killed.
  for (int i = 0; i < 200 && reader_.joinable() && !ended_; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (!ended_) child_.Signal(SIGKILL);
  if (reader_.joinable()) reader_.join();
}

bool TranscodeJob::Start(const std::string& program, std::vector<std::string> args,
                         const std::string& output, std::int64_t lengthMs, std::string& error) {
  if (program.empty()) {
    error = "ffmpeg is not installed (package ffmpeg)";
    return false;
  }
  output_ = output;
  lengthMs_ = lengthMs;
  temp_ = MakeTemporary(output);
  if (temp_.empty()) {
    error = "cannot write in the folder of " + output + ": " + std::strerror(errno);
    return false;
  }
  args.insert(args.begin(), program);
  args.push_back(temp_);
  if (!child_.Start(args, kNiceness, error)) {
    ::unlink(temp_.c_str());
    return false;
  }
  reader_ = std::thread([this] { Follow(); });
  return true;
}

void TranscodeJob::Follow() {
  TranscodeOutput out;
  char buf[4096];
  const auto report = [&](const TranscodeEvents& e) {
    const std::int64_t length = lengthMs_ >= 0 ? lengthMs_ : out.DurationMs();
    if (length > 0)
      for (const std::int64_t pos : e.positions) progress_(std::min(pos, length), length);
  };
  for (;;) {
    const ssize_t n = ::read(child_.Output(), buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    report(out.Feed(std::string_view(buf, static_cast<size_t>(n))));
  }
  report(out.Finish());
  const int status = child_.Wait();
  ended_ = true;
  TranscodeResult result = Conclude(status, out.EndMarkerSeen(), out.LastLines());
  if (cancelled_) {
    LOG(INFO) << "transcode ended with the program: " << output_;
    return;
  }
  if (!result.ok) LOG(ERROR) << "transcode failed: " << result.error;
  finished_(result);
}

TranscodeResult TranscodeJob::Conclude(int status, bool endMarker, const std::string& lastLines) {
  TranscodeResult r;
  struct stat st {};
  const bool written = ::stat(temp_.c_str(), &st) == 0 && st.st_size > 0;
  if (cancelled_ || status != 0 || !endMarker || !written) {
    ::unlink(temp_.c_str());
    r.error = cancelled_ ? "cancelled"
              : status != 0 ? "ffmpeg ended with status " + std::to_string(status)
              : !endMarker  ? "ffmpeg did not finish its output"
                            : "ffmpeg wrote nothing";
    r.error += "\n" + lastLines;
    return r;
  }
  // Another job may have taken the name meanwhile: then the next free one.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = FreeFileName(output_);
    if (platform::RenameNoReplace(temp_, name)) {
      r.ok = true;
      r.output = name;
      return r;
    }
    if (errno != EEXIST) break;
  }
  r.error = "cannot name the output " + output_ + ": " + std::strerror(errno);
  ::unlink(temp_.c_str());
  return r;
}

}  // namespace kal
