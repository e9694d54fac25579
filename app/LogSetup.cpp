#include "app/LogSetup.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

#include <glog/logging.h>

namespace kal {

LogSession::LogSession(const char* programName, const std::string& logFolder) {
  FLAGS_logtostderr = false;
  FLAGS_alsologtostderr = false;
  FLAGS_logbufsecs = 0;
  FLAGS_max_log_size = 10;
  FLAGS_stop_logging_if_full_disk = true;
  // The engine logs most lines at ERROR; keep the console for the program's
  // own messages.
  FLAGS_stderrthreshold = google::GLOG_FATAL;
  google::InitGoogleLogging(programName);
  // The INFO file receives every severity; separate files per severity would
  // get the same time-stamped name, so they are switched off.
  google::SetLogDestination(google::GLOG_INFO, (logFolder + "/").c_str());
  google::SetLogDestination(google::GLOG_WARNING, "");
  google::SetLogDestination(google::GLOG_ERROR, "");
  google::SetLogDestination(google::GLOG_FATAL, "");
  // glog names files "<destination><date>-<time>.<pid><extension>", so the
  // names start with the date the day clean-up compares against.
  google::SetLogFilenameExtension("log.");
  google::SetLogSymlink(google::GLOG_INFO, "");
}

LogSession::~LogSession() { google::ShutdownGoogleLogging(); }

void DeleteOldLogs(const std::string& logFolder, const std::string& today) {
  DIR* dir = ::opendir(logFolder.c_str());
  if (!dir) return;
  while (const dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    const std::string path = logFolder + "/" + name;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) continue;
    if (name.compare(0, 8, today) != 0 || name.size() < 8) ::unlink(path.c_str());
  }
  ::closedir(dir);
}

std::string TodayStamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local {};
  ::localtime_r(&now, &local);
  char buf[16];
  std::strftime(buf, sizeof buf, "%Y%m%d", &local);
  return buf;
}

}  // namespace kal
