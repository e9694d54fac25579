#pragma once
// The program's log (glog): every severity from INFO up goes to one file per
// run in the log folder, flushed line by line, 10 MB per file, and logging
// stops rather than fails when the disk is full.

#include <string>

namespace kal {

// Owns the logger for the life of the process's main job. Create it once on
// the main thread; its destructor shuts the logger down.
class LogSession {
 public:
  LogSession(const char* programName, const std::string& logFolder);
  ~LogSession();
  LogSession(const LogSession&) = delete;
  LogSession& operator=(const LogSession&) = delete;
};

// Deletes every regular file in `logFolder` whose name does not start with
// `today` ("%Y%m%d"), so only the current day's logs survive a start.
void DeleteOldLogs(const std::string& logFolder, const std::string& today);

// Today's local date as "%Y%m%d".
std::string TodayStamp();

}  // namespace kal
