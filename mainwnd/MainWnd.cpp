#include "mainwnd/MainWnd.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QSlider>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include <ctime>
#include <filesystem>

#include <glog/logging.h>

#include "config/ConfigKeys.h"
#include "config/InstallConfig.h"
#include "config/UserFolders.h"
#include "platform/X11ClickListener.h"
#include "recorder/ClickFlags.h"
#include "recorder/Recovery.h"
#include "ui/NoticeBoxes.h"

namespace kal {

const char* const kMainWndControls[] = {
    "main-tab", "video-record-page", "video-cut-page", "video-convert-page",
    "video-compress-page", "voice-source-default", "voice-source-microphone",
    "voice-source-system", "radio_mp4", "radio_flv", "radio_wmv", "radio_avi", "radio_mov",
    "radio_mkv", "quality_high", "quality_middle", "quality_low", "microphone-check",
    "audio-mute-check", "microphone-voice-slider", "microphone-voice-size", "brushBtn",
    "recorderStartBtn", "recorderPauseBtn", "recorderStopBtn", "recordTimeText", "recordSoundText",
    "listview",
    "player-area", "video-slider", "play", "pause", "stop", "rewind", "forward", "duration",
    "sound-slider", "starttime-hour", "starttime-min", "starttime-sec", "starttime-milli",
    "endtime-hour", "endtime-min", "endtime-sec", "endtime-milli", "get-starttime",
    "get-endtime", "video-cut-btn", "video-cut-progress", "video-cut-progress-label",
    "video-dir-btn", "add-video-file", "video-convert-format", "video-convert-ratio",
    "add-convert-file", "convert-list", "compress-type-general", "compress-type-deep",
    "compress-type-limit", "compress-radio-mp4", "compress-radio-flv", "video-compress-ratio",
    "video-compress-check", "video-compress-slider", "video-compress-label",
    "video-compress-balanced-check", "add-compress-file", "compress-list", "help", "seting",
    "feedback", "login", "register", "username", "usepic", "separator"};
const int kMainWndControlCount = sizeof(kMainWndControls) / sizeof(kMainWndControls[0]);

namespace {

// The microphone gain's range in dB, as the gain control takes it.
constexpr int kMaxVoiceSizeDb = 90;

struct Option {
  const char* control;
  const char* value;
};
constexpr Option kPages[] = {{"video-record-page", "0"}, {"video-cut-page", "1"},
                             {"video-convert-page", "2"}, {"video-compress-page", "3"}};
constexpr Option kVoiceSources[] = {
    {"voice-source-default", "0"}, {"voice-source-microphone", "1"}, {"voice-source-system", "2"}};
constexpr Option kFormats[] = {{"radio_mp4", "mp4"}, {"radio_flv", "flv"}, {"radio_wmv", "wmv"},
                               {"radio_avi", "avi"}, {"radio_mov", "mov"}, {"radio_mkv", "mkv"}};
constexpr Option kQualities[] = {{"quality_high", "0"}, {"quality_middle", "1"}, {"quality_low", "2"}};

template <size_t N>
const Option* Find(const Option (&options)[N], const QString& control) {
  for (const Option& o : options)
    if (control == o.control) return &o;
  return nullptr;
}

std::string TimeText(long long seconds) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                seconds % 60);
  return buf;
}

bool IsRecording(const std::string& name) {
  const auto dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  const std::string ext = name.substr(dot + 1);
  return ext == "mp4" || ext == "flv" || ext == "wmv" || ext == "avi" || ext == "mov" ||
         ext == "mkv";
}

}  // namespace

// Delivers the engine's messages to the window's thread.
class CMainWnd::Poster : public MessagePoster {
 public:
  explicit Poster(CMainWnd* w) : window_(w) {}
  void Post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
    ui::WindowImplBase::PostMessage(window_, message, wParam, lParam);
  }

 private:
  CMainWnd* window_;
};

std::string ResolveOutputFolder() {
  std::string folder = cfg::Read(cfg::kOutputDir);
  if (folder.empty()) {
    QString base = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (base.isEmpty() || !QDir(base).exists())
      base = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (base.isEmpty()) base = QDir::homePath();
    folder = (base + "/KAL屏幕录制").toStdString();
  }
  CreateDirectoryPath(folder);
  return folder;
}

CMainWnd::CMainWnd() : poster_(std::make_unique<Poster>(this)) {
  setWindowFlags(Qt::Window);
  setWindowTitle("KAL屏幕录制");
  setWindowIcon(QIcon(ui::WindowImplBase::SkinFolder() + "/KalRecorder.png"));
}

void CMainWnd::ShowRecovered(const std::vector<std::string>& files) {
  QString names;
  for (const auto& f : files) {
    AddRecordedFile(f);
    names += "\n" + QString::fromStdString(std::filesystem::path(f).filename().string());
  }
  SetTimer(TIMER_LIST_SCROLL, 50, true);
  ui::PromptBoxDialog box(this, "上次录制意外中断，已恢复录制文件：" + names);
  box.ShowModal();
}

CMainWnd::~CMainWnd() {
  if (recovery_.joinable()) recovery_.join();
  if (recorder_ && (recorder_->State() == kRecording || recorder_->State() == kPaused))
    recorder_->Stop();
}

void CMainWnd::InitWindow() {
  // Every run starts with full-screen recording.
  cfg::Write(cfg::kUserDefinedRegionCheck, 0);
  setProperty("KalRecorder", 1);
  for (int i = 0; i < kMainWndControlCount; ++i) {
    if (!FindControl(kMainWndControls[i])) {
      LOG(ERROR) << "skin lacks control " << kMainWndControls[i];
      Fail("InitWindow");
    }
  }
  agent_ = ReadDistributionAgent();
  LOG(INFO) << "agent:" << agent_;
  uiState_ = kUiNone;
  FindControl<QAbstractButton>("video-record-page")->setChecked(true);
  FindControl<QStackedWidget>("main-tab")->setCurrentIndex(0);
  RestoreRecordPage();
  outputFolder_ = ResolveOutputFolder();
  FillRecordedList();
  // Left-over recordings are made normal files beside the window, which
  // shows at once; each joins the list when it is ready.
  recovery_ = std::thread([this, folder = outputFolder_] {
    std::vector<std::string> recovered = RecoverUnfinishedRecordings(folder);
    if (recovered.empty()) return;
    QMetaObject::invokeMethod(
        this, [this, recovered = std::move(recovered)] { ShowRecovered(recovered); },
        Qt::QueuedConnection);
  });
  ShowRecordButtons(false);
  recorder_ = std::make_unique<Recorder>(poster_.get());
}

void CMainWnd::RestoreRecordPage() {
  extension_ = "mp4";
  // Selecting raises the same notifications as a click, so the stored
  // values are written back unchanged; unknown values select nothing.
  const std::string format = cfg::Read(cfg::kVideoFormat);
  for (const Option& o : kFormats)
    if (format == o.value) FindControl<QAbstractButton>(o.control)->setChecked(true);
  const std::string source = std::to_string(cfg::Read(cfg::kVoiceSource));
  for (const Option& o : kVoiceSources)
    if (source == o.value) FindControl<QAbstractButton>(o.control)->setChecked(true);
  const std::string quality = std::to_string(cfg::Read(cfg::kQuality));
  for (const Option& o : kQualities)
    if (quality == o.value) FindControl<QAbstractButton>(o.control)->setChecked(true);
  FindControl<QAbstractButton>("microphone-check")->setChecked(cfg::Read(cfg::kMicrophoneCheck) != 0);
  FindControl<QAbstractButton>("audio-mute-check")->setChecked(cfg::Read(cfg::kAudioMuteCheck) != 0);
  const int size = cfg::Read(cfg::kVoiceSize);
  auto* slider = FindControl<QSlider>("microphone-voice-slider");
  // The gain control's whole range, so no stored value is cut down.
  slider->setRange(0, kMaxVoiceSizeDb);
  slider->setValue(size);
  FindControl<QLabel>("microphone-voice-size")->setText(QString("%1dB").arg(slider->value()));
}

void CMainWnd::Notify(const ui::TNotifyUI& msg) {
  const QString& name = msg.senderName;
  if (msg.type == "click") {
    if (name == "recorderStartBtn") StartOrResume();
    else if (name == "help") OpenHelp();
    else if (name == "recorderPauseBtn") PauseRecording();
    else if (name == "recorderStopBtn") StopRecording();
    else if (const Option* page = Find(kPages, name)) SelectPage(std::atoi(page->value));
  } else if (msg.type == "selectchanged" && msg.value == 1) {
    if (const Option* o = Find(kVoiceSources, name)) {
      cfg::Write(cfg::kVoiceSource, std::atoi(o->value));
    } else if (const Option* f = Find(kFormats, name)) {
      extension_ = f->value;
      cfg::Write(cfg::kVideoFormat, f->value);
    } else if (const Option* q = Find(kQualities, name)) {
      cfg::Write(cfg::kQuality, std::atoi(q->value));
    }
  }
  if (msg.type == "selectchanged") {
    if (name == "microphone-check") cfg::Write(cfg::kMicrophoneCheck, msg.value);
    if (name == "audio-mute-check") cfg::Write(cfg::kAudioMuteCheck, msg.value);
  }
  if (msg.type == "valuechanged" && name == "microphone-voice-slider") {
    FindControl<QLabel>("microphone-voice-size")->setText(QString("%1dB").arg(msg.value));
    cfg::Write(cfg::kVoiceSize, msg.value);
  }
  NotifyBase(msg);
}

// Also when the page is already shown, the preview player stops first.
void CMainWnd::SelectPage(int index) {
  StopPlayer();
  FindControl<QStackedWidget>("main-tab")->setCurrentIndex(index);
}

void CMainWnd::ShowRecordButtons(bool recording) {
  FindControl<QWidget>("recorderStartBtn")->setVisible(!recording);
  FindControl<QWidget>("recorderPauseBtn")->setVisible(recording);
}

void CMainWnd::StartOrResume() {
  uiState_ = kUiRecording;
  const int state = recorder_->State();
  if (state == kRecording) return;
  if (state == kPaused) {
    ShowRecordButtons(true);
    recorder_->Run();
    SetTimer(TIMER_TRAY_BLINK, 800);
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

void CMainWnd::StartNewRecording() {
  outputFolder_ = ResolveOutputFolder();
  char stamp[32];
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  std::strftime(stamp, sizeof stamp, "%Y%m%d%H%M%S", &local);
  outputFile_ = std::string(stamp) + "." + extension_;
  FindControl<QLabel>("recordSoundText")->clear();
  const int ret = recorder_->Start(outputFile_, outputFolder_, extension_,
                                   cfg::Read(cfg::kVideoFramerate), cfg::Read(cfg::kQuality));
  if (ret == ERR_NO_VIDEO_DEVICE || ret == ERR_NO_AUDIO_DEVICE) {
    ui::PromptBoxDialog box(this, ret == ERR_NO_VIDEO_DEVICE ? "获取视频设备失败" : "获取音频设备失败");
    box.ShowModal();
    return;
  }
  if (ret != 0) {
    // The engine could not start at all; say so instead of pretending.
    uiState_ = kUiNone;
    ui::PromptBoxDialog box(this, "录制启动失败，请检查输出目录和设置");
    box.ShowModal();
    return;
  }
  if (cfg::Read(cfg::kMouseEffectClickCheck) != 0) {
    clickListener_ = std::make_unique<platform::X11ClickListener>();
    clickListener_->Start([](platform::X11ClickListener::Button b) {
      (b == platform::X11ClickListener::Button::kLeft ? leftClickSeen : rightClickSeen) = true;
    });
  }
  session_ = recorder_->Session();
  ShowRecordButtons(true);
  recorder_->Run();
  SetTimer(TIMER_TRAY_BLINK, 800);
}

void CMainWnd::PauseRecording() {
  uiState_ = kUiPaused;
  if (recorder_->State() != kRecording) return;
  ShowRecordButtons(false);
  recorder_->Pause();
  KillTimer(TIMER_TRAY_BLINK);
}

void CMainWnd::StopRecording() {
  uiState_ = kUiStopped;
  const int state = recorder_->State();
  if (state != kRecording && state != kPaused) return;
  recorder_->Stop();
  EndRecordingUi();
}

// The window's side of a recording that has ended, by the user or by itself.
void CMainWnd::EndRecordingUi() {
  uiState_ = kUiStopped;
  KillTimer(TIMER_TRAY_BLINK);
  showNormal();
  activateWindow();
  ShowRecordButtons(false);
  FindControl<QLabel>("recordTimeText")->setText("00:00:00");
  clickListener_.reset();
  // The file is read once the engine has finished it, without blocking the
  // window meanwhile.
  ShowSaving(true);
  SetTimer(TIMER_RECORDING_DONE, 100);
}

// While the last file is being finished, the start button says so and
// takes no clicks; a start asked for meanwhile follows when it is done.
void CMainWnd::ShowSaving(bool saving) {
  saving_ = saving;
  auto* start = FindControl<QAbstractButton>("recorderStartBtn");
  start->setEnabled(!saving);
  start->setText(saving ? "正在保存..." : "开始录制");
}

void CMainWnd::FinishRecordingForExit() {
  if (!recorder_) return;
  const int state = recorder_->State();
  if (state == kRecording || state == kPaused) recorder_->Stop();
  if (!recorder_->WaitFinished(std::chrono::seconds(60)))
    LOG(ERROR) << "the recording could not be finished before the end";
}

void CMainWnd::ShowSoundProblem(std::uintptr_t source, bool whileRecording) {
  const QString name = source == kSoundMicrophone ? "麦克风" : "系统声音";
  const QString line = whileRecording ? QString("%1已断开，录制继续，该声音以静音代替").arg(name)
                                      : QString("未找到%1，本次录制没有%1的声音").arg(name);
  auto* label = FindControl<QLabel>("recordSoundText");
  label->setText(label->text().isEmpty() ? line : label->text() + "\n" + line);
}

// The help page in the user's browser: "help-url", else the page shipped
// beside the program.
void CMainWnd::OpenHelp() {
  const std::string configured = cfg::Read(cfg::kHelpUrl);
  const QUrl url = configured.empty()
                       ? QUrl::fromLocalFile(ui::WindowImplBase::SkinFolder() + "/help.html")
                       : QUrl::fromUserInput(QString::fromStdString(configured));
  if (!QDesktopServices::openUrl(url)) LOG(ERROR) << "cannot open the help page " << url.toString().toStdString();
}

void CMainWnd::OnTimer(int id) {
  if (id == TIMER_LIST_SCROLL) {
    KillTimer(id);
    auto* list = FindControl<QListWidget>("listview");
    if (list && list->count() > 0) {
      list->scrollToBottom();
      list->setCurrentRow(list->count() - 1, QItemSelectionModel::ClearAndSelect);
    }
  } else if (id == TIMER_TRAY_BLINK) {
    blinkOn_ = !blinkOn_;
    setWindowIconText(blinkOn_ ? "录制中..." : "");
  } else if (id == TIMER_RECORDING_DONE) {
    if (!recorder_->WaitFinished(std::chrono::milliseconds(0))) return;
    KillTimer(id);
    ShowSaving(false);
    AddRecordedFile(recorder_->FilePath());
    SetTimer(TIMER_LIST_SCROLL, 50, true);
    if (startWhenSaved_) {
      startWhenSaved_ = false;
      if (uiState_ == kUiRecording) StartNewRecording();
    }
  }
}

void CMainWnd::AddRecordedFile(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return;
  const auto size = std::filesystem::file_size(path, ec);
  auto* item = new QListWidgetItem(
      QString("%1    %2 KB").arg(QString::fromStdString(std::filesystem::path(path).filename().string()))
          .arg(static_cast<qulonglong>(size / 1024)));
  item->setData(Qt::UserRole, QString::fromStdString(path));
  FindControl<QListWidget>("listview")->addItem(item);
}

void CMainWnd::FillRecordedList() {
  std::error_code ec;
  std::vector<std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(outputFolder_, ec)) {
    if (e.is_regular_file(ec) && IsRecording(e.path().filename().string()))
      files.push_back(e.path().string());
  }
  std::sort(files.begin(), files.end());
  for (const auto& f : files) AddRecordedFile(f);
}

void CMainWnd::HandleCustomMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                                   bool& handled) {
  handled = true;
  switch (message) {
    case WMU_RECORD_SECONDS:
      // Seconds of an earlier session, or posted just before the stop, are stale.
      if (static_cast<int>(wParam) == session_ && (uiState_ == kUiRecording || uiState_ == kUiPaused))
        FindControl<QLabel>("recordTimeText")->setText(QString::fromStdString(TimeText(lParam)));
      break;
    case WMU_RECORD_SOUND_LOST:
      ShowSoundProblem(wParam, lParam != 0);
      break;
    case WMU_OPEN_HELP:
      OpenHelp();
      break;
    case WMU_RECORD_FAILED: {
      // The engine has already stopped itself; a file that could not be
      // finished comes after the stop.
      if (wParam != kFailureFinish) EndRecordingUi();
      const QString failure = QString::fromStdString(recorder_->Failure());
      const QString text =
          wParam == kFailureDiskFull
              ? QString("磁盘空间已满，录制已停止。已录制的内容已保存。")
          : wParam == kFailureFinish
              ? QString("录制文件未能完成保存，已录制的内容保留在未完成的文件中。\n(%1)").arg(failure)
              : QString("录制文件无法写入，录制已停止。已录制的内容已保存。\n(%1)").arg(failure);
      ui::PromptBoxDialog box(this, text);
      box.ShowModal();
      break;
    }
    case WMU_RECORD_START: StartOrResume(); break;
    case WMU_RECORD_PAUSE: PauseRecording(); break;
    case WMU_RECORD_STOP: StopRecording(); break;
    case WMU_QUIT:
      quitRequested_ = true;
      close();
      break;
    case WMU_SHOW_MAIN:
      showNormal();
      raise();
      activateWindow();
      break;
    default:
      handled = false;
      break;
  }
}

bool CMainWnd::ConfirmQuitWhileRecording() {
  const int state = recorder_->State();
  if (state != kRecording && state != kPaused) return true;
  ui::MessageBoxDialog box(this, "正在录制中,确定要退出吗?");
  if (box.ShowModal() != 1) return false;
  recorder_->Stop();
  recorder_->WaitFinished(std::chrono::seconds(30));
  return true;
}

void CMainWnd::closeEvent(QCloseEvent* e) {
  const bool quit = quitRequested_;
  quitRequested_ = false;
  if (!quit && cfg::Read(cfg::kWindowClose) != 0) {
    // The title bar's close only hides the window to the tray.
    showMinimized();
    e->ignore();
    return;
  }
  if (!ConfirmQuitWhileRecording()) {
    e->ignore();
    return;
  }
  e->accept();
}

}  // namespace kal
