#include "ui/NoticeBoxes.h"

#include <QKeyEvent>
#include <QLabel>

namespace kal::ui {

NoticeBox::NoticeBox(QWidget* owner, const QString& text) : WindowImplBase(owner), text_(text) {
  setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
}

void NoticeBox::InitWindow() {
  auto* label = FindControl<QLabel>(kText);
  label->setText(text_);
  label->setWordWrap(true);
}

void NoticeBox::Notify(const TNotifyUI& msg) {
  if (msg.type == "click" && msg.senderName == kConfirm) done(1);
  if (msg.type == "click" && msg.senderName == kCancel) done(0);
  NotifyBase(msg);
}

void NoticeBox::OnKey(QKeyEvent* e) {
  if (e->key() != Qt::Key_Escape) return;
  e->accept();
  done(0);
}

int NoticeBox::ShowModal() {
  if (!TryCreate()) return 0;
  return RunModal();
}

}  // namespace kal::ui
