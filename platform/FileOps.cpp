#include "platform/FileOps.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace platform {
namespace {

// The trash of the user's home, made when missing.
std::string HomeTrash() {
  const char* data = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  std::string base = data && *data ? data : home ? std::string(home) + "/.local/share" : "";
  if (base.empty()) return {};
  const std::string trash = base + "/Trash";
  for (const std::string& dir : {base, trash, trash + "/files", trash + "/info"})
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return {};
  return trash;
}

// The path as a URI path: bytes outside the unreserved set %-escaped.
std::string Escape(const std::string& path) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char c : path) {
    if (std::isalnum(c) || std::strchr("/-_.~", c)) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

std::string Absolute(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char buf[4096];
  return ::getcwd(buf, sizeof buf) ? std::string(buf) + "/" + path : path;
}

}  // namespace

bool RenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without the flag: a hard link fails on a taken name too.
  if (::link(from.c_str(), to.c_str()) != 0) return false;
  ::unlink(from.c_str());
  return true;
}

bool MoveToTrash(const std::string& path, std::string& error) {
  const std::string trash = HomeTrash();
  if (trash.empty()) {
    error = "no trash folder";
    return false;
  }
  const std::string full = Absolute(path);
  const std::string name = full.substr(full.rfind('/') + 1);
  // The info file is made first, with O_EXCL: it claims the name.
  for (int i = 0; i < 1000; ++i) {
    const std::string entry = i == 0 ? name : name + "." + std::to_string(i);
    const std::string info = trash + "/info/" + entry + ".trashinfo";
    const int fd = ::open(info.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      error = std::string("cannot write in the trash: ") + std::strerror(errno);
      return false;
    }
    char date[32];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    const std::string text = "[Trash Info]\nPath=" + Escape(full) + "\nDeletionDate=" + date + "\n";
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    if (written && RenameNoReplace(full, trash + "/files/" + entry)) return true;
    const int why = errno;
    ::unlink(info.c_str());
    if (written && why == EEXIST) continue;
    error = why == EXDEV ? "the trash is on another disk" : std::string(std::strerror(why));
    return false;
  }
  error = "the trash holds too many files of this name";
  return false;
}

bool CanWriteInto(const std::string& folder) {
  std::string probe = folder + "/kalTmp-XXXXXX";
  const int fd = ::mkstemp(probe.data());
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

}  // namespace platform
