#include "mainwnd/CutPage.h"

#include <QAbstractButton>
#include <QEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QSlider>

#include <cstdio>
#include <ctime>

#include <glog/logging.h>

#include "mainwnd/RecordedFileList.h"
#include "overlay/VideoArea.h"
#include "tools/MediaPlayer.h"
#include "tools/ToolJob.h"
#include "tools/TranscodeArgs.h"
#include "ui/OpenOnDesktop.h"
#include "ui/WindowRegistry.h"

namespace kal {
namespace {

constexpr int kRefreshMs = 200;
// The host sits inside the page's frame, clear of its border.
constexpr int kInset = 2;
constexpr const char* kIdle = "00:00:00.000 / 00:00:00.000";
// Hours, minutes, seconds and milliseconds of the start and of the end.
constexpr const char* kStartEdits[] = {"starttime-hour", "starttime-min", "starttime-sec",
                                       "starttime-milli"};
constexpr const char* kEndEdits[] = {"endtime-hour", "endtime-min", "endtime-sec", "endtime-milli"};

}  // namespace

CutPage::CutPage(MainHost& host) : ToolPage("cut", kCutPageControls), host_(host) {}

CutPage::~CutPage() { Stop(); }  // a cut still running ends with its job

void CutPage::Init() {
  QWidget* frame = host_.Control(kArea);
  area_ = new CVideoArea(frame);
  area_->Create();
  area_->hide();
  frame->installEventFilter(this);
  host_.Control<QLabel>(kDuration)->setText(kIdle);
  host_.Control(kPause)->hide();
}

std::string CutPage::PositionText(double seconds) {
  if (!(seconds > 0)) seconds = 0;
  const long long whole = static_cast<long long>(seconds);
  const int ms = static_cast<int>((seconds - static_cast<double>(whole)) * 1000);
  char buf[48];
  std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld.%03d", whole / 3600, whole % 3600 / 60,
                whole % 60, ms);
  return buf;
}

bool CutPage::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::Resize && area_ && area_->isVisible()) PlaceHost();
  return QObject::eventFilter(watched, e);
}

void CutPage::PlaceHost() {
  const QWidget* frame = host_.Control(kArea);
  area_->Place(QRect(kInset, kInset, frame->width() - 2 * kInset, frame->height() - 2 * kInset));
}

bool CutPage::Notify(const ui::TNotifyUI& msg) {
  const QString& n = msg.senderName;
  if (msg.type == "valuechanged") {
    if (n == kSlider) {
      const auto* slider = host_.Control<QSlider>(kSlider);
      if (player_ && slider->maximum() > 0)
        player_->SeekToFraction(static_cast<double>(msg.value) / slider->maximum());
      return true;
    }
    if (n == kVolume) {
      if (player_) player_->SetVolume(msg.value * 128 / 100);
      return true;
    }
    return false;
  }
  if (msg.type != "click") return false;
  if (n == kGetStart || n == kGetEnd) {
    TakePosition(n == kGetStart);
  } else if (n == kCutButton) {
    Cut();
  } else if (n == kOutputFolder) {
    ui::OpenOnDesktop(ResolveOutputFolder(), "输出目录");
  } else if (n == kAdd) {
    Load();
  } else if (n == kPlay) {
    if (path_.empty()) {
      Load();
    } else if (!player_) {
      Start();
    } else if (player_->GetState() == MediaPlayer::kPaused) {
      paused_ = false;
      player_->TogglePause();
      ShowPlaying(true);
    }
  } else if (n == kPause) {
    if (player_ && player_->GetState() == MediaPlayer::kPlaying) {
      paused_ = true;
      player_->TogglePause();
      ShowPlaying(false);
    }
  } else if (n == kStop) {
    Stop();
  } else if (n == kRewind) {
    if (player_) player_->SeekBackward(kSeekStep);
  } else if (n == kForward) {
    if (player_) player_->SeekForward(kSeekStep);
  } else {
    return false;
  }
  return true;
}

void CutPage::Load() {
  const QString chosen = QFileDialog::getOpenFileName(
      host_.Window(), "添加视频", {}, kVideoFileFilter, nullptr,
      QFileDialog::DontUseNativeDialog);
  if (!chosen.isEmpty()) Open(chosen.toStdString());
}

void CutPage::Open(const std::string& path) {
  Stop();
  path_ = path;
  cutStart_ = cutEnd_ = 0;
  for (const char* e : kStartEdits) host_.Control<QLineEdit>(e)->setText("0");
  for (const char* e : kEndEdits) host_.Control<QLineEdit>(e)->setText("0");
  host_.Control<QLabel>(kCutNotice)->clear();
  Start();
}

void CutPage::TakePosition(bool start) {
  if (player_) (start ? cutStart_ : cutEnd_) = player_->Position();
  ShowRange(start);
}

void CutPage::ShowRange(bool start) {
  const double at = start ? cutStart_ : cutEnd_;
  const long long whole = static_cast<long long>(at);
  const long long parts[] = {whole / 3600, whole % 3600 / 60, whole % 60,
                             static_cast<long long>((at - static_cast<double>(whole)) * 1000)};
  for (int i = 0; i < 4; ++i)
    host_.Control<QLineEdit>((start ? kStartEdits : kEndEdits)[i])->setText(QString::number(parts[i]));
}

void CutPage::Cut() {
  auto* notice = host_.Control<QLabel>(kCutNotice);
  if (cutJob_) return;
  if (path_.empty()) {
    notice->setText("请先添加视频");
    return;
  }
  if (cutStart_ < 0.000001 && cutEnd_ < 0.000001) {
    notice->setText("请选择截取位置");
    return;
  }
  if (!(cutStart_ < cutEnd_)) {
    notice->setText("结束位置必须大于开始位置");
    return;
  }
  notice->clear();
  host_.Control(kCutButton)->setEnabled(false);
  ShowCutPercent(0);
  const std::string output =
      ToolOutputPath(ResolveOutputFolder(), path_, std::time(nullptr), "mp4");
  std::string error;
  cutJob_ = StartToolJob(-1, ui::ListKind::kCut, CutArgs(path_, cutStart_, cutEnd_), output,
                         static_cast<std::int64_t>((cutEnd_ - cutStart_) * 1000), error);
  if (!cutJob_) CutEnded(false, error);
}

void CutPage::ShowCutPercent(int percent) {
  host_.Control<QProgressBar>(kCutProgress)->setValue(percent);
  host_.Control<QLabel>(kCutLabel)->setText(QString("%1%").arg(percent));
}

void CutPage::CutEnded(bool ok, const std::string& error) {
  host_.Control(kCutButton)->setEnabled(true);
  if (ok) {
    ShowCutPercent(100);
    return;
  }
  LOG(WARNING) << "cut of " << path_ << " failed: " << error;
  host_.Control<QLabel>(kCutLabel)->setText("失败");
  auto* notice = host_.Control<QLabel>(kCutNotice);
  notice->setText("剪切失败");
  notice->setToolTip(QString::fromStdString(error));
}

void CutPage::Start() {
  Stop();
  PlaceHost();
  area_->show();
  player_ = std::make_unique<MediaPlayer>(area_->Host());
  const unsigned number = ++playerNumber_;
  player_->SetFinishCallback([number] {
    ui::PostTo(ui::WindowRole::kMain, WMU_PLAYER_FINISHED, number, 0);
  });
  player_->SetCallFinish(true);
  player_->SetVolume(host_.Control<QSlider>(kVolume)->value() * 128 / 100);
  if (player_->Play(path_) < 0) {
    const std::string why = player_->Error();
    player_.reset();
    area_->hide();
    host_.Control<QLabel>(kDuration)->setText(QString("无法播放此文件：") +
                                              QString::fromStdString(why));
    return;
  }
  paused_ = false;
  ShowPlaying(true);
  ShowPosition();
  host_.SetTimer(TIMER_PLAYER_REFRESH, kRefreshMs);
}

void CutPage::Stop() {
  host_.KillTimer(TIMER_PLAYER_REFRESH);
  paused_ = false;
  const bool had = player_ != nullptr;
  if (player_) player_->Close();
  player_.reset();
  if (!had) return;
  area_->hide();
  ShowPlaying(false);
  auto* slider = host_.Control<QSlider>(kSlider);
  {
    const QSignalBlocker quiet(slider);
    slider->setValue(0);
  }
  host_.Control<QLabel>(kDuration)->setText(kIdle);
}

void CutPage::ShowPlaying(bool playing) {
  host_.Control(kPlay)->setVisible(!playing);
  host_.Control(kPause)->setVisible(playing);
}

void CutPage::ShowPosition() {
  if (!player_) return;
  const double position = player_->Position(), length = player_->Duration();
  host_.Control<QLabel>(kDuration)
      ->setText(QString::fromStdString(PositionText(position) + " / " + PositionText(length)));
  auto* slider = host_.Control<QSlider>(kSlider);
  const QSignalBlocker quiet(slider);  // the player's own moves are no seeks
  slider->setMaximum(static_cast<int>(length));
  slider->setValue(static_cast<int>(position));
}

bool CutPage::Handle(ui::Message& msg) {
  if (msg.id == WMU_TRANSCODE_PROGRESS || msg.id == WMU_TRANSCODE_DONE) {
    const auto* p = msg.Payload<TranscodeProgress>();
    const auto* f = msg.Payload<TranscodeFinished>();
    if ((p ? p->kind : f ? f->kind : ui::ListKind::kRecorded) != ui::ListKind::kCut) return false;
    if (p && cutJob_) ShowCutPercent(p->Percent());
    if (f) {
      cutJob_.reset();
      CutEnded(f->result.ok, f->result.error);
    }
    return true;
  }
  if (msg.id != WMU_PLAYER_FINISHED) return false;
  if (player_ && msg.wParam == playerNumber_) {
    LOG(INFO) << "played to its end: " << path_;
    Stop();
  }
  return true;
}

bool CutPage::OnTimer(int id) {
  if (id != TIMER_PLAYER_REFRESH) return false;
  ShowPosition();
  return true;
}

}  // namespace kal
