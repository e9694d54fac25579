#include "ui/VideoHost.h"

#include <QResizeEvent>
#include <QWindow>

#include <cmath>

namespace kal::ui {

VideoHost::VideoHost(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_NativeWindow);
  setAttribute(Qt::WA_PaintOnScreen);
  setAttribute(Qt::WA_NoSystemBackground);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_DontCreateNativeAncestors);
  setAutoFillBackground(false);
}

unsigned long VideoHost::NativeId() {
  const unsigned long id = static_cast<unsigned long>(winId());
  StoreSize();
  return id;
}

void VideoHost::StoreSize() {
  const qreal r = devicePixelRatioF();
  width_ = static_cast<int>(std::lround(width() * r));
  height_ = static_cast<int>(std::lround(height() * r));
}

void VideoHost::paintEvent(QPaintEvent*) {
  if (changed_) changed_();
}

void VideoHost::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  const QSize before = DrawingSize();
  StoreSize();
  if (DrawingSize() != before && changed_) changed_();
}

void VideoHost::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  StoreSize();
  QWindow* top = window()->windowHandle();
  if (screenWatched_ || !top) return;
  screenWatched_ = true;
  // Another monitor may scale differently: the size in device pixels moves.
  connect(top, &QWindow::screenChanged, this, [this] {
    StoreSize();
    if (changed_) changed_();
  });
}

}  // namespace kal::ui
