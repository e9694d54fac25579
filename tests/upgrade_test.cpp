// The upgrade check of the window program against a loopback service of
// the test's own, driven from outside as a user would: the tray menu's
// "检查更新", the prompts read and answered on the accessibility bus, the
// download's progress as the dialog shows it, the installer that runs and
// the recordings a forced upgrade leaves.

#include <sys/socket.h>
#include <sys/stat.h>
#include <netinet/in.h>
#include <unistd.h>

#include <QCryptographicHash>

#include <chrono>
#include <filesystem>
#include <regex>
#include <thread>

#include <gtest/gtest.h>

#include "LocalServer.h"
#include "MediaProbe.h"
#include "OutputFolder.h"
#include "TempDir.h"
#include "TrayHost.h"
#include "WindowProgram.h"
#include "config/ConfigKeys.h"
#include "config/ConfigStore.h"
#include "config/UserFolders.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr const char* kNewer = "发现新版本啦!";
constexpr const char* kNone = "没有发现新版本!";

class UpgradeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove(kal::ConfigStore::Instance()->Path());
    kal::cfg::Write(kal::cfg::kOutputDir, out.path());
    kal::cfg::Write(kal::cfg::kAudioMuteCheck, 1);
    service->Post("/v2/upgrade_check", [this](const httplib::Request&, httplib::Response& res) {
      std::lock_guard<std::mutex> lock(mutex);
      res.set_content(answer, "application/json");
    });
    service->Get("/moved/(.*)", [this](const httplib::Request& req, httplib::Response& res) {
      res.set_redirect(service.Url("/" + req.matches[1].str()));
    });
    service->Get("/(kal-[^/]*)", [this](const httplib::Request&, httplib::Response& res) {
      kaltest::ServeSlowly(res, installer, 1024, pauseMs);
    });
    service.Start();
    kal::cfg::Write(kal::cfg::kUpgradeUrl, service.Url("/v2/upgrade_check"));
    temp = kal::GetUserDataFolder(kal::kTempFolder);
  }
  // What the service answers from now on.
  void Offer(const std::string& version, const std::string& force, const std::string& file,
             const std::string& sha = "") {
    std::lock_guard<std::mutex> lock(mutex);
    answer = R"({"ret":0,"data":{"app_version":")" + version + R"(","download_url":")" + service.Url("/moved/" + file) +
             R"(","force_upgrade":")" + force + "\"" + (sha.empty() ? "" : R"(,"sha256":")" + sha + "\"") + "}}";
  }
  void Answer(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex);
    answer = text;
  }
  int Checks() {
    const std::string seen = service.Seen();
    int n = 0;
    for (size_t at = 0; (at = seen.find("POST /v2/upgrade_check", at)) != std::string::npos; ++at) ++n;
    return n;
  }
  // Waits for the check number `n` to be asked.
  bool WaitForCheck(int n) {
    for (int i = 0; i < 100 && Checks() < n; ++i) std::this_thread::sleep_for(100ms);
    return Checks() >= n;
  }
  // Clicks the button `text` in the window titled `window`.
  void Click(kaltest::Program& p, const std::string& text, const std::string& window) {
    std::map<std::string, std::pair<int, int>> centres;
    for (int i = 0; i < 8 && !centres.count(text); ++i) {
      centres = p.Centres("push button", window);
      if (!centres.count(text)) std::this_thread::sleep_for(250ms);
    }
    ASSERT_TRUE(centres.count(text)) << "'" << text << "' in '" << window << "'";
    p.Xdo("mousemove " + std::to_string(centres[text].first) + " " + std::to_string(centres[text].second) +
          " click 1");
    std::this_thread::sleep_for(400ms);
  }
  // Whether a notice box reads `text` (waiting up to 10 s), and closes it.
  bool Told(kaltest::Program& p, const std::string& text) {
    if (!p.Shows("label", text)) return false;
    Click(p, "确定", "提示");
    return true;
  }
  bool TempHolds(const std::string& name) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(temp, ec))
      if (e.path().filename().string().find(name) != std::string::npos) return true;
    return false;
  }

  kaltest::TempDir out;
  kaltest::LocalServer service;
  std::mutex mutex;
  std::string answer = "{}";
  std::shared_ptr<std::string> installer = std::make_shared<std::string>(kaltest::Payload(40 * 1024));
  std::string temp;
  int pauseMs = 50;  // between the installer's kilobytes
};

TEST_F(UpgradeTest, PromptsFollowTheAnswerAndACancelledForcedUpgradeEnds) {
  kaltest::TrayHost tray;
  kaltest::FakeOpener opener;
  Offer("2.5.0", "0", "kal-2.5.0.deb");
  kaltest::Program program("", opener.Env());
  ASSERT_TRUE(WaitForCheck(1)) << "checked at start";
  std::this_thread::sleep_for(1s);
  EXPECT_EQ(program.Names("label").find(kNone), std::string::npos) << "the check at start says nothing";

  // Asked for, the check tells even that there is nothing new, or that it failed.
  for (const char* version : {"2.5.0", "2.4.9"}) {
    Offer(version, "0", "kal-x.deb");
    ASSERT_TRUE(tray.Choose("检查更新"));
    EXPECT_TRUE(Told(program, kNone)) << version;
  }
  for (const std::string& bad : {std::string("{\"ret\":0,\"data\":{\"app_version\":2}}"), std::string("")}) {
    Answer(bad);
    ASSERT_TRUE(tray.Choose("检查更新"));
    EXPECT_TRUE(Told(program, "检查更新失败")) << bad;
  }

  // An optional upgrade can be declined: nothing is fetched.
  Offer("2.5.1", "0", "kal-2.5.1.deb");
  ASSERT_TRUE(tray.Choose("检查更新"));
  ASSERT_TRUE(program.Shows("label", kNewer));
  Click(program, "取消", "提示");
  std::this_thread::sleep_for(1s);
  EXPECT_EQ(service.Seen().find("GET"), std::string::npos) << service.Seen();

  // A forced one only tells, then downloads; cancelled, the program ends
  // and leaves nothing behind.
  Offer("3.0.0", "1", "kal-3.0.0.deb");
  ASSERT_TRUE(tray.Choose("检查更新"));
  ASSERT_TRUE(program.Shows("label", kNewer));
  EXPECT_EQ(program.Centres("push button", "提示").count("取消"), 0u) << "a forced upgrade has no choice";
  Click(program, "确定", "提示");
  Click(program, "取消", "下载新版本");
  EXPECT_EQ(program.Wait(), 0);
  EXPECT_NE(service.Seen().find("GET /kal-3.0.0.deb"), std::string::npos) << service.Seen();
  EXPECT_FALSE(TempHolds("kal-3.0.0.deb"));
  EXPECT_EQ(opener.Opened(), "") << "nothing was opened";
}

TEST_F(UpgradeTest, AnAcceptedUpgradeDownloadsChecksAndRunsItsInstaller) {
  kaltest::TempDir marks;
  std::string script = "#!/bin/sh\necho \"$0\" > '" + (marks / "ran") + "'\n";
  while (script.size() < 40 * 1024) script += "# the rest of the installer\n";
  *installer = script;
  const std::string sha =
      QCryptographicHash::hash(QByteArray::fromStdString(script), QCryptographicHash::Sha256).toHex().toStdString();
  Offer("2.5.1", "0", "kal-upgrade.sh", sha);
  kaltest::Program program;
  Click(program, "确定", "提示");

  // What the dialog shows while the download runs.
  std::vector<int> shown;
  for (int i = 0; i < 100 && !fs::exists(marks / "ran"); ++i) {
    std::istringstream names(program.Names("label"));
    for (std::string line; std::getline(names, line);) {
      std::smatch m;
      if (std::regex_match(line, m, std::regex("([0-9]+)%")) && (shown.empty() || shown.back() != std::stoi(m[1])))
        shown.push_back(std::stoi(m[1]));
    }
  }
  EXPECT_EQ(program.Wait(), 0) << "the started installer ends the program";
  EXPECT_GE(shown.size(), 5u);
  EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()));
  EXPECT_NE(service.Seen().find("GET /moved/kal-upgrade.sh\nGET /kal-upgrade.sh"), std::string::npos);
  const std::string placed = temp + "/kal-upgrade.sh";
  EXPECT_EQ(kaltest::ReadFile(marks / "ran"), placed + "\n");
  struct stat st {};
  ASSERT_EQ(::stat(placed.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u) << "executable by its owner only";
}

TEST_F(UpgradeTest, AForcedUpgradeWaitsForTheRecordingAndFinishesTheNextOne) {
  kaltest::TrayHost tray;
  kaltest::FakeOpener opener;
  Offer("2.5.0", "0", "kal-x.deb");
  pauseMs = 300;  // the download lasts while a recording is made
  kaltest::Program program("", opener.Env());
  ASSERT_TRUE(WaitForCheck(1));
  kaltest::Run("xdotool key --clearmodifiers alt+F8");
  ASSERT_TRUE(kaltest::WaitForUnfinished(out.path()));
  Offer("3.0.0", "1", "kal-forced.deb");
  ASSERT_TRUE(tray.Choose("检查更新"));
  ASSERT_TRUE(WaitForCheck(2));
  EXPECT_FALSE(program.Shows("label", kNewer)) << "no prompt in the video";
  kaltest::Run("xdotool key --clearmodifiers alt+F12");
  ASSERT_TRUE(program.Shows("label", kNewer)) << "told once the recording ends";
  Click(program, "确定", "提示");
  // A recording started while the download runs is finished before the end.
  kaltest::Run("xdotool key --clearmodifiers alt+F8");
  ASSERT_TRUE(kaltest::WaitForUnfinished(out.path()));
  std::this_thread::sleep_for(1500ms);
  Click(program, "取消", "下载新版本");
  EXPECT_EQ(program.Wait(), 0);
  EXPECT_EQ(opener.Opened(), "") << "nothing was opened";
  const auto files = kaltest::FinishedFiles(out.path(), 2);
  ASSERT_EQ(files.size(), 2u);
  for (const auto& f : files) {
    const auto info = kaltest::ProbeFile(f.string());
    const auto* v = info.Find(AVMEDIA_TYPE_VIDEO);
    ASSERT_TRUE(v) << f << ": " << info.error;
    EXPECT_GT(v->framesDecoded, 10) << f;
    EXPECT_EQ(v->decodeErrors, 0) << f;
  }
}

TEST_F(UpgradeTest, AServiceThatNeverAnswersHoldsNothingUp) {
  // Takes the connection and the request, and never says a word.
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
  ASSERT_EQ(::listen(listener, 4), 0);
  socklen_t size = sizeof at;
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&at), &size);
  kal::cfg::Write(kal::cfg::kUpgradeUrl, "http://127.0.0.1:" + std::to_string(ntohs(at.sin_port)) + "/v2/upgrade_check");
  kaltest::TrayHost tray;
  const auto started = std::chrono::steady_clock::now();
  kaltest::Program program;  // returns once the main window is there
  EXPECT_LT(std::chrono::steady_clock::now() - started, 4s);
  ASSERT_TRUE(tray.Choose("退出"));
  const auto quitting = std::chrono::steady_clock::now();
  EXPECT_EQ(program.Wait(), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - quitting, 2s);
  ::close(listener);
}

}  // namespace
