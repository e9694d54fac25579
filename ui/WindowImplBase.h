#pragma once
// The window layer every window derives from. A window loads its skin (a
// Qt Designer layout stored as "<Name>.xml" in the "skin" folder beside the
// executable), finds its controls by name, and receives:
//  - notifications ("click", "selectchanged", "valuechanged", "textchanged",
//    "itemclick", "itemselect") with the sender's name, in Notify, which
//    passes them on to NotifyBase afterwards;
//  - custom messages WMU_* posted from any thread, in HandleCustomMessage;
//  - timers by id, in OnTimer.
// Failures while loading or initialising raise std::runtime_error with the
// text "Class::Step". All members run on the UI thread except PostMessage.

#include <QDialog>
#include <QEvent>
#include <QString>

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>

class QTimer;

namespace kal::ui {

struct TNotifyUI {
  QString type;        // "click", "selectchanged", ...
  QString senderName;  // the control's object name
  QObject* sender = nullptr;
  int value = 0;       // slider value or selection state
};

class WindowImplBase : public QDialog {
  Q_OBJECT
 public:
  explicit WindowImplBase(QWidget* parent = nullptr);
  ~WindowImplBase() override;

  // Loads the skin and connects its controls; then calls InitWindow.
  // Throws "Class::GetSkinFile" or "Class::Init" on failure.
  void Create();

  // Thread-safe: queues message for `target`'s UI thread.
  static void PostMessage(WindowImplBase* target, unsigned message, std::uintptr_t wParam,
                          std::intptr_t lParam);

  template <typename T = QWidget>
  T* FindControl(const QString& name) const {
    return findChild<T*>(name);
  }

  // What the base did with the notifications it was given (tests look).
  int BaseNotifications() const { return baseNotifications_; }
  const TNotifyUI& LastBaseNotification() const { return lastBase_; }

  // The folder skins are loaded from: "skin" beside the executable.
  static QString SkinFolder();

 protected:
  virtual QString ClassName() const = 0;
  virtual QString GetSkinFile() const = 0;
  virtual void InitWindow() {}
  virtual void Notify(const TNotifyUI& msg) { NotifyBase(msg); }
  void NotifyBase(const TNotifyUI& msg);
  // `handled` is false on entry; messages left unhandled are ignored.
  virtual void HandleCustomMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                                   bool& handled) {}
  virtual void OnTimer(int id) {}
  void SetTimer(int id, int milliseconds, bool singleShot = false);
  void KillTimer(int id);
  bool TimerActive(int id) const;
  [[noreturn]] void Fail(const char* step) const;
  bool event(QEvent* e) override;

 private:
  void ConnectControls(QWidget* root);
  void Dispatch(const QString& type, QObject* sender, int value);
  std::map<int, QTimer*> timers_;
  int baseNotifications_ = 0;
  TNotifyUI lastBase_;
};

}  // namespace kal::ui
