#pragma once
// An exclusive advisory lock (flock) on one file, held for the object's
// life. A recording holds one on its unfinished file, so no other program
// or process takes that file for a left-over one; the kernel drops the lock
// when the holder dies, so a killed recording's file is free at once.

#include <string>

namespace platform {

class FileLock {
 public:
  FileLock() = default;
  ~FileLock() { Release(); }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  FileLock(FileLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

  enum class Open { kExisting, kCreateNew };
  // Takes the lock on `path` without waiting. kCreateNew makes the file and
  // fails when something of that name exists already. False when the file
  // cannot be opened or made, or another open file holds the lock.
  bool TryLock(const std::string& path, Open how);
  void Release();
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace platform
