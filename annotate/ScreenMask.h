#pragma once
// CScreenMask: the canvas the user draws on over the live screen, with its
// palette (ScreenBrushDialog) and, for the text tool, a text box
// (CEditWindow). It covers the monitor it is opened on, at that monitor's
// size in device pixels, always on top. What is drawn is ordinary window
// content, so a running recording holds it.
//
// With a compositor the window has per-pixel alpha: an almost transparent
// ground (alpha 1) takes every click. Without one, the window is shaped to
// exactly what is drawn, so the screen stays visible and recorded
// everywhere else, and a pointer grab brings it the clicks beside its
// drawings. The keyboard is never grabbed (the recording's hotkeys must
// keep working); the canvas takes the focus instead. Escape closes it, Tab
// moves to the palette, Ctrl+Z and Ctrl+Y undo and redo.

#include <QColor>
#include <QRect>

#include <array>
#include <memory>

#include "annotate/DrawingSurface.h"
#include "annotate/ShapeList.h"
#include "platform/X11PointerGrab.h"
#include "ui/DevicePixels.h"
#include "ui/WindowImplBase.h"

namespace kal {

class ScreenBrushDialog;
class CEditWindow;

class CScreenMask : public ui::WindowImplBase {
  Q_OBJECT
 public:
  static constexpr ui::SkinSpec kSkin{"CScreenMask", "ScreenMask.xml", {}};

  CScreenMask();
  ~CScreenMask() override;
  const ui::SkinSpec* Skin() const override { return &kSkin; }

  // Covers the monitor under the pointer and shows the palette on it.
  void Open();
  // Hides the canvas and its windows and tells the main window, which frees
  // it.
  void Close();

  // The palette's choices; each applies to the shapes drawn after it.
  void SetTool(int tool);
  void SetSize(int size) { size_ = size; }
  void SetColour(QColor colour) { colour_ = colour; }
  // The monitor covered, in device pixels.
  QRect Monitor() const { return monitor_; }

 protected:
  QString ClassName() const override { return kSkin.className; }
  void HandleCustomMessage(ui::Message& msg, bool& handled) override;
  void OnPaint(QPainter& painter, const QRegion& damaged) override;
  void OnMouse(QMouseEvent* e) override;
  void OnKey(QKeyEvent* e) override;
  void OnScreenChanged() override;
  void OnTimer(int id) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void Cover();
  void Press(QPoint at, QPoint logical);
  void MoveTo(QPoint at);
  void Release();
  void OpenTextBox(QPoint logical);
  // Adds what the text box holds (nothing when it is empty) and closes it.
  void CommitText();
  void Add(GraphShape shape);
  void RedrawAll();
  // Shows `part` (device pixels, canvas coordinates) of the surface again.
  void Show(const QRect& part);
  void Grab();
  // The program's windows that may lie above the canvas (null where none).
  std::array<QWidget*, 4> OwnWindows() const;
  bool OverOwnWindow(QPoint logical) const;
  void WatchOwnWindows();
  qreal Ratio() const;
  PaintLook Look() const;

  DevicePixels pixels_;
  QRect monitor_;
  bool composited_ = false;
  DrawingSurface surface_;
  ShapeList shapes_;
  bool drawing_ = false;  // the last shape follows the pointer
  int tool_ = kToolPen;
  int size_ = 2;
  QColor colour_ = QColor(255, 0, 0);
  std::unique_ptr<ScreenBrushDialog> palette_;
  std::unique_ptr<CEditWindow> textBox_;
  platform::X11PointerGrab grab_;
};

}  // namespace kal
