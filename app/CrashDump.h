#pragma once
// On a fatal signal the failure report (signal, address, stack) is written
// to one file, replacing the report of the previous crash.

#include <string>

namespace kal {

// Installs the handler; `dumpPath` is opened only when a crash happens.
void InstallCrashDump(const std::string& dumpPath);

}  // namespace kal
