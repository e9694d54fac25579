#pragma once
// The two modal notice boxes: MessageBoxDialog (a text with confirm and
// cancel) and PromptBoxDialog (a text with confirm only). ShowModal returns
// 1 for confirm, 0 for cancel, close, Escape, or a box that could not be
// made.

#include "ui/WindowImplBase.h"

namespace kal::ui {

class NoticeBox : public WindowImplBase {
  Q_OBJECT
 public:
  NoticeBox(QWidget* owner, const QString& text);
  int ShowModal();

  static constexpr const char* kText = "msgText";
  static constexpr const char* kConfirm = "msgConfirm";
  static constexpr const char* kCancel = "msgCancel";

 protected:
  void InitWindow() override;
  void Notify(const TNotifyUI& msg) override;
  // Escape answers as cancel (or close) does.
  void OnKey(QKeyEvent* e) override;

 private:
  QString text_;
};

class MessageBoxDialog : public NoticeBox {
  Q_OBJECT
 public:
  using NoticeBox::NoticeBox;
  static constexpr const char* kControls[] = {kText, kConfirm, kCancel};
  static constexpr ControlList kLists[] = {kControls};
  static constexpr SkinSpec kSkin{"MessageBoxDialog", "MessageBox.xml", kLists};
  const SkinSpec* Skin() const override { return &kSkin; }

 protected:
  QString ClassName() const override { return kSkin.className; }
};

class PromptBoxDialog : public NoticeBox {
  Q_OBJECT
 public:
  using NoticeBox::NoticeBox;
  static constexpr const char* kControls[] = {kText, kConfirm};
  static constexpr ControlList kLists[] = {kControls};
  static constexpr SkinSpec kSkin{"PromptBoxDialog", "PromptBox.xml", kLists};
  const SkinSpec* Skin() const override { return &kSkin; }

 protected:
  QString ClassName() const override { return kSkin.className; }
};

}  // namespace kal::ui
