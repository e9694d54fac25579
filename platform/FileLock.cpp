#include "platform/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

bool FileLock::TryLock(const std::string& path, Open how) {
  Release();
  const int flags = how == Open::kCreateNew ? O_RDWR | O_CREAT | O_EXCL : O_RDONLY;
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  int r;
  while ((r = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
  }
  if (r != 0) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

void FileLock::Release() {
  if (fd_ < 0) return;
  ::close(fd_);  // closing the last descriptor drops the lock
  fd_ = -1;
}

}  // namespace platform
