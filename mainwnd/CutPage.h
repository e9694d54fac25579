#pragma once
// The cut page's player: a file is loaded ("add-video-file"), played in
// the page's host window with sound, paused, stopped, sought with the
// slider or by 15 s ("rewind", "forward"), and its volume set; "duration"
// shows the position and the length every 200 ms. The player's own threads
// only post; everything here runs on the UI thread. "取当前" takes the
// player's position as the cut's start ("get-starttime") or end
// ("get-endtime"), and "剪切" writes that range to a new MP4 file in the
// output folder, its progress beside the button.

#include <QObject>

#include <memory>
#include <string>

#include "mainwnd/ToolPage.h"

namespace kal {

class CVideoArea;
class MediaPlayer;
class TranscodeJob;

class CutPage : public ToolPage, public QObject {
 public:
  static constexpr const char* kArea = "player-area";
  static constexpr const char* kSlider = "video-slider";
  static constexpr const char* kPlay = "play";
  static constexpr const char* kPause = "pause";
  static constexpr const char* kStop = "stop";
  static constexpr const char* kRewind = "rewind";
  static constexpr const char* kForward = "forward";
  static constexpr const char* kDuration = "duration";
  static constexpr const char* kVolume = "sound-slider";
  static constexpr const char* kAdd = "add-video-file";
  static constexpr const char* kGetStart = "get-starttime";
  static constexpr const char* kGetEnd = "get-endtime";
  static constexpr const char* kCutButton = "video-cut-btn";
  static constexpr const char* kCutProgress = "video-cut-progress";
  static constexpr const char* kCutLabel = "video-cut-progress-label";
  static constexpr const char* kCutNotice = "video-cut-notice";
  static constexpr const char* kOutputFolder = "video-dir-btn";
  static constexpr double kSeekStep = 15;

  explicit CutPage(MainHost& host);
  ~CutPage() override;
  void Init() override;
  bool Notify(const ui::TNotifyUI& msg) override;
  bool Handle(ui::Message& msg) override;
  bool OnTimer(int id) override;
  void Leave() override { Stop(); }

  // Loads `path` and plays it, as the open-file dialog's choice would.
  void Open(const std::string& path);
  // "%02d:%02d:%02d.%03d" of `seconds`.
  static std::string PositionText(double seconds);

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void Load();
  void Start();
  void Stop();
  void ShowPlaying(bool playing);
  void ShowPosition();
  void PlaceHost();
  void TakePosition(bool start);
  void ShowRange(bool start);
  void Cut();
  void CutEnded(bool ok, const std::string& error);
  void ShowCutPercent(int percent);

  MainHost& host_;
  CVideoArea* area_ = nullptr;
  std::unique_ptr<MediaPlayer> player_;
  unsigned playerNumber_ = 0;
  std::string path_;
  bool paused_ = false;
  double cutStart_ = 0, cutEnd_ = 0;  // seconds
  std::unique_ptr<TranscodeJob> cutJob_;
};

}  // namespace kal
