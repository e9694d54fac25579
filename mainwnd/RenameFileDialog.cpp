#include "mainwnd/RenameFileDialog.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

namespace kal {

RenameFileDialog::RenameFileDialog(QWidget* owner, const std::string& current, Rename rename)
    : ui::WindowImplBase(owner), current_(current), rename_(std::move(rename)) {
  setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
}

void RenameFileDialog::InitWindow() {
  auto* input = FindControl<QLineEdit>(kInput);
  input->setText(QString::fromStdString(current_));
  input->selectAll();
  input->setAccessibleName("新的文件名");
  input->setFocus();
}

int RenameFileDialog::ShowModal() {
  if (!TryCreate()) return 0;
  return RunModal();
}

void RenameFileDialog::Confirm() {
  std::string error;
  if (rename_(FindControl<QLineEdit>(kInput)->text().toStdString(), error)) {
    done(1);
    return;
  }
  FindControl<QLabel>(kError)->setText(QString::fromStdString(error));
}

void RenameFileDialog::Notify(const ui::TNotifyUI& msg) {
  if (msg.type == "click" && msg.senderName == kConfirm) Confirm();
  if (msg.type == "click" && msg.senderName == kCancel) done(0);
  NotifyBase(msg);
}

void RenameFileDialog::OnKey(QKeyEvent* e) {
  if (e->key() == Qt::Key_Escape) {
    done(0);
  } else if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
    Confirm();
  } else {
    return;
  }
  e->accept();
}

}  // namespace kal
