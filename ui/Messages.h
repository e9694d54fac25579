#pragma once
// Every custom message a window of the program posts or receives
// (WM_USER + n, numbered as the other system's messages were), and what
// travels with one. Any window may include this; the main window is reached
// by role (WindowRegistry.h), never by its class.

#include <cstdint>
#include <memory>
#include <string>

namespace kal {

inline constexpr unsigned kWmUser = 0x0400;

// To the main window.
inline constexpr unsigned WMU_TRAY_ICON = kWmUser + 10;       // tray icon event
inline constexpr unsigned WMU_QUIT = kWmUser + 20;            // tray menu "quit"
inline constexpr unsigned WMU_SHOW_MAIN = kWmUser + 24;       // show and activate
inline constexpr unsigned WMU_OPEN_HELP = kWmUser + 25;
inline constexpr unsigned WMU_OPEN_SETTINGS = kWmUser + 26;
inline constexpr unsigned WMU_OPEN_FEEDBACK = kWmUser + 27;
inline constexpr unsigned WMU_CHECK_UPGRADE = kWmUser + 28;
inline constexpr unsigned WMU_LIST_OPEN_FOLDER = kWmUser + 121;  // payload: the row
inline constexpr unsigned WMU_LIST_RENAME = kWmUser + 122;
inline constexpr unsigned WMU_LIST_REMOVE = kWmUser + 123;
inline constexpr unsigned WMU_LIST_DELETE = kWmUser + 124;
inline constexpr unsigned WMU_RECORD_START = kWmUser + 141;   // start or resume
inline constexpr unsigned WMU_RECORD_PAUSE = kWmUser + 142;
inline constexpr unsigned WMU_RECORD_STOP = kWmUser + 143;    // also main window -> region frame
inline constexpr unsigned WMU_SELECT_REGION = kWmUser + 200;
// The region selection has closed; wParam 1 when it stored a region (record
// it and show its frame), 0 when it was left without one.
inline constexpr unsigned WMU_REGION_CHOSEN = kWmUser + 201;
inline constexpr unsigned WMU_TRANSCODE_PROGRESS = kWmUser + 330;  // payload: the progress
inline constexpr unsigned WMU_TRANSCODE_DONE = kWmUser + 331;      // payload: the result

// Main window -> pause box.
inline constexpr unsigned WMU_BOX_RESUMED = kWmUser + 160;
inline constexpr unsigned WMU_BOX_PAUSED = kWmUser + 161;

// Between the region frame and its toolbar.
inline constexpr unsigned WMU_MASK_CLOSE = kWmUser + 602;
inline constexpr unsigned WMU_MASK_MOVE = kWmUser + 603;      // wParam x, lParam y
inline constexpr unsigned WMU_FRAME_CHANGED = kWmUser + 700;

// Annotation palette -> canvas.
inline constexpr unsigned WMU_BRUSH_UNDO = kWmUser + 801;
inline constexpr unsigned WMU_BRUSH_REDO = kWmUser + 802;
// To the main window: the screen-brush key (open the canvas, or close the
// one that is open), and the canvas has closed (free it).
inline constexpr unsigned WMU_BRUSH_TOGGLE = kWmUser + 803;
inline constexpr unsigned WMU_BRUSH_CLOSED = kWmUser + 804;

// From the recording: to the main window, which passes the seconds on to the
// toolbar and the pause box. wParam is the engine's session number for the
// seconds; lParam the whole seconds recorded.
inline constexpr unsigned WMU_RECORD_SECONDS = kWmUser + 820;
// The recording ended by itself or its file could not be finished;
// wParam is the engine's RecordFailure.
inline constexpr unsigned WMU_RECORD_FAILED = kWmUser + 821;
// A sound source is missing, lost or back; wParam the engine's
// SoundSource, lParam one of the SoundChange values below.
inline constexpr unsigned WMU_RECORD_SOUND_LOST = kWmUser + 822;
enum SoundChange : std::intptr_t { kSoundMissing = 0, kSoundGone = 1, kSoundBack = 2 };
// The camera delivers no more pictures; the recording goes on.
inline constexpr unsigned WMU_RECORD_CAMERA_LOST = kWmUser + 823;
// A window could not be made or failed in one of its handlers; it is not
// shown, and the main window says why. Payload: TextPayload.
inline constexpr unsigned WMU_WINDOW_FAILED = kWmUser + 824;
// A line for the record page that the user should read (a helper program
// missing, ...). Payload: TextPayload.
inline constexpr unsigned WMU_PAGE_NOTICE = kWmUser + 825;
// The cut page's player has played its file to the end; wParam is the
// player's number, so a message for a player already closed is ignored.
inline constexpr unsigned WMU_PLAYER_FINISHED = kWmUser + 826;
// The camera preview to its own window: the camera delivers no more.
inline constexpr unsigned WMU_CAMERA_LOST = kWmUser + 827;
// The upgrade check's answer (payload: its UpgradeAnswer), to the main
// window.
inline constexpr unsigned WMU_UPGRADE_ANSWER = kWmUser + 828;
// To the main window: an installer has started, or a forced upgrade was
// cancelled; the recording is finished and the program ends.
inline constexpr unsigned WMU_UPGRADE_EXIT = kWmUser + 829;
// The download worker to its dialog: bytes so far (wParam) and in all
// (lParam, -1 unknown); and the end (payload: the result).
inline constexpr unsigned WMU_DOWNLOAD_PROGRESS = kWmUser + 830;
inline constexpr unsigned WMU_DOWNLOAD_DONE = kWmUser + 831;

namespace ui {

// Data that travels with a message. The message owns it: it is freed after
// the receiver's handler, or with the message when the receiver is gone.
struct MessagePayload {
  virtual ~MessagePayload() = default;
};

// Words that travel with a message (UTF-8).
struct TextPayload : MessagePayload {
  explicit TextPayload(std::string t) : text(std::move(t)) {}
  std::string text;
};

// The lists of the main window whose rows have menus or jobs.
enum class ListKind { kRecorded = 0, kCut = 1, kConvert = 2, kCompress = 3 };

// A row menu's choice (WMU_LIST_*): which list, and the row's tag.
struct ListMenuRequest : MessagePayload {
  ListMenuRequest(ListKind k, int t) : kind(k), tag(t) {}
  ListKind kind;
  int tag;
};

// One posted message as the receiver's handler gets it.
struct Message {
  unsigned id = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
  std::unique_ptr<MessagePayload> payload;
  // The payload as T, or nullptr when there is none of that type.
  template <typename T>
  T* Payload() const {
    return dynamic_cast<T*>(payload.get());
  }
};

}  // namespace ui
}  // namespace kal
