#pragma once
// The cut page's player: a file is loaded ("add-video-file"), played in
// the page's host window with sound, paused, stopped, sought with the
// slider or by 15 s ("rewind", "forward"), and its volume set; "duration"
// shows the position and the length every 200 ms. The player's own threads
// only post; everything here runs on the UI thread. The cut range and the
// cut itself come with the media tools.

#include <QObject>

#include <memory>
#include <string>

#include "mainwnd/ToolPage.h"

namespace kal {

class CVideoArea;
class MediaPlayer;

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

  MainHost& host_;
  CVideoArea* area_ = nullptr;
  std::unique_ptr<MediaPlayer> player_;
  unsigned playerNumber_ = 0;
  std::string path_;
  bool paused_ = false;
};

}  // namespace kal
