#include "overlay/UserDefineRegion.h"

#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <cstdlib>
#include <cstring>

#include <glog/logging.h>

#include "config/ConfigKeys.h"
#include "overlay/StoredRegion.h"
#include "platform/X11Screen.h"

namespace kal {
namespace {

const QColor kBlue = QColor::fromRgb(CXRectTracker::kColor);
constexpr int kShadeAlpha = 50;
constexpr int kPanelAlpha = 140;

QImage GrabScreen(const QRect& r) {
  platform::X11Screen screen;
  if (!screen.Open() || screen.BitsPerPixel() != 32 || !screen.PrepareGrab(r.width(), r.height()) ||
      !screen.Grab(r.x(), r.y())) {
    LOG(ERROR) << "region selection: the screen could not be read: " << screen.Error();
    return {};
  }
  QImage image(r.width(), r.height(), QImage::Format_RGB32);
  for (int y = 0; y < r.height(); ++y)
    std::memcpy(image.scanLine(y), screen.Pixels() + std::size_t(y) * screen.BytesPerLine(),
                std::size_t(r.width()) * 4);
  return image;
}

}  // namespace

CUserDefineRegion::CUserDefineRegion() {
  MakeOverlay({.onTop = true, .takesFocus = true});
  setWindowTitle("UserDefineRegion");
  setAttribute(Qt::WA_DeleteOnClose);
  setMouseTracking(true);
  TakeRole(ui::WindowRole::kRegionSelection);
}

bool CUserDefineRegion::Open() {
  pixels_ = DevicePixels();
  mouse_ = last_ = pixels_.ToDevice(QCursor::pos());
  screen_ = pixels_.MonitorAt(mouse_);
  snapshot_ = GrabScreen(screen_);
  if (snapshot_.isNull()) return false;
  windows_ = platform::SnapshotWindows();
  tracker_.bounds = {screen_.left(), screen_.top(), screen_.x() + screen_.width(),
                     screen_.y() + screen_.height()};
  if (const auto* w = platform::WindowAt(windows_, mouse_.x(), mouse_.y()))
    hovered_ = QRect(w->x, w->y, w->width, w->height);
  setGeometry(pixels_.ToLogical(screen_));
  show();
  raise();
  activateWindow();
  grabKeyboard();  // Escape reaches the selection whatever holds the focus
  return true;
}

QRect CUserDefineRegion::StoredRegion(const QRect& s, const QRect& screen) {
  if (s.isEmpty()) return screen;
  int w = std::abs(s.width()), h = std::abs(s.height());
  if (w < 3 || w > screen.width() || h < 3 || h > screen.height()) {
    w = screen.width();
    h = screen.height();
  }
  return {s.x(), s.y(), w + (w & 1), h + (h & 1)};
}

// Darkens everything of the screen outside `keep`.
void CUserDefineRegion::Shade(QPainter& p, const QRect& keep) const {
  const QColor shade(0, 0, 0, kShadeAlpha);
  if (keep.isEmpty()) {
    p.fillRect(screen_, shade);
    return;
  }
  const int left = screen_.x(), right = screen_.x() + screen_.width();
  const int top = screen_.y(), bottom = screen_.y() + screen_.height();
  const int kl = keep.x(), kr = keep.x() + keep.width(), kt = keep.y(), kb = keep.y() + keep.height();
  p.fillRect(QRect(QPoint(left, top), QPoint(right - 1, kt - 1)), shade);
  p.fillRect(QRect(QPoint(left, kb), QPoint(right - 1, bottom - 1)), shade);
  p.fillRect(QRect(QPoint(left, kt), QPoint(kl - 1, kb - 1)), shade);
  p.fillRect(QRect(QPoint(kr, kt), QPoint(right - 1, kb - 1)), shade);
}

void CUserDefineRegion::OnPaint(QPainter& p, const QRegion&) {
  // Drawn in device pixels of the root window.
  const qreal ratio = screen_.width() / qreal(std::max(1, width()));
  p.scale(1 / ratio, 1 / ratio);
  p.translate(-screen_.topLeft());
  p.drawImage(screen_.topLeft(), snapshot_);
  const QRect selection = Selection();
  Shade(p, selection);
  if (!selection.isEmpty()) {
    tracker_.Draw(p);
  } else if (!hovered_.isEmpty()) {
    Shade(p, hovered_);
    const QRect frame = hovered_.intersected(screen_);
    p.setPen(QPen(kBlue, 4, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);
    p.drawRect(frame.adjusted(2, 2, -2, -2));
  }
  DrawPanel(p);
}

// Position, size and a magnifier: above the selection's (or the hovered
// window's) top-left corner, kept on the screen.
void CUserDefineRegion::DrawPanel(QPainter& p) const {
  const QRect selection = Selection();
  const QRect about = !selection.isEmpty() ? selection : hovered_;
  const QRect shown = about.isEmpty() ? QRect(mouse_, QSize(0, 0)) : about;
  QFont font("Microsoft YaHei");
  font.setPixelSize(13);
  p.setFont(font);
  const QString lines[] = {
      QString("Left: %1, Top: %2").arg(shown.x()).arg(shown.y()),
      QString("宽度: %1, 高度: %2").arg(shown.width()).arg(shown.height()),
      "双击选择录制区域",
  };
  int textWidth = 0;
  for (const QString& l : lines) textWidth = std::max(textWidth, p.fontMetrics().horizontalAdvance(l));
  const QSize panel(kMagnifier + 16 + textWidth + 8, kMagnifier + 10);
  QPoint at(shown.x(), shown.y() - 20 - panel.height());
  if (at.y() < screen_.y()) at.setY(shown.y() + shown.height() + 20);
  if (at.y() + panel.height() > screen_.y() + screen_.height()) at.setY(shown.y() + 20);
  at.setX(std::clamp(at.x(), screen_.x(), screen_.x() + screen_.width() - panel.width()));
  at.setY(std::clamp(at.y(), screen_.y(), screen_.y() + screen_.height() - panel.height()));
  p.fillRect(QRect(at, panel), QColor(0, 0, 0, kPanelAlpha));

  // The 36 x 36 pixels around the pointer at twice their size, with a cross.
  const QRect box(at + QPoint(5, 5), QSize(kMagnifier, kMagnifier));
  const QRect source(mouse_ - screen_.topLeft() - QPoint(kMagnifier / 4, kMagnifier / 4),
                     QSize(kMagnifier / 2, kMagnifier / 2));
  p.drawImage(box, snapshot_, source);
  p.fillRect(QRect(box.x() + kMagnifier / 2 - 1, box.y(), 2, kMagnifier), Qt::black);
  p.fillRect(QRect(box.x(), box.y() + kMagnifier / 2 - 1, kMagnifier, 2), Qt::black);

  p.setPen(Qt::white);
  const int x = box.x() + kMagnifier + 10;
  for (int i = 0; i < 3; ++i)
    p.drawText(QRect(x, box.y() + 4 + i * 22, textWidth + 4, 20), Qt::AlignLeft | Qt::AlignVCenter,
               lines[i]);
}

void CUserDefineRegion::OnMouse(QMouseEvent* e) {
  e->accept();
  const QPoint at = pixels_.ToDevice(e);
  switch (e->type()) {
    case QEvent::MouseButtonPress:
      if (e->button() == Qt::RightButton) {
        tracker_.CancelTrack();
        break;
      }
      if (e->button() != Qt::LeftButton) return;
      last_ = at;
      buttonDown_ = true;
      if (!Selection().isEmpty() && tracker_.Track(at)) break;
      // Anywhere else a drag draws a new rectangle; a click takes the
      // window under the pointer.
      if (!hovered_.isEmpty()) {
        tracker_.rect = {hovered_.left(), hovered_.top(), hovered_.x() + hovered_.width(),
                         hovered_.y() + hovered_.height()};
        hovered_ = {};
      }
      bandPending_ = true;
      break;
    case QEvent::MouseMove:
      mouse_ = at;
      if (tracker_.Tracking()) {
        tracker_.MoveTo(at);
      } else if (buttonDown_ && bandPending_ &&
                 (std::abs(at.x() - last_.x()) >= 2 || std::abs(at.y() - last_.y()) >= 2)) {
        bandPending_ = false;
        tracker_.TrackRubberBand(last_);
        tracker_.MoveTo(at);
      } else if (!buttonDown_ && Selection().isEmpty()) {
        const auto* w = platform::WindowAt(windows_, at.x(), at.y());
        hovered_ = w ? QRect(w->x, w->y, w->width, w->height) : QRect();
      }
      if (Qt::CursorShape shape; !Selection().isEmpty() && tracker_.CursorFor(at, shape))
        setCursor(shape);
      else
        setCursor(Qt::ArrowCursor);
      break;
    case QEvent::MouseButtonRelease:
      if (e->button() != Qt::LeftButton) return;
      if (tracker_.Tracking()) tracker_.EndTrack(at);
      buttonDown_ = bandPending_ = false;
      break;
    case QEvent::MouseButtonDblClick:
      if (e->button() == Qt::LeftButton) Confirm();
      return;
    default:
      return;
  }
  update();
}

void CUserDefineRegion::OnKey(QKeyEvent* e) {
  if (e->key() != Qt::Key_Escape) return;
  e->accept();
  if (tracker_.Tracking()) {
    tracker_.CancelTrack();
    update();
    return;
  }
  Leave();
}

void CUserDefineRegion::Confirm() {
  const QRect r = StoredRegion(Selection(), screen_);
  StoreRegion(r);
  LOG(INFO) << "region chosen: " << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
  releaseKeyboard();
  ui::PostTo(ui::WindowRole::kMain, WMU_REGION_CHOSEN, 1);
  close();
}

void CUserDefineRegion::Leave() {
  releaseKeyboard();
  ui::PostTo(ui::WindowRole::kMain, WMU_REGION_CHOSEN, 0);
  close();
}

}  // namespace kal
