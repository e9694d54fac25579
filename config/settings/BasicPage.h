#pragma once
// "基本设置": frame rate, picture and sound source, the camera preview, and
// what is recorded: the whole screen, the region (its frame shows at once)
// or a window of a chosen size that follows the pointer. Region and
// follow-the-pointer exclude each other. While a recording runs both are
// locked, as the record page locks the region.

#include "config/settings/SettingsPage.h"

namespace kal {

class BasicPage : public SettingsPage {
 public:
  static constexpr const char* kFramerate = "video-framerate";
  static constexpr const char* kScreen = "video-source-screen";
  static constexpr const char* kCamera = "video-source-camera";
  static constexpr const char* kCameraCheck = "camera-check";
  static constexpr const char* kVoiceDefault = "voice-source-default";
  static constexpr const char* kVoiceMicrophone = "voice-source-microphone";
  static constexpr const char* kVoiceSystem = "voice-source-system";
  static constexpr const char* kRegionCheck = "user-defined-region-check";
  static constexpr const char* kFollowCheck = "mouse-follow-check";
  static constexpr const char* kFollowRatio = "mouse-follow-ratio";

  BasicPage(ui::MainHost& dialog, SettingsHost& host);
  const char* Tab() const override { return "basic-seting"; }
  ui::ControlList Controls() const override;
  void Init() override;
  bool Notify(const ui::TNotifyUI& msg) override;
  void Commit() override;
  void RecordingChanged(bool running) override;
};

}  // namespace kal
