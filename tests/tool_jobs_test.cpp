// The convert and compress pages' jobs in the main window: several at once,
// each row with its own progress and end; a damaged input, a missing ffmpeg
// and a full disk fail on their row and leave no file; closing the window
// ends ffmpeg. What the rows show is read from their labels; what the jobs
// wrote, from the output folder.

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <map>

#include <gtest/gtest.h>

#include "Clips.h"
#include "FileListRows.h"
#include "MediaProbe.h"
#include "SmallDisk.h"
#include "Subprocess.h"
#include "TempDir.h"
#include "config/ConfigKeys.h"
#include "config/ConfigStore.h"
#include "mainwnd/MainWnd.h"
#include "media/MediaDuration.h"

namespace fs = std::filesystem;
using kal::CompressPage;
using kal::ConvertPage;

namespace {

class ToolJobsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    clips_ = new kaltest::TempDir;
    // No shell stands between the page and ffmpeg: any name works.
    folder_ = *clips_ / "录制 'a' \"b\" $HOME";
    fs::create_directory(folder_);
    ASSERT_TRUE(kaltest::MakeClip(folder_ + "/good.mp4", 4, "testsrc=size=640x480:rate=25"));
    ASSERT_TRUE(kaltest::MakeClip(folder_ + "/noise.mp4", 30, kaltest::kNoise));
    std::string damaged = kaltest::ReadFile(folder_ + "/good.mp4");
    kaltest::WriteFile(folder_ + "/damaged.mp4", "not a video" + damaged.substr(damaged.size() / 2));
  }
  static void TearDownTestSuite() { delete clips_; }
  void SetUp() override {
    fs::remove(kal::ConfigStore::Instance()->Path());
    kal::cfg::Write(kal::cfg::kOutputDir, out.path());
    w = std::make_unique<kal::CMainWnd>();
    w->Create();
    w->show();
    QApplication::processEvents();
  }
  QAbstractButton* Button(kal::ToolFileList& page, int tag, const char* name) {
    return page.Rows().Control<QAbstractButton>(tag, name);
  }
  static bool WaitFor(const std::function<bool()>& done, int seconds) {
    for (int i = 0; i < seconds * 20 && !done(); ++i) QTest::qWait(50);
    return done();
  }
  // Files of the output folder (a full disk's when given).
  std::vector<std::string> Written(const std::string& folder = "") const {
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(folder.empty() ? out.path() : folder))
      if (e.is_regular_file()) files.push_back(e.path().filename().string());
    return files;
  }
  static std::string Label(kal::ToolFileList& page, int tag, const char* name) {
    auto* l = page.Rows().Control<QLabel>(tag, name);
    return l ? l->text().toStdString() : "<none>";
  }
  static inline kaltest::TempDir* clips_ = nullptr;
  static inline std::string folder_;
  kaltest::TempDir out;
  std::unique_ptr<kal::CMainWnd> w;
};

TEST_F(ToolJobsTest, JobsRunSideBySideAndEachRowTellsItsOwnEnd) {
  ConvertPage& convert = w->Convert();
  CompressPage& compress = w->Compress();
  const int first = convert.AddFile(folder_ + "/good.mp4");
  const int second = convert.AddFile(folder_ + "/good.mp4");  // the same file twice: two outputs
  const int damaged = convert.AddFile(folder_ + "/damaged.mp4");
  const int squeezed = compress.AddFile(folder_ + "/good.mp4");
  w->FindControl<QAbstractButton>(CompressPage::kDeep)->click();
  w->FindControl<QAbstractButton>(CompressPage::kFlv)->click();  // tells its output apart

  // Each row's progress as it is shown, every 10 ms.
  std::map<int, std::vector<std::string>> shown;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    for (int tag : {first, second})
      if (auto& v = shown[tag]; v.empty() || v.back() != Label(convert, tag, "progress-label"))
        v.push_back(Label(convert, tag, "progress-label"));
  });
  watch.start(10);
  for (int tag : {first, second, damaged}) Button(convert, tag, ConvertPage::kJob)->click();
  Button(compress, squeezed, CompressPage::kJob)->click();
  EXPECT_FALSE(Button(convert, first, ConvertPage::kJob)->isEnabled()) << "while its job runs";
  EXPECT_EQ(convert.RunningJobs() + compress.RunningJobs(), 4);
  ASSERT_TRUE(WaitFor([&] { return convert.RunningJobs() + compress.RunningJobs() == 0; }, 90));
  QApplication::processEvents();

  for (int tag : {first, second}) {
    EXPECT_TRUE(Button(convert, tag, ConvertPage::kJob)->isEnabled());
    ASSERT_FALSE(shown[tag].empty());
    EXPECT_EQ(shown[tag].back(), "100%");
    for (size_t i = 1; i < shown[tag].size(); ++i)
      EXPECT_LE(std::stoi(shown[tag][i - 1]), std::stoi(shown[tag][i])) << "rising";
  }
  EXPECT_EQ(Label(convert, damaged, "progress-label"), "失败");
  EXPECT_FALSE(convert.Rows().Control<QLabel>(damaged, "progress-label")->toolTip().isEmpty())
      << "ffmpeg's last words";
  EXPECT_TRUE(Button(convert, damaged, ConvertPage::kJob)->isEnabled());

  // Two converts, one compress; nothing of the damaged one, no temporary file.
  std::vector<std::string> converted;
  std::string squeezedName;
  for (const auto& name : Written()) {
    ASSERT_EQ(name.rfind("good-", 0), 0u) << name;
    EXPECT_EQ(name.find(".part"), std::string::npos) << name;
    const auto info = kaltest::ProbeFile(out / name, false);
    ASSERT_TRUE(info.opened) << name;
    EXPECT_EQ(info.Find(AVMEDIA_TYPE_VIDEO)->codec, AV_CODEC_ID_H264) << name;
    EXPECT_EQ(info.Find(AVMEDIA_TYPE_AUDIO)->codec, AV_CODEC_ID_AAC) << name;
    (fs::path(name).extension() == ".flv" ? squeezedName : converted.emplace_back()) = name;
  }
  EXPECT_EQ(converted.size(), 2u);
  ASSERT_FALSE(squeezedName.empty());
  const auto source = fs::file_size(folder_ + "/good.mp4"), written = fs::file_size(out / squeezedName);
  EXPECT_EQ(Label(compress, squeezed, CompressPage::kNewSize), kal::SizeText(written));
  EXPECT_LT(written, source);
  EXPECT_EQ(Label(compress, squeezed, CompressPage::kSaving),
            QString::asprintf("%.2f%%", (float(source) - float(written)) / float(source) * 100).toStdString());
  EXPECT_EQ(Label(compress, squeezed, "progress-label"), "100%");
}

TEST_F(ToolJobsTest, WithoutFfmpegOrRoomARowFailsAndLeavesNoFile) {
  ConvertPage& convert = w->Convert();
  {
    const std::string path = std::getenv("PATH");
    kaltest::TempDir empty;
    ::setenv("PATH", empty.path().c_str(), 1);
    const int tag = convert.AddFile(folder_ + "/good.mp4");
    Button(convert, tag, ConvertPage::kJob)->click();
    ::setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(Label(convert, tag, "progress-label"), "失败");
    EXPECT_TRUE(convert.Rows().Control<QLabel>(tag, "progress-label")->toolTip().contains("ffmpeg"));
    EXPECT_TRUE(Button(convert, tag, ConvertPage::kJob)->isEnabled());
    EXPECT_TRUE(Written().empty());
  }
  kaltest::SmallDisk disk(out / "small", 2);
  if (!disk.Mounted()) GTEST_SKIP() << "mounting a small filesystem needs root";
  kal::cfg::Write(kal::cfg::kOutputDir, disk.path());
  const int tag = convert.AddFile(folder_ + "/noise.mp4");
  Button(convert, tag, ConvertPage::kJob)->click();
  ASSERT_TRUE(WaitFor([&] { return convert.RunningJobs() == 0; }, 120));
  QApplication::processEvents();
  EXPECT_EQ(Label(convert, tag, "progress-label"), "失败");
  EXPECT_TRUE(Button(convert, tag, ConvertPage::kJob)->isEnabled());
  EXPECT_TRUE(Written(disk.path()).empty()) << Written(disk.path()).front();
}

TEST_F(ToolJobsTest, ClosingTheWindowDuringAJobEndsFfmpegAndLeavesNothing) {
  ConvertPage& convert = w->Convert();
  const int tag = convert.AddFile(folder_ + "/noise.mp4");
  Button(convert, tag, ConvertPage::kJob)->click();
  ASSERT_TRUE(WaitFor([&] { return Label(convert, tag, "progress-label") != "0%"; }, 30));
  // "[f]" keeps the shell running pgrep from matching itself.
  const std::string ffmpegs = "pgrep -f '[f]fmpeg .*" + out.path() + "'";
  ASSERT_NE(kaltest::Output(ffmpegs), "") << "ffmpeg writes there";
  w.reset();
  EXPECT_EQ(kaltest::Output(ffmpegs), "");
  EXPECT_TRUE(Written().empty());
}

}  // namespace
