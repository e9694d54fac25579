#include "overlay/SuspendDialog.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>

#include <algorithm>

#include "config/ConfigKeys.h"
#include "overlay/FrameGeometry.h"
#include "ui/ElapsedText.h"

namespace kal {
namespace {

QRect WorkArea() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect(0, 0, 1920, 1080);
}

}  // namespace

SuspendDialog::SuspendDialog() {
  MakeOverlay({.onTop = true, .takesFocus = false});
  setFixedSize(kWidth, kHeight);
  TakeRole(ui::WindowRole::kPauseBox);
}

QPoint SuspendDialog::Place(QSize area, int top, int right) {
  const int x = std::min(std::max(0, area.width() - kWidth - right), area.width() - kWidth);
  const int y = std::min(std::max(0, top), area.height() - kHeight);
  return {x, y};
}

void SuspendDialog::ShowAtStoredPlace(const QRect& frame, const QRect& toolbar) {
  // Relative to the work area's size only, as the stored values are.
  const QPoint stored =
      Place(WorkArea().size(), cfg::Read(cfg::kSuspendTop), cfg::Read(cfg::kSuspendRight));
  move(frame.isEmpty() ? stored
                       : KeepClearOf(frame, toolbar, stored, QSize(kWidth, kHeight), WorkArea()));
  show();
  raise();
}

void SuspendDialog::InitWindow() { ShowRunning(true); }

void SuspendDialog::ShowRunning(bool running) {
  FindControl(ui::kRecordStartButton)->setVisible(!running);
  FindControl(ui::kRecordPauseButton)->setVisible(running);
}

void SuspendDialog::Notify(const ui::TNotifyUI& msg) {
  if (msg.type == "click") {
    if (msg.senderName == ui::kRecordStopButton) {
      hide();
      FindControl<QLabel>(kTime)->setText("00:00:00");
      ui::PostTo(ui::WindowRole::kMain, WMU_RECORD_STOP);
    } else if (msg.senderName == ui::kRecordPauseButton) {
      ShowRunning(false);
      ui::PostTo(ui::WindowRole::kMain, WMU_RECORD_PAUSE);
    } else if (msg.senderName == ui::kRecordStartButton) {
      ShowRunning(true);
      ui::PostTo(ui::WindowRole::kMain, WMU_RECORD_START);
    }
  }
  NotifyBase(msg);
}

void SuspendDialog::HandleCustomMessage(ui::Message& msg, bool& handled) {
  handled = true;
  switch (msg.id) {
    case WMU_BOX_RESUMED: ShowRunning(true); break;
    case WMU_BOX_PAUSED: ShowRunning(false); break;
    case WMU_RECORD_SECONDS: FindControl<QLabel>(kTime)->setText(ui::ElapsedText(msg.lParam)); break;
    default: handled = false; break;
  }
}

// Dragged by its background (the buttons take their own clicks).
void SuspendDialog::OnMouse(QMouseEvent* e) {
  const QPoint at = e->globalPosition().toPoint();
  switch (e->type()) {
    case QEvent::MouseButtonPress:
      if (e->button() != Qt::LeftButton) return;
      dragging_ = true;
      dragOffset_ = at - pos();
      break;
    case QEvent::MouseMove:
      if (!dragging_) return;
      move(at - dragOffset_);
      break;
    case QEvent::MouseButtonRelease:
      if (!dragging_) return;
      dragging_ = false;
      move(at - dragOffset_);
      StorePlace();
      break;
    default:
      return;
  }
  e->accept();
}

void SuspendDialog::StorePlace() {
  cfg::Write(cfg::kSuspendTop, y());
  cfg::Write(cfg::kSuspendRight, WorkArea().width() - (x() + width()));
}

}  // namespace kal
