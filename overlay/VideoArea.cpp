#include "overlay/VideoArea.h"

#include <QVBoxLayout>

#include <mutex>

namespace kal {

CVideoArea::CVideoArea(QWidget* parent) : ui::WindowImplBase(parent) {
  if (parent) setWindowFlags(Qt::Widget);  // a child inside its host's window
}

void CVideoArea::InitWindow() {
  QWidget* area = FindControl(kArea);
  auto* layout = new QVBoxLayout(area);
  layout->setContentsMargins(0, 0, 0, 0);
  host_ = new ui::VideoHost(area);
  host_->setObjectName("videoHost");
  layout->addWidget(host_);
}

void CVideoArea::Place(const QRect& r) {
  std::lock_guard<std::mutex> hold(host_->GeometryLock());
  setGeometry(r);
}

}  // namespace kal
