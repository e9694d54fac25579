// The INI layer against real files: lookup rules, preservation, cutting,
// and writers that race each other.

#include "platform/PrivateProfile.h"

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "TempDir.h"

using kaltest::ReadFile;
using kaltest::WriteFile;
using namespace platform;

namespace {

class ProfileTest : public ::testing::Test {
 protected:
  kaltest::TempDir dir;
  std::string file = dir / "configure.ini";

  std::string Get(std::string_view section, std::string_view key, std::string_view def = "",
                  std::size_t size = 256) {
    std::string out;
    ProfileGetString(file, section, key, def, out, size);
    return out;
  }
};

TEST_F(ProfileTest, MissingFileGivesDefaultsAndCreatesNothing) {
  EXPECT_EQ(ProfileGetInt(file, "global", "quality", 1), 1);
  EXPECT_EQ(ProfileGetInt(file, "hotkey", "stop-key1-index", -1), -1);
  EXPECT_EQ(Get("global", "video-format", "mp4"), "mp4");
  EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(ProfileTest, FirstWriteCreatesFileAndSection) {
  ASSERT_TRUE(ProfileWriteString(file, "global", "user-defined-region-check", "0"));
  EXPECT_EQ(ReadFile(file), "[global]\nuser-defined-region-check=0\n");
  ASSERT_TRUE(ProfileWriteString(file, "suspend", "top", "80"));
  EXPECT_EQ(ReadFile(file), "[global]\nuser-defined-region-check=0\n[suspend]\ntop=80\n");
  EXPECT_EQ(ProfileGetInt(file, "suspend", "top", 50), 80);
}

TEST_F(ProfileTest, IntegersReadLeadingDecimalDigits) {
  WriteFile(file,
            "[g]\nabc=abc\npx=12px\nneg=-5\npos=+7\nempty=\nblank=  42  \nhex=0x10\n"
            "huge=99999999999999\nnhuge=-99999999999999\n");
  EXPECT_EQ(ProfileGetInt(file, "g", "abc", 9), 0);
  EXPECT_EQ(ProfileGetInt(file, "g", "px", 9), 12);
  EXPECT_EQ(ProfileGetInt(file, "g", "neg", 9), -5);
  EXPECT_EQ(ProfileGetInt(file, "g", "pos", 9), 7);
  EXPECT_EQ(ProfileGetInt(file, "g", "empty", 9), 9);
  EXPECT_EQ(ProfileGetInt(file, "g", "blank", 9), 42);
  EXPECT_EQ(ProfileGetInt(file, "g", "hex", 9), 0);
  EXPECT_EQ(ProfileGetInt(file, "g", "huge", 9), 2147483647);
  EXPECT_EQ(ProfileGetInt(file, "g", "nhuge", 9), -2147483647 - 1);
  EXPECT_EQ(ProfileGetInt(file, "g", "missing", 9), 9);
}

TEST_F(ProfileTest, SectionsAndKeysIgnoreCase) {
  WriteFile(file, "[Global]\nVideo-Format=flv\n");
  EXPECT_EQ(Get("global", "video-format"), "flv");
  EXPECT_EQ(Get("GLOBAL", "VIDEO-FORMAT"), "flv");
  ASSERT_TRUE(ProfileWriteString(file, "global", "video-format", "mkv"));
  // The existing line is replaced, not a second section added.
  EXPECT_EQ(ReadFile(file), "[Global]\nVideo-Format=mkv\n");
}

TEST_F(ProfileTest, WritePreservesEverythingElse) {
  const std::string before =
      "; settings of KalRecorder\r\n"
      "[global]\r\n"
      "video-format=mp4\r\n"
      "; hand note\r\n"
      "unknown-key=keep me\r\n"
      "\r\n"
      "[hotkey]\r\n"
      "stop-key1=1\r\n"
      "[other]\r\n"
      "x = y\r\n";
  WriteFile(file, before);
  ASSERT_TRUE(ProfileWriteString(file, "global", "quality", "2"));
  ASSERT_TRUE(ProfileWriteString(file, "hotkey", "stop-key1", "4"));
  EXPECT_EQ(ReadFile(file),
            "; settings of KalRecorder\r\n"
            "[global]\r\n"
            "video-format=mp4\r\n"
            "; hand note\r\n"
            "unknown-key=keep me\r\n"
            "quality=2\r\n"
            "\r\n"
            "[hotkey]\r\n"
            "stop-key1=4\r\n"
            "[other]\r\n"
            "x = y\r\n");
  EXPECT_EQ(Get("other", "x"), "y");
}

TEST_F(ProfileTest, LongValuesAreCutToBufferSizeLessOne) {
  ASSERT_TRUE(ProfileWriteString(file, "global", "watermark-text-desc", "KAL屏幕录制"));
  EXPECT_EQ(Get("global", "watermark-text-desc", "", 5), "KAL屏");
  std::string out;
  EXPECT_EQ(ProfileGetString(file, "global", "watermark-text-desc", "", out, 100), 7u);
  EXPECT_EQ(out, "KAL屏幕录制");
  EXPECT_EQ(ProfileGetString(file, "global", "watermark-text-desc", "", out, 1), 0u);
  EXPECT_EQ(out, "");
  EXPECT_EQ(Get("global", "missing", "defaultvalue", 4), "def");
}

TEST_F(ProfileTest, ValuesAreTrimmedAndUnquoted) {
  WriteFile(file, "[g]\n  a  =  spaced  \nb=\"quoted\"\nc='x'\nd=\"half\n");
  EXPECT_EQ(Get("g", "a"), "spaced");
  EXPECT_EQ(Get("g", "b"), "quoted");
  EXPECT_EQ(Get("g", "c"), "x");
  EXPECT_EQ(Get("g", "d"), "\"half");
  EXPECT_EQ(Get("g", "missing", "dflt   "), "dflt");
}

TEST_F(ProfileTest, FirstOfRepeatedKeysAndSectionsWins) {
  WriteFile(file, "[g]\nk=1\nk=2\n[g]\nk=3\n");
  EXPECT_EQ(ProfileGetInt(file, "g", "k", 0), 1);
  ASSERT_TRUE(ProfileWriteString(file, "g", "k", "9"));
  EXPECT_EQ(ReadFile(file), "[g]\nk=9\nk=2\n[g]\nk=3\n");
}

TEST_F(ProfileTest, HandEditedDamageIsToleratedAndKept) {
  std::string garbage = "\xEF\xBB\xBF[global\nquality=2\n";
  garbage += std::string("bin\0ary\xff\xfe=1\n", 12);
  garbage += "[mouse-effect]\nmouse-check=0";  // no final line end
  WriteFile(file, garbage);
  EXPECT_EQ(ProfileGetInt(file, "global", "quality", 1), 2);
  EXPECT_EQ(ProfileGetInt(file, "mouse-effect", "mouse-check", 1), 0);
  ASSERT_TRUE(ProfileWriteString(file, "mouse-effect", "mouse-hot-region-size", "57"));
  const std::string after = ReadFile(file);
  EXPECT_NE(after.find(std::string("bin\0ary\xff\xfe=1\n", 12)), std::string::npos);
  EXPECT_NE(after.find("[global\nquality=2\n"), std::string::npos);
  EXPECT_EQ(after.substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_NE(after.find("mouse-check=0\nmouse-hot-region-size=57\n"), std::string::npos);
}

TEST_F(ProfileTest, UnsafeNamesAndValuesAreRefused) {
  ASSERT_TRUE(ProfileWriteString(file, "global", "quality", "1"));
  const std::string before = ReadFile(file);
  EXPECT_FALSE(ProfileWriteString(file, "global", "quality", "1\n[hotkey]\nstop-key1=9"));
  EXPECT_FALSE(ProfileWriteString(file, "global", "a=b", "1"));
  EXPECT_FALSE(ProfileWriteString(file, "glo]bal", "a", "1"));
  EXPECT_FALSE(ProfileWriteString(file, "", "a", "1"));
  EXPECT_FALSE(ProfileWriteString(file, "global", "", "1"));
  EXPECT_EQ(ReadFile(file), before);
}

TEST_F(ProfileTest, WriteIntoMissingFolderFails) {
  EXPECT_FALSE(ProfileWriteString(dir / "no/such/dir/x.ini", "g", "k", "v"));
}

TEST_F(ProfileTest, WritesLeaveNoTemporaryFilesBehind) {
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(ProfileWriteString(file, "g", "k", std::to_string(i)));
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir.path()))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"configure.ini", "configure.ini.lock"}));
}

TEST_F(ProfileTest, ListingsShowSectionsAndEntries) {
  WriteFile(file, "[global]\nquality=2\nQuality=3\nvideo-format = 'mkv'\n[hotkey]\n[GLOBAL]\n");
  EXPECT_EQ(ProfileSectionNames(file), (std::vector<std::string>{"global", "hotkey"}));
  const auto entries = ProfileSectionEntries(file, "global");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].key, "quality");
  EXPECT_EQ(entries[0].value, "2");
  EXPECT_EQ(entries[1].value, "mkv");
}

// Two threads rewrite the file 200 times each; no write may be lost and no
// reader may ever see a key that was already written go missing.
TEST_F(ProfileTest, ConcurrentThreadWritersNeverLoseKeys) {
  constexpr int kWrites = 200;
  std::atomic<bool> failed{false};
  auto writer = [&](const std::string& section) {
    for (int i = 0; i < kWrites; ++i) {
      if (!ProfileWriteString(file, section, "key" + std::to_string(i), std::to_string(i)))
        failed = true;
      if (ProfileGetInt(file, section, "key0", -1) != 0) failed = true;
    }
  };
  std::thread a(writer, "alpha");
  std::thread b(writer, "beta");
  a.join();
  b.join();
  EXPECT_FALSE(failed);
  for (const char* section : {"alpha", "beta"}) {
    for (int i = 0; i < kWrites; ++i) {
      EXPECT_EQ(ProfileGetInt(file, section, "key" + std::to_string(i), -1), i)
          << section << " key" << i;
    }
  }
}

TEST_F(ProfileTest, ConcurrentProcessWritersNeverLoseKeys) {
  constexpr int kWrites = 100;
  std::vector<pid_t> children;
  for (const char* section : {"window", "kalrec"}) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      bool ok = true;
      for (int i = 0; i < kWrites; ++i)
        ok = ProfileWriteString(file, section, "k" + std::to_string(i), "v") && ok;
      ::_exit(ok ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (const pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(ProfileSectionEntries(file, "window").size(), static_cast<std::size_t>(kWrites));
  EXPECT_EQ(ProfileSectionEntries(file, "kalrec").size(), static_cast<std::size_t>(kWrites));
}

}  // namespace
