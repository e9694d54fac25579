#pragma once
// Downloads a file: the upgrade's installer into the per-user Temp folder
// (shown by the download dialog), or a small file into the Profile folder.
// The file is written under a temporary name and takes its own only when
// it is whole: a 2xx answer read to its end, as long as its Content-Length
// says, and with the SHA-256 the service named. Anything else leaves no
// file behind.

#include <atomic>
#include <functional>
#include <string>

namespace kal::online {

// A name we may create in our own folder: not empty, not "." or "..", no
// "/" and no NUL, at most 255 bytes.
bool SafeFileName(const std::string& name);

// The last segment of `url`'s path; empty when there is none.
std::string FileNameOf(const std::string& url);

struct DownloadJob {
  std::string url;
  std::string folder;    // where the file goes
  std::string fileName;  // SafeFileName
  std::string sha256;    // 64 lowercase hex digits, or empty: not checked
  const std::atomic<bool>* cancel = nullptr;
  // Bytes so far and in all (-1: unknown); on the downloading thread.
  std::function<void(long long got, long long total)> progress;
};

enum class DownloadEnd { kComplete, kCancelled, kFailed };

struct DownloadResult {
  DownloadEnd end = DownloadEnd::kFailed;
  std::string path;   // the complete file
  std::string error;  // why not
};

class HttpDownload {
 public:
  // Into `job.folder`, or the per-user Temp folder when that is empty. On
  // the calling thread (the dialog's worker).
  static DownloadResult DownloadFile(DownloadJob job);
  // `url` into the per-user Profile folder under its last path segment:
  // 0, or -1 when it failed.
  static int DownloadToProfile(const std::string& url);
};

}  // namespace kal::online
