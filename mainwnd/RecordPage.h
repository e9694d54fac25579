#pragma once
// The record page's settings: sound source, container, quality, microphone
// gain control, silent recording and gain. Each is written at once when it
// changes, and shows at once what another window (the settings dialog)
// writes.

#include <string>

#include "mainwnd/Controller.h"
#include "ui/SettingBinding.h"

namespace kal {

class RecordPage : public Controller {
 public:
  // Control names.
  static constexpr const char* kVoiceSourceDefault = "voice-source-default";
  static constexpr const char* kVoiceSourceMicrophone = "voice-source-microphone";
  static constexpr const char* kVoiceSourceSystem = "voice-source-system";
  static constexpr const char* kMp4 = "radio_mp4";
  static constexpr const char* kFlv = "radio_flv";
  static constexpr const char* kWmv = "radio_wmv";
  static constexpr const char* kAvi = "radio_avi";
  static constexpr const char* kMov = "radio_mov";
  static constexpr const char* kMkv = "radio_mkv";
  static constexpr const char* kQualityHigh = "quality_high";
  static constexpr const char* kQualityMiddle = "quality_middle";
  static constexpr const char* kQualityLow = "quality_low";
  static constexpr const char* kMicrophoneCheck = "microphone-check";
  static constexpr const char* kAudioMuteCheck = "audio-mute-check";
  static constexpr const char* kVoiceSlider = "microphone-voice-slider";
  static constexpr const char* kVoiceSize = "microphone-voice-size";

  explicit RecordPage(MainHost& host);
  ui::ControlList Controls() const override;
  void Init() override;
  bool Notify(const ui::TNotifyUI& msg) override;

  // The container chosen: "mp4" while none is.
  std::string Extension() const;

 private:
  MainHost& host_;
  ui::Bindings bindings_;
};

}  // namespace kal
