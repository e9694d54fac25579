// The log: one file per run named from the date, lines flushed at once with
// source file and line; the start-up clean-up keeps only today's files.

#include "app/LogSetup.h"

#include <filesystem>

#include <glog/logging.h>
#include <gtest/gtest.h>

#include "TempDir.h"

namespace fs = std::filesystem;

namespace {

TEST(LogSetupTest, LinesAreFlushedAtOnceIntoADatedFile) {
  kaltest::TempDir dir;
  kal::LogSession log("KalRecorder", dir.path());
  LOG(ERROR) << "engine line " << 42;
  LOG(INFO) << "info line";

  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(dir.path())) files.push_back(e.path());
  ASSERT_EQ(files.size(), 1u) << "one file for every severity";
  const std::string name = files[0].filename().string();
  EXPECT_EQ(name.substr(0, 8), kal::TodayStamp());
  const std::string text = kaltest::ReadFile(files[0].string());
  EXPECT_NE(text.find("log_setup_test.cpp:"), std::string::npos);
  EXPECT_NE(text.find("engine line 42"), std::string::npos);
  EXPECT_NE(text.find("info line"), std::string::npos);
  EXPECT_EQ(FLAGS_max_log_size, 10);
  EXPECT_TRUE(FLAGS_stop_logging_if_full_disk);
}

TEST(LogSetupTest, CleanUpKeepsOnlyTodaysFiles) {
  kaltest::TempDir dir;
  for (const char* name : {"20240130-101010.77log.", "20240131-090000.12log.", "notadate.log",
                           "2024013", "20240131"})
    kaltest::WriteFile(dir / name, "x");
  fs::create_directory(dir / "20230101-dir");
  kal::DeleteOldLogs(dir.path(), "20240131");
  std::set<std::string> left;
  for (const auto& e : fs::directory_iterator(dir.path())) left.insert(e.path().filename().string());
  EXPECT_EQ(left, (std::set<std::string>{"20240131-090000.12log.", "20240131", "20230101-dir"}));
}

}  // namespace
