#include "mainwnd/BrushControl.h"

#include "annotate/ScreenMask.h"

namespace kal {
namespace {
constexpr const char* kControls[] = {BrushControl::kBrush};
}

BrushControl::BrushControl() = default;
BrushControl::~BrushControl() = default;

ui::ControlList BrushControl::Controls() const { return kControls; }

void BrushControl::Open() {
  if (canvas_) {
    canvas_->raise();
    canvas_->activateWindow();
    return;
  }
  canvas_ = std::make_unique<CScreenMask>();
  if (!canvas_->TryCreate()) {
    canvas_.reset();  // the main window says why
    return;
  }
  canvas_->Open();
}

bool BrushControl::Notify(const ui::TNotifyUI& msg) {
  if (msg.type != "click" || msg.senderName != kBrush) return false;
  Open();
  return true;
}

bool BrushControl::Handle(ui::Message& msg) {
  switch (msg.id) {
    case WMU_BRUSH_TOGGLE:
      if (canvas_ && canvas_->isVisible()) canvas_->Close();
      else Open();
      return true;
    case WMU_BRUSH_CLOSED:
      canvas_.reset();
      return true;
    default:
      return false;
  }
}

}  // namespace kal
