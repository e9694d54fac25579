#pragma once
// Everything a recording session takes from the settings, read once when
// the session starts: a change of configure.ini during a recording does not
// reach it, and no worker reads the file.

#include <string>

#include "config/ColorRef.h"
#include "recorder/CaptureGeometry.h"

namespace kal {

// What the stored numbers ("video-source", "voice-source", "watermark-type")
// mean for a session.
enum class VideoSource { kScreen, kCamera };
enum class VoiceSource { kBoth, kMicrophone, kSystem, kNone };  // kNone: an unknown choice, no sound
enum class WatermarkKind { kNone, kImage, kText };

inline bool WantsMicrophone(VoiceSource v) {
  return v == VoiceSource::kBoth || v == VoiceSource::kMicrophone;
}
inline bool WantsSystemSound(VoiceSource v) {
  return v == VoiceSource::kBoth || v == VoiceSource::kSystem;
}

struct SessionSettings {
  // Sources. The source check may change voiceSource for the session.
  VideoSource videoSource = VideoSource::kScreen;
  VoiceSource voiceSource = VoiceSource::kBoth;
  int audioMuteCheck = 0;
  // Pictures: 0 one per interval, 1 only when the screen changed (and at
  // least one a second), each with its time.
  int frameRateMode = 0;
  int microphoneCheck = 1;    // gain control on the microphone
  int voiceSize = 20;         // its gain, dB

  // Where on the screen.
  int userDefinedRegionCheck = 0;
  Rect region;                // as stored, fitted to the screen at start
  int mouseFollowCheck = 0;
  int followWidth = 640;
  int followHeight = 480;

  // Cursor effects.
  int mouseCheck = 1;
  int mouseEffectClickCheck = 0;
  int mouseHotRegionCheck = 0;
  Rgb leftColor;
  Rgb rightColor;
  Rgb highlightColor;
  int highlightSize = 56;

  WatermarkKind watermark = WatermarkKind::kNone;
  std::string watermarkImagePath;  // empty: the default image
  int watermarkPos = 0;            // corner of the image
  int watermarkOffsetX = 0;        // the image's offsets from that corner
  int watermarkOffsetY = 0;
  std::string watermarkText;
  std::string watermarkFontFamily;
  int watermarkTextOffsetX = 0;
  int watermarkTextOffsetY = 0;
  int watermarkFontSize = 32;
  std::string watermarkColor;
};

// Reads the session's settings (through ConfigStore, overrides included).
// Any thread.
SessionSettings ReadSessionSettings();

}  // namespace kal
