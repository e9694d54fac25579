#pragma once
// A scratch file for fuzz targets whose code under test reads and writes
// files by name. It lives in shared memory when there is some, so the
// fuzzer is not slowed down by the disk.

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

namespace kal::fuzz {

inline const std::string& ScratchFolder() {
  static const std::string folder = [] {
    std::string tmpl = (::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
    tmpl += "/kal-fuzz-XXXXXX";
    if (!::mkdtemp(tmpl.data())) std::abort();
    return tmpl;
  }();
  return folder;
}

inline void WriteFile(const std::string& path, std::string_view data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
  if (!out) std::abort();
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Stops the run with a message the fuzzer shows next to the input.
[[noreturn]] inline void Fail(const char* what) {
  ::write(2, what, std::char_traits<char>::length(what));
  ::write(2, "\n", 1);
  std::abort();
}

// The same, showing the two texts that should have been equal.
[[noreturn]] inline void Fail(const char* what, std::string_view expected, std::string_view got) {
  std::string line = std::string(what) + "\n  expected:";
  for (const unsigned char c : expected) line += " " + std::to_string(c);
  line += "\n  got:     ";
  for (const unsigned char c : got) line += " " + std::to_string(c);
  Fail(line.c_str());
}

}  // namespace kal::fuzz
