#include "app/CrashDump.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include <glog/logging.h>

namespace kal {
namespace {

char g_dumpPath[4096];
int g_dumpFd = -1;

// Runs inside the signal handler: only async-signal-safe calls.
void WriteDump(const char* data, size_t size) {
  if (g_dumpFd < 0) g_dumpFd = ::open(g_dumpPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (g_dumpFd < 0) return;
  while (size > 0) {
    const ssize_t n = ::write(g_dumpFd, data, size);
    if (n <= 0) return;
    data += n;
    size -= static_cast<size_t>(n);
  }
}

}  // namespace

void InstallCrashDump(const std::string& dumpPath) {
  std::strncpy(g_dumpPath, dumpPath.c_str(), sizeof g_dumpPath - 1);
  google::InstallFailureSignalHandler();
  google::InstallFailureWriter(&WriteDump);
}

}  // namespace kal
