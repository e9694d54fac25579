#pragma once
// CVideoMask: the red frame around the recorded region. The window covers
// the whole desktop but is shaped (X SHAPE, device pixels) to the frame's
// four 3-pixel bars, so everywhere else the desktop stays visible and takes
// the clicks, with or without a compositor, and the bars lie just outside
// the region, never in the picture. The bars can be dragged by their edges
// and corners (20-pixel minimum each way) unless the frame is locked while
// recording. The toolbar (CToolWindow) above the frame is made on first
// use and follows it.

#include <QRect>

#include <functional>
#include <memory>

#include "ui/DevicePixels.h"
#include "overlay/FrameGeometry.h"
#include "ui/WindowImplBase.h"

namespace kal {

class CToolWindow;

class CVideoMask : public ui::WindowImplBase {
  Q_OBJECT
 public:
  CVideoMask();
  ~CVideoMask() override;

  // Covers the desktop and shows the frame around the stored region; with
  // none stored, around the middle quarter of the primary monitor, which is
  // then stored. `reload` drops a frame already shown in favour of the
  // stored region.
  void Load(bool reload);
  // Shows the toolbar above the frame (made on first use).
  void ShowToolbar();
  // Hides the frame and its toolbar.
  void HideAll();
  // Locked while recording: neither the frame nor the toolbar moves.
  void SetEditable(bool editable);
  bool Editable() const { return editable_; }
  // Device pixels, root coordinates.
  QRect Frame() const { return frame_; }
  QRect Bounds() const { return pixels_.Desktop(); }
  QRect ToolbarRect() const;
  const DevicePixels& Pixels() const { return pixels_; }
  // Called when the toolbar's close button has left region recording.
  void OnClosed(std::function<void()> handler) { onClosed_ = std::move(handler); }

 protected:
  QString ClassName() const override { return "CVideoMask"; }
  void HandleCustomMessage(ui::Message& msg, bool& handled) override;
  void OnPaint(QPainter& painter, const QRegion& damaged) override;
  void OnMouse(QMouseEvent* e) override;

 private:
  void SetFrame(const QRect& frame);
  void ApplyShape();
  DevicePixels pixels_;
  QRect frame_;
  bool editable_ = true;
  FrameDrag drag_;
  std::unique_ptr<CToolWindow> toolbar_;
  std::function<void()> onClosed_;
};

}  // namespace kal
