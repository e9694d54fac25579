#pragma once
// CEditWindow: the text tool's box, opened where the user clicked. It grows
// with its text (never shrinks) and is dragged by its frame. Its text's
// first line starts at the box's top-left corner + 2, + 2, where the canvas
// draws the committed text, in the same type and layout.

#include <QColor>
#include <QPoint>

#include <functional>

#include "ui/WindowImplBase.h"

class QTextEdit;

namespace kal {

class CEditWindow : public ui::WindowImplBase {
  Q_OBJECT
 public:
  static constexpr const char* kText = "draw-text";
  static constexpr const char* kControls[] = {kText};
  static constexpr ui::ControlList kLists[] = {kControls};
  static constexpr ui::SkinSpec kSkin{"CEditWindow", "EditWindow.xml", kLists};
  static constexpr int kFrame = 2;

  explicit CEditWindow(QWidget* owner);
  const ui::SkinSpec* Skin() const override { return &kSkin; }

  // Empties the box, gives it `colour` and shows it at `at` (logical
  // pixels), 100 x 28, with the focus.
  void Start(QColor colour, QPoint at);
  QString Text() const;
  QColor Colour() const { return colour_; }
  // Where the text's first line starts, in logical screen pixels.
  QPoint TextOrigin() const { return geometry().topLeft() + QPoint(kFrame, kFrame); }
  // Escape in the box: the canvas commits it.
  void OnEscape(std::function<void()> handler) { onEscape_ = std::move(handler); }

 protected:
  QString ClassName() const override { return kSkin.className; }
  void InitWindow() override;
  void Notify(const ui::TNotifyUI& msg) override;
  void OnMouse(QMouseEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void Grow();
  QTextEdit* edit_ = nullptr;
  QColor colour_;
  bool dragging_ = false;
  QPoint dragStart_;
  QPoint windowStart_;
  std::function<void()> onEscape_;
};

}  // namespace kal
