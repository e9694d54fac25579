#pragma once
// The main window's side of a recording: start-or-resume, pause and stop
// from every source (buttons, messages), the file's name, the engine's
// settings, the elapsed time, what is missing of the sound, the end of a
// recording (by the user or by itself) and the hand-over of its file to
// the list.

#include <memory>
#include <string>

#include "mainwnd/Controller.h"
#include "recorder/Recorder.h"
#include "ui/RecordButtons.h"

namespace platform {
class X11ClickListener;
}

namespace kal {

class SuspendDialog;
class RecordPage;
class RecordedFileList;
class TrayAndHotkeys;
class RegionControl;

// The main window's mirror of the recording.
enum RecordUiState : int { kUiNone = 0, kUiRecording = 1, kUiPaused = 2, kUiStopped = 3 };

class RecordingControl : public Controller {
 public:
  static constexpr const char* kStart = ui::kRecordStartButton;
  static constexpr const char* kPause = ui::kRecordPauseButton;
  static constexpr const char* kStop = ui::kRecordStopButton;
  static constexpr const char* kTime = "recordTimeText";
  static constexpr const char* kSound = "recordSoundText";

  RecordingControl(MainHost& host, const RecordPage& page, RecordedFileList& files,
                   TrayAndHotkeys& tray, RegionControl& region);
  ~RecordingControl() override;
  ui::ControlList Controls() const override;
  void Init() override;
  bool Notify(const ui::TNotifyUI& msg) override;
  bool Handle(ui::Message& msg) override;
  bool OnTimer(int id) override;

  // UI thread.
  void StartOrResume();
  void PauseRecording();
  void StopRecording();
  // Ends a running recording and waits until its file is complete, without
  // touching any window (the display may be gone): the program is ending.
  void FinishForExit();
  // Asks the user whether to stop a running recording; true when none runs
  // or it was stopped and finished.
  bool ConfirmQuit();
  int UiState() const { return uiState_; }
  // A recording runs, or is paused.
  bool Running() const { return uiState_ == kUiRecording || uiState_ == kUiPaused; }
  Recorder& Engine() { return *recorder_; }

 private:
  class Poster;
  void StartNewRecording();
  void ShowRecordButtons(bool recording);
  void EndRecordingUi();
  void ShowSaving(bool saving);
  void ShowSoundChange(std::uintptr_t source, std::intptr_t change);
  // One more line under the record buttons: what the user should know of
  // this recording.
  void ShowNotice(const QString& line);
  void ShowFailure(std::uintptr_t kind);

  MainHost& host_;
  const RecordPage& page_;
  RecordedFileList& files_;
  TrayAndHotkeys& tray_;
  RegionControl& region_;
  std::unique_ptr<Poster> poster_;
  std::unique_ptr<Recorder> recorder_;
  std::unique_ptr<platform::X11ClickListener> clickListener_;
  std::unique_ptr<SuspendDialog> pauseBox_;  // made on first use, then shown and hidden
  bool pauseBoxWanted_ = false;              // "suspend-check" of the recording
  bool regionWanted_ = false;                // region recording of the recording
  int uiState_ = kUiNone;
  bool saving_ = false;          // the last file is still being finished
  bool startWhenSaved_ = false;  // a start was asked for meanwhile
  int session_ = 0;              // the engine's session shown in the time display
};

}  // namespace kal
