#include "online/UpgradeCheck.h"

#include <cstdio>

#include <glog/logging.h>

#include "config/InstallConfig.h"
#include "config/Version.h"
#include "online/HttpClient.h"
#include "ui/WindowRegistry.h"

namespace kal::online {
namespace {

constexpr const char* kRequest = R"({"app_name":"KalRecorder"})";

void PrintVersions(const Version& remote, const Version& local) {
  std::printf("routeMajorVersion: %d routeMinorVersion: %d routeRevisionVersion: %d\n", remote.major,
              remote.minor, remote.revision);
  std::printf("localMajorVersion: %d localMinorVersion: %d localRevisionVersion: %d\n", local.major,
              local.minor, local.revision);
  std::fflush(stdout);
}

}  // namespace

Version LocalVersion() { return {kVersionMajor, kVersionMinor, kVersionRevision}; }

CheckResult RunUpgradeCheck(const std::string& url, UpgradeOffer& offer, const std::atomic<bool>* cancel) {
  const std::string body = kRequest;
  std::printf("message: %s\n", body.c_str());
  std::fflush(stdout);
  std::string answer;
  if (HttpClient::Instance().Post(body, url, answer, cancel) != 0) return CheckResult::kFailed;
  std::printf("response: %.4000s\n", answer.c_str());
  std::fflush(stdout);
  std::string why;
  const Version local = LocalVersion();
  const AnswerKind kind = ReadUpgradeAnswer(answer, local, offer, why);
  if (kind == AnswerKind::kUnusable) {
    LOG(WARNING) << "upgrade answer not used: " << why;
    return CheckResult::kFailed;
  }
  PrintVersions(offer.version, local);
  return kind == AnswerKind::kNewer ? CheckResult::kNewer : CheckResult::kCurrent;
}

UpgradeCheck::~UpgradeCheck() {
  cancel_ = true;
  if (thread_.joinable()) thread_.join();
}

bool UpgradeCheck::Start() {
  if (running_) return false;
  if (thread_.joinable()) thread_.join();  // the last one, done
  running_ = true;
  thread_ = std::thread([this] {
    auto answer = std::make_unique<UpgradeAnswer>();
    answer->result = RunUpgradeCheck(ReadUpgradeUrl(), answer->offer, &cancel_);
    LOG(INFO) << "upgrade check: " << static_cast<int>(answer->result);
    running_ = false;
    if (!cancel_) ui::PostTo(ui::WindowRole::kMain, WMU_UPGRADE_ANSWER, 0, 0, std::move(answer));
  });
  return true;
}

}  // namespace kal::online
