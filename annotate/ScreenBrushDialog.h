#pragma once
// The canvas's palette, 108 x 440 near the monitor's top-left corner: close,
// undo and redo, four sizes, twelve colours and the nine tools. A choice
// applies to what is drawn next. It never takes the focus by itself (the
// canvas keeps it); Tab on the canvas brings the keyboard here, Escape
// takes it back.

#include <QColor>

#include "ui/WindowImplBase.h"

namespace kal {

class CScreenMask;

class ScreenBrushDialog : public ui::WindowImplBase {
  Q_OBJECT
 public:
  static constexpr const char* kClose = "brush-close";
  static constexpr const char* kUndo = "brush-undo";
  static constexpr const char* kRedo = "brush-redo";
  static constexpr const char* kButtons[] = {kClose, kUndo, kRedo};
  static constexpr const char* kSizes[] = {"brush-size-01", "brush-size-02", "brush-size-03",
                                           "brush-size-04"};
  static constexpr const char* kColours[] = {
      "brush-color-01", "brush-color-02", "brush-color-03", "brush-color-04",
      "brush-color-05", "brush-color-06", "brush-color-07", "brush-color-08",
      "brush-color-09", "brush-color-10", "brush-color-11", "brush-color-12"};
  // In the order of the tool numbers.
  static constexpr const char* kTools[] = {
      "brush-type-pen",    "brush-type-marker", "brush-type-rectangle",
      "brush-type-arc",    "brush-type-beeline", "brush-type-arrow",
      "brush-type-text",   "brush-type-seq",    "brush-type-eraser"};
  static constexpr ui::ControlList kLists[] = {kButtons, kSizes, kColours, kTools};
  static constexpr ui::SkinSpec kSkin{"屏幕画笔", "ScreenBrush.xml", kLists};
  static constexpr int kWidth = 108;
  static constexpr int kHeight = 440;

  explicit ScreenBrushDialog(CScreenMask& canvas);
  const ui::SkinSpec* Skin() const override { return &kSkin; }

  // The colour of brush-color-NN (1 to 12) as drawn: the stored values are
  // blue-green-red words, read here as such.
  static QColor ColourOf(int option);
  // The keyboard comes here (from the canvas's Tab).
  void TakeFocus();

 protected:
  QString ClassName() const override { return kSkin.className; }
  void Notify(const ui::TNotifyUI& msg) override;
  void OnKey(QKeyEvent* e) override;

 private:
  CScreenMask& canvas_;
};

}  // namespace kal
