#pragma once
// A tmpfs of a few megabytes mounted for one test, to fill up on purpose.
// Mounting needs root; Mounted() says whether it worked.

#include <sys/mount.h>

#include <filesystem>
#include <string>
#include <utility>

namespace kaltest {

class SmallDisk {
 public:
  SmallDisk(std::string path, int megabytes) : path_(std::move(path)) {
    std::filesystem::create_directories(path_);
    const std::string size = "size=" + std::to_string(megabytes) + "m";
    mounted_ = ::mount("tmpfs", path_.c_str(), "tmpfs", 0, size.c_str()) == 0;
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;
  bool Mounted() const { return mounted_; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  bool mounted_ = false;
};

}  // namespace kaltest
