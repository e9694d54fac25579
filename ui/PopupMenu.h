#pragma once
// A menu that is a window of the layer: its items are the buttons of its
// skin, so a screen reader sees the menu among the program's windows and
// every item in it, and the keyboard reaches them (Up and Down move, Enter
// or Space chooses, Escape closes). It takes the focus when it opens and
// closes when it loses it, when Escape is pressed, or once an item is
// chosen; then the control that had the focus gets it back, and the menu
// deletes itself. The wheel does nothing over it.

#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>

#include "ui/WindowImplBase.h"

namespace kal::ui {

class PopupMenu : public WindowImplBase {
  Q_OBJECT
 public:
  explicit PopupMenu(QWidget* owner = nullptr);
  // Shows the menu with its top-left corner at `corner` and gives its first
  // item the focus; `opener` (else the control with the focus) gets it back.
  void OpenWithCorner(QPoint corner, QWidget* opener = nullptr);
  // The primary screen's work area.
  static QRect WorkArea();

 protected:
  // An item was chosen; the menu closes afterwards.
  virtual void OnItem(const QString& name) = 0;
  void Notify(const TNotifyUI& msg) override;
  void OnKey(QKeyEvent* e) override;
  bool event(QEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  QPointer<QWidget> opener_;  // had the focus before: gets it back
};

// A list row's menu of `size` opened from `at`: kept inside `work`
// (moved up or left where it would pass the bottom or the right), and
// opening to the left of the point. Returns the top-left corner.
QPoint PlaceRowMenu(QPoint at, QSize size, const QRect& work);

}  // namespace kal::ui
