#pragma once
// Everything a recording session takes from the settings, read once when
// the session starts: a change of configure.ini during a recording does not
// reach it, and no worker reads the file.

#include <string>

#include "config/ColorRef.h"
#include "recorder/CaptureGeometry.h"

namespace kal {

struct SessionSettings {
  // Sources. The source check may change voiceSource for the session.
  int videoSource = 0;        // 0 screen, 1 camera
  int voiceSource = 0;        // 0 both, 1 microphone, 2 system sound
  int audioMuteCheck = 0;
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

  // Watermark: 0 none, 1 image, 2 text.
  int watermarkType = 0;
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
