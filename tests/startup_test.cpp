// The program as a process: one instance per user, the day's logs kept,
// a crash report written.

#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "Subprocess.h"
#include "TempDir.h"
#include "WindowProgram.h"
#include "app/LogSetup.h"
#include "config/UserFolders.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

using kaltest::kProgram;

std::string LogText() { return kaltest::ReadFolder(kal::GetUserDataFolder(kal::kLogFolder)); }

// Waits until the running program has written `text` to its log.
bool WaitForLog(const std::string& text, std::chrono::milliseconds limit = 10s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (LogText().find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(100ms);
  }
  return false;
}

size_t LogFileCount() {
  size_t n = 0;
  for (const auto& e : fs::directory_iterator(kal::GetUserDataFolder(kal::kLogFolder)))
    n += e.is_regular_file();
  return n;
}

TEST(StartupTest, OldLogsGoTodaysStayAndASecondStartOnlyShowsTheFirst) {
  const std::string logs = kal::GetUserDataFolder(kal::kLogFolder);
  kaltest::WriteFile(logs + "/20000101-000000.1log.", "old");
  kaltest::WriteFile(logs + "/" + kal::TodayStamp() + "-000000.1log.", "today");
  kaltest::WriteFile(logs + "/notes.txt", "no date");
  kaltest::Subprocess first({kProgram});
  ASSERT_TRUE(WaitForLog("] start"));
  EXPECT_FALSE(fs::exists(logs + "/20000101-000000.1log."));
  EXPECT_FALSE(fs::exists(logs + "/notes.txt"));
  EXPECT_TRUE(fs::exists(logs + "/" + kal::TodayStamp() + "-000000.1log."));

  const size_t files = LogFileCount();
  const auto t0 = std::chrono::steady_clock::now();
  kaltest::Subprocess second({kProgram});
  EXPECT_EQ(second.Wait(), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 5s);
  EXPECT_TRUE(WaitForLog("activated by a second start")) << "the first window is shown";
  EXPECT_EQ(LogFileCount(), files) << "the second start writes no log";
}

TEST(StartupTest, ACrashWritesTheReportReplacingThePreviousOne) {
  const std::string dump = kal::GetUserDataFolder(kal::kDumpFolder) + "/KalRecorder.dmp";
  kaltest::WriteFile(dump, "an old report that must be replaced");
  for (int run = 0; run < 2; ++run) {
    kaltest::Subprocess program({kProgram});
    ASSERT_TRUE(program.Started());
    const pid_t pid = program.Pid();
    ASSERT_TRUE(WaitForLog("] start"));
    std::this_thread::sleep_for(500ms);
    program.Signal(SIGSEGV);
    EXPECT_TRUE(WIFSIGNALED(program.WaitStatus()));
    const std::string report = kaltest::ReadFile(dump);
    EXPECT_NE(report.find("SIGSEGV"), std::string::npos) << report;
    EXPECT_NE(report.find("PID " + std::to_string(pid)), std::string::npos) << "this crash's report";
    EXPECT_EQ(report.find("an old report"), std::string::npos);
    fs::remove_all(kal::GetUserDataFolder(kal::kLogFolder));
  }
}

}  // namespace
