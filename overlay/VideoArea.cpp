#include "overlay/VideoArea.h"

namespace kal {

CVideoArea::CVideoArea(QWidget* parent) : ui::WindowImplBase(parent) {
  if (parent) setWindowFlags(Qt::Widget);  // a child inside its host's window
}

}  // namespace kal
