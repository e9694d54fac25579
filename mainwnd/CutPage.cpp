#include "mainwnd/CutPage.h"

#include <QAbstractButton>
#include <QEvent>
#include <QFileDialog>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>

#include <cstdio>

#include <glog/logging.h>

#include "overlay/VideoArea.h"
#include "tools/MediaPlayer.h"
#include "ui/WindowRegistry.h"

namespace kal {
namespace {

constexpr int kRefreshMs = 200;
// The host sits inside the page's frame, clear of its border.
constexpr int kInset = 2;
constexpr const char* kIdle = "00:00:00.000 / 00:00:00.000";

}  // namespace

CutPage::CutPage(MainHost& host) : ToolPage("cut", kCutPageControls), host_(host) {}

CutPage::~CutPage() { Stop(); }

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
  if (n == kAdd) {
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
      host_.Window(), "添加视频", {}, "视频格式(*.mp4 *.flv *.wmv *.avi *.mov *.mkv *.3gp)", nullptr,
      QFileDialog::DontUseNativeDialog);
  if (!chosen.isEmpty()) Open(chosen.toStdString());
}

void CutPage::Open(const std::string& path) {
  Stop();
  path_ = path;
  Start();
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
