#pragma once
// Every section and key of configure.ini in one table: its form, the default
// of its first reader and, for numbers that have one, the range a read value
// is clamped to. Where another reader uses another default (the settings
// dialog, the recording frame), it is a second constant of the same row.

#include <climits>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace kal::cfg {

inline constexpr std::string_view kGlobal = "global";
inline constexpr std::string_view kHotkey = "hotkey";
inline constexpr std::string_view kMouseEffect = "mouse-effect";
inline constexpr std::string_view kMouseFollow = "mouse-follow";
inline constexpr std::string_view kSuspend = "suspend";

inline constexpr int kNoMin = INT_MIN;
inline constexpr int kNoMax = INT_MAX;

// An integer key read with GetInt, clamped to [min, max].
struct IntKey {
  std::string_view section;
  std::string_view key;
  int def;
  int min = kNoMin;
  int max = kNoMax;
};

// A text key read with GetString into a buffer of `size` characters.
struct TextKey {
  std::string_view section;
  std::string_view key;
  std::string_view def;
  std::size_t size;
};

// The table. INT(constant, section, key, form, default, min, max) and
// TEXT(constant, section, key, form, default, buffer size); form is "int",
// "text" or "int/text" (read both ways by different readers). Colours are
// COLORREF decimal text (0x00BBGGRR); hotkeys are modifier flags (1 Alt,
// 2 Control, 4 Shift, 8 Super) and key codes.
#define KAL_CONFIG_KEYS(INT, TEXT) \
  TEXT(kVideoFormat, kGlobal, "video-format", "text", "mp4", 64)                                       \
  INT(kQuality, kGlobal, "quality", "int", 1, kNoMin, kNoMax)                                          \
  INT(kVoiceSource, kGlobal, "voice-source", "int", 0, kNoMin, kNoMax)                                 \
  INT(kVoiceSize, kGlobal, "voice-size", "int", 20, 0, 90)                                             \
  INT(kMicrophoneCheck, kGlobal, "microphone-check", "int", 1, kNoMin, kNoMax)                         \
  INT(kAudioMuteCheck, kGlobal, "audio-mute-check", "int", 0, kNoMin, kNoMax)                          \
  INT(kVideoSource, kGlobal, "video-source", "int", 0, kNoMin, kNoMax)                                 \
  INT(kVideoFramerate, kGlobal, "video-framerate", "int/text", 24, 1, 120)                             \
  INT(kFrameRateMode, kGlobal, "frame-rate-mode", "int", 0, 0, 1)                                      \
  INT(kUserDefinedRegionCheck, kGlobal, "user-defined-region-check", "int", 0, kNoMin, kNoMax)         \
  INT(kRegionOffsetX, kGlobal, "region-offset-x", "int", 0, kNoMin, kNoMax)                            \
  INT(kRegionOffsetY, kGlobal, "region-offset-y", "int", 0, kNoMin, kNoMax)                            \
  INT(kRegionWidth, kGlobal, "region-width", "int", 640, kNoMin, kNoMax)                               \
  INT(kRegionHeight, kGlobal, "region-height", "int", 480, kNoMin, kNoMax)                             \
  INT(kWindowClose, kGlobal, "window-close", "int", 0, kNoMin, kNoMax)                                 \
  INT(kSuspendCheck, kGlobal, "suspend-check", "int", 0, kNoMin, kNoMax)                               \
  TEXT(kUpgradeUrl, kGlobal, "upgrade-url", "text", "https://api.kalrecorder.com/v2/upgrade_check", 520) \
  INT(kUpgradeCheck, kGlobal, "upgrade-check", "int", 1, 0, 1)                                         \
  TEXT(kOutputDir, kGlobal, "output-dir", "text", "", 520)                                             \
  TEXT(kOutputDirType, kGlobal, "output-dir-type", "text", "", 20)                                     \
  TEXT(kAudioCompress, kGlobal, "audio-compress", "text", "", 20)                                      \
  TEXT(kAudioNoneCompress, kGlobal, "audio-none-compress", "text", "", 20)                             \
  INT(kWatermarkType, kGlobal, "watermark-type", "int", 0, kNoMin, kNoMax)                             \
  TEXT(kWatermarkImagePath, kGlobal, "watermark-image-path", "text", "", 260)                          \
  INT(kWatermarkPos, kGlobal, "watermark-pos", "int", 0, kNoMin, kNoMax)                               \
  INT(kWatermarkLtLeft, kGlobal, "watermark-lt-left", "int/text", 0, kNoMin, kNoMax)                   \
  INT(kWatermarkLtTop, kGlobal, "watermark-lt-top", "int/text", 0, kNoMin, kNoMax)                     \
  INT(kWatermarkRtRight, kGlobal, "watermark-rt-right", "int/text", 0, kNoMin, kNoMax)                 \
  INT(kWatermarkRtTop, kGlobal, "watermark-rt-top", "int/text", 0, kNoMin, kNoMax)                     \
  INT(kWatermarkLbLeft, kGlobal, "watermark-lb-left", "int/text", 0, kNoMin, kNoMax)                   \
  INT(kWatermarkLbBottom, kGlobal, "watermark-lb-bottom", "int/text", 0, kNoMin, kNoMax)               \
  INT(kWatermarkRbRight, kGlobal, "watermark-rb-right", "int/text", 0, kNoMin, kNoMax)                 \
  INT(kWatermarkRbBottom, kGlobal, "watermark-rb-bottom", "int/text", 0, kNoMin, kNoMax)               \
  TEXT(kWatermarkTextDesc, kGlobal, "watermark-text-desc", "text", "KAL屏幕录制", 255)                     \
  INT(kWatermarkTextOffsetX, kGlobal, "watermark-text-offset-x", "int/text", 0, kNoMin, kNoMax)        \
  INT(kWatermarkTextOffsetY, kGlobal, "watermark-text-offset-y", "int/text", 0, kNoMin, kNoMax)        \
  TEXT(kWatermarkFontFamily, kGlobal, "watermark-font-family", "text", "微软雅黑", 255)                    \
  INT(kWatermarkFontSize, kGlobal, "watermark-font-size", "int/text", 32, kNoMin, kNoMax)              \
  TEXT(kWatermarkColor, kGlobal, "watermark-color", "text", "red", 255)                                \
  TEXT(kUserRealIp, kGlobal, "user-real-ip", "text", "", 112)                                          \
  TEXT(kHelpUrl, kGlobal, "help-url", "text", "", 520)                                                 \
  INT(kMouseCheck, kMouseEffect, "mouse-check", "int", 1, kNoMin, kNoMax)                              \
  INT(kMouseEffectClickCheck, kMouseEffect, "mouse-effect-click-check", "int", 0, kNoMin, kNoMax)      \
  TEXT(kMouseClickLeftColor, kMouseEffect, "mouse-click-left-color", "text", "255", 20)                \
  TEXT(kMouseClickRightColor, kMouseEffect, "mouse-click-right-color", "text", "65280", 20)            \
  INT(kMouseHotRegionCheck, kMouseEffect, "mouse-hot-region-check", "int", 0, kNoMin, kNoMax)          \
  TEXT(kMouseHotRegionColor, kMouseEffect, "mouse-hot-region-color", "text", "65535", 20)              \
  INT(kMouseHotRegionSize, kMouseEffect, "mouse-hot-region-size", "int", 56, 0, 4096)                  \
  INT(kMouseFollowCheck, kMouseFollow, "mouse-follow-check", "int", 0, kNoMin, kNoMax)                 \
  INT(kMouseFollowRatioIndex, kMouseFollow, "mouse-follow-ratio-index", "int/text", 2, kNoMin, kNoMax) \
  INT(kMouseFollowRatioWidth, kMouseFollow, "mouse-follow-ratio-width", "int", 640, kNoMin, kNoMax)    \
  INT(kMouseFollowRatioHeight, kMouseFollow, "mouse-follow-ratio-height", "int", 480, kNoMin, kNoMax)  \
  INT(kStartPauseKey1, kHotkey, "start-pause-key1", "int/text", 0, kNoMin, kNoMax)                     \
  INT(kStartPauseKey2, kHotkey, "start-pause-key2", "int/text", 0, kNoMin, kNoMax)                     \
  INT(kStopKey1, kHotkey, "stop-key1", "int/text", 0, kNoMin, kNoMax)                                  \
  INT(kStopKey2, kHotkey, "stop-key2", "int/text", 0, kNoMin, kNoMax)                                  \
  INT(kStartPauseKey1Index, kHotkey, "start-pause-key1-index", "int", -1, kNoMin, kNoMax)              \
  INT(kStartPauseKey2Index, kHotkey, "start-pause-key2-index", "int", -1, kNoMin, kNoMax)              \
  INT(kStopKey1Index, kHotkey, "stop-key1-index", "int", -1, kNoMin, kNoMax)                           \
  INT(kStopKey2Index, kHotkey, "stop-key2-index", "int", -1, kNoMin, kNoMax)                           \
  INT(kSuspendTop, kSuspend, "top", "int", 50, kNoMin, kNoMax)                                         \
  INT(kSuspendRight, kSuspend, "right", "int", 50, kNoMin, kNoMax)

#define KAL_DECLARE_INT(name, section, key, form, def, lo, hi) \
  inline constexpr IntKey name{section, key, def, lo, hi};
#define KAL_DECLARE_TEXT(name, section, key, form, def, size) \
  inline constexpr TextKey name{section, key, def, size};
KAL_CONFIG_KEYS(KAL_DECLARE_INT, KAL_DECLARE_TEXT)
#undef KAL_DECLARE_INT
#undef KAL_DECLARE_TEXT

// The same key read by another reader with its own default.
constexpr IntKey WithDefault(const IntKey& k, int def) { return {k.section, k.key, def, k.min, k.max}; }
constexpr TextKey AsText(const IntKey& k, std::string_view def, std::size_t size) {
  return {k.section, k.key, def, size};
}

inline constexpr TextKey kVideoFramerateText = AsText(kVideoFramerate, "10", 20);  // settings dialog
// The settings dialog and the recording frame: 0 until a region was chosen.
inline constexpr IntKey kRegionWidthDialog = WithDefault(kRegionWidth, 0);
inline constexpr IntKey kRegionHeightDialog = WithDefault(kRegionHeight, 0);
// Offsets as the settings dialog shows them ("20"); the watermark uses 0.
inline constexpr TextKey kWatermarkLtLeftText = AsText(kWatermarkLtLeft, "20", 20);
inline constexpr TextKey kWatermarkLtTopText = AsText(kWatermarkLtTop, "20", 20);
inline constexpr TextKey kWatermarkRtRightText = AsText(kWatermarkRtRight, "20", 20);
inline constexpr TextKey kWatermarkRtTopText = AsText(kWatermarkRtTop, "20", 20);
inline constexpr TextKey kWatermarkLbLeftText = AsText(kWatermarkLbLeft, "20", 20);
inline constexpr TextKey kWatermarkLbBottomText = AsText(kWatermarkLbBottom, "20", 20);
inline constexpr TextKey kWatermarkRbRightText = AsText(kWatermarkRbRight, "20", 20);
inline constexpr TextKey kWatermarkRbBottomText = AsText(kWatermarkRbBottom, "20", 20);
inline constexpr TextKey kWatermarkTextOffsetXText = AsText(kWatermarkTextOffsetX, "20", 255);
inline constexpr TextKey kWatermarkTextOffsetYText = AsText(kWatermarkTextOffsetY, "20", 255);
inline constexpr TextKey kWatermarkFontSizeText = AsText(kWatermarkFontSize, "32", 255);

// Typed accessors through ConfigStore. Any thread.
int Read(const IntKey& k);  // clamped to the key's range
std::string Read(const TextKey& k);
bool Write(const IntKey& k, int value);  // decimal text, no sign prefix for >= 0
bool Write(const TextKey& k, std::string_view value);

// Follow-window sizes by "mouse-follow-ratio-index".
struct FollowSize {
  int width;
  int height;
};
inline constexpr FollowSize kFollowSizes[] = {{1280, 720}, {800, 600}, {640, 480}, {320, 240},
                                              {720, 1080}, {400, 800}, {320, 480}, {240, 320}};

// One row of the key table, for listings and validation.
struct KeyInfo {
  std::string_view section;
  std::string_view key;
  std::string_view form;  // "int", "text" or "int/text"
  std::string_view def;   // the first reader's default, as text
  int min = kNoMin;       // numbers only
  int max = kNoMax;
};

// Every key, in the order of the table.
std::span<const KeyInfo> KeyTable();

// The row for section/key (matched without regard to case), or nullptr.
const KeyInfo* FindKeyInfo(std::string_view section, std::string_view key);

}  // namespace kal::cfg
