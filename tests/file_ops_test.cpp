// Renaming and deleting the user's files: nothing replaced, nothing lost,
// the trash laid out as the desktop's file managers read it.

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "TempDir.h"
#include "mainwnd/FileRename.h"
#include "platform/FileOps.h"

namespace fs = std::filesystem;

namespace {

std::string Read(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(FileOpsTest, RenameKeepsEveryFileAndTheExtension) {
  kaltest::TempDir dir;
  const std::string a = dir.path() + "/录制 1.mp4", b = dir.path() + "/taken.mp4";
  kaltest::WriteFile(a, "first");
  kaltest::WriteFile(b, "second");
  std::string path, error;
  EXPECT_FALSE(kal::RenameListedFile(a, "taken", path, error)) << "onto a taken name";
  EXPECT_NE(error.find("taken.mp4"), std::string::npos) << error;
  EXPECT_EQ(Read(a), "first");
  EXPECT_EQ(Read(b), "second");
  for (const char* bad : {"  ", "a/b", ".."}) {
    EXPECT_FALSE(kal::RenameListedFile(a, bad, path, error)) << bad;
    EXPECT_FALSE(error.empty());
  }
  EXPECT_EQ(Read(a), "first");
  ASSERT_TRUE(kal::RenameListedFile(a, "  new 'name' $x ", path, error)) << error;
  EXPECT_EQ(path, dir.path() + "/new 'name' $x.mp4") << "the old extension is kept";
  EXPECT_EQ(Read(path), "first");
  ASSERT_TRUE(kal::RenameListedFile(path, "clip.mkv", path, error));
  EXPECT_EQ(path, dir.path() + "/clip.mkv");
  EXPECT_FALSE(kal::RenameListedFile(dir.path() + "/gone.mp4", "x", path, error));
  EXPECT_FALSE(error.empty());
}

TEST(FileOpsTest, DeleteGoesToTheTrashUnderItsOwnName) {
  kaltest::TempDir dir;
  ::setenv("XDG_DATA_HOME", (dir.path() + "/data").c_str(), 1);
  const std::string trash = dir.path() + "/data/Trash";
  std::string error;
  for (int i = 0; i < 2; ++i) {  // the second file of that name gets a name of its own
    const std::string file = dir.path() + "/my clip%.mp4";
    kaltest::WriteFile(file, "take " + std::to_string(i));
    ASSERT_TRUE(platform::MoveToTrash(file, error)) << error;
    EXPECT_FALSE(fs::exists(file));
  }
  EXPECT_EQ(Read(trash + "/files/my clip%.mp4"), "take 0");
  EXPECT_EQ(Read(trash + "/files/my clip%.mp4.1"), "take 1");
  const std::string info = Read(trash + "/info/my clip%.mp4.trashinfo");
  EXPECT_EQ(info.rfind("[Trash Info]\nPath=", 0), 0u) << info;
  EXPECT_NE(info.find("/my%20clip%25.mp4\n"), std::string::npos) << info;
  EXPECT_NE(info.find("DeletionDate=20"), std::string::npos) << info;
  EXPECT_TRUE(fs::exists(trash + "/info/my clip%.mp4.1.trashinfo"));
  EXPECT_FALSE(platform::MoveToTrash(dir.path() + "/missing.mp4", error));
  EXPECT_FALSE(fs::exists(trash + "/info/missing.mp4.trashinfo")) << "no info for a file never moved";
}

}  // namespace
