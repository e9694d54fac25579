#pragma once
// Every section and key of configure.ini, with its form and the default each
// reader uses. Where two readers use different defaults (the recording start
// and the settings dialog), both are given as separate constants of one key.

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

// An integer key read with GetInt.
struct IntKey {
  std::string_view section;
  std::string_view key;
  int def;
};

// A text key read with GetString into a buffer of `size` characters.
struct TextKey {
  std::string_view section;
  std::string_view key;
  std::string_view def;
  std::size_t size;
};

// Typed accessors through ConfigStore. Any thread.
int Read(const IntKey& k);
std::string Read(const TextKey& k);
bool Write(const IntKey& k, int value);  // decimal text, no sign prefix for >= 0
bool Write(const TextKey& k, std::string_view value);

// --- section global ---
inline constexpr TextKey kVideoFormat{kGlobal, "video-format", "mp4", 64};
inline constexpr IntKey kQuality{kGlobal, "quality", 1};
inline constexpr IntKey kVoiceSource{kGlobal, "voice-source", 0};
inline constexpr IntKey kVoiceSize{kGlobal, "voice-size", 20};
inline constexpr IntKey kMicrophoneCheck{kGlobal, "microphone-check", 1};
inline constexpr IntKey kAudioMuteCheck{kGlobal, "audio-mute-check", 0};
inline constexpr IntKey kVideoSource{kGlobal, "video-source", 0};
inline constexpr IntKey kVideoFramerate{kGlobal, "video-framerate", 24};  // recording start
inline constexpr TextKey kVideoFramerateText{kGlobal, "video-framerate", "10", 20};  // settings dialog
inline constexpr IntKey kUserDefinedRegionCheck{kGlobal, "user-defined-region-check", 0};
inline constexpr IntKey kRegionOffsetX{kGlobal, "region-offset-x", 0};
inline constexpr IntKey kRegionOffsetY{kGlobal, "region-offset-y", 0};
inline constexpr IntKey kRegionWidth{kGlobal, "region-width", 640};    // capture source
inline constexpr IntKey kRegionHeight{kGlobal, "region-height", 480};  // capture source
inline constexpr IntKey kRegionWidthDialog{kGlobal, "region-width", 0};    // dialog, recording frame
inline constexpr IntKey kRegionHeightDialog{kGlobal, "region-height", 0};  // dialog, recording frame
inline constexpr IntKey kWindowClose{kGlobal, "window-close", 0};
inline constexpr IntKey kSuspendCheck{kGlobal, "suspend-check", 0};
inline constexpr TextKey kOutputDir{kGlobal, "output-dir", "", 520};
inline constexpr TextKey kOutputDirType{kGlobal, "output-dir-type", "", 20};
inline constexpr TextKey kAudioCompress{kGlobal, "audio-compress", "", 20};
inline constexpr TextKey kAudioNoneCompress{kGlobal, "audio-none-compress", "", 20};
inline constexpr IntKey kWatermarkType{kGlobal, "watermark-type", 0};
inline constexpr TextKey kWatermarkImagePath{kGlobal, "watermark-image-path", "", 260};
inline constexpr IntKey kWatermarkPos{kGlobal, "watermark-pos", 0};
// Image offsets: 0 for the watermark filter, "20" for the settings dialog.
inline constexpr IntKey kWatermarkLtLeft{kGlobal, "watermark-lt-left", 0};
inline constexpr IntKey kWatermarkLtTop{kGlobal, "watermark-lt-top", 0};
inline constexpr IntKey kWatermarkRtRight{kGlobal, "watermark-rt-right", 0};
inline constexpr IntKey kWatermarkRtTop{kGlobal, "watermark-rt-top", 0};
inline constexpr IntKey kWatermarkLbLeft{kGlobal, "watermark-lb-left", 0};
inline constexpr IntKey kWatermarkLbBottom{kGlobal, "watermark-lb-bottom", 0};
inline constexpr IntKey kWatermarkRbRight{kGlobal, "watermark-rb-right", 0};
inline constexpr IntKey kWatermarkRbBottom{kGlobal, "watermark-rb-bottom", 0};
inline constexpr TextKey kWatermarkLtLeftText{kGlobal, "watermark-lt-left", "20", 20};
inline constexpr TextKey kWatermarkLtTopText{kGlobal, "watermark-lt-top", "20", 20};
inline constexpr TextKey kWatermarkRtRightText{kGlobal, "watermark-rt-right", "20", 20};
inline constexpr TextKey kWatermarkRtTopText{kGlobal, "watermark-rt-top", "20", 20};
inline constexpr TextKey kWatermarkLbLeftText{kGlobal, "watermark-lb-left", "20", 20};
inline constexpr TextKey kWatermarkLbBottomText{kGlobal, "watermark-lb-bottom", "20", 20};
inline constexpr TextKey kWatermarkRbRightText{kGlobal, "watermark-rb-right", "20", 20};
inline constexpr TextKey kWatermarkRbBottomText{kGlobal, "watermark-rb-bottom", "20", 20};
inline constexpr TextKey kWatermarkTextDesc{kGlobal, "watermark-text-desc", "KAL屏幕录制", 255};
inline constexpr IntKey kWatermarkTextOffsetX{kGlobal, "watermark-text-offset-x", 0};
inline constexpr IntKey kWatermarkTextOffsetY{kGlobal, "watermark-text-offset-y", 0};
inline constexpr TextKey kWatermarkTextOffsetXText{kGlobal, "watermark-text-offset-x", "20", 255};
inline constexpr TextKey kWatermarkTextOffsetYText{kGlobal, "watermark-text-offset-y", "20", 255};
inline constexpr TextKey kWatermarkFontFamily{kGlobal, "watermark-font-family", "微软雅黑", 255};
inline constexpr IntKey kWatermarkFontSize{kGlobal, "watermark-font-size", 32};
inline constexpr TextKey kWatermarkFontSizeText{kGlobal, "watermark-font-size", "32", 255};
inline constexpr TextKey kWatermarkColor{kGlobal, "watermark-color", "red", 255};
inline constexpr TextKey kUserRealIp{kGlobal, "user-real-ip", "", 112};
// The help page "help" opens; empty: the page shipped beside the program.
inline constexpr TextKey kHelpUrl{kGlobal, "help-url", "", 520};

// --- section mouse-effect --- (colours are COLORREF decimal text, 0x00BBGGRR)
inline constexpr IntKey kMouseCheck{kMouseEffect, "mouse-check", 1};
inline constexpr IntKey kMouseEffectClickCheck{kMouseEffect, "mouse-effect-click-check", 0};
inline constexpr TextKey kMouseClickLeftColor{kMouseEffect, "mouse-click-left-color", "255", 20};
inline constexpr TextKey kMouseClickRightColor{kMouseEffect, "mouse-click-right-color", "65280", 20};
inline constexpr IntKey kMouseHotRegionCheck{kMouseEffect, "mouse-hot-region-check", 0};
inline constexpr TextKey kMouseHotRegionColor{kMouseEffect, "mouse-hot-region-color", "65535", 20};
inline constexpr IntKey kMouseHotRegionSize{kMouseEffect, "mouse-hot-region-size", 56};

// --- section mouse-follow ---
inline constexpr IntKey kMouseFollowCheck{kMouseFollow, "mouse-follow-check", 0};
inline constexpr IntKey kMouseFollowRatioIndex{kMouseFollow, "mouse-follow-ratio-index", 2};
inline constexpr IntKey kMouseFollowRatioWidth{kMouseFollow, "mouse-follow-ratio-width", 640};
inline constexpr IntKey kMouseFollowRatioHeight{kMouseFollow, "mouse-follow-ratio-height", 480};

// Follow-window sizes by "mouse-follow-ratio-index".
struct FollowSize {
  int width;
  int height;
};
inline constexpr FollowSize kFollowSizes[] = {{1280, 720}, {800, 600}, {640, 480}, {320, 240},
                                              {720, 1080}, {400, 800}, {320, 480}, {240, 320}};

// --- section hotkey --- (modifiers 1 Alt, 2 Control, 4 Shift; key codes)
inline constexpr IntKey kStartPauseKey1{kHotkey, "start-pause-key1", 0};
inline constexpr IntKey kStartPauseKey2{kHotkey, "start-pause-key2", 0};
inline constexpr IntKey kStopKey1{kHotkey, "stop-key1", 0};
inline constexpr IntKey kStopKey2{kHotkey, "stop-key2", 0};
inline constexpr IntKey kStartPauseKey1Index{kHotkey, "start-pause-key1-index", -1};
inline constexpr IntKey kStartPauseKey2Index{kHotkey, "start-pause-key2-index", -1};
inline constexpr IntKey kStopKey1Index{kHotkey, "stop-key1-index", -1};
inline constexpr IntKey kStopKey2Index{kHotkey, "stop-key2-index", -1};

// --- section suspend --- (floating timer box position)
inline constexpr IntKey kSuspendTop{kSuspend, "top", 50};
inline constexpr IntKey kSuspendRight{kSuspend, "right", 50};

// One row of the key table, for listings and validation.
struct KeyInfo {
  std::string_view section;
  std::string_view key;
  std::string_view form;  // "int", "text" or "int/text"
  std::string_view def;   // the first reader's default, as text
};

// Every key, in the order of the sections above.
std::span<const KeyInfo> KeyTable();

// The row for section/key (matched without regard to case), or nullptr.
const KeyInfo* FindKeyInfo(std::string_view section, std::string_view key);

}  // namespace kal::cfg
