#pragma once
// The program's main window. It only routes: each page and duty is a
// controller that owns its controls, notifications, messages and timers
// (record page, region recording, recording control, recorded-file list, tray and hotkeys,
// the page bar, the three tool pages, the brush, the settings dialog and the upgrade check). Closing follows "window-close".

#include <string>
#include <vector>

#include "mainwnd/BrushControl.h"
#include "mainwnd/CompressPage.h"
#include "mainwnd/Controller.h"
#include "mainwnd/ConvertPage.h"
#include "mainwnd/CutPage.h"
#include "mainwnd/FileRows.h"
#include "mainwnd/PageBar.h"
#include "mainwnd/RecordPage.h"
#include "mainwnd/RecordedFileList.h"
#include "mainwnd/RecordingControl.h"
#include "mainwnd/RegionControl.h"
#include "mainwnd/SettingsControl.h"
#include "mainwnd/TrayAndHotkeys.h"
#include "mainwnd/UpgradeControl.h"

namespace kal {

class CMainWnd : public ui::ControllerWindow {
  Q_OBJECT
 public:
  CMainWnd();
  ~CMainWnd() override;

  const ui::SkinSpec* Skin() const override { return &skin_; }

  // UI thread.
  RecordingControl& Recording() { return recording_; }
  int UiState() const { return recording_.UiState(); }
  Recorder& Engine() { return recording_.Engine(); }
  CutPage& Cut() { return cut_; }
  ConvertPage& Convert() { return convert_; }
  CompressPage& Compress() { return compress_; }
  RecordedFileList& Files() { return files_; }
  std::string Extension() const { return page_.Extension(); }
  const std::string& OutputFolder() const { return files_.Folder(); }
  // Ends a running recording and waits until its file is complete, without
  // touching any window (the display may be gone): the program is ending.
  void FinishRecordingForExit() { recording_.FinishForExit(); }
  // The check at start, unless the user turned it off; the window is shown.
  void CheckUpgradeAtStart() { upgrade_.CheckAtStart(); }

  void ShowMain() override;

 protected:
  QString ClassName() const override { return "CMainWnd"; }
  void InitWindow() override;
  void Notify(const ui::TNotifyUI& msg) override;
  void HandleCustomMessage(ui::Message& msg, bool& handled) override;
  void OnTimer(int id) override;
  void closeEvent(QCloseEvent* e) override;
  void reject() override {}  // Escape does not close the main window

 private:
  FileRecords records_;  // behind every file list's rows
  RecordPage page_{*this};
  CutPage cut_{*this};
  RecordedFileList files_{*this, records_, cut_};
  TrayAndHotkeys tray_{*this, [this] { return recording_.UiState(); }};
  ConvertPage convert_{*this, records_};
  CompressPage compress_{*this, records_};
  PageBar bar_{*this, {&cut_, &convert_, &compress_}};
  RegionControl region_{*this};
  RecordingControl recording_{*this, page_, files_, tray_, region_};
  BrushControl brush_;
  // After the controllers it reaches: its dialog goes before them.
  SettingsControl settings_{*this, tray_, region_, [this] { return recording_.Running(); }};
  UpgradeControl upgrade_{*this, [this] { return recording_.Running(); }, [this] { recording_.FinishForExit(); }};
  std::vector<Controller*> controllers_;
  std::vector<ui::ControlList> controls_;
  ui::SkinSpec skin_{};
  std::string agent_;
  bool quitRequested_ = false;
};

}  // namespace kal
