#include "mainwnd/RecordingControl.h"

#include <QAbstractButton>
#include <QLabel>

#include <ctime>
#include <filesystem>

#include <glog/logging.h>

#include "config/ConfigKeys.h"
#include "mainwnd/RecordPage.h"
#include "mainwnd/RecordedFileList.h"
#include "mainwnd/TrayAndHotkeys.h"
#include "mainwnd/RegionControl.h"
#include "overlay/SuspendDialog.h"
#include "ui/ElapsedText.h"
#include "platform/X11ClickListener.h"
#include "recorder/ClickFlags.h"
#include "ui/NoticeBoxes.h"

namespace kal {
namespace {

using C = RecordingControl;
constexpr const char* kControls[] = {C::kStart, C::kPause, C::kStop, C::kTime, C::kSound};
// How often the window looks whether a stopped recording's file is done.
constexpr int kFinishedPollMs = 100;
constexpr auto kExitFinishWait = std::chrono::seconds(60);

// "<stamp>.<ext>", or "<stamp>-1.<ext>" and so on when a recording of that
// second (finished or not) is there already: nothing is ever written over.
std::string FreeFileName(const std::string& folder, const std::string& stamp,
                         const std::string& extension) {
  for (int n = 0;; ++n) {
    const std::string name = stamp + (n ? "-" + std::to_string(n) : "") + "." + extension;
    const std::string path = folder + "/" + name;
    std::error_code ec;
    if (!std::filesystem::exists(path, ec) && !std::filesystem::exists(path + ".part", ec))
      return name;
  }
}

}  // namespace

// Turns the engine's reports into messages to the main window, delivered on
// its thread.
class RecordingControl::Poster : public MessagePoster {
 public:
  void RecordedSeconds(int session, std::int64_t seconds) override {
    ui::PostTo(ui::WindowRole::kMain, WMU_RECORD_SECONDS, static_cast<std::uintptr_t>(session),
               static_cast<std::intptr_t>(seconds));
  }
  void RecordingFailed(RecordFailure kind) override {
    ui::PostTo(ui::WindowRole::kMain, WMU_RECORD_FAILED, kind);
  }
  void SoundLost(SoundSource source, bool whileRecording) override {
    ui::PostTo(ui::WindowRole::kMain, WMU_RECORD_SOUND_LOST, source,
               whileRecording ? kSoundGone : kSoundMissing);
  }
  void SoundBack(SoundSource source) override {
    ui::PostTo(ui::WindowRole::kMain, WMU_RECORD_SOUND_LOST, source, kSoundBack);
  }
  void CameraLost() override { ui::PostTo(ui::WindowRole::kMain, WMU_RECORD_CAMERA_LOST); }
};

RecordingControl::RecordingControl(MainHost& host, const RecordPage& page,
                                   RecordedFileList& files, TrayAndHotkeys& tray,
                                   RegionControl& region)
    : host_(host),
      page_(page),
      files_(files),
      tray_(tray),
      region_(region),
      poster_(std::make_unique<Poster>()) {}

RecordingControl::~RecordingControl() {
  if (recorder_ && (recorder_->State() == kRecording || recorder_->State() == kPaused))
    recorder_->Stop();
}

ui::ControlList RecordingControl::Controls() const { return kControls; }

void RecordingControl::Init() {
  uiState_ = kUiNone;
  ShowRecordButtons(false);
  recorder_ = std::make_unique<Recorder>(poster_.get());
}

bool RecordingControl::Notify(const ui::TNotifyUI& msg) {
  if (msg.type != "click") return false;
  if (msg.senderName == kStart) StartOrResume();
  else if (msg.senderName == kPause) PauseRecording();
  else if (msg.senderName == kStop) StopRecording();
  else return false;
  return true;
}

bool RecordingControl::Handle(ui::Message& msg) {
  switch (msg.id) {
    case WMU_RECORD_START: StartOrResume(); return true;
    case WMU_RECORD_PAUSE: PauseRecording(); return true;
    case WMU_RECORD_STOP: StopRecording(); return true;
    case WMU_RECORD_SECONDS:
      // Seconds of an earlier session, or posted just before the stop, are stale.
      if (static_cast<int>(msg.wParam) == session_ && Running()) {
        host_.Control<QLabel>(kTime)->setText(ui::ElapsedText(msg.lParam));
        if (pauseBoxWanted_) ui::PostTo(ui::WindowRole::kPauseBox, WMU_RECORD_SECONDS, 0, msg.lParam);
        if (regionWanted_) ui::PostTo(ui::WindowRole::kRecordToolbar, WMU_RECORD_SECONDS, 0, msg.lParam);
      }
      return true;
    case WMU_RECORD_SOUND_LOST:
      ShowSoundChange(msg.wParam, msg.lParam);
      return true;
    case WMU_RECORD_CAMERA_LOST:
      ShowNotice("摄像头已断开，录制继续，画面停在最后一帧");
      return true;
    case WMU_PAGE_NOTICE:
      if (const auto* text = msg.Payload<ui::TextPayload>())
        ShowNotice(QString::fromStdString(text->text));
      return true;
    case WMU_WINDOW_FAILED:
      if (const auto* text = msg.Payload<ui::TextPayload>())
        ShowNotice(QString("窗口无法显示，录制不受影响 (%1)").arg(QString::fromStdString(text->text)));
      return true;
    case WMU_RECORD_FAILED:
      ShowFailure(msg.wParam);
      return true;
    default:
      return false;
  }
}

void RecordingControl::ShowRecordButtons(bool recording) {
  host_.Control(kStart)->setVisible(!recording);
  host_.Control(kPause)->setVisible(recording);
}

void RecordingControl::StartOrResume() {
  uiState_ = kUiRecording;
  const int state = recorder_->State();
  if (state == kRecording) return;
  if (state == kPaused) {
    ShowRecordButtons(true);
    recorder_->Run();
    tray_.RecordingRuns();
    return;
  }
  if (saving_ || !recorder_->WaitFinished(std::chrono::milliseconds(0))) {
    // The last file is still being finished: the new recording starts as
    // soon as it is, and the button says why it waits.
    startWhenSaved_ = true;
    return;
  }
  StartNewRecording();
}

void RecordingControl::StartNewRecording() {
  files_.RefreshFolder();
  char stamp[32];
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  std::strftime(stamp, sizeof stamp, "%Y%m%d%H%M%S", &local);
  const std::string extension = page_.Extension();
  const std::string file = FreeFileName(files_.Folder(), stamp, extension);
  host_.Control<QLabel>(kSound)->clear();
  const int ret = recorder_->Start(file, files_.Folder(), extension,
                                   cfg::Read(cfg::kVideoFramerate), cfg::Read(cfg::kQuality));
  if (ret == ERR_NO_VIDEO_DEVICE || ret == ERR_NO_AUDIO_DEVICE || ret == ERR_CAMERA_BUSY) {
    ui::PromptBoxDialog box(host_.Window(), ret == ERR_NO_VIDEO_DEVICE   ? "获取视频设备失败"
                                            : ret == ERR_CAMERA_BUSY ? "摄像头正被预览窗口使用，请先关闭预览"
                                                                     : "获取音频设备失败");
    box.ShowModal();
    return;
  }
  if (ret != 0) {
    // The engine could not start at all; say so instead of pretending.
    uiState_ = kUiNone;
    ui::PromptBoxDialog box(host_.Window(), "录制启动失败，请检查输出目录和设置");
    box.ShowModal();
    return;
  }
  if (cfg::Read(cfg::kMouseEffectClickCheck) != 0) {
    clickListener_ = std::make_unique<platform::X11ClickListener>();
    const bool listening = clickListener_->Start([](platform::X11ClickListener::Button b) {
      (b == platform::X11ClickListener::Button::kLeft ? leftClickSeen : rightClickSeen) = true;
    });
    if (!listening) {
      LOG(ERROR) << "no click ripples: " << clickListener_->Error();
      ShowNotice(QString("无法显示点击效果 (%1)，本次录制没有点击效果")
                     .arg(QString::fromStdString(clickListener_->Error())));
      clickListener_.reset();
    }
  }
  session_ = recorder_->Session();
  // The region was read by the engine; it stays as it is until the end.
  regionWanted_ = cfg::Read(cfg::kUserDefinedRegionCheck) != 0;
  if (regionWanted_) region_.Lock(true);
  pauseBoxWanted_ = cfg::Read(cfg::kSuspendCheck) != 0;
  if (pauseBoxWanted_ && !pauseBox_) {
    pauseBox_ = std::make_unique<SuspendDialog>();
    // Without its box the recording goes on from the main window; the page
    // says why.
    if (!pauseBox_->TryCreate()) pauseBox_.reset();
  }
  if (pauseBoxWanted_ && pauseBox_) {
    // The pause box drives the recording; the main window keeps out of it.
    host_.Window()->showMinimized();
    ui::WindowImplBase::PostMessage(pauseBox_.get(), WMU_BOX_RESUMED, 0, 0);
    ui::WindowImplBase::PostMessage(pauseBox_.get(), WMU_RECORD_SECONDS, 0, 0);
    // Off the frame and its toolbar, so it stays out of the picture.
    pauseBox_->ShowAtStoredPlace(region_.FrameOnScreen(), region_.ToolbarOnScreen());
  }
  ShowRecordButtons(true);
  recorder_->Run();
  tray_.RecordingRuns();
}

void RecordingControl::PauseRecording() {
  uiState_ = kUiPaused;
  if (recorder_->State() != kRecording) return;
  ShowRecordButtons(false);
  recorder_->Pause();
  tray_.RecordingHolds(true);
}

void RecordingControl::StopRecording() {
  uiState_ = kUiStopped;
  const int state = recorder_->State();
  if (state != kRecording && state != kPaused) return;
  recorder_->Stop();
  EndRecordingUi();
}

// The window's side of a recording that has ended, by the user or by itself.
void RecordingControl::EndRecordingUi() {
  uiState_ = kUiStopped;
  tray_.RecordingHolds(false);
  host_.ShowMain();
  if (pauseBox_) pauseBox_->hide();
  if (regionWanted_) region_.Lock(false);
  regionWanted_ = false;
  ShowRecordButtons(false);
  host_.Control<QLabel>(kTime)->setText("00:00:00");
  clickListener_.reset();
  // The file is read once the engine has finished it, without blocking the
  // window meanwhile.
  ShowSaving(true);
  host_.SetTimer(TIMER_RECORDING_DONE, kFinishedPollMs);
}

// While the last file is being finished, the start button says so and
// takes no clicks; a start asked for meanwhile follows when it is done.
void RecordingControl::ShowSaving(bool saving) {
  saving_ = saving;
  auto* start = host_.Control<QAbstractButton>(kStart);
  start->setEnabled(!saving);
  start->setText(saving ? "正在保存..." : "开始录制");
}

bool RecordingControl::OnTimer(int id) {
  if (id != TIMER_RECORDING_DONE) return false;
  if (!recorder_->WaitFinished(std::chrono::milliseconds(0))) return true;
  host_.KillTimer(id);
  ShowSaving(false);
  files_.Add(recorder_->FilePath());
  if (startWhenSaved_) {
    startWhenSaved_ = false;
    if (uiState_ == kUiRecording) StartNewRecording();
  }
  return true;
}

void RecordingControl::FinishForExit() {
  if (!recorder_) return;
  const int state = recorder_->State();
  if (state == kRecording || state == kPaused) recorder_->Stop();
  if (!recorder_->WaitFinished(kExitFinishWait))
    LOG(ERROR) << "the recording could not be finished before the end";
}

bool RecordingControl::ConfirmQuit() {
  const int state = recorder_->State();
  if (state != kRecording && state != kPaused) return true;
  ui::MessageBoxDialog box(host_.Window(), "正在录制中,确定要退出吗?");
  if (box.ShowModal() != 1) return false;
  recorder_->Stop();
  recorder_->WaitFinished(kExitFinishWait);
  return true;
}

void RecordingControl::ShowSoundChange(std::uintptr_t source, std::intptr_t change) {
  const QString name = source == kSoundMicrophone ? "麦克风" : "系统声音";
  ShowNotice(change == kSoundBack   ? QString("%1已恢复，声音继续录制").arg(name)
             : change == kSoundGone ? QString("%1已断开，录制继续，该声音以静音代替").arg(name)
                                    : QString("未找到%1，本次录制没有%1的声音").arg(name));
}

void RecordingControl::ShowNotice(const QString& line) {
  auto* label = host_.Control<QLabel>(kSound);
  label->setText(label->text().isEmpty() ? line : label->text() + "\n" + line);
}

void RecordingControl::ShowFailure(std::uintptr_t kind) {
  // The engine has already stopped itself; a file that could not be
  // finished comes after the stop.
  if (kind != kFailureFinish) EndRecordingUi();
  const QString failure = QString::fromStdString(recorder_->Failure());
  const QString text =
      kind == kFailureDiskFull ? QString("磁盘空间已满，录制已停止。已录制的内容已保存。")
      : kind == kFailureFinish
          ? QString("录制文件未能完成保存，已录制的内容保留在未完成的文件中。\n(%1)").arg(failure)
      : kind == kFailureInternal
          ? QString("录制出错，录制已停止。已录制的内容已保存。\n(%1)").arg(failure)
          : QString("录制文件无法写入，录制已停止。已录制的内容已保存。\n(%1)").arg(failure);
  ui::PromptBoxDialog box(host_.Window(), text);
  box.ShowModal();
}

}  // namespace kal
