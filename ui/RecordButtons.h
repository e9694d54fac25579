#pragma once
// The start, pause and stop buttons are named alike on the record page and
// in the floating pause box.

namespace kal::ui {

inline constexpr const char* kRecordStartButton = "recorderStartBtn";
inline constexpr const char* kRecordPauseButton = "recorderPauseBtn";
inline constexpr const char* kRecordStopButton = "recorderStopBtn";

}  // namespace kal::ui
