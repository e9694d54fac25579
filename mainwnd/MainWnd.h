#pragma once
// The program's main window: four pages (record, cut, convert, compress),
// the record page's settings written through at once, recording control,
// and the custom messages other windows and threads post to it.

#include <memory>
#include <string>
#include <thread>
#include <vector>

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
  // Ends a running recording and waits until its file is complete, without
  // touching any window (the display may be gone): the program is ending.
  void FinishRecordingForExit();
  int UiState() const { return uiState_; }
  const std::string& Extension() const { return extension_; }
  const std::string& OutputFolder() const { return outputFolder_; }
  Recorder& Engine() { return *recorder_; }

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
  // The cut page's preview player stops before any page switch; it comes
  // with the media tools, until then there is nothing to stop.
  void StopPlayer() {}
  void ShowRecordButtons(bool recording);
  void EndRecordingUi();
  void StartNewRecording();
  void ShowSaving(bool saving);
  void ShowSoundProblem(std::uintptr_t source, bool whileRecording);
  void OpenHelp();
  void AddRecordedFile(const std::string& path);
  void FillRecordedList();
  void ShowRecovered(const std::vector<std::string>& files);
  bool ConfirmQuitWhileRecording();

  std::unique_ptr<Poster> poster_;
  std::unique_ptr<Recorder> recorder_;
  std::unique_ptr<platform::X11ClickListener> clickListener_;
  std::thread recovery_;  // makes left-over recordings normal files
  std::string extension_ = "mp4";
  std::string outputFolder_;
  std::string outputFile_;
  std::string agent_;
  int uiState_ = kUiNone;
  bool saving_ = false;        // the last file is still being finished
  bool startWhenSaved_ = false;  // a start was asked for meanwhile
  int session_ = 0;            // the engine's session shown in the time display
  bool quitRequested_ = false;
  bool blinkOn_ = false;
};

// The folder new recordings go to: "output-dir", else "KAL屏幕录制" in the
// user's Documents folder (the Desktop when Documents is missing). Created
// when missing.
std::string ResolveOutputFolder();

}  // namespace kal
