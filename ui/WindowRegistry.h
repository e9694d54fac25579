#pragma once
// Windows found by their role, so that any window (or thread) can post to
// the main window or another window without knowing its class. A window
// takes its role when it is made (WindowImplBase::TakeRole) and gives it up
// when it is destroyed; one window per role.

#include <cstdint>
#include <memory>

#include "ui/Messages.h"

namespace kal::ui {

class WindowImplBase;

enum class WindowRole {
  kMain,
  kPauseBox,
  kRegionFrame,
  kRecordToolbar,
  kRegionSelection,
  kCanvas,
  kPalette,
  kPlayerHost,
  kCameraPreview,
  kSettings,
  kDownload,
};

// Posts to the window holding `role`. Any thread. False, with the payload
// freed, when no such window exists.
bool PostTo(WindowRole role, unsigned id, std::uintptr_t wParam = 0, std::intptr_t lParam = 0,
            std::unique_ptr<MessagePayload> payload = nullptr);

// Hands the message to the window holding `role` and returns when it is
// handled (the sender needs it done before it goes on). UI thread only.
// False when no such window exists.
bool SendTo(WindowRole role, unsigned id, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);

// The window holding `role`, or nullptr. UI thread only.
WindowImplBase* WindowWithRole(WindowRole role);

namespace detail {
void Register(WindowRole role, WindowImplBase* window);
void Unregister(WindowImplBase* window);
}  // namespace detail

}  // namespace kal::ui
