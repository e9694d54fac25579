#pragma once
// The floating pause box: start, pause and stop buttons and the elapsed
// time, 120 x 28, always on top. It never takes the focus from the program
// being recorded, and clicking it does not raise the main window; its
// buttons post to the main window. Dragged by its background, it keeps its
// place in section "suspend" ("top", and "right" from the screen's right
// edge) for the next time.

#include <QPoint>
#include <QRect>
#include <QSize>

#include "ui/RecordButtons.h"
#include "ui/WindowImplBase.h"

namespace kal {

class SuspendDialog : public ui::WindowImplBase {
  Q_OBJECT
 public:
  static constexpr int kWidth = 120;
  static constexpr int kHeight = 28;
  static constexpr const char* kTime = "recorderTimeText";
  static constexpr const char* kControls[] = {ui::kRecordStartButton, ui::kRecordPauseButton,
                                              ui::kRecordStopButton, kTime};
  static constexpr ui::ControlList kLists[] = {kControls};
  static constexpr ui::SkinSpec kSkin{"SuspendDialog", "suspend.xml", kLists};

  SuspendDialog();
  const ui::SkinSpec* Skin() const override { return &kSkin; }

  // Where the box goes on a work area of `area` with the stored "top" and
  // "right": never outside the work area.
  static QPoint Place(QSize area, int top, int right);
  // Places the box from the stored position and shows it (UI thread); a
  // place on the region frame or its toolbar (logical pixels, empty when not
  // shown) gives way to one beside them.
  void ShowAtStoredPlace(const QRect& frame = {}, const QRect& toolbar = {});

 protected:
  QString ClassName() const override { return kSkin.className; }
  void InitWindow() override;
  void Notify(const ui::TNotifyUI& msg) override;
  void HandleCustomMessage(ui::Message& msg, bool& handled) override;
  void OnMouse(QMouseEvent* e) override;

 private:
  void ShowRunning(bool running);
  void StorePlace();
  QPoint dragOffset_;
  bool dragging_ = false;
};

}  // namespace kal
