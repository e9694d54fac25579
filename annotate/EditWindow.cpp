#include "annotate/EditWindow.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QTextEdit>

#include <algorithm>
#include <cmath>

#include "annotate/TextLook.h"

namespace kal {
namespace {
constexpr int kStartWidth = 100;
constexpr int kStartHeight = 28;
}  // namespace

CEditWindow::CEditWindow(QWidget* owner) : WindowImplBase(owner) {
  MakeOverlay({.onTop = true, .takesFocus = true});
  setAttribute(Qt::WA_ShowWithoutActivating, false);
  setWindowOpacity(200 / 255.0);
  setCursor(Qt::SizeAllCursor);
}

void CEditWindow::InitWindow() {
  edit_ = FindControl<QTextEdit>(kText);
  edit_->setFont(AnnotationFont(1.0));
  edit_->document()->setDocumentMargin(0);
  edit_->setLineWrapMode(QTextEdit::NoWrap);
  edit_->setAcceptRichText(false);
  edit_->setCursor(Qt::IBeamCursor);
  edit_->viewport()->setCursor(Qt::IBeamCursor);
  edit_->installEventFilter(this);
  // The box is as small as its text: no minimum from the scroll area.
  edit_->setMinimumSize(0, 0);
  edit_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  setMinimumSize(0, 0);
}

void CEditWindow::Start(QColor colour, QPoint at) {
  colour_ = colour;
  QPalette palette = edit_->palette();
  palette.setColor(QPalette::Text, colour);
  edit_->setPalette(palette);
  edit_->clear();
  setGeometry(QRect(at, QSize(kStartWidth, kStartHeight)));
  show();
  raise();
  activateWindow();
  edit_->setFocus();
}

QString CEditWindow::Text() const { return edit_->toPlainText(); }

void CEditWindow::Notify(const ui::TNotifyUI& msg) {
  if (msg.type == "textchanged" && msg.senderName == kText) Grow();
  NotifyBase(msg);
}

// As wide as the longest line and as tall as the lines, plus the frame.
void CEditWindow::Grow() {
  const QSizeF text = edit_->document()->size();
  const int w = std::max(width(), static_cast<int>(std::ceil(text.width())) + 3 * kFrame);
  const int h = std::max(height(), static_cast<int>(std::ceil(text.height())) + 3 * kFrame);
  if (w != width() || h != height()) resize(w, h);
}

// The box itself is its frame: it moves the box; the text takes no input
// meanwhile.
void CEditWindow::OnMouse(QMouseEvent* e) {
  e->accept();
  const QPoint at = e->globalPosition().toPoint();
  switch (e->type()) {
    case QEvent::MouseButtonPress:
      if (e->button() != Qt::LeftButton) return;
      dragging_ = true;
      dragStart_ = at;
      windowStart_ = pos();
      edit_->setReadOnly(true);
      return;
    case QEvent::MouseMove:
      if (dragging_) move(windowStart_ + at - dragStart_);
      return;
    case QEvent::MouseButtonRelease:
      dragging_ = false;
      edit_->setReadOnly(false);
      edit_->setFocus();
      return;
    default:
      return;
  }
}

bool CEditWindow::eventFilter(QObject* watched, QEvent* e) {
  if (watched == edit_ && e->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape) {
    if (onEscape_) onEscape_();  // the box is deleted later, not here
    return true;
  }
  return WindowImplBase::eventFilter(watched, e);
}

}  // namespace kal
