#pragma once
// What the window program leaves in its output folder, waited for as a
// user would look: a recording under way is its ".part" file, a finished
// one a normal file.

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace kaltest {

// True once a recording is under way in `folder` (within about 10 s).
inline bool WaitForUnfinished(const std::string& folder) {
  for (int i = 0; i < 100; ++i) {
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec))
      if (e.path().extension() == ".part") return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

// The finished files of `folder`, sorted, once none is unfinished and at
// least `expected` are there (or after about 10 s).
inline std::vector<std::filesystem::path> FinishedFiles(const std::string& folder,
                                                        size_t expected) {
  std::vector<std::filesystem::path> files;
  for (int i = 0; i < 100; ++i) {
    files.clear();
    bool unfinished = false;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
      if (e.path().extension() == ".part") {
        unfinished = true;
      } else {
        files.push_back(e.path());
      }
    }
    if (!unfinished && files.size() >= expected) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace kaltest
