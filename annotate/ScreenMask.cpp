#include "annotate/ScreenMask.h"

#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <glog/logging.h>

#include "annotate/EditWindow.h"
#include "annotate/ScreenBrushDialog.h"
#include "annotate/TextLook.h"
#include "platform/X11Shape.h"

namespace kal {
namespace {

constexpr int kTimerGrab = 1;
constexpr int kGrabCheckMs = 100;

_XDisplay* X11Display() {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 ? x11->display() : nullptr;
}

}  // namespace

CScreenMask::CScreenMask() {
  composited_ = platform::CompositorRunning(X11Display());
  MakeOverlay({.onTop = true, .takesFocus = true, .translucent = composited_});
  setWindowTitle("CScreenMask");
  setAttribute(Qt::WA_ShowWithoutActivating, false);
  setCursor(Qt::CrossCursor);
  TakeRole(ui::WindowRole::kCanvas);
}

CScreenMask::~CScreenMask() = default;

qreal CScreenMask::Ratio() const {
  const QRect logical = pixels_.ToLogical(monitor_);
  return logical.width() > 0 ? monitor_.width() / qreal(logical.width()) : 1.0;
}

PaintLook CScreenMask::Look() const {
  return {.translucent = composited_, .smooth = composited_, .scale = Ratio()};
}

void CScreenMask::Cover() {
  pixels_ = DevicePixels();
  monitor_ = pixels_.MonitorAt(pixels_.ToDevice(QCursor::pos()));
  setGeometry(pixels_.ToLogical(monitor_));
  surface_.Reset(monitor_.size(), Look());
  winId();  // the native window, to shape before it is first shown
  if (!composited_ && !platform::ShapeWindow(X11Display(), winId(), {}))
    LOG(WARNING) << "no X SHAPE extension: the canvas hides the screen below it";
  RedrawAll();
}

void CScreenMask::Open() {
  Cover();
  show();
  raise();
  activateWindow();
  if (!palette_) {
    palette_ = std::make_unique<ScreenBrushDialog>(*this);
    if (!palette_->TryCreate()) palette_.reset();  // still drawn on, closed with Escape
  }
  if (palette_) {
    palette_->move(pixels_.ToLogical(monitor_).topLeft() + QPoint(40, 100));
    palette_->show();
    palette_->raise();
  }
  // The pause box stays usable above the drawing.
  if (ui::WindowImplBase* box = ui::WindowWithRole(ui::WindowRole::kPauseBox); box && box->isVisible())
    box->raise();
  if (!composited_) {
    WatchOwnWindows();
    Grab();
    SetTimer(kTimerGrab, kGrabCheckMs);
  }
}

void CScreenMask::Close() {
  KillTimer(kTimerGrab);
  grab_.Release();
  if (textBox_) textBox_->hide();
  if (palette_) palette_->hide();
  hide();
  ui::PostTo(ui::WindowRole::kMain, WMU_BRUSH_CLOSED);
}

// The program's windows above the canvas take their own clicks: the grab
// is let go while the pointer is over one, and taken again (X may also
// have ended it) while no button is held.
std::array<QWidget*, 4> CScreenMask::OwnWindows() const {
  return {palette_.get(), textBox_.get(), ui::WindowWithRole(ui::WindowRole::kPauseBox),
          ui::WindowWithRole(ui::WindowRole::kRecordToolbar)};
}

bool CScreenMask::OverOwnWindow(QPoint logical) const {
  for (const QWidget* w : OwnWindows())
    if (w && w->isVisible() && w->frameGeometry().contains(logical)) return true;
  return false;
}

// Leaving one of them takes the grab again at once, before the next click.
bool CScreenMask::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::Leave && !composited_) Grab();
  return WindowImplBase::eventFilter(watched, e);
}

void CScreenMask::WatchOwnWindows() {
  for (QWidget* w : OwnWindows()) {
    if (!w) continue;
    w->removeEventFilter(this);
    w->installEventFilter(this);
  }
}

void CScreenMask::Grab() {
  if (!isVisible() || drawing_ || QGuiApplication::mouseButtons() != Qt::NoButton) return;
  if (OverOwnWindow(QCursor::pos())) {
    grab_.Release();
    return;
  }
  const bool held = grab_.Held();
  if (!grab_.Grab(X11Display(), winId(), ToolFor(tool_).Cross()) && held)
    LOG(INFO) << "the pointer is grabbed elsewhere; the canvas tries again";
}

void CScreenMask::OnTimer(int id) {
  if (id != kTimerGrab) return;
  WatchOwnWindows();  // the pause box may have come since
  Grab();
}

void CScreenMask::SetTool(int tool) {
  if (textBox_ && tool != kToolText) CommitText();
  tool_ = tool;
  setCursor(ToolFor(tool).Cross() ? Qt::CrossCursor : Qt::ArrowCursor);
  grab_.SetCross(ToolFor(tool).Cross());
}

void CScreenMask::RedrawAll() {
  surface_.RedrawAll(shapes_.Graph());
  Show(surface_.Rect());
}

void CScreenMask::Show(const QRect& part) {
  const QRect r = part & surface_.Rect();
  if (r.isEmpty()) return;
  const qreal ratio = Ratio();
  update(QRectF(r.x() / ratio, r.y() / ratio, r.width() / ratio, r.height() / ratio)
             .toAlignedRect()
             .adjusted(-1, -1, 1, 1));
  if (!composited_)
    platform::ReshapeWindowPart(X11Display(), winId(), {r.x(), r.y(), r.width(), r.height()},
                                OpaqueRuns(surface_.Shown(), r));
}

void CScreenMask::OnPaint(QPainter& painter, const QRegion& damaged) {
  const qreal ratio = Ratio();
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  for (const QRect& r : damaged) {
    const QRectF device(r.x() * ratio, r.y() * ratio, r.width() * ratio, r.height() * ratio);
    painter.drawImage(QRectF(r), surface_.Shown(), device);
  }
}

void CScreenMask::Add(GraphShape shape) {
  shapes_.Add(std::move(shape));
  Show(surface_.Settle(shapes_.Last()));
}

void CScreenMask::Press(QPoint at, QPoint logical) {
  if (textBox_ && tool_ != kToolText) CommitText();
  GraphShape shape;
  shape.type = tool_;
  shape.p1 = shape.p2 = at;
  shape.colour = colour_;
  shape.width = size_;
  switch (tool_) {
    case kToolMark:
      shape.visible = true;
      shape.number = shapes_.TakeMarkNumber();
      Add(std::move(shape));
      return;
    case kToolText:
      if (textBox_) CommitText();
      else OpenTextBox(logical);
      return;
    default:
      shapes_.Add(std::move(shape));
      drawing_ = true;
      LOG(INFO) << "graphList size: " << shapes_.Graph().size();
  }
}

void CScreenMask::MoveTo(QPoint at) {
  if (!drawing_) return;
  GraphShape& s = shapes_.Last();
  const Tool& tool = ToolFor(s.type);
  const QRect before = s.visible ? tool.Bounds(s, surface_.Look()) : QRect();
  tool.Move(s, at);
  const QRect changed = tool.Changed(s, surface_.Look(), before);
  surface_.RepaintLive(s, changed);
  Show(changed);
}

void CScreenMask::Release() {
  if (!drawing_) return;
  drawing_ = false;
  if (shapes_.DropInvisibleLast()) return;  // a click without movement
  GraphShape& s = shapes_.Last();
  ToolFor(s.type).Release(s);
  Show(surface_.Settle(s));
}

void CScreenMask::OnMouse(QMouseEvent* e) {
  e->accept();
  const QPoint at = pixels_.ToDevice(e) - monitor_.topLeft();
  switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
      // A click meant for the palette that came before the grab was let go
      // draws nothing; the next one reaches the palette.
      if (!composited_ && OverOwnWindow(e->globalPosition().toPoint())) grab_.Release();
      else if (e->button() == Qt::LeftButton && !drawing_) Press(at, e->globalPosition().toPoint());
      break;
    case QEvent::MouseMove:
      if (e->buttons() & Qt::LeftButton) MoveTo(at);
      else if (!composited_ && OverOwnWindow(e->globalPosition().toPoint())) grab_.Release();
      break;
    case QEvent::MouseButtonRelease:
      if (e->button() == Qt::LeftButton) Release();
      break;
    default:
      break;
  }
}

void CScreenMask::OpenTextBox(QPoint logical) {
  textBox_ = std::make_unique<CEditWindow>(this);
  if (!textBox_->TryCreate()) {
    textBox_.reset();
    return;
  }
  textBox_->OnEscape([this] { CommitText(); });
  textBox_->Start(colour_, logical + QPoint(4, 4));
  WatchOwnWindows();
}

void CScreenMask::CommitText() {
  if (!textBox_) return;
  GraphShape shape;
  shape.type = kToolText;
  shape.text = textBox_->Text().replace('\r', '\n');
  shape.p1 = pixels_.ToDevice(QPointF(textBox_->TextOrigin())) - monitor_.topLeft();
  shape.colour = textBox_->Colour();
  shape.visible = true;
  textBox_->hide();
  textBox_.release()->deleteLater();  // its own key handler may be what called
  activateWindow();
  if (!shape.text.isEmpty()) Add(std::move(shape));
}

void CScreenMask::OnKey(QKeyEvent* e) {
  e->accept();
  if (e->key() == Qt::Key_Escape) Close();
  else if (e->matches(QKeySequence::Undo)) Send(WMU_BRUSH_UNDO, 0, 0);
  else if (e->matches(QKeySequence::Redo) || (e->modifiers() == Qt::ControlModifier && e->key() == Qt::Key_Y))
    Send(WMU_BRUSH_REDO, 0, 0);
  else if (e->key() == Qt::Key_Tab && palette_) palette_->TakeFocus();
  else e->ignore();
}

void CScreenMask::OnScreenChanged() {
  if (!isVisible()) return;
  const QRect before = monitor_;
  const QPoint keep = monitor_.center();
  pixels_ = DevicePixels();
  if (pixels_.MonitorAt(keep) == before) return;
  // The monitor changed its size or scale: the drawing is kept, laid on the
  // new surface.
  monitor_ = pixels_.MonitorAt(keep);
  setGeometry(pixels_.ToLogical(monitor_));
  surface_.Reset(monitor_.size(), Look());
  if (!composited_) platform::ShapeWindow(X11Display(), winId(), {});
  RedrawAll();
}

void CScreenMask::HandleCustomMessage(ui::Message& msg, bool& handled) {
  handled = true;
  if (drawing_ && (msg.id == WMU_BRUSH_UNDO || msg.id == WMU_BRUSH_REDO)) return;  // after the drag
  switch (msg.id) {
    case WMU_BRUSH_UNDO:
      if (shapes_.UndoLast()) RedrawAll();
      return;
    case WMU_BRUSH_REDO:
      if (shapes_.RedoLast()) RedrawAll();
      return;
    default:
      handled = false;
  }
}

}  // namespace kal
