#pragma once
// The upgrade's download: the installer is fetched on a worker thread with
// its progress shown ("download-text", "download-slider"), then checked and
// started, which ends the program. "cancel", Escape and the title bar's
// close stop it; a forced upgrade that is cancelled ends the program too.
// The end of the program is asked of the main window, which finishes a
// running recording first.

#include <atomic>
#include <thread>

#include "online/HttpDownload.h"
#include "online/UpgradeAnswer.h"
#include "ui/WindowImplBase.h"

class QLabel;
class QProgressBar;

namespace kal::online {

class DownloadDialog : public ui::WindowImplBase {
  Q_OBJECT
 public:
  DownloadDialog(QWidget* owner, UpgradeOffer offer);
  ~DownloadDialog() override;  // cancels the download and waits for its worker

  static constexpr const char* kCancel = "cancel";
  static constexpr const char* kText = "download-text";
  static constexpr const char* kSlider = "download-slider";
  static constexpr const char* kControls[] = {kCancel, kText, kSlider};
  static constexpr ui::ControlList kLists[] = {kControls};
  static constexpr ui::SkinSpec kSkin{"DownloadDialog", "download.xml", kLists};
  const ui::SkinSpec* Skin() const override { return &kSkin; }

  // Made, shown and run modal: 1 when the installer started.
  int ShowModal();
  // Shows the progress as the worker would (for the screenshot).
  void ShowProgress(long long got, long long total);

 protected:
  QString ClassName() const override { return kSkin.className; }
  void InitWindow() override;
  void Notify(const ui::TNotifyUI& msg) override;
  void HandleCustomMessage(ui::Message& msg, bool& handled) override;
  void OnKey(QKeyEvent* e) override;
  void reject() override { Cancel(); }

 private:
  void Cancel();
  void Download();  // the worker
  void Finish(const DownloadResult& result);
  void Fail(const std::string& why);

  UpgradeOffer offer_;
  QLabel* text_ = nullptr;
  QProgressBar* slider_ = nullptr;
  int shownPercent_ = -1;
  std::atomic<bool> cancel_{false};
  std::thread worker_;
};

}  // namespace kal::online
