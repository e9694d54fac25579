#include "overlay/VideoMask.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>

#include <glog/logging.h>

#include "config/ConfigKeys.h"
#include "overlay/StoredRegion.h"
#include "overlay/ToolWindow.h"
#include "platform/X11Shape.h"

namespace kal {

CVideoMask::CVideoMask() {
  MakeOverlay({.onTop = true, .takesFocus = false});
  setWindowTitle("CVideoMask");
  TakeRole(ui::WindowRole::kRegionFrame);
}

CVideoMask::~CVideoMask() = default;

void CVideoMask::Load(bool reload) {
  pixels_ = DevicePixels();
  setGeometry(pixels_.ToLogical(pixels_.Desktop()));
  if (!reload && frame_.width() > 0 && frame_.height() > 0) {
    SetFrame(frame_);
    return;
  }
  const QRect stored(cfg::Read(cfg::kRegionOffsetX), cfg::Read(cfg::kRegionOffsetY),
                     cfg::Read(cfg::kRegionWidthDialog), cfg::Read(cfg::kRegionHeightDialog));
  if (stored.width() > 0 && stored.height() > 0) {
    SetFrame(FrameAround(stored));
    return;
  }
  SetFrame(DefaultFrame(pixels_.Primary()));
  const QRect region = RegionInside(frame_);
  StoreRegion(region);
}

void CVideoMask::ShowToolbar() {
  if (!toolbar_) {
    toolbar_ = std::make_unique<CToolWindow>(*this);
    if (!toolbar_->TryCreate()) {
      toolbar_.reset();  // the frame stays; the record page's switch ends it
      return;
    }
  }
  toolbar_->Follow(false);
  toolbar_->show();
  toolbar_->raise();
}

void CVideoMask::HideAll() {
  hide();
  if (toolbar_) toolbar_->hide();
}

void CVideoMask::SetEditable(bool editable) {
  editable_ = editable;
  drag_ = {};
  if (toolbar_) toolbar_->SetMovable(editable);
}

QRect CVideoMask::ToolbarRect() const {
  return toolbar_ && toolbar_->isVisible() ? toolbar_->DeviceRect() : QRect();
}

void CVideoMask::SetFrame(const QRect& frame) {
  frame_ = frame;
  ApplyShape();
}

// The bars, in the window's device pixels.
void CVideoMask::ApplyShape() {
  const QRect f = frame_.translated(-pixels_.Desktop().topLeft());
  const int b = kFrameBorder;
  const std::vector<platform::ShapeRect> bars = {
      {f.x(), f.y(), b, f.height()},
      {f.x() + f.width() - b, f.y(), b, f.height()},
      {f.x(), f.y(), f.width(), b},
      {f.x(), f.y() + f.height() - b, f.width(), b},
  };
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  if (!x11 || !platform::ShapeWindow(x11->display(), winId(), bars))
    LOG(WARNING) << "no X SHAPE extension: the region frame cannot be shown";
}

// The window is all red; its shape leaves only the bars.
void CVideoMask::OnPaint(QPainter& painter, const QRegion&) { painter.fillRect(rect(), QColor(255, 0, 0)); }

void CVideoMask::OnMouse(QMouseEvent* e) {
  e->accept();
  const QPoint at = pixels_.ToDevice(e);
  switch (e->type()) {
    case QEvent::MouseButtonPress:
      if (e->button() != Qt::LeftButton || !editable_) return;
      drag_ = {HitGrip(frame_, at), at, frame_};
      return;
    case QEvent::MouseButtonRelease:
      drag_ = {};
      return;
    case QEvent::MouseMove:
      break;
    default:
      return;
  }
  if (!editable_) return;
  if (drag_.grip == FrameGrip::kNone) {
    static constexpr Qt::CursorShape kShapes[] = {
        Qt::ArrowCursor,    Qt::SizeVerCursor,   Qt::SizeVerCursor,   Qt::SizeHorCursor,
        Qt::SizeHorCursor,  Qt::SizeFDiagCursor, Qt::SizeBDiagCursor, Qt::SizeBDiagCursor,
        Qt::SizeFDiagCursor, Qt::SizeAllCursor};
    setCursor(kShapes[static_cast<int>(HitGrip(frame_, at))]);
    return;
  }
  const QRect moved = drag_.To(at, pixels_.Desktop());
  if (moved == frame_) return;
  SetFrame(moved);
  ui::PostTo(ui::WindowRole::kRecordToolbar, WMU_FRAME_CHANGED);
}

void CVideoMask::HandleCustomMessage(ui::Message& msg, bool& handled) {
  handled = true;
  switch (msg.id) {
    case WMU_MASK_MOVE:
      SetFrame(QRect(static_cast<int>(msg.wParam), static_cast<int>(msg.lParam), frame_.width(),
                     frame_.height()));
      return;
    case WMU_RECORD_STOP:
      // The recording has ended: the region may change again.
      SetEditable(true);
      if (toolbar_) toolbar_->ShowReady();
      return;
    case WMU_MASK_CLOSE:
      SetEditable(true);
      HideAll();
      ui::PostTo(ui::WindowRole::kMain, WMU_SHOW_MAIN);
      if (onClosed_) onClosed_();
      return;
    default:
      handled = false;
  }
}

}  // namespace kal
