#include "online/DownloadDialog.h"

#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>

#include <chrono>

#include <glog/logging.h>

#include "online/Installer.h"
#include "ui/NoticeBoxes.h"

namespace kal::online {
namespace {

constexpr const char* kFailed = "升级失败";

struct DownloadDone : ui::MessagePayload {
  DownloadResult result;
};

}  // namespace

DownloadDialog::DownloadDialog(QWidget* owner, UpgradeOffer offer)
    : WindowImplBase(owner), offer_(std::move(offer)) {
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  TakeRole(ui::WindowRole::kDownload);
}

DownloadDialog::~DownloadDialog() {
  cancel_ = true;
  if (worker_.joinable()) worker_.join();
}

int DownloadDialog::ShowModal() {
  if (!TryCreate()) return 0;
  worker_ = std::thread(&DownloadDialog::Download, this);
  return RunModal();
}

void DownloadDialog::InitWindow() {
  text_ = FindControl<QLabel>(kText);
  slider_ = FindControl<QProgressBar>(kSlider);
  slider_->setRange(0, 100);
  ShowProgress(0, 0);
}

void DownloadDialog::Download() {
  DownloadJob job;
  job.url = offer_.url;
  job.fileName = offer_.fileName;
  job.sha256 = offer_.sha256;
  job.cancel = &cancel_;
  // Only what the user can tell apart is posted: a new whole percent, or
  // for a length not known a tenth of a second on.
  int lastPercent = -1;
  auto lastPost = std::chrono::steady_clock::now();
  job.progress = [&](long long got, long long total) {
    const auto now = std::chrono::steady_clock::now();
    if (total > 0) {
      const int percent = static_cast<int>(got * 100 / total);
      if (percent == lastPercent) return;
      lastPercent = percent;
    } else if (now - lastPost < std::chrono::milliseconds(100)) {
      return;
    }
    lastPost = now;
    PostMessage(this, WMU_DOWNLOAD_PROGRESS, static_cast<std::uintptr_t>(got), static_cast<std::intptr_t>(total));
  };
  auto done = std::make_unique<DownloadDone>();
  done->result = HttpDownload::DownloadFile(std::move(job));
  PostMessage(this, WMU_DOWNLOAD_DONE, 0, 0, std::move(done));
}

void DownloadDialog::ShowProgress(long long got, long long total) {
  if (total > 0) {
    const int percent = static_cast<int>(got * 100 / total);
    if (percent == shownPercent_) return;
    shownPercent_ = percent;
    slider_->setRange(0, 100);
    slider_->setValue(percent);
    text_->setText(QString::asprintf("%d%%", percent));
  } else if (total < 0) {
    // No length: the bar only moves, the text counts.
    slider_->setRange(0, 0);
    text_->setText(QString("已下载 %1 KB").arg(got / 1024));
  } else {
    slider_->setValue(0);
    text_->setText("0%");
  }
}

void DownloadDialog::HandleCustomMessage(ui::Message& msg, bool& handled) {
  handled = true;
  if (msg.id == WMU_DOWNLOAD_PROGRESS) {
    ShowProgress(static_cast<long long>(msg.wParam), static_cast<long long>(msg.lParam));
  } else if (msg.id == WMU_DOWNLOAD_DONE) {
    if (worker_.joinable()) worker_.join();
    if (auto* done = msg.Payload<DownloadDone>()) Finish(done->result);
  } else {
    handled = false;
  }
}

void DownloadDialog::Finish(const DownloadResult& result) {
  switch (result.end) {
    case DownloadEnd::kComplete: {
      std::string error;
      if (!StartInstaller(result.path, error)) return Fail(error);
      LOG(INFO) << "installer started: " << result.path;
      ui::PostTo(ui::WindowRole::kMain, WMU_UPGRADE_EXIT);
      done(1);
      return;
    }
    case DownloadEnd::kCancelled:
      LOG(INFO) << "download cancelled" << (offer_.force ? "; the upgrade is forced" : "");
      if (offer_.force) ui::PostTo(ui::WindowRole::kMain, WMU_UPGRADE_EXIT);
      done(0);
      return;
    case DownloadEnd::kFailed:
      return Fail(result.error);
  }
}

void DownloadDialog::Fail(const std::string& why) {
  LOG(ERROR) << kFailed << ": " << why;
  ui::PromptBoxDialog(this, kFailed).ShowModal();
  done(0);
}

void DownloadDialog::Cancel() {
  // The worker notices before its next read and ends the dialog.
  cancel_ = true;
  FindControl<QWidget>(kCancel)->setEnabled(false);
}

void DownloadDialog::Notify(const ui::TNotifyUI& msg) {
  if (msg.type == "click" && msg.senderName == kCancel) Cancel();
  NotifyBase(msg);
}

void DownloadDialog::OnKey(QKeyEvent* e) {
  if (e->key() != Qt::Key_Escape) return;
  e->accept();
  Cancel();
}

}  // namespace kal::online
