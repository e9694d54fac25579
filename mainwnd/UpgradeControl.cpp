#include "mainwnd/UpgradeControl.h"

#include <QCoreApplication>

#include <glog/logging.h>

#include "config/ConfigKeys.h"
#include "online/UpgradePrompt.h"
#include "ui/NoticeBoxes.h"

namespace kal {

UpgradeControl::UpgradeControl(MainHost& host, std::function<bool()> recording, std::function<void()> finish)
    : host_(host), recording_(std::move(recording)), finish_(std::move(finish)) {}

void UpgradeControl::CheckAtStart() {
  if (cfg::Read(cfg::kUpgradeCheck) == 0) return;
  check_.Start();
}

bool UpgradeControl::Handle(ui::Message& msg) {
  switch (msg.id) {
    case WMU_CHECK_UPGRADE:
      if (prompting_) return true;  // its answer is on the screen
      told_ = true;
      check_.Start();  // or the one running answers
      return true;
    case WMU_UPGRADE_ANSWER:
      if (auto* answer = msg.Payload<online::UpgradeAnswer>()) {
        pending_.reset(answer);
        msg.payload.release();
        Show();
      }
      return true;
    case WMU_UPGRADE_EXIT:
      LOG(INFO) << "upgrade: the program ends";
      finish_();
      QCoreApplication::exit(0);
      return true;
    default:
      return false;
  }
}

bool UpgradeControl::OnTimer(int id) {
  if (id != TIMER_UPGRADE_WAIT) return false;
  Show();
  return true;
}

void UpgradeControl::Show() {
  if (!pending_ || prompting_) return;
  if (recording_()) {
    host_.SetTimer(TIMER_UPGRADE_WAIT, 500);
    return;
  }
  host_.KillTimer(TIMER_UPGRADE_WAIT);
  const std::unique_ptr<online::UpgradeAnswer> answer = std::move(pending_);
  const bool tell = told_;
  told_ = false;
  const char* notice = nullptr;
  switch (answer->result) {
    case online::CheckResult::kNewer:
      break;
    case online::CheckResult::kCurrent:
      notice = online::kNoNewVersion;
      break;
    case online::CheckResult::kFailed:
      notice = online::kCheckFailed;
      break;
  }
  if (notice && !tell) return;
  prompting_ = true;
  host_.ShowMain();
  if (notice)
    ui::PromptBoxDialog(host_.Window(), notice).ShowModal();
  else
    online::ShowUpgradePrompt(host_.Window(), answer->offer);
  prompting_ = false;
}

}  // namespace kal
