#include "config/settings/OtherPage.h"

#include <QFileDialog>
#include <QLineEdit>

#include "platform/FileOps.h"
#include "ui/OpenOnDesktop.h"

namespace kal {
namespace {

using P = OtherPage;
constexpr const char* kControls[] = {
    P::kFolder, P::kChoose, P::kOpen, P::kSuspend, "default-output-dir", "user-define-output-dir",
    "window-close-exit", "window-close-tray", "audio-compress-mp3", "audio-compress-aac",
    "audio-none-compress-flac"};

}  // namespace

OtherPage::OtherPage(ui::MainHost& dialog, SettingsHost& host) : SettingsPage(dialog, host) {
  bindings_.Options(cfg::kOutputDirType, {{"default-output-dir", "0"}, {"user-define-output-dir", "1"}});
  bindings_.Options(cfg::kWindowClose, {{"window-close-exit", "0"}, {"window-close-tray", "1"}});
  bindings_.Options(cfg::kAudioCompress, {{"audio-compress-mp3", "0"}, {"audio-compress-aac", "1"}});
  bindings_.Options(cfg::kAudioNoneCompress, {{"audio-none-compress-flac", "0"}});
  bindings_.Check(cfg::kSuspendCheck, kSuspend);
}

ui::ControlList OtherPage::Controls() const { return kControls; }

void OtherPage::Init() {
  SettingsPage::Init();
  // The folder in use is kept, so it stays the same wherever the default
  // would lead later.
  const std::string folder = host_.OutputFolder();
  dialog_.Control<QLineEdit>(kFolder)->setText(QString::fromStdString(folder));
  ui::WriteSetting(cfg::kOutputDir, folder);
}

bool OtherPage::Notify(const ui::TNotifyUI& msg) {
  if (msg.type == "click" && msg.senderName == kChoose) {
    ChooseFolder();
    return true;
  }
  if (msg.type == "click" && msg.senderName == kOpen) {
    const QString folder = dialog_.Control<QLineEdit>(kFolder)->text();
    if (!folder.isEmpty()) ui::OpenOnDesktop(folder.toStdString(), "视频存放目录");
    return true;
  }
  return bindings_.Notify(msg);
}

void OtherPage::ChooseFolder() {
  auto* edit = dialog_.Control<QLineEdit>(kFolder);
  const QString folder = QFileDialog::getExistingDirectory(
      dialog_.Window(), "选择视频存放目录", edit->text(),
      QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
  if (folder.isEmpty()) return;
  if (folder.toStdString().size() >= cfg::kOutputDir.size) {
    Tell(dialog_.Window(), "目录的路径太长，请选择其他目录!");
    return;
  }
  if (!platform::CanWriteInto(folder.toStdString())) {
    Tell(dialog_.Window(), "该目录没有写入权限!");
    return;
  }
  edit->setText(folder);
  ui::WriteSetting(cfg::kOutputDir, folder.toStdString());
}

}  // namespace kal
