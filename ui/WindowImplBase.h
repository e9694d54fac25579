#pragma once
// The window layer every window derives from. Two kinds of window:
//  - skinned dialogs: the window loads its skin (a Qt Designer layout stored
//    as "<Name>.xml" in the "skin" folder beside the executable), finds its
//    controls by name and gets their notifications ("click",
//    "selectchanged" of check boxes, radio buttons and combo boxes,
//    "valuechanged" of sliders and spin boxes, "textchanged" of edits,
//    "selectchanged" of tab layouts, sent by the page shown,
//    "itemclick", "itemselect") in Notify, which passes them on to
//    NotifyBase. Rows built later from a sub-skin (LoadSubSkin) are
//    connected with Adopt and their notifications carry the row's tag;
//  - self-painted windows (no skin): top-level, frameless, always on top if
//    asked, painting in OnPaint and taking OnMouse and OnKey.
// Both get custom messages posted from any thread (Messages.h) in
// HandleCustomMessage, and timers by id in OnTimer. Failures while loading
// or initialising raise std::runtime_error "Class::Step"; a window made
// while the program runs is made with TryCreate, which catches them. What a
// handler throws is caught where Qt calls in (notifications, messages,
// timers, keys, mouse): nothing thrown crosses Qt's event loop, which
// would end the program. Either is logged and posted to the main window
// (WMU_WINDOW_FAILED). Escape and Enter mean nothing to the base: a window
// that wants them takes them in OnKey. All members run on the UI thread
// except PostMessage.

#include <QDialog>
#include <QEvent>
#include <QString>

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>

#include "ui/Messages.h"
#include "ui/WindowRegistry.h"

class QTimer;
class QPainter;
class QMouseEvent;
class QKeyEvent;
class QRegion;
class QWheelEvent;
class QScreen;

namespace kal::ui {

struct TNotifyUI {
  QString type;        // "click", "selectchanged", ...
  QString senderName;  // the control's object name
  QObject* sender = nullptr;
  int value = 0;       // slider or spin box value, selection state, combo box index
  int tag = -1;        // the tag of the row the control sits in (SetTag); -1 outside rows
};

// Rows built at run time carry a tag; their controls' notifications name it.
void SetTag(QWidget* row, int tag);
// The tag of the nearest row holding `control`, or -1.
int TagOf(const QObject* control);

// Names of controls a window (or one part of it) looks up in its skin.
using ControlList = std::span<const char* const>;

// What a window needs of its skin: the file, and every control it looks up,
// in lists (one per part of the window). The skin test checks them all.
struct SkinSpec {
  const char* className;
  const char* file;
  std::span<const ControlList> controls;
};

// Top-level looks for self-painted windows.
struct OverlayStyle {
  bool onTop = true;
  bool takesFocus = false;   // false: never takes the focus from the program underneath
  bool translucent = false;  // painted with alpha (shown as such where a compositor runs)
};

class WindowImplBase : public QDialog {
  Q_OBJECT
 public:
  explicit WindowImplBase(QWidget* parent = nullptr);
  ~WindowImplBase() override;

  // Loads the skin (if the window has one), checks its controls, connects
  // them, then calls InitWindow. Throws "Class::GetSkinFile" or
  // "Class::Init" on failure.
  void Create();
  // Create for a window made while the program runs: false, logged and
  // told to the main window, when it cannot be made; it must not be shown
  // then.
  bool TryCreate();

  // Thread-safe: queues a message for `target`'s UI thread. The payload is
  // freed with the message if the target is destroyed first.
  static void PostMessage(WindowImplBase* target, unsigned message, std::uintptr_t wParam,
                          std::intptr_t lParam, std::unique_ptr<MessagePayload> payload = nullptr);

  // Handles the message at once. UI thread only.
  void Send(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

  template <typename T = QWidget>
  T* FindControl(const QString& name) const {
    return findChild<T*>(name);
  }

  // The folder skins are loaded from: "skin" beside the executable.
  static QString SkinFolder();

  // Connects the controls of `part` (a row built from a sub-skin after the
  // window was made) as the skin's own are connected.
  void Adopt(QWidget* part) { ConnectControls(part); }

  // The skin and the controls the window needs; nullptr for a self-painted
  // window.
  virtual const SkinSpec* Skin() const { return nullptr; }

 protected:
  virtual QString ClassName() const = 0;
  virtual void InitWindow() {}
  virtual void Notify(const TNotifyUI& msg) { NotifyBase(msg); }
  void NotifyBase(const TNotifyUI& msg);
  // `handled` is false on entry; messages left unhandled are ignored.
  virtual void HandleCustomMessage(Message& msg, bool& handled) {}
  virtual void OnTimer(int id) {}
  // Self-painted windows. `damaged` is what must be painted again (in the
  // window's logical coordinates); painting outside it is wasted.
  virtual void OnPaint(QPainter& painter, const QRegion& damaged) {}
  // Press, move, release and double click; an event left unaccepted goes on
  // to the dialog's own handling.
  virtual void OnMouse(QMouseEvent* e) {}
  virtual void OnWheel(QWheelEvent* e) {}
  // Key presses (OnKey) and releases.
  virtual void OnKey(QKeyEvent* e) {}
  virtual void OnKeyRelease(QKeyEvent* e) {}
  // The window's size changed, or it moved to another screen (or that
  // screen's size or scale changed).
  virtual void OnResize() {}
  virtual void OnScreenChanged() {}

  // Makes this a frameless top-level window of its own (no parent's
  // decorations, no task-bar entry). Call before the window is shown.
  void MakeOverlay(const OverlayStyle& style);
  // Takes `role` in the registry until the window is destroyed.
  void TakeRole(WindowRole role);

  // Runs the window as a modal dialog; its owner's window is active again
  // afterwards (without a window manager nothing else makes it so, and the
  // keyboard would reach nothing).
  int RunModal();
  void SetTimer(int id, int milliseconds, bool singleShot = false);
  void KillTimer(int id);
  bool TimerActive(int id) const;
  [[noreturn]] void Fail(const char* step) const;
  bool event(QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void showEvent(QShowEvent* e) override;

 private:
  void LoadSkin(const SkinSpec& skin);
  void ConnectControls(QWidget* root);
  void Dispatch(const QString& type, QObject* sender, int value);
  bool Mouse(QMouseEvent* e);
  // Runs `handler`; what it throws is logged and told to the main window.
  template <typename F>
  void Guarded(const char* step, F handler);
  void Failed(const char* step, const char* what) const;
  void WatchScreen(QScreen* screen);
  std::map<int, QTimer*> timers_;
  QScreen* watched_ = nullptr;
};

// The controls of `skin` missing from `root`, as "Class: name" lines; empty
// when every one is there.
std::string MissingControls(const SkinSpec& skin, const QWidget* root);

}  // namespace kal::ui
