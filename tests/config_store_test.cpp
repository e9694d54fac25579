// The configuration accessor, the key table, colours and per-user folders,
// against real files under the harness's private data folder.

#include "config/ConfigStore.h"

#include <filesystem>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "TempDir.h"
#include "config/ColorRef.h"
#include "config/ConfigKeys.h"
#include "config/InstallConfig.h"
#include "config/UserFolders.h"

using namespace kal;
namespace fs = std::filesystem;

namespace {

std::string DataHome() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  return xdg ? xdg : "";
}

class ConfigStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(DataHome().empty()) << "run through tests/harness/session.sh";
    fs::remove(ConfigStore::Instance()->Path());
  }
};

TEST_F(ConfigStoreTest, OneInstanceEvenWhenFirstUseRaces) {
  std::vector<ConfigStore*> seen(8);
  std::vector<std::thread> threads;
  for (auto& slot : seen) threads.emplace_back([&slot] { slot = ConfigStore::Instance(); });
  for (auto& t : threads) t.join();
  for (ConfigStore* s : seen) EXPECT_EQ(s, ConfigStore::Instance());
  EXPECT_EQ(ConfigStore::Instance()->Path(), DataHome() + "/KalRecorder/Config/configure.ini");
  EXPECT_TRUE(fs::is_directory(DataHome() + "/KalRecorder/Config"));
}

TEST_F(ConfigStoreTest, FreshProfileGivesEachReadersDefault) {
  EXPECT_EQ(cfg::Read(cfg::kVideoFramerate), 24);
  EXPECT_EQ(cfg::Read(cfg::kVideoFramerateText), "10");
  EXPECT_EQ(cfg::Read(cfg::kRegionWidth), 640);
  EXPECT_EQ(cfg::Read(cfg::kRegionWidthDialog), 0);
  EXPECT_EQ(cfg::Read(cfg::kWatermarkRbRight), 0);
  EXPECT_EQ(cfg::Read(cfg::kWatermarkRbRightText), "20");
  EXPECT_EQ(cfg::Read(cfg::kWatermarkTextDesc), "KAL屏幕录制");
  EXPECT_EQ(cfg::Read(cfg::kStartPauseKey1Index), -1);
  EXPECT_EQ(cfg::Read(cfg::kMouseCheck), 1);
  EXPECT_EQ(cfg::Read(cfg::kOutputDir), "");
  EXPECT_FALSE(fs::exists(ConfigStore::Instance()->Path())) << "reads must not create the file";
}

TEST_F(ConfigStoreTest, WritesGoToTheFileAtOnce) {
  ASSERT_TRUE(cfg::Write(cfg::kVideoFramerate, 30));
  ASSERT_TRUE(cfg::Write(cfg::kVideoFormat, "mkv"));
  EXPECT_EQ(cfg::Read(cfg::kVideoFramerateText), "30");
  EXPECT_EQ(cfg::Read(cfg::kVideoFramerate), 30);
  EXPECT_EQ(kaltest::ReadFile(ConfigStore::Instance()->Path()),
            "[global]\nvideo-framerate=30\nvideo-format=mkv\n");

  ASSERT_TRUE(ConfigStore::Instance()->SetString("global", "quality", "abc"));
  EXPECT_EQ(ConfigStore::Instance()->GetInt("global", "quality", 1), 0);

  std::string out;
  ASSERT_TRUE(ConfigStore::Instance()->SetString("global", "output-dir", ""));
  EXPECT_FALSE(ConfigStore::Instance()->GetString("global", "output-dir", "x", out, 520));
  EXPECT_TRUE(ConfigStore::Instance()->GetString("global", "video-format", "", out, 64));
  EXPECT_EQ(out, "mkv");
}

TEST(ColorRefTest, ConversionsFollowTheColorRefLayout) {
  EXPECT_EQ(ColorRefToArgb(255), 0xFFFF0000u);
  EXPECT_EQ(ColorRefToArgb(65280), 0xFF00FF00u);
  EXPECT_EQ(ColorRefToArgb(65535), 0xFFFFFF00u);
  EXPECT_EQ(ColorRefToArgb(16711680), 0xFF0000FFu);
  EXPECT_EQ(SplitColorRef(16711680), (Rgb{0, 0, 255}));
  EXPECT_EQ(SplitColorRef(0x123456), (Rgb{0x56, 0x34, 0x12}));
  EXPECT_EQ(ParseColorRef("12abc"), 12);
  EXPECT_EQ(ParseColorRef("  255"), 255);
  EXPECT_FALSE(ParseColorRef("abc"));
  EXPECT_FALSE(ParseColorRef(""));
  EXPECT_FALSE(ParseColorRef("999999999999999999999999"));
}

TEST_F(ConfigStoreTest, NonNumericColourFallsBackToTheKeysDefault) {
  ASSERT_TRUE(cfg::Write(cfg::kMouseHotRegionColor, "yellowish"));
  EXPECT_EQ(ReadColor(cfg::kMouseHotRegionColor), (Rgb{255, 255, 0}));
  ASSERT_TRUE(cfg::Write(cfg::kMouseClickLeftColor, ""));
  EXPECT_EQ(ReadColor(cfg::kMouseClickLeftColor), (Rgb{255, 0, 0}));
  ASSERT_TRUE(cfg::Write(cfg::kMouseClickRightColor, "16711680"));
  EXPECT_EQ(ReadColor(cfg::kMouseClickRightColor), (Rgb{0, 0, 255}));
}

TEST(KeyTableTest, EveryKeyOnceAndConstantsAgreeWithTheTable) {
  std::set<std::pair<std::string_view, std::string_view>> seen;
  for (const auto& k : cfg::KeyTable()) EXPECT_TRUE(seen.insert({k.section, k.key}).second) << k.key;
  EXPECT_EQ(seen.size(), 62u);  // the 58 of the program, "help-url", "upgrade-url", "upgrade-check" and "frame-rate-mode"
  const auto* fr = cfg::FindKeyInfo("GLOBAL", "Video-Framerate");
  ASSERT_NE(fr, nullptr);
  EXPECT_EQ(fr->def, "24");
  EXPECT_EQ(cfg::FindKeyInfo("global", "top"), nullptr);
  EXPECT_NE(cfg::FindKeyInfo("suspend", "top"), nullptr);
  for (const auto& c : {cfg::kMouseClickLeftColor, cfg::kMouseHotRegionColor, cfg::kVideoFormat}) {
    const auto* info = cfg::FindKeyInfo(c.section, c.key);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->def, c.def);
  }
}

// Numbers with a range are read within it, whatever the file holds; the
// table and the constants agree on it.
TEST_F(ConfigStoreTest, RangedNumbersAreClampedOnReading) {
  ASSERT_TRUE(cfg::Write(cfg::kVoiceSize, 500));
  EXPECT_EQ(cfg::Read(cfg::kVoiceSize), 90);
  ASSERT_TRUE(cfg::Write(cfg::kVideoFramerate, 100000));
  EXPECT_EQ(cfg::Read(cfg::kVideoFramerate), 120);
  ASSERT_TRUE(cfg::Write(cfg::kMouseHotRegionSize, -3));
  EXPECT_EQ(cfg::Read(cfg::kMouseHotRegionSize), 0);
  ASSERT_TRUE(cfg::Write(cfg::kSuspendTop, -40));  // no range: kept as it is
  EXPECT_EQ(cfg::Read(cfg::kSuspendTop), -40);
  const auto* row = cfg::FindKeyInfo("global", "voice-size");
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->min, cfg::kVoiceSize.min);
  EXPECT_EQ(row->max, 90);
}

TEST(UserFoldersTest, DataFolderIsCreatedUnderXdgDataHome) {
  const std::string log = GetUserDataFolder(kLogFolder);
  EXPECT_EQ(log, DataHome() + "/KalRecorder/Log");
  EXPECT_TRUE(fs::is_directory(log));
}

TEST(UserFoldersTest, WalkGoesOnPastAComponentThatCannotBeMade) {
  kaltest::TempDir dir;
  kaltest::WriteFile(dir / "blocker", "a file where a folder should be");
  const std::string full = dir / "blocker/deeper/leaf";
  // On stderr: standard output belongs to the front end (kalrec).
  testing::internal::CaptureStderr();
  CreateDirectoryPath(full);
  const std::string out = testing::internal::GetCapturedStderr();
  EXPECT_NE(out.find("create dir error curPath: " + dir / "blocker\n"), std::string::npos) << out;
  EXPECT_NE(out.find("create dir error curPath: " + dir / "blocker/deeper\n"), std::string::npos);
  EXPECT_NE(out.find("create dir error fullPath: " + full + "\n"), std::string::npos);

  testing::internal::CaptureStderr();
  CreateDirectoryPath(dir / "fine/a/b");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_TRUE(fs::is_directory(dir / "fine/a/b"));
}

TEST(InstallConfigTest, AgentComesFromConfigIniBesideTheProgram) {
  kaltest::TempDir dir;
  EXPECT_EQ(ReadDistributionAgent(dir.path()), "");
  kaltest::WriteFile(dir / "Config.ini", "[global]\nag=channel-42\n");
  EXPECT_EQ(ReadDistributionAgent(dir.path()), "channel-42");
  kaltest::WriteFile(dir / "Config.ini", "[global]\nag=" + std::string(150, 'x') + "\n");
  EXPECT_EQ(ReadDistributionAgent(dir.path()).size(), 99u);
}

}  // namespace
