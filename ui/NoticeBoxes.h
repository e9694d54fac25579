#pragma once
// The two modal notice boxes: MessageBoxDialog (a text with confirm and
// cancel) and PromptBoxDialog (a text with confirm only). ShowModal returns
// 1 for confirm, 0 for cancel or close.

#include "ui/WindowImplBase.h"

namespace kal::ui {

class NoticeBox : public WindowImplBase {
  Q_OBJECT
 public:
  NoticeBox(QWidget* owner, const QString& text);
  int ShowModal();

 protected:
  void InitWindow() override;
  void Notify(const TNotifyUI& msg) override;

 private:
  QString text_;
};

class MessageBoxDialog : public NoticeBox {
  Q_OBJECT
 public:
  using NoticeBox::NoticeBox;

 protected:
  QString ClassName() const override { return "MessageBoxDialog"; }
  QString GetSkinFile() const override { return "MessageBox.xml"; }
};

class PromptBoxDialog : public NoticeBox {
  Q_OBJECT
 public:
  using NoticeBox::NoticeBox;

 protected:
  QString ClassName() const override { return "PromptBoxDialog"; }
  QString GetSkinFile() const override { return "PromptBox.xml"; }
};

}  // namespace kal::ui
