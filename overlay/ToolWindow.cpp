#include "overlay/ToolWindow.h"

#include <QLabel>
#include <QMouseEvent>

#include <cmath>

#include "config/ConfigKeys.h"
#include "overlay/StoredRegion.h"
#include "overlay/FrameGeometry.h"
#include "overlay/VideoMask.h"
#include "ui/ElapsedText.h"

namespace kal {
CToolWindow::CToolWindow(CVideoMask& mask) : mask_(mask) {
  MakeOverlay({.onTop = true, .takesFocus = false});
  TakeRole(ui::WindowRole::kRecordToolbar);
}

void CToolWindow::InitWindow() {
  const QRect region = RegionInside(mask_.Frame());
  FindControl<QLabel>(kRatio)->setText(QString("%1 x %2").arg(region.width()).arg(region.height()));
  ShowReady();
}

void CToolWindow::ShowReady() { FindControl<QLabel>(kDuration)->setText("准备录制 00:00:00"); }

int CToolWindow::DeviceHeight() const {
  return static_cast<int>(std::lround(sizeHint().height() * mask_.Pixels().Ratio()));
}

void CToolWindow::Place(const QRect& deviceRect) {
  rect_ = deviceRect;
  setGeometry(mask_.Pixels().ToLogical(rect_));
}

void CToolWindow::Follow(bool store) {
  const QRect frame = mask_.Frame();
  Place(ToolbarPlace(frame, DeviceHeight(), mask_.Bounds()));
  const QRect region = RegionInside(frame);
  FindControl<QLabel>(kRatio)->setText(QString("%1 x %2").arg(region.width()).arg(region.height()));
  if (!store) return;
  StoreRegion(region);
}

void CToolWindow::Notify(const ui::TNotifyUI& msg) {
  if (msg.type == "click" && msg.senderName == kClose) {
    movable_ = true;
    cfg::Write(cfg::kUserDefinedRegionCheck, 0);
    // Any recording ends before region recording does.
    ui::SendTo(ui::WindowRole::kMain, WMU_RECORD_STOP);
    ui::PostTo(ui::WindowRole::kRegionFrame, WMU_MASK_CLOSE);
    hide();
  }
  NotifyBase(msg);
}

void CToolWindow::HandleCustomMessage(ui::Message& msg, bool& handled) {
  handled = true;
  switch (msg.id) {
    case WMU_FRAME_CHANGED:
      Follow(true);
      return;
    case WMU_RECORD_SECONDS:
      FindControl<QLabel>(kDuration)->setText("正在录制 " + ui::ElapsedText(msg.lParam));
      return;
    default:
      handled = false;
  }
}

void CToolWindow::OnMouse(QMouseEvent* e) {
  const QPoint at = mask_.Pixels().ToDevice(e);
  switch (e->type()) {
    case QEvent::MouseButtonPress:
      if (e->button() != Qt::LeftButton) return;
      dragging_ = true;
      pressAt_ = at;
      frameAtPress_ = mask_.Frame();
      break;
    case QEvent::MouseButtonRelease:
      dragging_ = false;
      break;
    case QEvent::MouseMove: {
      if (!dragging_ || !movable_) break;
      const QRect frame =
          FrameAfterToolbarDrag(frameAtPress_, at - pressAt_, DeviceHeight(), mask_.Bounds());
      if (frame == mask_.Frame()) break;
      // Sent, so the frame has moved before the toolbar follows it.
      mask_.Send(WMU_MASK_MOVE, static_cast<std::uintptr_t>(frame.x()), frame.y());
      Follow(true);
      break;
    }
    default:
      return;
  }
  e->accept();
}

}  // namespace kal
