#include "config/settings/SetingDialog.h"

#include <QKeyEvent>
#include <QTabWidget>

#include "config/settings/BasicPage.h"
#include "config/settings/HotkeyPage.h"
#include "config/settings/MouseEffectPage.h"
#include "config/settings/OtherPage.h"
#include "config/settings/WatermarkPage.h"
#include "ui/NoticeBoxes.h"

namespace kal {
namespace {

constexpr int TIMER_RECORDING = 1;
constexpr int kRecordingLookMs = 500;
constexpr const char* kOwnControls[] = {SetingDialog::kTabs, SetingDialog::kClose, SetingDialog::kNotice};

}  // namespace

void Tell(QWidget* owner, const QString& text) {
  ui::PromptBoxDialog box(owner, text);
  box.ShowModal();
}

SetingDialog::SetingDialog(QWidget* owner, SettingsHost& host) : ControllerWindow(owner), host_(host) {
  pages_.push_back(std::make_unique<BasicPage>(*this, host));
  pages_.push_back(std::make_unique<MouseEffectPage>(*this, host));
  pages_.push_back(std::make_unique<WatermarkPage>(*this, host));
  pages_.push_back(std::make_unique<HotkeyPage>(*this, host));
  pages_.push_back(std::make_unique<OtherPage>(*this, host));
  controls_.push_back(kOwnControls);
  for (const auto& p : pages_) controls_.push_back(p->Controls());
  skin_ = {"SetingDialog", "Seting.xml", controls_};
  setWindowFlags(Qt::Dialog);
}

SetingDialog::~SetingDialog() {
  // A window that never came up (its skin failed) has nothing to write.
  if (committed_ || !shown_) return;
  for (const auto& p : pages_) p->Commit();
}

void SetingDialog::InitWindow() {
  for (const auto& p : pages_) p->Init();
  FindControl<QTabWidget>(kTabs)->setCurrentIndex(0);
  ShowRecording();
  SetTimer(TIMER_RECORDING, kRecordingLookMs);
  shown_ = true;
}

void SetingDialog::ShowMain() {
  showNormal();
  raise();
  activateWindow();
}

void SetingDialog::Notify(const ui::TNotifyUI& msg) {
  if (msg.type == "click" && msg.senderName == kClose) {
    close();
  } else {
    for (const auto& p : pages_)
      if (p->Notify(msg)) break;
  }
  NotifyBase(msg);
}

void SetingDialog::OnTimer(int id) {
  if (id == TIMER_RECORDING) ShowRecording();
}

void SetingDialog::ShowRecording() {
  const bool running = host_.Recording();
  if (running == recording_) return;
  recording_ = running;
  FindControl(kNotice)->setVisible(running);
  for (const auto& p : pages_) p->RecordingChanged(running);
}

void SetingDialog::OnKey(QKeyEvent* e) {
  if (e->key() != Qt::Key_Escape) return;
  e->accept();
  close();
}

void SetingDialog::done(int result) {
  if (!committed_) {
    for (const auto& p : pages_) {
      const QString why = p->Refusal();
      if (why.isEmpty()) continue;
      auto* tabs = FindControl<QTabWidget>(kTabs);
      tabs->setCurrentWidget(tabs->findChild<QWidget*>(p->Tab()));
      Tell(this, why);
      return;
    }
    for (const auto& p : pages_) p->Commit();
    committed_ = true;
  }
  KillTimer(TIMER_RECORDING);
  ControllerWindow::done(result);
}

}  // namespace kal
