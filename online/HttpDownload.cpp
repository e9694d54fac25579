#include "online/HttpDownload.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>

#include <cerrno>
#include <cstring>

#include <curl/curl.h>

#include <glog/logging.h>

#include "config/UserFolders.h"
#include "online/HttpTransport.h"

namespace kal::online {
namespace {

// The file being written, under a name of its own until it is whole; it is
// removed unless Keep() gave it its final name.
class PartFile : public BodySink {
 public:
  PartFile(const std::string& folder, const DownloadJob& job) : job_(job) {
    path_ = folder + "/." + job.fileName + ".part-XXXXXX";
    fd_ = ::mkostemp(path_.data(), O_CLOEXEC);
    if (fd_ < 0) error_ = "cannot create a file in " + folder + ": " + std::strerror(errno);
  }
  ~PartFile() override {
    if (fd_ >= 0) ::close(fd_);
    if (!kept_ && !path_.empty()) ::unlink(path_.c_str());
  }
  bool Open() const { return fd_ >= 0; }
  const std::string& Error() const { return error_; }

  bool Take(const char* data, std::size_t size, long status, long long length) override {
    if (status < 200 || status >= 300) {
      error_ = "the server answered " + std::to_string(status);
      return false;
    }
    length_ = length;
    for (std::size_t done = 0; done < size;) {
      const ssize_t n = ::write(fd_, data + done, size - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        error_ = std::string("cannot write the file: ") + std::strerror(errno);
        return false;
      }
      done += static_cast<std::size_t>(n);
    }
    hash_.addData(QByteArrayView(data, static_cast<qsizetype>(size)));
    got_ += static_cast<long long>(size);
    if (job_.progress) job_.progress(got_, length_);
    return true;
  }

  // Checks the whole file and gives it `finalPath`.
  bool Keep(long status, const std::string& finalPath) {
    if (status < 200 || status >= 300) {
      error_ = "the server answered " + std::to_string(status);
      return false;
    }
    if (got_ == 0) {
      error_ = "the answer was empty";
      return false;
    }
    if (length_ >= 0 && got_ != length_) {
      error_ = "got " + std::to_string(got_) + " of " + std::to_string(length_) + " bytes";
      return false;
    }
    if (!job_.sha256.empty() && hash_.result().toHex().toStdString() != job_.sha256) {
      error_ = "its SHA-256 is not the one the service named";
      return false;
    }
    if (::fsync(fd_) != 0 || ::close(fd_) != 0) {
      fd_ = -1;
      error_ = std::string("cannot finish the file: ") + std::strerror(errno);
      return false;
    }
    fd_ = -1;
    if (::rename(path_.c_str(), finalPath.c_str()) != 0) {
      error_ = "cannot name the file " + finalPath + ": " + std::strerror(errno);
      return false;
    }
    kept_ = true;
    return true;
  }

 private:
  const DownloadJob& job_;
  std::string path_;
  std::string error_;
  int fd_ = -1;
  long long got_ = 0;
  long long length_ = -1;
  bool kept_ = false;
  QCryptographicHash hash_{QCryptographicHash::Sha256};
};

}  // namespace

bool SafeFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.size() <= 255 &&
         name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

std::string FileNameOf(const std::string& url) {
  CURLU* u = curl_url();
  std::string name;
  char* path = nullptr;
  if (u && curl_url_set(u, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
      curl_url_get(u, CURLUPART_PATH, &path, 0) == CURLUE_OK && path) {
    const std::string p(path);
    name = p.substr(p.rfind('/') + 1);
    curl_free(path);
  }
  curl_url_cleanup(u);
  return name;
}

DownloadResult HttpDownload::DownloadFile(DownloadJob job) {
  DownloadResult result;
  if (!SafeFileName(job.fileName)) {
    result.error = "no usable file name in " + job.url;
    return result;
  }
  const std::string folder = job.folder.empty() ? GetUserDataFolder(kTempFolder) : job.folder;
  PartFile file(folder, job);
  if (!file.Open()) {
    result.error = file.Error();
    return result;
  }
  TransferOptions o;
  o.totalSeconds = 0;
  o.lowSpeedLimit = true;
  o.cancel = job.cancel;
  const TransferResult r = Transfer(job.url, file, o);
  const std::string finalPath = folder + "/" + job.fileName;
  if (r.cancelled) {
    result.end = DownloadEnd::kCancelled;
  } else if (r.Ok() && file.Keep(r.status, finalPath)) {
    result.end = DownloadEnd::kComplete;
    result.path = finalPath;
  } else {
    result.error = !file.Error().empty() ? file.Error() : r.error;
  }
  if (result.end == DownloadEnd::kFailed) LOG(ERROR) << "download of " << job.url << " failed: " << result.error;
  return result;
}

int HttpDownload::DownloadToProfile(const std::string& url) {
  DownloadJob job;
  job.url = url;
  job.folder = GetUserDataFolder(kProfileFolder);
  job.fileName = FileNameOf(url);
  return DownloadFile(std::move(job)).end == DownloadEnd::kComplete ? 0 : -1;
}

}  // namespace kal::online
