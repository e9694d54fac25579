#include "config/ConfigKeys.h"

#include <array>

#include "config/ConfigStore.h"
#include "platform/PrivateProfile.h"

namespace kal::cfg {
namespace {

constexpr std::array kTable = {
    KeyInfo{kGlobal, "video-format", "text", "mp4"},
    KeyInfo{kGlobal, "quality", "int", "1"},
    KeyInfo{kGlobal, "voice-source", "int", "0"},
    KeyInfo{kGlobal, "voice-size", "int", "20"},
    KeyInfo{kGlobal, "microphone-check", "int", "1"},
    KeyInfo{kGlobal, "audio-mute-check", "int", "0"},
    KeyInfo{kGlobal, "video-source", "int", "0"},
    KeyInfo{kGlobal, "video-framerate", "int/text", "24"},
    KeyInfo{kGlobal, "user-defined-region-check", "int", "0"},
    KeyInfo{kGlobal, "region-offset-x", "int", "0"},
    KeyInfo{kGlobal, "region-offset-y", "int", "0"},
    KeyInfo{kGlobal, "region-width", "int", "640"},
    KeyInfo{kGlobal, "region-height", "int", "480"},
    KeyInfo{kGlobal, "window-close", "int", "0"},
    KeyInfo{kGlobal, "suspend-check", "int", "0"},
    KeyInfo{kGlobal, "output-dir", "text", ""},
    KeyInfo{kGlobal, "output-dir-type", "text", ""},
    KeyInfo{kGlobal, "audio-compress", "text", ""},
    KeyInfo{kGlobal, "audio-none-compress", "text", ""},
    KeyInfo{kGlobal, "watermark-type", "int", "0"},
    KeyInfo{kGlobal, "watermark-image-path", "text", ""},
    KeyInfo{kGlobal, "watermark-pos", "int", "0"},
    KeyInfo{kGlobal, "watermark-lt-left", "int/text", "0"},
    KeyInfo{kGlobal, "watermark-lt-top", "int/text", "0"},
    KeyInfo{kGlobal, "watermark-rt-right", "int/text", "0"},
    KeyInfo{kGlobal, "watermark-rt-top", "int/text", "0"},
    KeyInfo{kGlobal, "watermark-lb-left", "int/text", "0"},
    KeyInfo{kGlobal, "watermark-lb-bottom", "int/text", "0"},
    KeyInfo{kGlobal, "watermark-rb-right", "int/text", "0"},
    KeyInfo{kGlobal, "watermark-rb-bottom", "int/text", "0"},
    KeyInfo{kGlobal, "watermark-text-desc", "text", "KAL屏幕录制"},
    KeyInfo{kGlobal, "watermark-text-offset-x", "int/text", "0"},
    KeyInfo{kGlobal, "watermark-text-offset-y", "int/text", "0"},
    KeyInfo{kGlobal, "watermark-font-family", "text", "微软雅黑"},
    KeyInfo{kGlobal, "watermark-font-size", "int/text", "32"},
    KeyInfo{kGlobal, "watermark-color", "text", "red"},
    KeyInfo{kGlobal, "user-real-ip", "text", ""},
    KeyInfo{kGlobal, "help-url", "text", ""},
    KeyInfo{kMouseEffect, "mouse-check", "int", "1"},
    KeyInfo{kMouseEffect, "mouse-effect-click-check", "int", "0"},
    KeyInfo{kMouseEffect, "mouse-click-left-color", "text", "255"},
    KeyInfo{kMouseEffect, "mouse-click-right-color", "text", "65280"},
    KeyInfo{kMouseEffect, "mouse-hot-region-check", "int", "0"},
    KeyInfo{kMouseEffect, "mouse-hot-region-color", "text", "65535"},
    KeyInfo{kMouseEffect, "mouse-hot-region-size", "int", "56"},
    KeyInfo{kMouseFollow, "mouse-follow-check", "int", "0"},
    KeyInfo{kMouseFollow, "mouse-follow-ratio-index", "int/text", "2"},
    KeyInfo{kMouseFollow, "mouse-follow-ratio-width", "int", "640"},
    KeyInfo{kMouseFollow, "mouse-follow-ratio-height", "int", "480"},
    KeyInfo{kHotkey, "start-pause-key1", "int/text", "0"},
    KeyInfo{kHotkey, "start-pause-key2", "int/text", "0"},
    KeyInfo{kHotkey, "stop-key1", "int/text", "0"},
    KeyInfo{kHotkey, "stop-key2", "int/text", "0"},
    KeyInfo{kHotkey, "start-pause-key1-index", "int", "-1"},
    KeyInfo{kHotkey, "start-pause-key2-index", "int", "-1"},
    KeyInfo{kHotkey, "stop-key1-index", "int", "-1"},
    KeyInfo{kHotkey, "stop-key2-index", "int", "-1"},
    KeyInfo{kSuspend, "top", "int", "50"},
    KeyInfo{kSuspend, "right", "int", "50"},
};

}  // namespace

int Read(const IntKey& k) { return ConfigStore::Instance()->GetInt(k.section, k.key, k.def); }

std::string Read(const TextKey& k) {
  std::string out;
  ConfigStore::Instance()->GetString(k.section, k.key, k.def, out, k.size);
  return out;
}

bool Write(const IntKey& k, int value) {
  return ConfigStore::Instance()->SetString(k.section, k.key, std::to_string(value));
}

bool Write(const TextKey& k, std::string_view value) {
  return ConfigStore::Instance()->SetString(k.section, k.key, value);
}

std::span<const KeyInfo> KeyTable() { return kTable; }

const KeyInfo* FindKeyInfo(std::string_view section, std::string_view key) {
  for (const KeyInfo& info : kTable) {
    if (platform::ProfileNamesEqual(info.section, section) && platform::ProfileNamesEqual(info.key, key)) return &info;
  }
  return nullptr;
}

}  // namespace kal::cfg
