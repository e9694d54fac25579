#include "annotate/ScreenBrushDialog.h"

#include <QKeyEvent>

#include <iterator>

#include "annotate/ScreenMask.h"

namespace kal {
namespace {

// The palette's colours as stored: 0x00BBGGRR.
constexpr unsigned kColourRefs[] = {16777215, 0,       255,     5372158, 2621284,  16737346,
                                    761598,   2065159, 9603584, 16184892, 9657855, 16711913};

int IndexIn(const char* const* names, int count, const QString& name) {
  for (int i = 0; i < count; ++i)
    if (name == names[i]) return i;
  return -1;
}

}  // namespace

ScreenBrushDialog::ScreenBrushDialog(CScreenMask& canvas) : WindowImplBase(&canvas), canvas_(canvas) {
  MakeOverlay({.onTop = true, .takesFocus = true});
  setFixedSize(kWidth, kHeight);
  TakeRole(ui::WindowRole::kPalette);
}

QColor ScreenBrushDialog::ColourOf(int option) {
  const unsigned ref = kColourRefs[(option - 1) % std::size(kColourRefs)];
  return QColor(ref & 0xFF, (ref >> 8) & 0xFF, (ref >> 16) & 0xFF);
}

void ScreenBrushDialog::TakeFocus() {
  activateWindow();
  if (QWidget* first = FindControl(kClose)) first->setFocus(Qt::TabFocusReason);
}

void ScreenBrushDialog::Notify(const ui::TNotifyUI& msg) {
  if (msg.type == "click") {
    if (msg.senderName == kClose) canvas_.Close();
    else if (msg.senderName == kUndo) PostMessage(&canvas_, WMU_BRUSH_UNDO, 0, 0);
    else if (msg.senderName == kRedo) PostMessage(&canvas_, WMU_BRUSH_REDO, 0, 0);
  } else if (msg.type == "selectchanged" && msg.value == 1) {
    if (int i = IndexIn(kSizes, std::size(kSizes), msg.senderName); i >= 0) canvas_.SetSize(i + 1);
    if (int i = IndexIn(kColours, std::size(kColours), msg.senderName); i >= 0)
      canvas_.SetColour(ColourOf(i + 1));
    if (int i = IndexIn(kTools, std::size(kTools), msg.senderName); i >= 0) canvas_.SetTool(i);
  }
  NotifyBase(msg);
}

void ScreenBrushDialog::OnKey(QKeyEvent* e) {
  if (e->key() != Qt::Key_Escape) return;
  e->accept();
  canvas_.activateWindow();
}

}  // namespace kal
