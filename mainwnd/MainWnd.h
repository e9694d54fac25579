#pragma once
// The program's main window: four pages (record, cut, convert, compress),
// the record page's settings written through at once, recording control,
// and the custom messages other windows and threads post to it.

#include <memory>
#include <string>

#include "recorder/Recorder.h"
#include "ui/WindowImplBase.h"

namespace platform {
class X11ClickListener;
}

namespace kal {

// Messages the main window receives (WM_USER + n).
inline constexpr unsigned WMU_TRAY_ICON = kWmUser + 10;
inline constexpr unsigned WMU_QUIT = kWmUser + 20;
inline constexpr unsigned WMU_SHOW_MAIN = kWmUser + 24;
inline constexpr unsigned WMU_OPEN_HELP = kWmUser + 25;
inline constexpr unsigned WMU_OPEN_SETTINGS = kWmUser + 26;
inline constexpr unsigned WMU_OPEN_FEEDBACK = kWmUser + 27;
inline constexpr unsigned WMU_CHECK_UPGRADE = kWmUser + 28;
inline constexpr unsigned WMU_RECORD_START = kWmUser + 141;
inline constexpr unsigned WMU_RECORD_PAUSE = kWmUser + 142;
inline constexpr unsigned WMU_RECORD_STOP = kWmUser + 143;
inline constexpr unsigned WMU_SELECT_REGION = kWmUser + 200;

inline constexpr int TIMER_LIST_SCROLL = 1001;
inline constexpr int TIMER_TRAY_BLINK = 1002;
// Internal: the file of a stopped recording is read after this timer.
inline constexpr int TIMER_RECORDING_DONE = 1003;

// The main window's mirror of the recording.
enum RecordUiState : int { kUiNone = 0, kUiRecording = 1, kUiPaused = 2, kUiStopped = 3 };

// Every control the main window's skin must carry.
extern const char* const kMainWndControls[];
extern const int kMainWndControlCount;

class CMainWnd : public ui::WindowImplBase {
  Q_OBJECT
 public:
  CMainWnd();
  ~CMainWnd() override;

  // UI thread.
  void StartOrResume();
  void PauseRecording();
  void StopRecording();
  int UiState() const { return uiState_; }
  const std::string& Extension() const { return extension_; }
  const std::string& OutputFolder() const { return outputFolder_; }
  Recorder& Engine() { return *recorder_; }
  // How often the preview player was told to stop (page switches).
  int PlayerStops() const { return playerStops_; }
  bool MinimizeRequested() const { return minimizeRequested_; }

 protected:
  QString ClassName() const override { return "CMainWnd"; }
  QString GetSkinFile() const override { return "MainWindow.xml"; }
  void InitWindow() override;
  void Notify(const ui::TNotifyUI& msg) override;
  void HandleCustomMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                           bool& handled) override;
  void OnTimer(int id) override;
  void closeEvent(QCloseEvent* e) override;
  void reject() override {}  // Escape does not close the main window

 private:
  class Poster;
  void RestoreRecordPage();
  void SelectPage(int index);
  void StopPlayer() { ++playerStops_; }
  void ShowRecordButtons(bool recording);
  void EndRecordingUi();
  void AddRecordedFile(const std::string& path);
  void FillRecordedList();
  bool ConfirmQuitWhileRecording();

  std::unique_ptr<Poster> poster_;
  std::unique_ptr<Recorder> recorder_;
  std::unique_ptr<platform::X11ClickListener> clickListener_;
  std::string extension_ = "mp4";
  std::string outputFolder_;
  std::string outputFile_;
  std::string agent_;
  int uiState_ = kUiNone;
  int playerStops_ = 0;
  bool quitRequested_ = false;
  bool minimizeRequested_ = false;
  bool blinkOn_ = false;
};

// The folder new recordings go to: "output-dir", else "KAL屏幕录制" in the
// user's Documents folder (the Desktop when Documents is missing). Created
// when missing.
std::string ResolveOutputFolder();

}  // namespace kal
