#include "recorder/SessionSettings.h"

#include "config/ConfigKeys.h"

namespace kal {
namespace {

// The image's offsets for each "watermark-pos": left-top, right-top,
// left-bottom, right-bottom.
struct ImageOffsetKeys {
  cfg::IntKey x;
  cfg::IntKey y;
};
constexpr ImageOffsetKeys kImageOffsets[] = {{cfg::kWatermarkLtLeft, cfg::kWatermarkLtTop},
                                             {cfg::kWatermarkRtRight, cfg::kWatermarkRtTop},
                                             {cfg::kWatermarkLbLeft, cfg::kWatermarkLbBottom},
                                             {cfg::kWatermarkRbRight, cfg::kWatermarkRbBottom}};

}  // namespace

SessionSettings ReadSessionSettings() {
  SessionSettings s;
  s.videoSource = cfg::Read(cfg::kVideoSource) == 1 ? VideoSource::kCamera : VideoSource::kScreen;
  switch (cfg::Read(cfg::kVoiceSource)) {
    case 0: s.voiceSource = VoiceSource::kBoth; break;
    case 1: s.voiceSource = VoiceSource::kMicrophone; break;
    case 2: s.voiceSource = VoiceSource::kSystem; break;
    default: s.voiceSource = VoiceSource::kNone; break;
  }
  s.audioMuteCheck = cfg::Read(cfg::kAudioMuteCheck);
  s.frameRateMode = cfg::Read(cfg::kFrameRateMode);
  s.microphoneCheck = cfg::Read(cfg::kMicrophoneCheck);
  s.voiceSize = cfg::Read(cfg::kVoiceSize);

  s.userDefinedRegionCheck = cfg::Read(cfg::kUserDefinedRegionCheck);
  s.region = {cfg::Read(cfg::kRegionOffsetX), cfg::Read(cfg::kRegionOffsetY),
              cfg::Read(cfg::kRegionWidth), cfg::Read(cfg::kRegionHeight)};
  s.mouseFollowCheck = cfg::Read(cfg::kMouseFollowCheck);
  s.followWidth = cfg::Read(cfg::kMouseFollowRatioWidth);
  s.followHeight = cfg::Read(cfg::kMouseFollowRatioHeight);

  s.mouseCheck = cfg::Read(cfg::kMouseCheck);
  s.mouseEffectClickCheck = cfg::Read(cfg::kMouseEffectClickCheck);
  s.mouseHotRegionCheck = cfg::Read(cfg::kMouseHotRegionCheck);
  // A colour that is not a decimal number falls back to its default.
  s.leftColor = ReadColor(cfg::kMouseClickLeftColor);
  s.rightColor = ReadColor(cfg::kMouseClickRightColor);
  s.highlightColor = ReadColor(cfg::kMouseHotRegionColor);
  s.highlightSize = cfg::Read(cfg::kMouseHotRegionSize);

  const int watermark = cfg::Read(cfg::kWatermarkType);
  s.watermark = watermark == 0   ? WatermarkKind::kNone
                : watermark == 1 ? WatermarkKind::kImage
                                 : WatermarkKind::kText;
  s.watermarkImagePath = cfg::Read(cfg::kWatermarkImagePath);
  s.watermarkPos = cfg::Read(cfg::kWatermarkPos);
  if (s.watermarkPos >= 0 && s.watermarkPos < 4) {
    const ImageOffsetKeys& keys = kImageOffsets[s.watermarkPos];
    s.watermarkOffsetX = cfg::Read(keys.x);
    s.watermarkOffsetY = cfg::Read(keys.y);
  }
  s.watermarkText = cfg::Read(cfg::kWatermarkTextDesc);
  s.watermarkFontFamily = cfg::Read(cfg::kWatermarkFontFamily);
  s.watermarkTextOffsetX = cfg::Read(cfg::kWatermarkTextOffsetX);
  s.watermarkTextOffsetY = cfg::Read(cfg::kWatermarkTextOffsetY);
  s.watermarkFontSize = cfg::Read(cfg::kWatermarkFontSize);
  s.watermarkColor = cfg::Read(cfg::kWatermarkColor);
  return s;
}

}  // namespace kal
