#pragma once
// Per-user folders under the roaming application-data folder:
// KalRecorder/Log, KalRecorder/Dump, KalRecorder/Config, KalRecorder/Temp,
// KalRecorder/Profile.

#include <string>

namespace kal {

inline constexpr const char* kLogFolder = "KalRecorder/Log";
inline constexpr const char* kDumpFolder = "KalRecorder/Dump";
inline constexpr const char* kConfigFolder = "KalRecorder/Config";
inline constexpr const char* kTempFolder = "KalRecorder/Temp";
inline constexpr const char* kProfileFolder = "KalRecorder/Profile";

// Full path of `relative` under the roaming data folder, creating every
// missing component on the way as CreateDirectoryPath does. The path is
// returned even when a creation failed. Any thread.
std::string GetUserDataFolder(const std::string& relative);

// Creates every missing directory of `fullPath`: each '/'-separated prefix,
// then the path itself. A failure prints "create dir error curPath: <prefix>"
// (or "create dir error fullPath: <path>" for the last step) on standard
// output and the walk goes on. Any thread.
void CreateDirectoryPath(const std::string& fullPath);

}  // namespace kal
